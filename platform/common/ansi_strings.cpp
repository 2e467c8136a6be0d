#include "platform/ansi_strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/system.h"

namespace platform {

bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<uint8_t>(c)); }

bool IsTrailByte(std::string_view text, size_t index) {
  // Walk from the start: lead bytes pair with the byte after them.
  size_t i = 0;
  while (i < index) i += IsLeadByte(text[i]) ? 2 : 1;
  return i > index;
}

size_t AnsiLastDelimiter(std::string_view delimiters, std::string_view s) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLeadByte(s[i]) && i + 1 < s.size()) {
      ++i;  // the trail byte is part of the character, never a delimiter
      continue;
    }
    if (delimiters.find(s[i]) != std::string_view::npos) found = i;
  }
  return found;
}

bool EndsWithBackslash(std::string_view path) {
  return !path.empty() && path.back() == '\\' && !IsTrailByte(path, path.size() - 1);
}

std::string IncludeTrailingBackslash(const std::string& path) {
  return EndsWithBackslash(path) ? path : path + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  return EndsWithBackslash(path) ? path.substr(0, path.size() - 1) : path;
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t at = AnsiLastDelimiter("\\:", fileName);
  return at == std::string::npos ? std::string() : fileName.substr(0, at + 1);
}

std::string ExtractFileName(const std::string& fileName) {
  const size_t at = AnsiLastDelimiter("\\:", fileName);
  return at == std::string::npos ? fileName : fileName.substr(at + 1);
}

std::string ExtractFileExt(const std::string& fileName) {
  const size_t at = AnsiLastDelimiter(".\\:", fileName);
  if (at == std::string::npos || fileName[at] != '.') return {};
  return fileName.substr(at);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  const size_t at = AnsiLastDelimiter(".\\:", fileName);
  if (at == std::string::npos || fileName[at] != '.') return fileName + extension;
  return fileName.substr(0, at) + extension;
}

namespace {
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string UpperCaseAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), UpperAscii);
  return text;
}

std::string LowerCaseAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), LowerAscii);
  return text;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int x = static_cast<uint8_t>(UpperAscii(a[i]));
    const int y = static_cast<uint8_t>(UpperAscii(b[i]));
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameTextAnsi(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

}  // namespace platform
