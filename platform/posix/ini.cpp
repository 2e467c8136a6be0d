// GetPrivateProfileStringA on POSIX, for a named section and key, giving what the
// Windows entry point gives (its behaviour under Wine is the reference):
// - the file is ANSI (GBK) text unless it starts with a UTF-8 or UTF-16 byte order mark,
//   in which case it is converted to GBK ("?" for characters without a GBK form);
// - lines end at CR, LF or CR LF, and at a NUL byte; blanks are the C blanks and 0x1A;
// - "[name]" (up to the last "]", text after it ignored) starts a section; lines before
//   the first section belong to a section named "";
// - any other line is a key: the text before its first "=", or the whole line when it
//   has no "=" (such a key has no value and reads as the default). No comment syntax;
// - the first section with the name decides, and the first key with the name in it;
// - names compare without regard to ASCII case, after dropping surrounding blanks of
//   both the file's names and the arguments;
// - a value loses its surrounding blanks, then one pair of matching quotes (" or ')
//   around it;
// - the default loses its trailing spaces (but never its first character) and, like a
//   value, one pair of matching quotes.
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/ansi_strings.h"
#include "platform/posix/native.h"
#include "platform/posix/text.h"
#include "platform/system.h"

namespace platform {
namespace {

// The blanks that surround names and values. None of them can be the second byte of a
// GBK character (those are 0x40 and above), so bytewise trimming is safe.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string StripQuotes(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

std::string DefaultValue(const std::string& value) {
  size_t end = value.size();
  while (end > 1 && value[end - 1] == ' ') --end;
  return StripQuotes(value.substr(0, end));
}

// The file's text in GBK, or nullopt when it cannot be read.
std::optional<std::string> ReadIniText(const std::string& fileName) {
  const std::optional<std::string> native = posix::ToNativePath(fileName);
  if (!native || native->empty()) return std::nullopt;
  std::ifstream in(*native, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  const std::string bytes = content.str();
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return posix::Utf8ToGbkLossy(bytes.substr(3));
  if (bytes.compare(0, 2, "\xFF\xFE") == 0)
    return posix::Utf16ToGbkLossy(posix::BytesToUtf16(bytes.substr(2)));
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    std::string swapped = bytes.substr(2);
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return posix::Utf16ToGbkLossy(posix::BytesToUtf16(swapped));
  }
  return bytes;
}

}  // namespace

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, const std::string& fileName) {
  const std::optional<std::string> text = ReadIniText(fileName);
  if (!text) return DefaultValue(defaultValue);
  const std::string wantedSection = Trim(section);
  const std::string wantedKey = Trim(key);

  // Lines before the first header are in the section "", which therefore comes first.
  bool inSection = wantedSection.empty();
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find_first_of(std::string("\r\n\0", 3), start);
    if (end == std::string::npos) end = text->size();
    const std::string line = Trim(text->substr(start, end - start));
    start = end + 1;
    // A NUL ends the line's text; what follows it up to the line end is not read.
    if (end < text->size() && (*text)[end] == '\0') {
      const size_t lineEnd = text->find_first_of("\r\n", start);
      start = lineEnd == std::string::npos ? text->size() : lineEnd + 1;
    }
    if (line.empty()) continue;

    if (line[0] == '[') {
      const size_t close = AnsiLastDelimiter("]", line);
      if (close != std::string::npos) {
        if (inSection) break;  // the first section of that name decides, and lacks the key
        inSection = SameTextAnsi(Trim(line.substr(1, close - 1)), wantedSection);
        continue;
      }
      // Without its "]" the line is an ordinary key line.
    }
    if (!inSection) continue;
    const size_t equals = line.find('=');
    const std::string name = Trim(line.substr(0, equals));
    if (!SameTextAnsi(name, wantedKey)) continue;
    if (equals == std::string::npos) return DefaultValue(defaultValue);
    return StripQuotes(Trim(line.substr(equals + 1)));
  }
  return DefaultValue(defaultValue);
}

}  // namespace platform
