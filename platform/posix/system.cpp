// Clock, code pages and debugger output on POSIX.
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

#include <cstring>

#include "platform/inject.h"
#include "platform/posix/native.h"
#include "platform/system.h"

namespace platform {

SystemTime GetLocalTime() {
  if (auto answer = inject::Ask(&inject::Services::localTime)) return *answer;
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm tm {};
  localtime_r(&now.tv_sec, &tm);
  SystemTime t;
  t.year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.month = static_cast<uint16_t>(tm.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(tm.tm_wday);
  t.day = static_cast<uint16_t>(tm.tm_mday);
  t.hour = static_cast<uint16_t>(tm.tm_hour);
  t.minute = static_cast<uint16_t>(tm.tm_min);
  t.second = static_cast<uint16_t>(tm.tm_sec);
  t.milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
  return t;
}

// A Chinese Windows separates hours, minutes and seconds with ":"; the stand-in keeps it.
std::string TimeSeparator() { return ":"; }

// Code page 936: lead bytes are 0x81..0xFE.
bool IsDBCSLeadByte(uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

// The OEM and ANSI code pages are both 936 on the systems this installer serves.
std::string OemToCharA(const std::string& oem) { return oem; }

std::optional<std::string> Utf8ToAnsi(const std::string& utf8) { return posix::Utf8ToGbk(utf8); }

std::string AnsiToUtf8(const std::string& ansi) {
  if (std::optional<std::string> whole = posix::GbkToUtf8(ansi)) return *whole;
  // Decode character by character so that one bad byte costs one replacement character.
  std::string out;
  for (size_t i = 0; i < ansi.size();) {
    const uint8_t byte = static_cast<uint8_t>(ansi[i]);
    const size_t width = (IsDBCSLeadByte(byte) && i + 1 < ansi.size()) ? 2 : 1;
    std::optional<std::string> piece = posix::GbkToUtf8(ansi.substr(i, width));
    out += piece ? *piece : "\xEF\xBF\xBD";
    i += width;
  }
  return out;
}

void OutputDebugStringA(const std::string& text) {
  if (inject::Ask(&inject::Services::debugOutput, text)) return;
  const char* wanted = getenv("INSTALLER_DEBUG_OUTPUT");
  if (!wanted || strcmp(wanted, "1") != 0) return;
  const std::string line = AnsiToUtf8(text);
  fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace platform
