#include "platform/posix/native.h"

#include <iconv.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/files.h"

namespace platform::posix {
namespace {

std::optional<std::string> Convert(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(in.size() * 2 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t done = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = out.data() + done;
    size_t dstLeft = out.size() - done;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    done = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno != E2BIG) {
      ok = false;
      break;
    }
    out.resize(out.size() * 2);
  }
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(done);
  return out;
}

struct DriveMap {
  std::string prefixKey;  // the WINEPREFIX value the map was built for
  // Drive letters 'A'..'Z' -> absolute native folder (no trailing "/"; "" is the root).
  std::vector<std::pair<char, std::string>> drives;
};

std::string WinePrefix() {
  if (const char* prefix = getenv("WINEPREFIX"); prefix && *prefix) return prefix;
  if (const char* home = getenv("HOME"); home && *home) return std::string(home) + "/.wine";
  return {};
}

// The Wine prefix's dosdevices/ links when the prefix has them, otherwise "C:" at "/".
// Every absolute host path must have a drive, so when no drive holds "/" (a prefix
// without its z: link), the last free letter does, as z: does in Wine's own prefixes.
DriveMap BuildDriveMap(const std::string& prefix) {
  DriveMap map;
  map.prefixKey = prefix;
  std::error_code ec;
  const std::filesystem::path devices = std::filesystem::path(prefix) / "dosdevices";
  if (!prefix.empty() && std::filesystem::is_directory(devices, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(devices, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.size() != 2 || name[1] != ':' || !isalpha(static_cast<unsigned char>(name[0])))
        continue;
      std::filesystem::path target = std::filesystem::canonical(entry.path(), ec);
      if (ec) continue;
      std::string folder = target.string();
      if (folder == "/") folder.clear();
      map.drives.emplace_back(static_cast<char>(toupper(name[0])), folder);
    }
  }
  if (map.drives.empty()) map.drives.emplace_back('C', "");
  const auto holds = [&map](auto wanted) {
    return std::any_of(map.drives.begin(), map.drives.end(), wanted);
  };
  if (!holds([](const auto& drive) { return drive.second.empty(); })) {
    for (char letter = 'Z'; letter >= 'A'; --letter) {
      if (holds([letter](const auto& drive) { return drive.first == letter; })) continue;
      map.drives.emplace_back(letter, "");
      break;
    }
  }
  std::sort(map.drives.begin(), map.drives.end());
  return map;
}

const DriveMap& CurrentDriveMap() {
  static std::mutex lock;
  static DriveMap map;
  static bool built = false;
  std::lock_guard<std::mutex> guard(lock);
  const std::string prefix = WinePrefix();
  if (!built || map.prefixKey != prefix) {
    map = BuildDriveMap(prefix);
    built = true;
  }
  return map;
}

std::optional<std::string> DriveFolder(char letter) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  for (const auto& [drive, folder] : CurrentDriveMap().drives)
    if (drive == letter) return folder;
  return std::nullopt;
}

std::string NativeCwd() {
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return "/";
  return buf;
}

// The drive whose folder is the longest prefix of an absolute native path.
const std::pair<char, std::string>* CoveringDrive(const std::string& nativePath) {
  const std::pair<char, std::string>* best = nullptr;
  for (const auto& drive : CurrentDriveMap().drives) {
    const std::string& folder = drive.second;
    const bool covers = nativePath.compare(0, folder.size(), folder) == 0 &&
                        (nativePath.size() == folder.size() || nativePath[folder.size()] == '/');
    if (covers && (!best || folder.size() > best->second.size())) best = &drive;
  }
  return best;
}

}  // namespace

std::optional<std::string> GbkToUtf8(const std::string& gbk) {
  if (std::all_of(gbk.begin(), gbk.end(), [](char c) { return (c & 0x80) == 0; })) return gbk;
  return Convert("UTF-8", "CP936", gbk);
}

std::optional<std::string> Utf8ToGbk(const std::string& utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; })) return utf8;
  return Convert("CP936", "UTF-8", utf8);
}

std::optional<std::string> ToNativePath(const std::string& path) {
  std::optional<std::string> utf8 = GbkToUtf8(path);
  if (!utf8) return std::nullopt;
  // In UTF-8 byte 0x5C is always a backslash, so the separators can be swapped bytewise.
  std::string p = std::move(*utf8);
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty()) return p;
  if (p.size() >= 2 && p[1] == ':' && isalpha(static_cast<unsigned char>(p[0]))) {
    std::optional<std::string> folder = DriveFolder(p[0]);
    if (!folder) return std::nullopt;
    std::string rest = p.substr(2);
    if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
    return *folder + rest;
  }
  if (p[0] == '/') {
    if (p.size() >= 2 && p[1] == '/') return std::nullopt;  // UNC names are not mapped
    const std::pair<char, std::string>* drive = CoveringDrive(NativeCwd());
    if (!drive) return std::nullopt;
    return drive->second + p;
  }
  return p;  // relative to the current directory, which is the process's own
}

std::string FromNativePath(const std::string& nativePath) {
  const std::pair<char, std::string>* drive = CoveringDrive(nativePath);
  std::string rest = drive ? nativePath.substr(drive->second.size()) : nativePath;
  // A host name holding a "\" has no Windows spelling that leads back to it.
  if (rest.find('\\') != std::string::npos) return {};
  std::replace(rest.begin(), rest.end(), '/', '\\');
  if (rest.empty()) rest.push_back('\\');
  std::optional<std::string> gbk = Utf8ToGbk(rest);
  if (!gbk) return {};
  return (drive ? std::string(1, drive->first) + ":" : std::string()) + *gbk;
}

void SetLastErrorFromErrno(int error) {
  uint32_t code;
  switch (error) {
    case 0: code = kErrorSuccess; break;
    case ENOENT: code = kErrorFileNotFound; break;
    case ENOTDIR: code = kErrorPathNotFound; break;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: code = kErrorAccessDenied; break;
    case EEXIST: code = kErrorAlreadyExists; break;
    case ENOTEMPTY: code = kErrorDirNotEmpty; break;
    case ENOSPC: code = kErrorDiskFull; break;
    case ENAMETOOLONG:
    case EILSEQ: code = kErrorInvalidName; break;
    case ENOMEM: code = kErrorNotEnoughMemory; break;
    case EBADF: code = kErrorInvalidHandle; break;
    case EIO: code = kErrorWriteFault; break;
    default: code = kErrorInvalidParameter; break;
  }
  SetLastError(code);
}

}  // namespace platform::posix
