// Clock, configuration files, code pages, registry and debugger output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// ---- Local time ----------------------------------------------------------------------
struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;      // 1..12
  uint16_t dayOfWeek = 0;  // 0 = Sunday
  uint16_t day = 0;        // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

SystemTime GetLocalTime();

// The user locale's time separator (":" in the usual settings).
std::string TimeSeparator();

// ---- INI files -------------------------------------------------------------------------
// GetPrivateProfileStringA: section and key compare without regard to ASCII case; the
// value loses surrounding blanks and one pair of matching surrounding quotes; a missing
// file, section or key gives the default with its trailing blanks removed.
std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultValue,
                                     const std::string& fileName);

// ---- Code pages ----------------------------------------------------------------------
// True when the byte starts a double-byte character in the ANSI code page.
bool IsDBCSLeadByte(uint8_t byte);
// OEM to ANSI conversion of a whole string (OemToCharBuffA).
std::string OemToCharA(const std::string& oem);
// UTF-8 to the ANSI code page; nullopt when a character has no ANSI form.
std::optional<std::string> Utf8ToAnsi(const std::string& utf8);
// ANSI code page to UTF-8; bytes that do not decode become U+FFFD.
std::string AnsiToUtf8(const std::string& ansi);

// ---- Registry (HKEY_CURRENT_USER only) ---------------------------------------------------
using HKey = intptr_t;
inline constexpr HKey kHKeyCurrentUser = static_cast<HKey>(static_cast<int32_t>(0x80000001u));

inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// Return codes are Windows error codes (0 = success).
long RegOpenKeyExA(HKey key, const std::string& subKey, uint32_t options, uint32_t samDesired,
                   HKey* result);
// With data null: stores the value's size in *dataSize. With data: copies up to
// *dataSize bytes, or returns kErrorMoreData (with the size needed) when they do not fit.
long RegQueryValueExA(HKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize);
long RegCloseKey(HKey key);

// ---- Debugger output -------------------------------------------------------------------
// OutputDebugStringA. On POSIX the text goes to stderr when INSTALLER_DEBUG_OUTPUT=1.
void OutputDebugStringA(const std::string& text);

}  // namespace platform
