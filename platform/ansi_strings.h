// Byte strings in the ANSI code page (GBK). In GBK the second byte of a double-byte
// character can be 0x5C, the byte of "\", so every search for a separator walks
// characters, not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// True when c begins a double-byte character of the ANSI code page (IsDBCSLeadByte).
bool IsLeadByte(char c);
// True when the byte at index is the second byte of a double-byte character.
bool IsTrailByte(std::string_view text, size_t index);

// Index of the last character of s that is one of the single-byte delimiters, or npos.
size_t AnsiLastDelimiter(std::string_view delimiters, std::string_view s);
// True when the last character is a single-byte "\".
bool EndsWithBackslash(std::string_view path);
// path + "\" unless its last character already is a single-byte "\".
std::string IncludeTrailingBackslash(const std::string& path);
// path without a final single-byte "\" (when it has one).
std::string ExcludeTrailingBackslash(const std::string& path);

// "C:\dir\name.ext" -> "C:\dir\" and "name.ext" (split after the last "\" or ":").
std::string ExtractFilePath(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// From the last "." of the name part (included), or "".
std::string ExtractFileExt(const std::string& fileName);
// The name with its last extension replaced by extension ("" removes it).
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);

// ASCII letters in upper / lower case, every byte alike.
std::string UpperCaseAscii(std::string text);
std::string LowerCaseAscii(std::string text);
// ASCII letters compared without case, then the lengths (<0, 0, >0).
int CompareTextAscii(std::string_view a, std::string_view b);
// Equality ignoring the case of ASCII letters, trail bytes of double-byte characters
// compared exactly (the system locale's case-insensitive comparison for GBK names).
bool SameTextAnsi(std::string_view a, std::string_view b);

// printf-style formatting into a byte string.
std::string Format(const char* format, ...);

}  // namespace platform
