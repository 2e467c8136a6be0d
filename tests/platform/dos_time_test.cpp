// DOS date/times and the calendar arithmetic under them.
#include <gtest/gtest.h>

#include "platform/dos_time.h"

using namespace platform;

namespace {

TEST(PlatformDosTime, PackAndUnpackAreInverseForEveryField) {
  const DosFields cases[] = {
      {1980, 1, 1, 0, 0, 0}, {2107, 12, 31, 23, 59, 58}, {2024, 2, 29, 12, 34, 56}};
  for (const DosFields& f : cases) {
    const DosFields back = UnpackDosDateTime(PackDosDateTime(f));
    EXPECT_EQ(back.year, f.year);
    EXPECT_EQ(back.month, f.month);
    EXPECT_EQ(back.day, f.day);
    EXPECT_EQ(back.hour, f.hour);
    EXPECT_EQ(back.minute, f.minute);
    EXPECT_EQ(back.second, f.second);
  }
  // Seconds are stored halved: an odd second reads back one less.
  EXPECT_EQ(UnpackDosDateTime(PackDosDateTime({2000, 6, 15, 10, 20, 31})).second, 30);
}

TEST(PlatformDosTime, OnlyRealDatesAndTimesAreValid) {
  struct Case {
    DosFields f;
    bool valid;
  };
  const Case cases[] = {
      {{2024, 2, 29, 0, 0, 0}, true},    // leap year
      {{2023, 2, 29, 0, 0, 0}, false},   // not one
      {{2000, 2, 29, 0, 0, 0}, true},    // divisible by 400
      {{2100, 2, 29, 0, 0, 0}, false},   // by 100 only
      {{2001, 4, 31, 0, 0, 0}, false},
      {{2001, 0, 1, 0, 0, 0}, false},
      {{2001, 13, 1, 0, 0, 0}, false},
      {{2001, 1, 0, 0, 0, 0}, false},
      {{2001, 1, 1, 24, 0, 0}, false},
      {{2001, 1, 1, 23, 60, 0}, false},
      {{2001, 1, 1, 23, 59, 60}, false},
      {{2001, 1, 31, 23, 59, 58}, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsValidDosDateTime(PackDosDateTime(c.f)), c.valid)
        << c.f.year << "-" << c.f.month << "-" << c.f.day << " " << c.f.hour << ":"
        << c.f.minute << ":" << c.f.second;
}

TEST(PlatformDosTime, SecondsCountFromTheEndOf1899) {
  EXPECT_EQ(DaysSince18991230(1899, 12, 30), 0);
  EXPECT_EQ(DaysSince18991230(1970, 1, 1), 25569);
  EXPECT_EQ(DaysSince18991230(2000, 3, 1), 36586);
  EXPECT_EQ(DosDateTimeSeconds(PackDosDateTime({1980, 1, 1, 1, 2, 4})),
            DaysSince18991230(1980, 1, 1) * 86400 + 3600 + 120 + 4);
  EXPECT_EQ(DaysInMonth(2023, 2), 28);
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2024, 13), 31);
}

}  // namespace
