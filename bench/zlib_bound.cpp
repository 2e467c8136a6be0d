// The lower bound the extraction benchmark measures the engine against: every entry of
// an archive inflated (or copied, when stored) and CRC-checked in memory with zlib,
// nothing written. Reads the central directory, then each entry's data with pread.
//
//   zlib_bound ARCHIVE      prints the entry count and the bytes produced; exit 1 on a
//                           CRC mismatch or an archive it cannot read
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }

bool ReadAt(int fd, void* buffer, size_t size, off_t offset) {
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    const ssize_t n = pread(fd, out, size, offset);
    if (n <= 0) return false;
    out += n, size -= static_cast<size_t>(n), offset += n;
  }
  return true;
}

struct Entry {
  uint16_t method;
  uint32_t crc;
  uint64_t compressed, uncompressed, localOffset;
};

// The entries named by the central directory (no Zip64: the corpora stay below 4 GiB).
bool ReadDirectory(int fd, off_t fileSize, std::vector<Entry>* entries) {
  const off_t tail = fileSize < 65557 ? fileSize : 65557;
  std::vector<uint8_t> end(static_cast<size_t>(tail));
  if (!ReadAt(fd, end.data(), end.size(), fileSize - tail)) return false;
  for (off_t i = tail - 22; i >= 0; --i) {
    const uint8_t* e = end.data() + i;
    if (U32(e) != 0x06054b50) continue;
    const uint32_t dirSize = U32(e + 12), dirOffset = U32(e + 16);
    std::vector<uint8_t> dir(dirSize);
    if (!ReadAt(fd, dir.data(), dir.size(), dirOffset)) return false;
    for (size_t p = 0; p + 46 <= dir.size() && U32(&dir[p]) == 0x02014b50;) {
      const uint8_t* h = &dir[p];
      entries->push_back({U16(h + 10), U32(h + 16), U32(h + 20), U32(h + 24), U32(h + 42)});
      p += 46 + U16(h + 28) + U16(h + 30) + U16(h + 32);
    }
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zlib_bound ARCHIVE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  struct stat st;
  std::vector<Entry> entries;
  if (fd < 0 || fstat(fd, &st) != 0 || !ReadDirectory(fd, st.st_size, &entries)) {
    std::fprintf(stderr, "zlib_bound: cannot read %s\n", argv[1]);
    return 1;
  }
  constexpr size_t kChunk = 1 << 16;
  std::vector<uint8_t> in(kChunk), out(kChunk);
  uint64_t produced = 0;
  int bad = 0;
  for (const Entry& entry : entries) {
    uint8_t local[30];
    if (!ReadAt(fd, local, sizeof local, static_cast<off_t>(entry.localOffset))) return 1;
    off_t at = static_cast<off_t>(entry.localOffset + 30 + U16(local + 26) + U16(local + 28));
    uint64_t left = entry.compressed;
    uLong crc = crc32(0, nullptr, 0);
    z_stream z{};
    if (entry.method == 8 && inflateInit2(&z, -15) != Z_OK) return 1;
    while (left > 0) {
      const size_t want = left < kChunk ? static_cast<size_t>(left) : kChunk;
      if (!ReadAt(fd, in.data(), want, at)) return 1;
      at += static_cast<off_t>(want), left -= want;
      if (entry.method == 0) {
        crc = crc32(crc, in.data(), static_cast<uInt>(want));
        produced += want;
        continue;
      }
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(want);
      do {
        z.next_out = out.data();
        z.avail_out = kChunk;
        const int r = inflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        const size_t n = kChunk - z.avail_out;
        crc = crc32(crc, out.data(), static_cast<uInt>(n));
        produced += n;
        if (r == Z_STREAM_END) break;
        if (r < 0 && r != Z_BUF_ERROR) return 1;
      } while (z.avail_in > 0 || z.avail_out == 0);
    }
    if (entry.method == 8) inflateEnd(&z);
    if (crc != entry.crc) ++bad;
  }
  std::printf("%zu entries, %llu bytes, %d CRC errors\n", entries.size(),
              static_cast<unsigned long long>(produced), bad);
  return bad == 0 ? 0 : 1;
}
