// The shared platform suite, INI reading: one table of cases (file text, section, key,
// default -> value) that the POSIX backend and the real GetPrivateProfileStringA under
// Wine must answer alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system.h"
#include "tests/support/temp_dir.h"

using namespace platform;
using namespace std::string_literals;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

struct IniCase {
  const char* what;
  std::string text;
  const char* section;
  const char* key;
  const char* defaultValue;
  std::string expected;
};

const std::vector<IniCase>& Cases() {
  static const std::vector<IniCase> cases = {
      {"plain, CR LF", "[system]\r\ndebug=1\r\n", "system", "debug", "0", "1"},
      {"plain, LF", "[system]\ndebug=1\n", "system", "debug", "0", "1"},
      {"CR alone ends a line", "[s]\rk=v\rk2=v2\r", "s", "k2", "d", "v2"},
      {"no final line end", "[s]\r\nk=v\r\n\r\n[t]\r\nk=w", "t", "k", "d", "w"},

      // Blanks.
      {"blanks around everything", "[ s ]\r\n  k  =  v  \r\n", "s", "k", "d", "v"},
      {"tabs and other blanks", "[\ts\t]\n\tk\t=\v\fv \t\x1a\n", "s", "k", "d", "v"},
      {"blanks inside names", "[my sec]\nmy key = a b \n", "my sec", "my key", "d", "a b"},
      {"blanks around the arguments", "[s]\nk=v\n", " s ", "  k\t", "d", "v"},
      {"blanks before a header", " [s]\n k=v\n", "s", "k", "d", "v"},

      // Quotes: one matching pair around the value goes.
      {"double quotes", "[s]\nk=\"v\"\n", "s", "k", "d", "v"},
      {"single quotes", "[s]\nk='v'\n", "s", "k", "d", "v"},
      {"blanks inside quotes stay", "[s]\nk=  \" v \"  \n", "s", "k", "d", " v "},
      {"empty quotes", "[s]\nk=\"\"\n", "s", "k", "d", ""},
      {"only the outer pair", "[s]\nk=\"\"v\"\"\n", "s", "k", "d", "\"v\""},
      {"quote inside", "[s]\nk=\"a\"b\"\n", "s", "k", "d", "a\"b"},
      {"mismatched quotes", "[s]\nk=\"v'\n", "s", "k", "d", "\"v'"},
      {"opening quote only", "[s]\nk=\"v\n", "s", "k", "d", "\"v"},
      {"closing quote only", "[s]\nk=v\"\n", "s", "k", "d", "v\""},
      {"a lone quote", "[s]\nk=\"\n", "s", "k", "d", "\""},
      {"quotes not at both ends", "[s]\nk= \"v\" x\n", "s", "k", "d", "\"v\" x"},
      {"quoted GBK", "[s]\nk=\"\xD6\xD0\"\n", "s", "k", "d", "\xD6\xD0"},

      // Missing things give the default, less its trailing spaces.
      {"missing section", "[s]\nk=v\n", "t", "k", "def  ", "def"},
      {"missing key", "[s]\nk=v\n", "s", "x", "def  ", "def"},
      {"default keeps leading blanks and tabs", "[s]\nk=v\n", "s", "x", "  def\t ", "  def\t"},
      {"default loses its quotes", "[s]\nk=v\n", "s", "x", "'q' ", "q"},
      {"empty default", "[s]\nk=v\n", "s", "x", "", ""},
      // What the Windows twin gives: the first character is never removed.
      {"all-blank default", "[s]\nk=v\n", "s", "x", "   ", " "},
      {"key is a prefix", "[s]\nk1=v\n", "s", "k", "d", "d"},
      {"longer key", "[s]\nk=v\n", "s", "k1", "d", "d"},
      {"empty file", "", "s", "k", "d ", "d"},

      // The first section and the first key of a name decide.
      {"duplicate section", "[s]\nk=1\n[s]\nk=2\n", "s", "k", "d", "1"},
      {"duplicate key", "[s]\nk=1\nk=2\n", "s", "k", "d", "1"},
      {"key only in the second section", "[s]\na=1\n[s]\nk=2\n", "s", "k", "d", "d"},
      {"other section after", "[s]\nk=v\n\n[s2]\nk=w\n", "s2", "k", "d", "w"},
      {"empty section before", "[s]\n[t]\nk=v\n", "s", "k", "d", "d"},

      // Case.
      {"upper case in the file", "[SyStem]\nDEBUG=1\n", "system", "debug", "0", "1"},
      {"upper case in the call", "[s]\nk=v\n", "S", "K", "d", "v"},
      {"mixed duplicates", "[s]\r\nK=v\r\n[S]\r\nk=w\r\n", "s", "k", "d", "v"},
      // Second bytes of GBK characters are not letters: 81 41 and 81 61 differ.
      {"GBK second bytes keep their case", "[\x81\x41]\nk=v\n", "\x81\x61", "k", "d", "d"},

      // Lines without "=".
      {"key without =", "[s]\nk\n", "s", "k", "d", "d"},
      {"key without = hides a later one", "[s]\nk\nk=v\n", "s", "k", "d", "d"},
      {"blanks around a key without =", "[s]\n k \nk=v\n", "s", "k", "d", "d"},
      {"empty value is not the default", "[s]\nk=\n", "s", "k", "d", ""},
      {"blank before = with empty value", "[s]\nk =\n", "s", "k", "d", ""},
      {"value with =", "[s]\nk=a=b\n", "s", "k", "d", "a=b"},
      {"empty key name", "[s]\n=v\n", "s", "", "d", "v"},
      {"empty key, none in the file", "[s]\nk=v\n", "s", "", "d", "d"},

      // No comment syntax: ";" and "#" begin names like any other character.
      {"semicolon line is a key", "[s]\n;k=v\n", "s", ";k", "d", "v"},
      {"semicolon line is not k", "[s]\n;k=v\n", "s", "k", "d", "d"},
      {"no trailing comments", "[s]\nk=v ; c\n", "s", "k", "d", "v ; c"},

      // Headers.
      {"text after ]", "[s] junk\nk=v\n", "s", "k", "d", "v"},
      {"last ] ends the name", "[s]]\nk=v\n", "s]", "k", "d", "v"},
      {"last ] ends the name, s", "[s]]\nk=v\n", "s", "k", "d", "d"},
      {"unclosed header is no section", "[s\nk=v\n", "s", "k", "d", "d"},
      {"unclosed header: keys stay in the section before", "[s\nk=v\n", "", "k", "d", "v"},
      {"unclosed header is a key line", "[s=x\n", "", "[s", "d", "x"},
      {"keys before the first header", "k=v\n[s]\n", "", "k", "d", "v"},
      {"[] comes after the unnamed section", "[]\nk=v\n", "", "k", "d", "d"},

      // Encodings and odd bytes.
      {"GBK value", "[s]\nk=\xD6\xD0\xCE\xC4\n", "s", "k", "d", "\xD6\xD0\xCE\xC4"},
      {"GBK names", "[\xBD\xDA]\n\xBC\xFC=v\n", "\xBD\xDA", "\xBC\xFC", "d", "v"},
      {"UTF-8 BOM: read as UTF-8, given as GBK", "\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\n", "s", "k", "d",
       "\xD6\xD0"},
      {"UTF-8 BOM: no GBK form gives ?", "\xEF\xBB\xBF[s]\nk=\xE2\x82\xAC\xE2\x9C\x93\n", "s", "k",
       "d", "\x80?"},
      {"UTF-8 BOM, keys before the first header", "\xEF\xBB\xBFk=v\n", "", "k", "d", "v"},
      {"UTF-16LE BOM", "\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0\n\0"s, "s", "k", "d", "v"},
      {"NUL ends the line's text", "[s]\nk=a\0z\n"s, "s", "k", "d", "a"},
      {"NUL after a header", "[s]\0\nk=v\n"s, "s", "k", "d", "v"},
  };
  return cases;
}

TEST(Ini, TableOfCases) {
  TempDir dir;
  for (size_t i = 0; i < Cases().size(); ++i) {
    const IniCase& c = Cases()[i];
    // A file per case: a cached copy of an earlier file could not answer for it.
    const std::string file = dir / ("case" + std::to_string(i) + ".ini");
    ASSERT_TRUE(WriteFileBytes(file, c.text)) << c.what;
    EXPECT_EQ(GetPrivateProfileStringA(c.section, c.key, c.defaultValue, file), c.expected)
        << c.what;
  }
}

TEST(Ini, MissingFileGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileStringA("system", "debug", " 0  ", dir / "Config.ini"), " 0");
  EXPECT_EQ(GetPrivateProfileStringA("system", "debug", "0", dir / "no\\such\\Config.ini"), "0");
}

TEST(Ini, FileFoundWhateverTheCaseOfItsName) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "Setup\\Config.ini", "[system]\r\ndebug=1\r\n"));
  EXPECT_EQ(GetPrivateProfileStringA("system", "debug", "0", dir / "SETUP\\config.INI"), "1");
}

TEST(Ini, LongValuesAndGbkFolders) {
  TempDir dir;
  std::string longValue;
  for (int i = 0; i < 5000; ++i) longValue += static_cast<char>('a' + i % 26);
  // A folder named "中文誠": its last byte is 0x5C.
  const std::string file = dir / "\xD6\xD0\xCE\xC4\xD5\x5C\\Config.ini";
  ASSERT_TRUE(WriteFileBytes(file, "[system]\r\nlong=" + longValue + "\r\ndebug=1\r\n"));
  EXPECT_EQ(GetPrivateProfileStringA("system", "long", "", file), longValue);
  EXPECT_EQ(GetPrivateProfileStringA("system", "debug", "0", file), "1");
}

}  // namespace
