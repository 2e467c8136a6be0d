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
  EXPECT_EQ(ChangeFileExt("D:\\pkg\\Setup.exe", ""), "D:\\pkg\\Setup");
  EXPECT_EQ(ChangeFileExt("D:\\pkg.d\\Setup", ""), "D:\\pkg.d\\Setup");
  EXPECT_EQ(ChangeFileExt(kShuoMing + kQian + ".exe", ""), kShuoMing + kQian);
}

TEST(PlatformAnsiStrings, ExtensionsTrailBytesAndComparisons) {
  EXPECT_TRUE(IsTrailByte(kQian, 1));
  EXPECT_FALSE(IsTrailByte(kQian + "\\", 2));
  EXPECT_TRUE(EndsWithBackslash("a\\"));
  EXPECT_FALSE(EndsWithBackslash(kQian));
  EXPECT_EQ(ExtractFileExt("D:\\pkg.d\\Setup"), "");
  EXPECT_EQ(ExtractFileExt("D:\\pkg\\a.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("Setup", ".log"), "Setup.log");
  EXPECT_EQ(ChangeFileExt(kQian + ".exe", ".log"), kQian + ".log");
  EXPECT_TRUE(SameTextAnsi("Data\\ABC.db", "data\\abc.DB"));
  // Trail bytes 0x61 and 0x41 ("a", "A") make two different characters: never folded.
  EXPECT_FALSE(SameTextAnsi("\x81\x61", "\x81\x41"));
  EXPECT_TRUE(SameTextAnsi("x\x81\x61", "X\x81\x61"));
  EXPECT_FALSE(SameTextAnsi("a", "ab"));
  EXPECT_EQ(CompareTextAscii("abc", "ABC"), 0);
  EXPECT_LT(CompareTextAscii("abc", "ABD"), 0);
  EXPECT_GT(CompareTextAscii("abcd", "ABC"), 0);
  EXPECT_EQ(UpperCaseAscii("a\xB5z"), "A\xB5Z");
  EXPECT_EQ(LowerCaseAscii("A\xB5Z"), "a\xB5z");
}

}  // namespace
