#include "platform/ansi_strings.h"

#include "platform/system.h"

namespace platform {

size_t AnsiLastDelimiter(std::string_view delimiters, std::string_view s) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size()) {
      ++i;  // the trail byte is part of the character, never a delimiter
      continue;
    }
    if (delimiters.find(s[i]) != std::string_view::npos) found = i;
  }
  return found;
}

namespace {

bool EndsWithBackslash(const std::string& path) {
  return !path.empty() && AnsiLastDelimiter("\\", path) == path.size() - 1;
}

}  // namespace

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

std::string ChangeFileExtToNone(const std::string& fileName) {
  const size_t at = AnsiLastDelimiter(".\\:", fileName);
  return at != std::string::npos && fileName[at] == '.' ? fileName.substr(0, at) : fileName;
}

}  // namespace platform
