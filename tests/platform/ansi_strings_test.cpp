// Path-string helpers in code page 936: a 0x5C trail byte is never a separator.
#include <gtest/gtest.h>

#include "platform/ansi_strings.h"

using namespace platform;

namespace {

const std::string kQian = "\x9C\x5C";  // 淺: second byte 0x5C
const std::string kShuoMing = "\xCB\xB5\xC3\xF7";  // 说明

struct PathCase {
  std::string path, withBackslash, withoutBackslash, filePath, fileName;
};

TEST(PlatformAnsiStrings, SplitsAndBackslashesWalkCharacters) {
  const PathCase cases[] = {
      {"C:\\Lumora", "C:\\Lumora\\", "C:\\Lumora", "C:\\", "Lumora"},
      {"C:\\Lumora\\", "C:\\Lumora\\", "C:\\Lumora", "C:\\Lumora\\", ""},
      {"D:\\" + kShuoMing + kQian, "D:\\" + kShuoMing + kQian + "\\", "D:\\" + kShuoMing + kQian,
       "D:\\", kShuoMing + kQian},
      {"D:\\" + kQian + "\\a.txt", "D:\\" + kQian + "\\a.txt\\", "D:\\" + kQian + "\\a.txt",
       "D:\\" + kQian + "\\", "a.txt"},
      {kQian, kQian + "\\", kQian, "", kQian},
      {"C:name", "C:name\\", "C:name", "C:", "name"},
      {"", "\\", "", "", ""},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(IncludeTrailingBackslash(c.path), c.withBackslash) << c.path;
    EXPECT_EQ(ExcludeTrailingBackslash(c.path), c.withoutBackslash) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.filePath) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.fileName) << c.path;
  }
}

TEST(PlatformAnsiStrings, LastDelimiterAndExtension) {
  EXPECT_EQ(AnsiLastDelimiter("\\", "a\\b\\c"), 3u);
  EXPECT_EQ(AnsiLastDelimiter("\\", "a\\" + kQian), 1u);
  EXPECT_EQ(AnsiLastDelimiter("\\", kQian), std::string::npos);
  // A lone lead byte at the end is left as it is, not read past.
  EXPECT_EQ(AnsiLastDelimiter("\\", "a\\\x9C"), 1u);
  EXPECT_EQ(ChangeFileExtToNone("D:\\pkg\\Setup.exe"), "D:\\pkg\\Setup");
  EXPECT_EQ(ChangeFileExtToNone("D:\\pkg.d\\Setup"), "D:\\pkg.d\\Setup");
  EXPECT_EQ(ChangeFileExtToNone(kShuoMing + kQian + ".exe"), kShuoMing + kQian);
}

}  // namespace
