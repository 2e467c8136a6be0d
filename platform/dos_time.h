// Calendar arithmetic and DOS date/times: the 32-bit local stamp of FAT and zip records,
// date in the high half (years from 1980: 7 bits, month: 4, day: 5), time in the low half
// (hour: 5 bits, minute: 6, seconds / 2: 5).
#pragma once

#include <cstdint>

namespace platform {

bool IsLeapYear(int year);
// Days of month (1..12) in year; 31 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Days from 1899-12-30 to a civil date.
int64_t DaysSince18991230(int year, int month, int day);

struct DosFields {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
DosFields UnpackDosDateTime(uint32_t value);
// Packs fields that fit (year 1980..2107, seconds rounded down to even).
uint32_t PackDosDateTime(const DosFields& fields);
// A real date and time: the day within its month, hour <= 23, minute and second <= 59.
bool IsValidDosDateTime(uint32_t value);
// Clamps hour <= 23, minute and second <= 59, year 1980..2099, month 1..12, day 1..31; a
// value that needs no correction is returned unchanged.
uint32_t SanitizeDosDateTime(uint32_t value);
// Seconds since 1899-12-30 00:00, or 0 when the value is not a real date and time.
int64_t DosDateTimeSeconds(uint32_t value);

}  // namespace platform
