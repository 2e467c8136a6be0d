// Text conversions of the POSIX backend's registry and INI readers, which meet UTF-16
// and UTF-8 files but must hand out GBK exactly as the ANSI entry points of Windows do.
#pragma once

#include <string>

namespace platform::posix {

// UTF-16 code units to GBK. A character without a GBK form becomes "?", one per code
// unit (a surrogate pair gives "??"), as WideCharToMultiByte does for code page 936.
std::string Utf16ToGbkLossy(const std::u16string& text);
// The same for UTF-8 text; bytes that do not decode count as characters without a form.
std::string Utf8ToGbkLossy(const std::string& text);

// GBK to UTF-16; a byte that does not start a valid character becomes U+FFFD.
std::u16string GbkToUtf16(const std::string& text);
// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

// Little-endian byte form of UTF-16 text and back (an odd last byte is dropped).
std::string Utf16ToBytes(const std::u16string& text);
std::u16string BytesToUtf16(const std::string& bytes);

}  // namespace platform::posix
