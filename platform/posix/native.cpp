#include "platform/posix/native.h"

#include <dirent.h>
#include <iconv.h>
#include <limits.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

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

// ---- Names whatever their case ----------------------------------------------------------

// Upper case as Windows compares names: ASCII by hand, the rest by the C.UTF-8 locale's
// table (ASCII only when that locale is missing).
char32_t UpperCase(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return utf8 ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8)) : c;
}

// The code points of UTF-8 text in upper case; false when the bytes are not UTF-8.
bool FoldUtf8(std::string_view text, std::u32string* out) {
  out->clear();
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length = 1;
    char32_t code = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, code = lead & 0x07;
    } else if (lead >= 0x80) {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((byte(i + k) & 0xC0) != 0x80) return false;
      code = (code << 6) | (byte(i + k) & 0x3F);
    }
    out->push_back(UpperCase(code));
    i += length;
  }
  return true;
}

// A name as it is looked for: upper case, and whether it is plain ASCII.
struct WantedName {
  std::u32string folded;
  bool ascii = true;
};

bool SameName(std::string_view entry, const WantedName& wanted, std::u32string* scratch) {
  if (wanted.ascii) {
    // The common case costs a byte loop; other names go the long way (a few non-ASCII
    // letters have an ASCII upper case).
    bool ascii = true;
    for (char c : entry) ascii = ascii && (c & 0x80) == 0;
    if (ascii) {
      if (entry.size() != wanted.folded.size()) return false;
      for (size_t i = 0; i < entry.size(); ++i)
        if (UpperCase(static_cast<unsigned char>(entry[i])) != wanted.folded[i]) return false;
      return true;
    }
  }
  return FoldUtf8(entry, scratch) && *scratch == wanted.folded;
}

enum class Lookup { kFound, kNoMatch, kNoFolder };

// Looks in folder for the entry that matches name case-insensitively (the first in byte
// order when several do). kNoFolder: the folder does not exist as spelled.
Lookup FindInFolder(const std::string& folder, std::string_view name, std::string* found) {
  WantedName wanted;
  if (!FoldUtf8(name, &wanted.folded)) return Lookup::kNoMatch;
  for (char c : name) wanted.ascii = wanted.ascii && (c & 0x80) == 0;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return errno == ENOENT || errno == ENOTDIR ? Lookup::kNoFolder : Lookup::kNoMatch;
  bool any = false;
  std::u32string scratch;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string_view candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (SameName(candidate, wanted, &scratch) && (!any || candidate < *found)) {
      *found = std::string(candidate);
      any = true;
    }
  }
  closedir(dir);
  return any ? Lookup::kFound : Lookup::kNoMatch;
}

// The folder that holds the name starting at `begin`: what precedes it without its "/",
// else "/" or "." (the current directory).
std::string FolderHolding(const std::string& native, size_t begin) {
  size_t end = begin;
  while (end > 0 && native[end - 1] == '/') --end;
  if (end > 0) return native.substr(0, end);
  return std::string(1, native[0] == '/' ? '/' : '.');
}

bool Exists(const std::string& nativePath) {
  struct stat st;
  return lstat(nativePath.c_str(), &st) == 0;
}

// Windows finds a name whatever its case; the host's file system compares names exactly.
// When the path does not exist as spelled, each of its names past the first `fixed`
// bytes (the drive's folder) that is absent as spelled is looked up in its folder
// case-insensitively and takes the existing spelling. From the first name without a
// match on, the rest stays as given: what is created takes the spelling of the existing
// folders above it. With keepLastName, only the folders are looked up. A path that
// exists as spelled costs one lstat; a new name in an existing folder one read of it.
std::string WithExistingSpelling(std::string native, size_t fixed, bool keepLastName) {
  if (keepLastName) {
    const size_t slash = native.find_last_of('/');
    if (slash == std::string::npos || slash < fixed) return native;
    return WithExistingSpelling(native.substr(0, slash), fixed, false) + native.substr(slash);
  }
  if (native.size() <= fixed || Exists(native) || errno != ENOENT) return native;
  std::vector<std::pair<size_t, size_t>> names;  // [begin, end) of each name past fixed
  for (size_t i = fixed; i < native.size();) {
    if (native[i] == '/') {
      ++i;
      continue;
    }
    const size_t end = std::min(native.find('/', i), native.size());
    names.emplace_back(i, end);
    i = end;
  }
  if (names.empty()) return native;
  const auto lookUp = [&](size_t i, std::string* match) {
    const auto [begin, end] = names[i];
    return FindInFolder(FolderHolding(native, begin),
                        std::string_view(native).substr(begin, end - begin), match);
  };
  // The deepest folder that exists as spelled, nearest first.
  size_t i = names.size() - 1;
  std::string match;
  Lookup found = lookUp(i, &match);
  while (found == Lookup::kNoFolder && i > 0) found = lookUp(--i, &match);
  while (found == Lookup::kFound) {
    const auto [begin, end] = names[i];
    native.replace(begin, end - begin, match);
    const ptrdiff_t shift =
        static_cast<ptrdiff_t>(match.size()) - static_cast<ptrdiff_t>(end - begin);
    for (size_t k = i + 1; k < names.size(); ++k) {
      names[k].first = static_cast<size_t>(static_cast<ptrdiff_t>(names[k].first) + shift);
      names[k].second = static_cast<size_t>(static_cast<ptrdiff_t>(names[k].second) + shift);
    }
    // The names below that exist as spelled stay; the next one that does not is looked up.
    do {
      if (++i == names.size()) return native;
    } while (Exists(native.substr(0, names[i].second)));
    found = lookUp(i, &match);
  }
  return native;
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

std::optional<std::string> ToNativePath(const std::string& path, bool keepLastName) {
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
    return WithExistingSpelling(*folder + rest, folder->size(), keepLastName);
  }
  if (p[0] == '/') {
    if (p.size() >= 2 && p[1] == '/') return std::nullopt;  // UNC names are not mapped
    const std::pair<char, std::string>* drive = CoveringDrive(NativeCwd());
    if (!drive) return std::nullopt;
    return WithExistingSpelling(drive->second + p, drive->second.size(), keepLastName);
  }
  // Relative to the current directory, which is the process's own.
  return WithExistingSpelling(std::move(p), 0, keepLastName);
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
