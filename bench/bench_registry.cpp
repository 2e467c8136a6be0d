// Times the POSIX registry's reading of .reg exports: single binary values of the sizes a
// whole-HKCU export holds, then whole exports of about 6, 12 and 24 MB, and checks that
// the largest costs at most 8 times the smallest (linear: 4, quadratic: 16).
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"

namespace {

// Text in UTF-16LE with a BOM and CR LF line ends, as `reg export` writes it.
class Export {
 public:
  Export() {
    Line(u"Windows Registry Editor Version 5.00");
    Line(u"");
  }

  void Key(const std::string& path) { Line(u"[HKEY_CURRENT_USER\\" + Ascii(path) + u"]"); }
  void String(const std::string& name, const std::string& text) {
    Line(u"\"" + Ascii(name) + u"\"=\"" + Ascii(text) + u"\"");
  }
  void Dword(const std::string& name, uint32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", value);
    Line(u"\"" + Ascii(name) + u"\"=dword:" + Ascii(digits));
  }
  // hex: or hex(N): wrapped at 80 columns with "\" continuations.
  void Hex(const std::string& name, const char* prefix, const std::string& bytes) {
    std::u16string line = u"\"" + Ascii(name) + u"\"=" + Ascii(prefix);
    for (size_t i = 0; i < bytes.size(); ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02x", static_cast<uint8_t>(bytes[i]));
      line += Ascii(hex);
      if (i + 1 == bytes.size()) break;
      line += u',';
      if (line.size() > 76) {
        Line(line + u"\\");
        line = u"  ";
      }
    }
    Line(line);
  }
  void Blank() { Line(u""); }
  const std::string& bytes() const { return bytes_; }

 private:
  static std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
  }
  void Line(const std::u16string& text) {
    for (char16_t unit : text + u"\r\n") {
      bytes_ += static_cast<char>(unit & 0xFF);
      bytes_ += static_cast<char>(unit >> 8);
    }
  }
  std::string bytes_ = "\xFF\xFE";
};

std::string Pattern(size_t size, unsigned start) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((start + i * 7) & 0xFF);
  return bytes;
}

// A whole-HKCU export: `scale` times 5,000 keys of small values, and one key of four
// binary values of `scale` times 25, 50, 100 and 200 KB (a reader that is quadratic in
// a value's length shows there). The value Big\Blob200 is read back.
std::string WholeExport(int scale) {
  Export e;
  for (int i = 0; i < 5000 * scale; ++i) {
    e.Key("Software\\Vendor" + std::to_string(i % 97) + "\\Product" + std::to_string(i));
    e.String("InstalledPath", "C:\\Program Files\\Vendor\\Product" + std::to_string(i) + "\\");
    e.String("Version", "3.0." + std::to_string(i));
    e.Dword("Flags", static_cast<uint32_t>(i));
    e.Hex("Recent", "hex(2):", Pattern(60, static_cast<unsigned>(i)));
    e.Blank();
  }
  e.Key("Software\\Big");
  for (size_t kb : {25, 50, 100, 200}) {
    const std::string bytes =
        Pattern((kb << 10) * static_cast<size_t>(scale), static_cast<unsigned>(kb));
    e.Hex("Blob" + std::to_string(kb), "hex:", bytes);
  }
  return e.bytes();
}

std::string OneValue(size_t size) {
  Export e;
  e.Key("Software\\Big");
  e.Hex("Blob", "hex:", Pattern(size, static_cast<unsigned>(size >> 10)));
  return e.bytes();
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// Opens the key (which reads the file) and fetches the value; seconds, or -1 when the
// value does not come back as written.
double ReadOnce(const std::string& file, const std::string& key, const std::string& name,
                const std::string& expected) {
  using namespace platform;
  setenv("INSTALLER_REGISTRY_FILE", file.c_str(), 1);
  const auto start = std::chrono::steady_clock::now();
  HKey handle = 0;
  if (RegOpenKeyExA(kHKeyCurrentUser, key, 0, kKeyRead, &handle) != kErrorSuccess) return -1;
  std::string data(expected.size() + 1, '\0');
  uint32_t type = 0, size = static_cast<uint32_t>(data.size());
  const long result =
      RegQueryValueExA(handle, name, &type, reinterpret_cast<uint8_t*>(data.data()), &size);
  RegCloseKey(handle);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  data.resize(size);
  return result == kErrorSuccess && type == kRegBinary && data == expected ? seconds : -1;
}

// The best of several reads, alternating between two copies so that every read parses.
double Best(const std::string& folder, const std::string& bytes, const std::string& key,
            const std::string& name, const std::string& expected, int rounds) {
  const std::string files[2] = {folder + "/a.reg", folder + "/b.reg"};
  for (const std::string& f : files)
    if (!WriteAll(f, bytes)) return -1;
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const double t = ReadOnce(files[r % 2], key, name, expected);
    if (t < 0) return -1;
    best = std::min(best, t);
  }
  return best;
}

}  // namespace

int main() {
  // Keep freed memory for reuse, so that every round of every size finds its blocks in
  // the heap rather than fresh from the kernel (page faults).
  mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
  char pattern[] = "/tmp/bench_registryXXXXXX";
  const char* folder = mkdtemp(pattern);
  if (!folder) return 2;
  int status = 0;
  for (size_t kb : {25, 50, 100, 200}) {
    const double t = Best(folder, OneValue(kb << 10), "Software\\Big", "Blob",
                          Pattern(kb << 10, static_cast<unsigned>(kb)), 5);
    if (t < 0) status = 2;
    std::printf("one binary value of %4zu KB: %8.2f ms\n", kb, t * 1e3);
  }
  double times[5] = {};
  for (int scale : {1, 2, 4}) {
    const std::string bytes = WholeExport(scale);
    const double t = Best(folder, bytes, "Software\\Big", "Blob200",
                          Pattern((200 << 10) * static_cast<size_t>(scale), 200), 5);
    if (t < 0) status = 2;
    times[scale - 1] = t;
    std::printf("whole export of %5.2f MB (%d keys): %8.2f ms, %6.1f MB/s\n",
                static_cast<double>(bytes.size()) / (1 << 20), 5000 * scale + 1, t * 1e3,
                static_cast<double>(bytes.size()) / (1 << 20) / t);
  }
  const double ratio = times[3] / times[0];
  std::printf("largest / smallest export: x%.2f for 4 times the size (limit x8)\n", ratio);
  for (const char* name : {"/a.reg", "/b.reg"}) std::remove((std::string(folder) + name).c_str());
  rmdir(folder);
  if (status) std::printf("a value did not come back as written\n");
  return status ? status : (ratio > 8 ? 1 : 0);
}
