// HKEY_CURRENT_USER on POSIX, read only, from a registry file.
//
// The file is the one INSTALLER_REGISTRY_FILE names, otherwise the user.reg of the Wine
// prefix, so that a product installed under Wine is found. Three formats are read, told
// apart by their first line: "Windows Registry Editor Version 5.00" and "REGEDIT4" (in
// UTF-16LE with a BOM as `reg export` writes them, UTF-8 with a BOM, otherwise in the
// ANSI code page, GBK, as Wine's `reg import` reads them) and Wine's own
// "WINE REGISTRY Version 2". Text is decoded to UTF-16 and values are kept as Windows
// keeps them; RegQueryValueExA converts string data to GBK as the ANSI entry point does.
// A file that is missing or cannot be read holds no keys; a line that cannot be parsed
// is skipped. Every line is looked at once, so a file is read in time linear in its size.
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/inject.h"
#include "platform/posix/text.h"
#include "platform/system.h"

namespace platform {
namespace {

constexpr long kErrorBadPathname = 161;
// Access rights that need a writable registry.
constexpr uint32_t kWriteAccess = 0x0002 /* KEY_SET_VALUE */ | 0x0004 /* KEY_CREATE_SUB_KEY */ |
                                  0x0020 /* KEY_CREATE_LINK */ | 0x00010000 /* DELETE */ |
                                  0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */ |
                                  0x10000000 /* GENERIC_ALL */ | 0x40000000 /* GENERIC_WRITE */;

struct Value {
  uint32_t type = kRegNone;
  std::string data;
  // String data (types 1, 2, 7) is held as UTF-16LE unless the file gave it in ANSI.
  bool ansi = false;
};

// Key paths and value names are held folded to ASCII lower case, as they compare.
using Name = std::u16string;

struct Hive {
  std::map<Name, std::map<Name, Value>> keys;  // "software\x\y" -> values
  std::set<Name> present;                      // every key named, and all of its parents
};

struct FileStamp {
  std::string path;
  bool exists = false;
  off_t size = 0;
  struct timespec mtime {};
  bool writable = false;

  bool SameFile(const FileStamp& other) const {
    return path == other.path && exists == other.exists && size == other.size &&
           mtime.tv_sec == other.mtime.tv_sec && mtime.tv_nsec == other.mtime.tv_nsec;
  }
};

char16_t Fold(char16_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c; }

Name FoldName(Name name) {
  for (char16_t& c : name) c = Fold(c);
  return name;
}

// Joins the non-empty "\"-separated parts of a path, folded.
Name NormalizeKeyPath(const std::u16string& path) {
  Name out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += u'\\';
      out += FoldName(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string Trim(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::u16string& s, size_t at, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (at + i >= s.size() || Fold(s[at + i]) != Fold(static_cast<char16_t>(prefix[i])))
      return false;
  return true;
}

int HexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class Format { kRegedit5, kRegedit4, kWine };

// ---- Parsing ----------------------------------------------------------------------------

class Parser {
 public:
  // ansiStrings: string data given as hex bytes (hex(1), hex(2), hex(7)) is in the ANSI
  // code page rather than UTF-16LE.
  Parser(Format format, bool ansiStrings, std::vector<std::u16string> lines)
      : format_(format), ansiStrings_(ansiStrings), lines_(std::move(lines)) {}

  Hive Run() {
    for (line_ = 1; line_ < lines_.size(); ++line_) {
      const std::u16string text = Trim(lines_[line_]);
      if (text.empty() || text[0] == u';' || text[0] == u'#') continue;
      if (text[0] == u'[') {
        KeyLine(text);
      } else if (current_) {
        ValueLine(text);
      }
    }
    for (const auto& [path, values] : hive_.keys) {
      hive_.present.insert(path);
      for (size_t slash = path.find(u'\\'); slash != Name::npos;
           slash = path.find(u'\\', slash + 1))
        hive_.present.insert(path.substr(0, slash));
    }
    return std::move(hive_);
  }

 private:
  // Reads a quoted string starting at s[*pos] == '"'; *pos ends past the closing quote.
  bool QuotedString(const std::u16string& s, size_t* pos, std::u16string* out,
                    char16_t close = u'"') const {
    size_t i = *pos;
    if (close == u'"') {
      if (i >= s.size() || s[i] != u'"') return false;
      ++i;
    }
    out->clear();
    while (i < s.size() && s[i] != close) {
      if (s[i] != u'\\' || i + 1 >= s.size()) {
        *out += s[i++];
        continue;
      }
      const char16_t next = s[i + 1];
      if (format_ != Format::kWine) {
        // .reg files know only these two; any other backslash is itself.
        if (next == u'\\' || next == u'"') {
          *out += next;
          i += 2;
        } else {
          *out += s[i++];
        }
        continue;
      }
      // Wine's escapes: C's letters, \xHHHH (a UTF-16 code unit), octal, else the character.
      static constexpr std::u16string_view kLetters = u"abefnrtv";
      static constexpr std::u16string_view kMeanings = u"\a\b\x1b\f\n\r\t\v";
      i += 2;
      if (const size_t letter = kLetters.find(next); letter != std::u16string_view::npos) {
        *out += kMeanings[letter];
      } else if (next == u'x') {
        unsigned code = 0;
        int digits = 0;
        for (; digits < 4 && i < s.size() && HexDigit(s[i]) >= 0; ++digits, ++i)
          code = code * 16 + static_cast<unsigned>(HexDigit(s[i]));
        *out += digits ? static_cast<char16_t>(code) : u'x';
      } else if (next >= u'0' && next <= u'7') {
        unsigned code = next - u'0';
        for (int digits = 1; digits < 3 && i < s.size() && s[i] >= u'0' && s[i] <= u'7';
             ++digits, ++i)
          code = code * 8 + (s[i] - u'0');
        *out += static_cast<char16_t>(code);
      } else {
        *out += next;
      }
    }
    if (i >= s.size()) return false;  // not closed
    *pos = i + 1;
    return true;
  }

  void KeyLine(const std::u16string& text) {
    current_ = nullptr;
    std::u16string name;
    if (format_ == Format::kWine) {
      // [Software\\Norvell\\Lumora3.0] 1712345678, relative to HKCU, escaped.
      size_t pos = 1;
      if (!QuotedString(text, &pos, &name, u']')) return;
      current_ = &hive_.keys[NormalizeKeyPath(name)];
      return;
    }
    const size_t close = text.rfind(u']');
    if (close == std::u16string::npos) return;
    name = text.substr(1, close - 1);
    const bool remove = !name.empty() && name[0] == u'-';
    if (remove) name.erase(0, 1);
    const size_t slash = name.find(u'\\');
    const std::u16string root = FoldName(name.substr(0, slash));
    if (root != u"hkey_current_user" && root != u"hkcu") return;  // another hive
    const Name path = NormalizeKeyPath(slash == std::u16string::npos ? u"" : name.substr(slash));
    if (!remove) {
      current_ = &hive_.keys[path];
      return;
    }
    for (auto it = hive_.keys.begin(); it != hive_.keys.end();) {
      const bool below =
          it->first == path || path.empty() ||
          (it->first.size() > path.size() && it->first.compare(0, path.size(), path) == 0 &&
           it->first[path.size()] == u'\\');
      it = below ? hive_.keys.erase(it) : std::next(it);
    }
  }

  // The data part of a line: what precedes a ";" comment, without the blanks around it.
  static std::u16string_view DataPart(std::u16string_view line) {
    if (const size_t comment = line.find(u';'); comment != std::u16string_view::npos)
      line = line.substr(0, comment);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    return line;
  }

  // A hex list: bytes of one or two hex digits separated by "," (a last "," may
  // follow), read as one text across the lines that a "\" at the end continues. A ";"
  // ends a line's data; blank lines and comment lines between continued lines are passed
  // over, as Wine's `reg import` does. Each line is read once, so a long value costs
  // time in proportion to its length.
  bool HexBytes(std::u16string_view list, std::string* out) {
    out->clear();
    enum { kExpectByte, kInByte, kAfterByte } state = kExpectByte;
    int digits = 0;
    unsigned byte = 0;
    const auto endByte = [&] {
      out->push_back(static_cast<char>(byte));
      digits = 0;
      byte = 0;
    };
    for (;;) {
      std::u16string_view part = DataPart(list);
      const bool continued = !part.empty() && part.back() == u'\\';
      if (continued) part.remove_suffix(1);
      for (const char16_t c : part) {
        if (const int digit = HexDigit(c); digit >= 0) {
          if (state == kAfterByte || digits == 2) return false;
          byte = byte * 16 + static_cast<unsigned>(digit);
          ++digits;
          state = kInByte;
        } else if (IsBlank(c)) {
          if (state == kInByte) endByte(), state = kAfterByte;
        } else if (c == u',') {
          if (state == kExpectByte) return false;
          if (state == kInByte) endByte();
          state = kExpectByte;
        } else {
          return false;
        }
      }
      if (!continued) break;
      // The next line that holds data, if any.
      std::u16string_view next;
      while (line_ + 1 < lines_.size()) {
        next = lines_[++line_];
        if (!DataPart(next).empty()) break;
        next = {};
      }
      if (next.empty()) break;
      list = next;
    }
    if (state == kInByte) endByte();
    return true;
  }

  // Nothing but blanks and perhaps a ";" comment from pos on.
  static bool OnlyCommentFrom(const std::u16string& s, size_t pos) {
    while (pos < s.size() && IsBlank(s[pos])) ++pos;
    return pos == s.size() || s[pos] == u';';
  }

  // A quoted string's data: UTF-16LE with its terminating NUL.
  static std::string StringData(std::u16string text) {
    text += u'\0';
    return posix::Utf16ToBytes(text);
  }

  void ValueLine(const std::u16string& text) {
    size_t pos = 0;
    std::u16string name;
    if (text[0] == u'@') {
      pos = 1;
    } else if (!QuotedString(text, &pos, &name)) {
      return;
    }
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] != u'=') return;
    ++pos;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const Name key = FoldName(name);
    if (pos < text.size() && text[pos] == u'-' && OnlyCommentFrom(text, pos + 1)) {
      current_->erase(key);
      return;
    }

    Value value;
    std::u16string quoted;
    if (pos < text.size() && text[pos] == u'"') {
      if (!QuotedString(text, &pos, &quoted) || !OnlyCommentFrom(text, pos)) return;
      value.type = kRegSz;
      value.data = StringData(quoted);
    } else if (format_ == Format::kWine && StartsWithNoCase(text, pos, "str(")) {
      // str(2):"..." and str(7):"...": string data of the given type.
      size_t close = text.find(u')', pos);
      if (close == std::u16string::npos || close + 1 >= text.size() || text[close + 1] != u':')
        return;
      uint32_t type = 0;
      for (size_t i = pos + 4; i < close; ++i) {
        if (HexDigit(text[i]) < 0) return;
        type = type * 16 + static_cast<uint32_t>(HexDigit(text[i]));
      }
      pos = close + 2;
      if (!QuotedString(text, &pos, &quoted) || !OnlyCommentFrom(text, pos)) return;
      value.type = type;
      value.data = StringData(quoted);
    } else if (StartsWithNoCase(text, pos, "dword:")) {
      pos += 6;
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      uint32_t number = 0;
      int digits = 0;
      for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos, ++digits)
        number = number * 16 + static_cast<uint32_t>(HexDigit(text[pos]));
      if (digits == 0 || digits > 8 || !OnlyCommentFrom(text, pos)) return;
      value.type = kRegDword;
      for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    } else if (StartsWithNoCase(text, pos, "hex")) {
      pos += 3;
      uint32_t type = kRegBinary;
      if (pos < text.size() && text[pos] == u'(') {
        const size_t close = text.find(u')', pos);
        if (close == std::u16string::npos || close == pos + 1) return;
        type = 0;
        for (size_t i = pos + 1; i < close; ++i) {
          if (HexDigit(text[i]) < 0) return;
          type = type * 16 + static_cast<uint32_t>(HexDigit(text[i]));
        }
        pos = close + 1;
      }
      if (pos >= text.size() || text[pos] != u':') return;
      if (!HexBytes(std::u16string_view(text).substr(pos + 1), &value.data)) return;
      value.type = type;
      value.ansi = ansiStrings_;
    } else {
      return;
    }
    (*current_)[key] = std::move(value);
  }

  Format format_;
  bool ansiStrings_;
  std::vector<std::u16string> lines_;
  size_t line_ = 0;
  Hive hive_;
  std::map<Name, Value>* current_ = nullptr;
};

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != u'\n' && text[i] != u'\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  return lines;
}

Hive ParseRegistryFile(const std::string& bytes) {
  // The encoding is told by the BOM, as Wine's `reg import` tells it: UTF-16LE, else
  // the ANSI code page. Wine's own user.reg is ASCII with escapes; its loader takes
  // other bytes as UTF-8. A UTF-8 BOM, which `reg import` refuses, is taken at its word.
  enum class Encoding { kUtf16, kUtf8, kAnsi } encoding;
  static constexpr std::string_view kWineHeader = "WINE REGISTRY Version 2";
  std::u16string text;
  if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
    encoding = Encoding::kUtf16;
    text = posix::BytesToUtf16(bytes.substr(2));
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    encoding = Encoding::kUtf8;
    text = posix::Utf8ToUtf16(bytes.substr(3));
  } else if (bytes.compare(0, kWineHeader.size(), kWineHeader) == 0) {
    encoding = Encoding::kUtf8;
    text = posix::Utf8ToUtf16(bytes);
  } else {
    encoding = Encoding::kAnsi;
    text = posix::GbkToUtf16(bytes);
  }
  std::vector<std::u16string> lines = SplitLines(text);
  if (lines.empty()) return {};
  const std::u16string header = Trim(lines[0]);
  Format format;
  if (header == u"Windows Registry Editor Version 5.00") {
    format = Format::kRegedit5;
  } else if (header == u"REGEDIT4") {
    format = Format::kRegedit4;
  } else if (header == u"WINE REGISTRY Version 2") {
    format = Format::kWine;
  } else {
    return {};
  }
  // String data in hex form follows the file: ANSI bytes in an ANSI file (Wine converts
  // them as it converts the text), UTF-16LE in a UTF-16 one. A REGEDIT4 file saved as
  // UTF-8 keeps the ANSI bytes regedit wrote; user.reg holds UTF-16LE.
  const bool utf8Regedit4 = encoding == Encoding::kUtf8 && format == Format::kRegedit4;
  const bool ansiStrings =
      format != Format::kWine && (encoding == Encoding::kAnsi || utf8Regedit4);
  return Parser(format, ansiStrings, std::move(lines)).Run();
}

// ---- The registry as the process sees it ------------------------------------------------

std::string RegistryFilePath() {
  if (const char* file = getenv("INSTALLER_REGISTRY_FILE"); file && *file) return file;
  if (const char* prefix = getenv("WINEPREFIX"); prefix && *prefix)
    return std::string(prefix) + "/user.reg";
  if (const char* home = getenv("HOME"); home && *home)
    return std::string(home) + "/.wine/user.reg";
  return {};
}

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  stamp.path = path;
  struct stat st {};
  if (!path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtime = st.st_mtim;
    // Root passes every access(2) test, so the permission bits decide, as the
    // read-only attribute does on Windows.
    stamp.writable = (st.st_mode & 0222) != 0;
  }
  return stamp;
}

class Registry {
 public:
  std::mutex lock;

  // Re-reads the file when it is another one, or was changed, since the last look.
  void Refresh() {
    FileStamp stamp = StampOf(RegistryFilePath());
    if (loaded_ && stamp.SameFile(stamp_)) {
      stamp_.writable = stamp.writable;
      return;
    }
    hive_ = {};
    if (stamp.exists) {
      std::ifstream in(stamp.path, std::ios::binary);
      std::ostringstream content;
      content << in.rdbuf();
      if (in) hive_ = ParseRegistryFile(content.str());
    }
    stamp_ = stamp;
    loaded_ = true;
  }

  bool Exists(const Name& path) const { return path.empty() || hive_.present.count(path) > 0; }
  bool Writable() const { return stamp_.writable; }

  const Value* Find(const Name& path, const Name& valueName) const {
    auto key = hive_.keys.find(path);
    if (key == hive_.keys.end()) return nullptr;
    auto value = key->second.find(valueName);
    return value == key->second.end() ? nullptr : &value->second;
  }

  HKey Open(const Name& path) {
    const HKey handle = nextHandle_++;
    handles_[handle] = path;
    return handle;
  }
  const Name* PathOf(HKey key) const {
    static const Name root;
    if (key == kHKeyCurrentUser) return &root;
    auto it = handles_.find(key);
    return it == handles_.end() ? nullptr : &it->second;
  }
  bool Close(HKey key) { return handles_.erase(key) > 0; }

 private:
  bool loaded_ = false;
  FileStamp stamp_;
  Hive hive_;
  std::map<HKey, Name> handles_;
  HKey nextHandle_ = 0x100;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// The data RegQueryValueExA hands out: string types in GBK, NUL-terminated.
std::string AnsiData(const Value& value) {
  if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz)
    return value.data;
  std::string data =
      value.ansi ? value.data : posix::Utf16ToGbkLossy(posix::BytesToUtf16(value.data));
  if (!data.empty() && data.back() != '\0') data += '\0';
  return data;
}

}  // namespace

long RegOpenKeyExA(HKey key, const std::string& subKey, uint32_t /*options*/, uint32_t samDesired,
                   HKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  const Name* base = registry.PathOf(key);
  if (!base) return kErrorInvalidHandle;
  if (!subKey.empty() && subKey[0] == '\\') return kErrorBadPathname;
  Name path = *base;
  const Name sub = NormalizeKeyPath(posix::GbkToUtf16(subKey));
  if (!sub.empty()) path += (path.empty() ? u"" : u"\\") + sub;
  registry.Refresh();
  if (!registry.Exists(path)) return kErrorFileNotFound;
  if ((samDesired & kWriteAccess) && !registry.Writable()) return kErrorAccessDenied;
  *result = registry.Open(path);
  return kErrorSuccess;
}

long RegQueryValueExA(HKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize) {
  if (auto answer = inject::Ask(&inject::Services::regQueryValue, key, valueName, type, data,
                                dataSize))
    return *answer;
  if (data && !dataSize) return kErrorInvalidParameter;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  const Name* path = registry.PathOf(key);
  if (!path) return kErrorInvalidHandle;
  if (key == kHKeyCurrentUser) registry.Refresh();
  const Value* value = registry.Find(*path, FoldName(posix::GbkToUtf16(valueName)));
  if (!value) return kErrorFileNotFound;
  const std::string bytes = AnsiData(*value);
  const auto size = static_cast<uint32_t>(bytes.size());
  if (type) *type = value->type;
  if (!data) {
    if (dataSize) *dataSize = size;
    return kErrorSuccess;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return kErrorMoreData;
  }
  std::copy(bytes.begin(), bytes.end(), data);
  *dataSize = size;
  return kErrorSuccess;
}

long RegCloseKey(HKey key) {
  if (key == kHKeyCurrentUser) return kErrorSuccess;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  return registry.Close(key) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace platform
