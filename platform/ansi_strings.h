// Path strings in the ANSI code page. In GBK the second byte of a double-byte character
// can be 0x5C, the byte of "\", so every search for a separator walks characters, not
// bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Index of the last character of s that is one of the single-byte delimiters, or npos.
size_t AnsiLastDelimiter(std::string_view delimiters, std::string_view s);

// path + "\" unless its last character already is a single-byte "\".
std::string IncludeTrailingBackslash(const std::string& path);
// path without a final single-byte "\" (when it has one).
std::string ExcludeTrailingBackslash(const std::string& path);

// "C:\dir\name.ext" -> "C:\dir\" and "name.ext" (split after the last "\" or ":").
std::string ExtractFilePath(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// "name.ext" -> "name": the name without its last extension.
std::string ChangeFileExtToNone(const std::string& fileName);

}  // namespace platform
