// The shared platform suite, registry: keys are laid out with the RegistryFixture (a
// registry file on POSIX, real keys under Wine) and read back through the platform's
// RegOpenKeyExA / RegQueryValueExA / RegCloseKey. The cases at the end are POSIX only:
// they test the stand-in's reading of registry files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/inject.h"
#include "platform/system.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>

#include "platform/posix/native.h"
#include "platform/posix/text.h"
#endif

using namespace platform;
using namespace std::string_literals;
using testing_support::RegistryFixture;

namespace {

const std::string kRoot = "Software\\InstallerPlatformTests";
constexpr long kErrorBadPathname = 161;

// An open key that closes itself.
struct Key {
  Key(HKey parent, const std::string& subKey, uint32_t access = kKeyRead)
      : result(RegOpenKeyExA(parent, subKey, 0, access, &handle)) {}
  explicit Key(const std::string& subKey, uint32_t access = kKeyRead)
      : Key(kHKeyCurrentUser, subKey, access) {}
  ~Key() {
    if (result == kErrorSuccess) RegCloseKey(handle);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  HKey handle = 0;
  long result;
};

struct Read {
  long result = -1;
  uint32_t type = 0xFFFF;
  std::string data;
};

// The protocol callers use: ask for the size, then fetch exactly that much.
Read ReadValue(HKey key, const std::string& name) {
  Read read;
  uint32_t size = 0;
  read.result = RegQueryValueExA(key, name, &read.type, nullptr, &size);
  if (read.result != kErrorSuccess) return read;
  read.data.assign(size, '\xEE');
  uint32_t type = 0xFFFF;
  uint32_t got = size;
  read.result =
      RegQueryValueExA(key, name, &type, reinterpret_cast<uint8_t*>(read.data.data()), &got);
  EXPECT_EQ(type, read.type) << name;
  EXPECT_EQ(got, size) << name;
  return read;
}

Read ReadValue(const std::string& subKey, const std::string& name) {
  Key key(subKey);
  if (key.result != kErrorSuccess) return {key.result, 0xFFFF, {}};
  return ReadValue(key.handle, name);
}

struct ValueCase {
  const char* name;
  uint32_t type;
  std::string data;  // as RegQueryValueExA hands it out
};

TEST(Registry, ValuesComeBackWithTheirTypeAndAnsiData) {
  std::string binary;
  for (int i = 0; i < 200; ++i) binary += static_cast<char>(i * 7);
  const std::vector<ValueCase> cases = {
      {"sz", kRegSz, "abc\0"s},
      {"emptySz", kRegSz, "\0"s},
      {"expand", kRegExpandSz, "%SystemRoot%\\x\0"s},
      {"dword", kRegDword, "\x78\x56\x34\x12"s},
      {"binary", kRegBinary, "\x01\x00\xFF"s},
      {"longBinary", kRegBinary, binary},
      {"emptyBinary", kRegBinary, ""},
      {"qword", kRegQword, "\x88\x77\x66\x55\x44\x33\x22\x11"s},
      {"multi", kRegMultiSz, "a\0\xD6\xD0\xCE\xC4\0\0"s},
      // "D:\软件\誠\": the last character's second byte is 0x5C.
      {"gbkPath", kRegSz, "D:\\\xC8\xED\xBC\xFE\\\xD5\x5C\\\0"s},
      {"gbkExpand", kRegExpandSz, "%APPDATA%\\\xD6\xD0\xCE\xC4\0"s},
      {"quotes", kRegSz, "say \"hi\" \\ bye\0"s},
      {"", kRegSz, "default\0"s},
  };
  RegistryFixture registry(kRoot);
  const std::string key = kRoot + "\\Values";
  for (const ValueCase& c : cases) registry.SetValue(key, c.name, c.type, c.data);

  for (const ValueCase& c : cases) {
    const Read read = ReadValue(key, c.name);
    EXPECT_EQ(read.result, kErrorSuccess) << c.name;
    EXPECT_EQ(read.type, c.type) << c.name;
    EXPECT_EQ(read.data, c.data) << c.name;
  }
}

TEST(Registry, StringDataStoredWithoutNulIsHandedOutWithOne) {
  RegistryFixture registry(kRoot);
  registry.SetValue(kRoot, "sz", kRegSz, "ab");
  registry.SetValue(kRoot, "expand", kRegExpandSz, "\xD6\xD0");
  registry.SetValue(kRoot, "zero", kRegSz, "");
  EXPECT_EQ(ReadValue(kRoot, "sz").data, "ab\0"s);
  EXPECT_EQ(ReadValue(kRoot, "expand").data, "\xD6\xD0\0"s);
  const Read zero = ReadValue(kRoot, "zero");
  EXPECT_EQ(zero.result, kErrorSuccess);
  EXPECT_EQ(zero.type, kRegSz);
  EXPECT_EQ(zero.data, "");
}

TEST(Registry, FixtureHelpersWriteStringExpandAndDword) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot + "\\Lumora", "InstalledPath", "C:\\Lumora\\");
  registry.SetExpandString(kRoot + "\\Lumora", "Expand", "%TEMP%");
  registry.SetDword(kRoot + "\\Lumora", "Count", 0xA1B2C3D4);
  const Read sz = ReadValue(kRoot + "\\Lumora", "InstalledPath");
  EXPECT_EQ(sz.type, kRegSz);
  EXPECT_EQ(sz.data, "C:\\Lumora\\\0"s);
  const Read expand = ReadValue(kRoot + "\\Lumora", "Expand");
  EXPECT_EQ(expand.type, kRegExpandSz);
  EXPECT_EQ(expand.data, "%TEMP%\0"s);
  const Read dword = ReadValue(kRoot + "\\Lumora", "Count");
  EXPECT_EQ(dword.type, kRegDword);
  EXPECT_EQ(dword.data, "\xD4\xC3\xB2\xA1"s);
  // Setting a value again replaces it.
  registry.SetString(kRoot + "\\Lumora", "InstalledPath", "D:\\");
  EXPECT_EQ(ReadValue(kRoot + "\\Lumora", "InstalledPath").data, "D:\\\0"s);
}

TEST(Registry, SizeQueryThenDataAndTooSmallBuffers) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot, "path", "\xD6\xD0\xCE\xC4 x");  // "中文 x": 7 bytes with the NUL
  Key key(kRoot);
  ASSERT_EQ(key.result, kErrorSuccess);

  uint32_t type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key.handle, "path", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(RegQueryValueExA(key.handle, "path", nullptr, nullptr, nullptr), kErrorSuccess);

  // Too small by one: the size needed and the type come back, the buffer is not used.
  uint8_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), 0xEE);
  type = 0;
  size = 6;
  EXPECT_EQ(RegQueryValueExA(key.handle, "path", &type, buffer, &size), kErrorMoreData);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(type, kRegSz);

  // A larger buffer: the data and its real size; the bytes past it are untouched.
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key.handle, "path", nullptr, buffer, &size), kErrorSuccess);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 7), "\xD6\xD0\xCE\xC4 x\0"s);
  EXPECT_EQ(buffer[7], 0xEE);

  // A buffer without a size is a caller error.
  EXPECT_EQ(RegQueryValueExA(key.handle, "path", &type, buffer, nullptr), kErrorInvalidParameter);
}

TEST(Registry, MissingKeysAndValuesAreNotFound) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot + "\\Present", "here", "1");
  EXPECT_EQ(Key(kRoot + "\\Absent").result, kErrorFileNotFound);
  EXPECT_EQ(Key(kRoot + "\\Absent", kKeyAllAccess).result, kErrorFileNotFound);
  EXPECT_EQ(Key(kRoot + "\\Present\\Deeper").result, kErrorFileNotFound);
  EXPECT_EQ(ReadValue(kRoot + "\\Present", "gone").result, kErrorFileNotFound);
  EXPECT_EQ(ReadValue(kRoot + "\\Present", "here").result, kErrorSuccess);
  // The default value exists only when it is set.
  EXPECT_EQ(ReadValue(kRoot + "\\Present", "").result, kErrorFileNotFound);
}

TEST(Registry, ParentKeysExistAndPathsMayBeRelative) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot + "\\A\\B\\C", "v", "deep");
  EXPECT_EQ(Key(kRoot + "\\A", kKeyAllAccess).result, kErrorSuccess);
  EXPECT_EQ(Key(kRoot + "\\A\\B").result, kErrorSuccess);
  EXPECT_EQ(ReadValue(kRoot + "\\A\\B", "v").result, kErrorFileNotFound);

  Key a(kRoot + "\\A");
  ASSERT_EQ(a.result, kErrorSuccess);
  Key c(a.handle, "B\\C");
  ASSERT_EQ(c.result, kErrorSuccess);
  EXPECT_EQ(ReadValue(c.handle, "v").data, "deep\0"s);
  Key same(c.handle, "");
  ASSERT_EQ(same.result, kErrorSuccess);
  EXPECT_NE(same.handle, c.handle);
  EXPECT_EQ(ReadValue(same.handle, "v").data, "deep\0"s);

  // Empty path parts are ignored; a path may not start with "\".
  EXPECT_EQ(Key(kRoot + "\\A\\\\B\\C\\").result, kErrorSuccess);
  EXPECT_EQ(Key("\\" + kRoot).result, kErrorBadPathname);
}

TEST(Registry, KeyAndValueNamesIgnoreAsciiCase) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot + "\\MixedCase", "InstalledPath", "x");
  const std::string upper = "SOFTWARE\\INSTALLERPLATFORMTESTS\\MIXEDCASE";
  EXPECT_EQ(ReadValue(upper, "installedpath").data, "x\0"s);
  EXPECT_EQ(ReadValue("software\\installerplatformtests\\mixedcase", "INSTALLEDPATH").data, "x\0"s);
}

TEST(Registry, GbkKeyAndValueNames) {
  RegistryFixture registry(kRoot);
  const std::string key = kRoot + "\\\xD6\xD0\xCE\xC4\xBC\xFC";  // "中文键"
  const std::string name = "\xC2\xB7\xBE\xB6";                   // "路径"
  registry.SetExpandString(key, name, "C:\\\xC8\xED\xBC\xFE\\\xD5\x5C");
  const Read read = ReadValue(key, name);
  EXPECT_EQ(read.result, kErrorSuccess);
  EXPECT_EQ(read.type, kRegExpandSz);
  EXPECT_EQ(read.data, "C:\\\xC8\xED\xBC\xFE\\\xD5\x5C\0"s);
}

TEST(Registry, HandlesCloseOnce) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot, "v", "1");
  HKey handle = 0;
  ASSERT_EQ(RegOpenKeyExA(kHKeyCurrentUser, kRoot, 0, kKeyRead, &handle), kErrorSuccess);
  EXPECT_EQ(RegCloseKey(handle), kErrorSuccess);
  EXPECT_EQ(RegCloseKey(handle), kErrorInvalidHandle);
  uint32_t size = 0;
  EXPECT_EQ(RegQueryValueExA(handle, "v", nullptr, nullptr, &size), kErrorInvalidHandle);
  const HKey bogus = 0x7654321;
  EXPECT_EQ(RegCloseKey(bogus), kErrorInvalidHandle);
  HKey out = 0;
  EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, kKeyRead, &out), kErrorInvalidHandle);
  // The predefined key is not closed.
  EXPECT_EQ(RegCloseKey(kHKeyCurrentUser), kErrorSuccess);
  EXPECT_EQ(ReadValue(kRoot, "v").result, kErrorSuccess);
}

TEST(Registry, InjectedQueryAnswersFirstAndMayPassOn) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot, "real", "from the registry");
  inject::ScopedServices services;
  services->regQueryValue = [](HKey, const std::string& name, uint32_t* type, uint8_t*,
                               uint32_t* size) -> std::optional<long> {
    if (name == "broken") return kErrorAccessDenied;
    if (name != "forced") return std::nullopt;
    if (type) *type = kRegDword;
    if (size) *size = 4;
    return kErrorSuccess;
  };
  Key key(kRoot);
  ASSERT_EQ(key.result, kErrorSuccess);
  uint32_t type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key.handle, "forced", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegQueryValueExA(key.handle, "broken", &type, nullptr, &size), kErrorAccessDenied);
  EXPECT_EQ(ReadValue(key.handle, "real").data, "from the registry\0"s);
}

#ifndef _WIN32
// ---- POSIX only: the stand-in's registry files --------------------------------------------

using testing_support::ScopedEnvironment;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

std::string NativePath(const std::string& path) {
  return platform::posix::ToNativePath(path).value_or("");
}

std::string Utf16File(const std::string& utf8) {
  return "\xFF\xFE" + posix::Utf16ToBytes(posix::Utf8ToUtf16(utf8));
}

// Windows keeps keys writable for their owner with access lists that a test under Wine
// cannot take away, so only the stand-in's file permissions are tested here.
TEST(RegistryFile, ReadOnlyFileRefusesFullAccessButAllowsReading) {
  RegistryFixture registry(kRoot);
  registry.SetString(kRoot + "\\Key", "v", "1");
  ASSERT_EQ(chmod(registry.nativeFile().c_str(), 0444), 0);
  EXPECT_EQ(Key(kRoot + "\\Key", kKeyAllAccess).result, kErrorAccessDenied);
  EXPECT_EQ(Key(kRoot + "\\Key", kKeyRead).result, kErrorSuccess);
  EXPECT_EQ(ReadValue(kRoot + "\\Key", "v").data, "1\0"s);
  EXPECT_EQ(Key(kRoot + "\\Missing", kKeyAllAccess).result, kErrorFileNotFound);
  // Write permission back: full access again, although the file's contents are the same.
  ASSERT_EQ(chmod(registry.nativeFile().c_str(), 0644), 0);
  EXPECT_EQ(Key(kRoot + "\\Key", kKeyAllAccess).result, kErrorSuccess);
}

// What `reg export` writes, plus the hand edits people make: every value form, comments,
// another hive, deletions, and malformed lines that must be skipped.
const char kVersion5Text[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; exported for the test\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n"
    "\"machine\"=\"not ours\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\T\\Main]\r\n"
    "@=\"default\"\r\n"
    "\"escaped\"=\"a\\\\b\\\"c\"\r\n"
    "\"plainBackslash\"=\"C:\\Lumora\"\r\n"
    "\"chinese\"=\"D:\\\\中文\\\\\"\r\n"
    "\"noGbk\"=\"✓😀\"\r\n"
    "\"dword\"=dword:0000002a\r\n"
    "  \"spaced\" = \"ok\"  \r\n"
    "\"expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,2d,4e,\\\r\n"
    "  87,65,00,00\r\n"
    "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"binary\"=hex:de,ad,\\\r\n"
    "  be,ef\r\n"
    "\"qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"emptyBinary\"=hex:\r\n"
    "\"dropped\"=\"soon gone\"\r\n"
    "\"dropped\"=-\r\n"
    "this line is not a value\r\n"
    "\"unterminated=\"x\r\n"
    "\"tooLong\"=dword:123456789\r\n"
    "\"badHex\"=hex:zz\r\n"
    "\"after\"=\"still read\"\r\n"
    "\r\n"
    "[HKCU\\Software\\T\\Short]\r\n"
    "\"alias\"=\"yes\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\T\\Gone\\Sub]\r\n"
    "\"x\"=\"1\"\r\n"
    "[-HKEY_CURRENT_USER\\Software\\T\\Gone]\r\n"
    "\"orphan\"=\"belongs to no key\"\r\n"
    "\r\n";

void ExpectVersion5Contents(const std::string& what) {
  const std::string main = "Software\\T\\Main";
  const std::vector<ValueCase> expected = {
      {"", kRegSz, "default\0"s},
      {"escaped", kRegSz, "a\\b\"c\0"s},
      {"plainBackslash", kRegSz, "C:\\Lumora\0"s},
      {"chinese", kRegSz, "D:\\\xD6\xD0\xCE\xC4\\\0"s},
      {"noGbk", kRegSz, "???\0"s},
      {"dword", kRegDword, "\x2a\0\0\0"s},
      {"spaced", kRegSz, "ok\0"s},
      {"expand", kRegExpandSz, "%TEMP%\\\xD6\xD0\xCE\xC4\0"s},
      {"multi", kRegMultiSz, "a\0b\0\0"s},
      {"binary", kRegBinary, "\xDE\xAD\xBE\xEF"s},
      {"qword", kRegQword, "\x01\0\0\0\0\0\0\0"s},
      {"emptyBinary", kRegBinary, ""},
      {"after", kRegSz, "still read\0"s},
  };
  for (const ValueCase& c : expected) {
    const Read read = ReadValue(main, c.name);
    EXPECT_EQ(read.result, kErrorSuccess) << what << ": " << c.name;
    EXPECT_EQ(read.type, c.type) << what << ": " << c.name;
    EXPECT_EQ(read.data, c.data) << what << ": " << c.name;
  }
  for (const char* skipped : {"dropped", "unterminated", "tooLong", "badHex"})
    EXPECT_EQ(ReadValue(main, skipped).result, kErrorFileNotFound) << what << ": " << skipped;
  EXPECT_EQ(ReadValue("Software\\T\\Short", "alias").data, "yes\0"s) << what;
  EXPECT_EQ(Key("Software\\T\\Gone").result, kErrorFileNotFound) << what;
  EXPECT_EQ(Key("Software\\T\\Gone\\Sub").result, kErrorFileNotFound) << what;
  // The other hive's key is not part of HKEY_CURRENT_USER.
  EXPECT_EQ(ReadValue("Software\\T", "machine").result, kErrorFileNotFound) << what;
}

TEST(RegistryFile, Version5FilesWithABom) {
  const std::vector<std::pair<const char*, std::string>> encodings = {
      {"UTF-16LE", Utf16File(kVersion5Text)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF"s + kVersion5Text},
  };
  for (const auto& [what, bytes] : encodings) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "export.reg", bytes));
    ScopedEnvironment file("INSTALLER_REGISTRY_FILE", NativePath(dir / "export.reg"));
    ExpectVersion5Contents(what);
  }
}

// Without a BOM a file is ANSI whatever its header says, as Wine's `reg import` reads it,
// and so is string data given in hex there; with a UTF-16LE BOM such data is UTF-16LE.
TEST(RegistryFile, EncodingFollowsTheBomNotTheHeader) {
  // GBK: "D:\软件\Lumora"; and the UTF-8 bytes of "Façade", which read as GBK ("Fa莽ade")
  // and so come back as they are.
  const std::string body =
      "[HKEY_CURRENT_USER\\Software\\Norvell\\Lumora3.0]\r\n"
      "\"InstalledPath\"=\"D:\\\\\xC8\xED\xBC\xFE\\\\Lumora\"\r\n"
      "\"utf8\"=\"Fa\xC3\xA7" "ade\"\r\n"
      "\"wide\"=hex(2):41,00,42,00,00,00\r\n";
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string r4 = "REGEDIT4\r\n\r\n";
  const auto utf16 = [](const std::string& gbk) {
    return "\xFF\xFE" + posix::Utf16ToBytes(posix::GbkToUtf16(gbk));
  };
  struct Case {
    const char* what;
    std::string bytes;
    std::string wide;  // the hex(2) value as RegQueryValueExA hands it out
  };
  const std::vector<Case> cases = {
      {"version 5, no BOM", v5 + body, "A\0B\0\0\0"s},  // each byte a character
      {"REGEDIT4, no BOM", r4 + body, "A\0B\0\0\0"s},
      {"version 5, UTF-16LE", utf16(v5 + body), "AB\0"s},
      {"REGEDIT4, UTF-16LE", utf16(r4 + body), "AB\0"s},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "host.reg", c.bytes));
    ScopedEnvironment file("INSTALLER_REGISTRY_FILE", NativePath(dir / "host.reg"));
    const std::string key = "Software\\Norvell\\Lumora3.0";
    EXPECT_EQ(ReadValue(key, "InstalledPath").data, "D:\\\xC8\xED\xBC\xFE\\Lumora\0"s) << c.what;
    EXPECT_EQ(ReadValue(key, "utf8").data, "Fa\xC3\xA7" "ade\0"s) << c.what;
    const Read wide = ReadValue(key, "wide");
    EXPECT_EQ(wide.type, kRegExpandSz) << c.what;
    EXPECT_EQ(wide.data, c.wide) << c.what;
  }
}

// The comment forms Wine's `reg import` accepts are read; what it drops is dropped.
TEST(RegistryFile, CommentsAndBlankLinesWhereWineAllowsThem) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\C] ; the key line may end in a comment\r\n"
      "\"spaced\"=\"kept\" ;comment\r\n"
      "\"tight\"=\"kept\";comment\r\n"
      "\"tab\"=\"kept\"\t; comment\r\n"
      "\"inside\"=\"a;b\"\r\n"
      "@=\"default\" ;c\r\n"
      "\"dword\"=dword:0000002a ;c\r\n"
      "\"dwordBlank\"=dword: 00000001\r\n"
      "\"hex\"=hex:01,02 ;c\r\n"
      "\"hexTight\"=hex:01,02;c\r\n"
      "\"afterBackslash\"=hex:01,02,\\ ;c\r\n"
      "  03,04\r\n"
      "\"commentLines\"=hex:01,\\\r\n"
      "; a comment line\r\n"
      "  ;an indented one\r\n"
      "  02,\\ ;and one after\r\n"
      "  03\r\n"
      "\"blankLine\"=hex:01,\\\r\n"
      "\r\n"
      "  02\r\n"
      "\"lastComma\"=hex:01,02, ;c\r\n"
      "\"hash\"=\"dropped\" #not a comment here\r\n"
      "\"garbage\"=\"dropped\" x\r\n"
      "\"dwordGarbage\"=dword:00000001 x\r\n"
      "\"hashLine\"=hex:01,\\\r\n"
      "#not a comment line here\r\n"
      "  02\r\n"
      "\"noComma\"=hex:01\\\r\n"
      "  02\r\n"
      "\"gone\"=\"soon\"\r\n"
      "\"gone\"=- ;deleted\r\n"
      "[HKEY_CURRENT_USER\\Software\\C\\Sub]\r\n"
      "\"x\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\C\\Sub] ;c\r\n"
      "[HKEY_CURRENT_USER\\Software\\C]\r\n"
      "\"endsAtTheEnd\"=hex:05,\\\r\n";
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "comments.reg", text));
  ScopedEnvironment file("INSTALLER_REGISTRY_FILE", NativePath(dir / "comments.reg"));
  const std::vector<ValueCase> kept = {
      {"spaced", kRegSz, "kept\0"s},
      {"tight", kRegSz, "kept\0"s},
      {"tab", kRegSz, "kept\0"s},
      {"inside", kRegSz, "a;b\0"s},
      {"", kRegSz, "default\0"s},
      {"dword", kRegDword, "\x2a\0\0\0"s},
      {"dwordBlank", kRegDword, "\x01\0\0\0"s},
      {"hex", kRegBinary, "\x01\x02"s},
      {"hexTight", kRegBinary, "\x01\x02"s},
      {"afterBackslash", kRegBinary, "\x01\x02\x03\x04"s},
      {"commentLines", kRegBinary, "\x01\x02\x03"s},
      {"blankLine", kRegBinary, "\x01\x02"s},
      {"lastComma", kRegBinary, "\x01\x02"s},
      {"endsAtTheEnd", kRegBinary, "\x05"s},
  };
  for (const ValueCase& c : kept) {
    const Read read = ReadValue("Software\\C", c.name);
    EXPECT_EQ(read.result, kErrorSuccess) << c.name;
    EXPECT_EQ(read.type, c.type) << c.name;
    EXPECT_EQ(read.data, c.data) << c.name;
  }
  for (const char* dropped : {"hash", "garbage", "dwordGarbage", "hashLine", "noComma", "gone"})
    EXPECT_EQ(ReadValue("Software\\C", dropped).result, kErrorFileNotFound) << dropped;
  EXPECT_EQ(Key("Software\\C\\Sub").result, kErrorFileNotFound);
}

// Files Wine wrote (tests/data/README.md): `reg export` of a key, and a prefix's
// user.reg holding the same values. Every value comes back byte for byte.
TEST(RegistryFile, FilesWineWroteReadBackByteExact) {
  std::string key;
  for (int i = 0; i < 256; i += 3) key += static_cast<char>(i);
  const std::string lumora = "Software\\Norvell\\Lumora3.0";
  const std::vector<ValueCase> values = {
      {"", kRegSz, "Lumora 3.0\0"s},
      {"InstalledPath", kRegSz, "D:\\\xC8\xED\xBC\xFE\\Lumora\\\0"s},  // 软件
      {"LT_InstalledPath", kRegSz, "\0"s},
      {"\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6", kRegSz, "C:\\Program Files\\\xD5\x5C\\\0"s},  // 安装路径, 誠
      {"Quoted", kRegSz, "say \"hi\" \\ bye\0"s},
      {"NotGbk", kRegSz, "Fa?ade ?\0"s},  // "Façade ✓"
      {"ModulePath", kRegExpandSz,
       "%ProgramFiles%\\Norvell\\Lumora 3.0\\AppModules\\Pellix\\\xB2\xE5\xBC\xFE\\\0"s},
      {"Folders", kRegMultiSz,
       "D:\\\xC8\xED\xBC\xFE\\Lumora\\\0AppModules\\Dunmar\\Data\0?\0\0"s},
      {"Build", kRegDword, "\xD2\x04\0\0"s},
      {"Stamp", kRegQword, "\x88\x77\x66\x55\x44\x33\x22\x11"s},
      {"Key", kRegBinary, key},
      {"Empty", kRegBinary, ""},
  };
  for (const char* fixture : {"wine-export.reg", "wine-user.reg"}) {
    ScopedEnvironment file("INSTALLER_REGISTRY_FILE", std::string(TEST_DATA_DIR "/") + fixture);
    for (const ValueCase& c : values) {
      const Read read = ReadValue(lumora, c.name);
      EXPECT_EQ(read.result, kErrorSuccess) << fixture << ": " << c.name;
      EXPECT_EQ(read.type, c.type) << fixture << ": " << c.name;
      EXPECT_EQ(read.data, c.data) << fixture << ": " << c.name;
    }
    const std::string nb = "Software\\Norvell\\LumoraNB_CT3.0";
    EXPECT_EQ(ReadValue(nb, "InstalledPath").data, "\0"s) << fixture;
    EXPECT_EQ(ReadValue(nb, "LT_InstalledPath").data, "E:\\Lumora NB\\\0"s) << fixture;
  }
}

TEST(RegistryFile, Regedit4FilesAreAnsi) {
  // GBK text; "誠" (D5 5C) ends in the byte of "\", which must not escape the quote.
  const std::string text =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\Software\\T4]\r\n"
      "\"path\"=\"D:\\\\\xC8\xED\xBC\xFE\\\\\xD5\x5C\"\r\n"
      "\"\xC2\xB7\xBE\xB6\"=\"\xD6\xD0\"\r\n"
      "\"expand\"=hex(2):25,54,4d,50,25,5c,d6,d0,00\r\n"
      "\"dword\"=dword:00000001\r\n";
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "old.reg", text));
  ScopedEnvironment file("INSTALLER_REGISTRY_FILE", NativePath(dir / "old.reg"));
  EXPECT_EQ(ReadValue("Software\\T4", "path").data, "D:\\\xC8\xED\xBC\xFE\\\xD5\x5C\0"s);
  EXPECT_EQ(ReadValue("Software\\T4", "\xC2\xB7\xBE\xB6").data, "\xD6\xD0\0"s);
  const Read expand = ReadValue("Software\\T4", "expand");
  EXPECT_EQ(expand.type, kRegExpandSz);
  EXPECT_EQ(expand.data, "%TMP%\\\xD6\xD0\0"s);
  EXPECT_EQ(ReadValue("Software\\T4", "dword").data, "\x01\0\0\0"s);
}

TEST(RegistryFile, WinePrefixUserReg) {
  // As Wine writes it: keys relative to HKCU with doubled backslashes and a timestamp,
  // \x escapes for UTF-16 code units, str(2) for expandable strings.
  const std::string userReg =
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
      "\n"
      "#arch=win64\n"
      "\n"
      "[Software\\\\Norvell\\\\Lumora3.0] 1712345678\n"
      "#time=1dd88554419cd9a\n"
      "@=\"def\"\n"
      "\"InstalledPath\"=\"C:\\\\Program Files\\\\\\x4e2d\\x6587\\\\\"\n"
      "\"\\x8def\\x5f84\"=str(2):\"%ProgramFiles%\\\\x\"\n"
      "\"multi\"=str(7):\"a\\0b\\0\"\n"
      "\"tab\"=\"1\\t2\\n\"\n"
      "\"d\"=dword:12345678\n"
      "\"q\"=hex(b):88,77,66,55,44,33,22,11\n"
      "\"bin\"=hex:01,02,\\\n"
      "  ff\n"
      "\n"
      "[Software\\\\Test\\\\\\x952e] 1796872799\n"
      "#time=1dd88555642e506\n"
      "\"e\"=\"\\x20ac\"\n";
  TempDir prefix;
  ASSERT_TRUE(WriteFileBytes(prefix / "user.reg", userReg));
  std::string native = NativePath(prefix.path());
  ASSERT_FALSE(native.empty());
  if (native.back() == '/') native.pop_back();
  ScopedEnvironment noFile("INSTALLER_REGISTRY_FILE", std::nullopt);
  ScopedEnvironment wine("WINEPREFIX", native);

  const std::string key = "SOFTWARE\\Norvell\\Lumora3.0";
  EXPECT_EQ(ReadValue(key, "").data, "def\0"s);
  EXPECT_EQ(ReadValue(key, "InstalledPath").data, "C:\\Program Files\\\xD6\xD0\xCE\xC4\\\0"s);
  const Read expand = ReadValue(key, "\xC2\xB7\xBE\xB6");
  EXPECT_EQ(expand.type, kRegExpandSz);
  EXPECT_EQ(expand.data, "%ProgramFiles%\\x\0"s);
  const Read multi = ReadValue(key, "multi");
  EXPECT_EQ(multi.type, kRegMultiSz);
  EXPECT_EQ(multi.data, "a\0b\0\0"s);
  EXPECT_EQ(ReadValue(key, "tab").data, "1\t2\n\0"s);
  EXPECT_EQ(ReadValue(key, "d").data, "\x78\x56\x34\x12"s);
  EXPECT_EQ(ReadValue(key, "q").type, kRegQword);
  EXPECT_EQ(ReadValue(key, "bin").data, "\x01\x02\xFF"s);
  EXPECT_EQ(ReadValue("Software\\Test\\\xBC\xFC", "e").data, "\x80\0"s);  // "键", "€"
  EXPECT_EQ(Key("Software\\Norvell").result, kErrorSuccess);
}

TEST(RegistryFile, UnusableFilesHoldNoKeys) {
  TempDir dir;
  const std::vector<std::pair<const char*, std::string>> files = {
      {"empty", ""},
      {"header only", "Windows Registry Editor Version 5.00\r\n"},
      {"unknown header", "REGEDIT5\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n\"v\"=\"1\"\r\n"},
      {"no header", "[HKEY_CURRENT_USER\\Software\\T]\r\n\"v\"=\"1\"\r\n"},
      {"binary", "\x00\xFF\x13\x37\x00\x00\xFE\xFF\x5B\x5D\x0D"s},
      {"odd UTF-16", "\xFF\xFE\x57"s},
      {"unclosed key", "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\T\r\n\"v\"=\"1\"\r\n"},
  };
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& [what, bytes] = files[i];
    const std::string name = dir / ("bad" + std::to_string(i) + ".reg");
    ASSERT_TRUE(WriteFileBytes(name, bytes));
    ScopedEnvironment file("INSTALLER_REGISTRY_FILE", NativePath(name));
    EXPECT_EQ(Key("Software\\T").result, kErrorFileNotFound) << what;
    EXPECT_EQ(Key("").result, kErrorSuccess) << what;
  }
  for (const std::string& missing : {NativePath(dir / "none.reg"), NativePath(dir.path())}) {
    ScopedEnvironment file("INSTALLER_REGISTRY_FILE", missing);
    EXPECT_EQ(Key("Software\\T").result, kErrorFileNotFound) << missing;
  }
}

TEST(RegistryFile, ChangedFileIsReadAgain) {
  TempDir dir;
  const std::string file = dir / "live.reg";
  ASSERT_TRUE(WriteFileBytes(file, "REGEDIT4\r\n[HKCU\\Software\\Live]\r\n\"v\"=\"1\"\r\n"));
  ScopedEnvironment variable("INSTALLER_REGISTRY_FILE", NativePath(file));
  Key key("Software\\Live");
  ASSERT_EQ(key.result, kErrorSuccess);
  EXPECT_EQ(ReadValue(key.handle, "v").data, "1\0"s);

  // Rewritten in place with another size: the next open sees the new contents, and the
  // key opened before it reads them too.
  ASSERT_TRUE(WriteFileBytes(file, "REGEDIT4\r\n[HKCU\\Software\\Live]\r\n\"v\"=\"22\"\r\n"));
  EXPECT_EQ(ReadValue("Software\\Live", "v").data, "22\0"s);
  EXPECT_EQ(ReadValue(key.handle, "v").data, "22\0"s);

  // Another file.
  ASSERT_TRUE(WriteFileBytes(dir / "other.reg", "REGEDIT4\r\n[HKCU\\Software\\Other]\r\n"));
  ScopedEnvironment other("INSTALLER_REGISTRY_FILE", NativePath(dir / "other.reg"));
  EXPECT_EQ(Key("Software\\Live").result, kErrorFileNotFound);
  EXPECT_EQ(Key("Software\\Other").result, kErrorSuccess);
}
#endif

}  // namespace
