#include "platform/dos_time.h"

#include <algorithm>

namespace platform {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t DaysSince18991230(int year, int month, int day) {
  // Days from 1970-01-01 (the civil-to-days count over 400-year eras), then shifted.
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25569;
}

DosFields UnpackDosDateTime(uint32_t value) {
  DosFields f;
  f.year = 1980 + static_cast<int>(value >> 25 & 0x7F);
  f.month = static_cast<int>(value >> 21 & 0x0F);
  f.day = static_cast<int>(value >> 16 & 0x1F);
  f.hour = static_cast<int>(value >> 11 & 0x1F);
  f.minute = static_cast<int>(value >> 5 & 0x3F);
  f.second = static_cast<int>(value & 0x1F) * 2;
  return f;
}

uint32_t PackDosDateTime(const DosFields& f) {
  return static_cast<uint32_t>(f.year - 1980) << 25 | static_cast<uint32_t>(f.month) << 21 |
         static_cast<uint32_t>(f.day) << 16 | static_cast<uint32_t>(f.hour) << 11 |
         static_cast<uint32_t>(f.minute) << 5 | static_cast<uint32_t>(f.second / 2);
}

bool IsValidDosDateTime(uint32_t value) {
  const DosFields f = UnpackDosDateTime(value);
  return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= DaysInMonth(f.year, f.month) &&
         f.hour <= 23 && f.minute <= 59 && f.second <= 59;
}

uint32_t SanitizeDosDateTime(uint32_t value) {
  DosFields f = UnpackDosDateTime(value);
  const DosFields clamped{std::clamp(f.year, 1980, 2099), std::clamp(f.month, 1, 12),
                          std::clamp(f.day, 1, 31),       std::min(f.hour, 23),
                          std::min(f.minute, 59),         std::min(f.second, 59)};
  const bool same = clamped.year == f.year && clamped.month == f.month && clamped.day == f.day &&
                    clamped.hour == f.hour && clamped.minute == f.minute &&
                    clamped.second == f.second;
  return same ? value : PackDosDateTime(clamped);
}

int64_t DosDateTimeSeconds(uint32_t value) {
  if (!IsValidDosDateTime(value)) return 0;
  const DosFields f = UnpackDosDateTime(value);
  return DaysSince18991230(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 +
         f.second;
}

}  // namespace platform
