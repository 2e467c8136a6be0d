// The host installation lookup over real registry layouts: a registry file on Linux,
// keys written to the registry under Wine.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "installer/HostLookup.h"
#include "installer/Registry.h"
#include "log/f_Log.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"

using namespace platform;
using testing_support::ReadFileBytes;
using testing_support::RegistryFixture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

const std::string kNorvell = "SOFTWARE\\Norvell";
const std::string kKey1 = kNorvell + "\\Lumora_LT3.0";
const std::string kKey2 = kNorvell + "\\Lumora3.0";
const std::string kKey3 = kNorvell + "\\LumoraNA_CT3.0";
const std::string kKey4 = kNorvell + "\\LumoraNB_CT3.0";
const std::string kKey5 = kNorvell + "\\LumoraNC_CT3.0";
const std::string kKey6 = kNorvell + "\\LumoraND_LT3.0";

// "说明淺": its last byte is 0x5C, the second byte of a double-byte character.
const std::string kTrailBackslashName = "\xCB\xB5\xC3\xF7\x9C\x5C";

// Folders the lookup may be pointed at (without trailing backslashes).
struct Folders {
  std::string host;         // holds Lumoranew.exe
  std::string gbkHost;      // the same, named with a 0x5C trail byte at the end
  std::string empty;        // exists, no Lumoranew.exe
  std::string exeIsFolder;  // Lumoranew.exe in it is a folder
};

// The folders, with the log switched on beside a fake executable and a fixed clock.
class HostLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    f.host = dir / "Lumora";
    f.gbkHost = dir / kTrailBackslashName;
    f.empty = dir / "Empty";
    f.exeIsFolder = dir / "ExeIsFolder";
    ASSERT_TRUE(WriteFileBytes(f.host + "\\Lumoranew.exe", "MZ"));
    ASSERT_TRUE(WriteFileBytes(f.gbkHost + "\\Lumoranew.exe", "MZ"));
    ASSERT_TRUE(testing_support::MakeFolders(f.empty));
    ASSERT_TRUE(testing_support::MakeFolders(f.exeIsFolder + "\\Lumoranew.exe"));

    ASSERT_TRUE(WriteFileBytes(dir / "setup\\Config.ini", "[system]\r\ndebug=1\r\n"));
    services->moduleFileName = [this] { return dir / "setup\\Setup.exe"; };
    services->localTime = [] {
      SystemTime t;
      t.year = 2018, t.month = 7, t.day = 2, t.hour = 9, t.minute = 5, t.second = 3;
      t.milliseconds = 42;
      return t;
    };
    daemon_log::LogModuleStartup();
  }
  void TearDown() override { daemon_log::LogModuleShutdown(); }

  std::string LogText() { return ReadFileBytes(dir / "setup\\log\\Setup_201807.log"); }

  TempDir dir;
  Folders f;
  inject::ScopedServices services;
};

struct LookupCase {
  const char* what;
  std::function<void(RegistryFixture&, const Folders&)> layout;
  std::function<std::string(const Folders&)> expected;  // "" for none
};

class HostLookupTable : public HostLookup, public ::testing::WithParamInterface<LookupCase> {};

auto None = [](const Folders&) { return std::string(); };
auto Host = [](const Folders& f) { return f.host + "\\"; };

TEST_P(HostLookupTable, FindsTheFolderOfTheFirstKeyThatOpens) {
  const LookupCase& c = GetParam();
  RegistryFixture registry(kNorvell);
  c.layout(registry, f);
  EXPECT_EQ(GetLumoraPathByRegedit(), c.expected(f)) << c.what;
  // Each lookup adds exactly its two lines, whatever it found.
  EXPECT_EQ(LogText(),
            "\xA1\xBE" "2018-07-02 09:05:03.042\xA1\xBF" "LogEnter[TMorrowInvoker.GetLumoraPathByRegedit]\r\n"
            "\xA1\xBE" "2018-07-02 09:05:03.042\xA1\xBF" "LogLeave[TMorrowInvoker.GetLumoraPathByRegedit]\r\n")
      << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Installer, HostLookupTable,
    ::testing::Values(
        LookupCase{"no key at all", [](RegistryFixture&, const Folders&) {}, None},
        LookupCase{"key 2, no trailing backslash: one is appended",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey2, "InstalledPath", t.host); },
                   Host},
        LookupCase{"key 2 with a trailing backslash: unchanged",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey2, "InstalledPath", t.host + "\\"); },
                   Host},
        LookupCase{"key 1 without its value decides over a valid key 2",
                   [](RegistryFixture& r, const Folders& t) {
                     r.AddKey(kKey1);
                     r.SetString(kKey2, "InstalledPath", t.host);
                   },
                   None},
        LookupCase{"key 1 reads LT_InstalledPath, not InstalledPath",
                   [](RegistryFixture& r, const Folders& t) {
                     r.SetString(kKey1, "InstalledPath", t.host);
                   },
                   None},
        LookupCase{"key 1 with LT_InstalledPath",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey1, "LT_InstalledPath", t.host); },
                   Host},
        LookupCase{"key 3 when 1 and 2 are absent",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey3, "InstalledPath", t.host); },
                   Host},
        LookupCase{"key 4: empty InstalledPath falls back to LT_InstalledPath",
                   [](RegistryFixture& r, const Folders& t) {
                     r.SetString(kKey4, "InstalledPath", "");
                     r.SetString(kKey4, "LT_InstalledPath", t.host);
                   },
                   Host},
        LookupCase{"key 4: absent InstalledPath falls back to LT_InstalledPath",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey4, "LT_InstalledPath", t.host); },
                   Host},
        LookupCase{"key 4: a set InstalledPath wins over LT_InstalledPath",
                   [](RegistryFixture& r, const Folders& t) {
                     r.SetString(kKey4, "InstalledPath", t.empty);
                     r.SetString(kKey4, "LT_InstalledPath", t.host);
                   },
                   None},
        LookupCase{"key 5 with an expandable string naming a real folder",
                   [](RegistryFixture& r, const Folders& t) { r.SetExpandString(kKey5, "InstalledPath", t.host); },
                   Host},
        LookupCase{"key 6 only",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey6, "InstalledPath", t.host); },
                   Host},
        LookupCase{"an expandable string is not expanded",
                   [](RegistryFixture& r, const Folders&) {
                     r.SetExpandString(kKey2, "InstalledPath", "%SystemDrive%\\Lumora");
                   },
                   None},
        LookupCase{"a folder without Lumoranew.exe",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey2, "InstalledPath", t.empty); },
                   None},
        LookupCase{"Lumoranew.exe is a folder, not a file",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey2, "InstalledPath", t.exeIsFolder); },
                   None},
        LookupCase{"a folder that does not exist",
                   [](RegistryFixture& r, const Folders& t) {
                     r.SetString(kKey2, "InstalledPath", t.host + "Gone");
                   },
                   None},
        LookupCase{"a GBK folder whose last byte is a 0x5C trail byte gets its backslash",
                   [](RegistryFixture& r, const Folders& t) { r.SetString(kKey2, "InstalledPath", t.gbkHost); },
                   [](const Folders& t) { return t.gbkHost + "\\"; }},
        LookupCase{"the value ends at its first NUL",
                   [](RegistryFixture& r, const Folders& t) {
                     r.SetValue(kKey2, "InstalledPath", kRegSz, t.host + std::string("\0junk\0", 6));
                   },
                   Host}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return "Case" + std::to_string(info.index); });

// The errors leave the lookup after the key is closed and the leave line written.
TEST_F(HostLookup, ValueOfAnotherTypeIsAnErrorWithItsName) {
  RegistryFixture registry(kNorvell);
  registry.SetDword(kKey2, "InstalledPath", 7);
  try {
    GetLumoraPathByRegedit();
    FAIL() << "no error";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'InstalledPath'");
  }
  EXPECT_NE(LogText().find("LogLeave[TMorrowInvoker.GetLumoraPathByRegedit]\r\n"), std::string::npos);
}

TEST_F(HostLookup, DataThatCannotBeFetchedIsAnError) {
  RegistryFixture registry(kNorvell);
  registry.SetString(kKey4, "InstalledPath", "");
  registry.SetString(kKey4, "LT_InstalledPath", f.host);
  // The size query answers; the data query for the fallback value then fails.
  services->regQueryValue = [](HKey, const std::string& name, uint32_t*, uint8_t* data,
                               uint32_t*) -> std::optional<long> {
    if (data != nullptr && name == "LT_InstalledPath") return kErrorAccessDenied;
    return std::nullopt;
  };
  try {
    GetLumoraPathByRegedit();
    FAIL() << "no error";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Failed to get data for 'LT_InstalledPath'");
  }
  const std::string log = LogText();
  EXPECT_LT(log.find("LogEnter["), log.find("LogLeave[TMorrowInvoker.GetLumoraPathByRegedit]"));
}

TEST_F(HostLookup, LoggingOffWritesNothing) {
  ASSERT_TRUE(WriteFileBytes(dir / "setup\\Config.ini", "[system]\r\ndebug=0\r\n"));
  daemon_log::LogModuleStartup();
  RegistryFixture registry(kNorvell);
  registry.SetString(kKey2, "InstalledPath", f.host);
  EXPECT_EQ(GetLumoraPathByRegedit(), f.host + "\\");
  EXPECT_FALSE(DirectoryExists(dir / "setup\\log"));
}

}  // namespace
