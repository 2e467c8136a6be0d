#include "log/f_Log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/inject.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

namespace {

using daemon_log::DaemonLog;
using platform::SystemTime;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// GBK bytes of the brackets around the timestamp.
const std::string kOpen = "\xA1\xBE";   // 【
const std::string kClose = "\xA1\xBF";  // 】
// A GBK character whose trail byte is 0x5C, the byte of "\".
const std::string kTrail5C = "\xD5\x5C";

const char kSwitchOn[] = "[system]\r\ndebug=1\r\n";

SystemTime Date(int year, int month, int day, int hour = 12, int minute = 0, int second = 0,
                int milliseconds = 0) {
  SystemTime t;
  t.year = static_cast<uint16_t>(year);
  t.month = static_cast<uint16_t>(month);
  t.day = static_cast<uint16_t>(day);
  t.hour = static_cast<uint16_t>(hour);
  t.minute = static_cast<uint16_t>(minute);
  t.second = static_cast<uint16_t>(second);
  t.milliseconds = static_cast<uint16_t>(milliseconds);
  return t;
}

// The cases write timestamps with ":"; the log uses the locale's separator.
std::string WithTimeSeparator(std::string timestamp) {
  const std::string separator = platform::TimeSeparator();
  std::string out;
  for (char c : timestamp) out += c == ':' ? separator : std::string(1, c);
  return out;
}

bool FileIsFree(const std::string& path) {
  const platform::Handle h =
      platform::CreateFileA(path, platform::kGenericRead, platform::kShareNone,
                            platform::kOpenExisting);
  if (h == platform::kInvalidHandle) return false;
  platform::CloseHandle(h);
  return true;
}

std::set<std::string> Names(const std::string& folder) {
  std::vector<platform::FolderEntry> entries;
  std::set<std::string> names;
  if (platform::ListFolder(folder, &entries))
    for (const auto& entry : entries) names.insert(entry.name);
  return names;
}

// An executable "Setup.exe" in a scratch folder, a clock the test sets, and a log module
// started afresh by each test.
class LogTest : public ::testing::Test {
 protected:
  LogTest() {
    services_->moduleFileName = [this] { return module_; };
    services_->localTime = [this] { return now_; };
  }
  ~LogTest() override { daemon_log::LogModuleShutdown(); }

  // Writes Config.ini beside the executable (unless config is nullopt) and starts the
  // module.
  void Start(const std::optional<std::string>& config) {
    if (config) WriteFileBytes(ExeFolder() + "Config.ini", *config);
    daemon_log::LogModuleStartup();
  }

  std::string ExeFolder() const { return module_.substr(0, module_.rfind("Setup.exe")); }
  std::string LogFolder() const { return ExeFolder() + "log"; }
  std::string LogFile(int year, int month) const {
    char name[32];
    std::snprintf(name, sizeof name, "Setup_%04d%02d.log", year, month);
    return ExeFolder() + "log\\" + name;
  }
  std::string Line(const std::string& timestamp, const std::string& message) const {
    return kOpen + WithTimeSeparator(timestamp) + kClose + message + "\r\n";
  }

  TempDir dir_;
  platform::inject::ScopedServices services_;
  std::string module_ = dir_ / "Setup.exe";
  SystemTime now_ = Date(2018, 7, 2, 9, 5, 3, 42);
};

// ---- File names ------------------------------------------------------------------------

struct NameCase {
  const char* module;
  SystemTime date;
  const char* expected;
};

void PrintTo(const NameCase& c, std::ostream* os) {
  *os << platform::AnsiToUtf8(c.module) << " in " << c.date.year << "-" << c.date.month;
}

class LogFileNameTest : public LogTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(LogFileNameTest, BesideTheExecutableInLogFolder) {
  module_ = GetParam().module;
  EXPECT_EQ(daemon_log::LogFileName(GetParam().date), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LogFileNameTest,
    ::testing::Values(
        NameCase{"D:\\pkg\\Setup.exe", Date(2018, 7, 2), "D:\\pkg\\log\\Setup_201807.log"},
        NameCase{"D:\\pkg\\Setup.exe", Date(2018, 12, 31), "D:\\pkg\\log\\Setup_201812.log"},
        NameCase{"D:\\pkg\\Setup.exe", Date(2009, 1, 1), "D:\\pkg\\log\\Setup_200901.log"},
        NameCase{"C:\\Setup.exe", Date(2018, 7, 2), "C:\\log\\Setup_201807.log"},
        // Only the last extension goes; a name without one stays whole.
        NameCase{"D:\\a.b\\My.Setup.exe", Date(2018, 7, 2), "D:\\a.b\\log\\My.Setup_201807.log"},
        NameCase{"D:\\a.b\\Setup", Date(2018, 7, 2), "D:\\a.b\\log\\Setup_201807.log"},
        // GBK names; the 0x5C trail byte of 誠 is no separator.
        NameCase{"D:\\\xC9\xFD\xBC\xB6\\\xB0\xB2\xD7\xB0.exe", Date(2018, 7, 2),
                 "D:\\\xC9\xFD\xBC\xB6\\log\\\xB0\xB2\xD7\xB0_201807.log"},
        NameCase{"D:\\pkg\\\xD5\x5C" "Setup.exe", Date(2018, 7, 2),
                 "D:\\pkg\\log\\\xD5\x5C" "Setup_201807.log"},
        NameCase{"D:\\\xD5\x5C\\\xD5\x5C.exe", Date(2018, 7, 2),
                 "D:\\\xD5\x5C\\log\\\xD5\x5C_201807.log"}));

// ---- Line format -------------------------------------------------------------------------

struct LineCase {
  SystemTime now;
  std::string message;
  const char* timestamp;
};

void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.timestamp << " " << ::testing::PrintToString(c.message);
}

class LineFormatTest : public LogTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineFormatTest, BracketedTimestampThenMessageBytesThenCrLf) {
  Start(kSwitchOn);
  now_ = GetParam().now;
  DaemonLog().WriteLog(GetParam().message);
  bool ok = false;
  const std::string content = ReadFileBytes(LogFile(now_.year, now_.month), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(content, Line(GetParam().timestamp, GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineFormatTest,
    ::testing::Values(
        LineCase{Date(2018, 7, 2, 9, 5, 3, 42), "LogEnter[TForm1.FormShow]",
                 "2018-07-02 09:05:03.042"},
        LineCase{Date(2018, 12, 31, 23, 59, 59, 999), "LogLeave[TForm1.FormShow]",
                 "2018-12-31 23:59:59.999"},
        LineCase{Date(2020, 1, 1, 0, 0, 0, 0), "", "2020-01-01 00:00:00.000"},
        LineCase{Date(2018, 7, 2, 10, 20, 30, 7), "100% %s %d %% %n", "2018-07-02 10:20:30.007"},
        LineCase{Date(2018, 7, 2, 10, 20, 30, 70), "\xA1\xBE" "x" "\xA1\xBF" "%s",
                 "2018-07-02 10:20:30.070"},
        // GBK text, a 0x5C trail byte, a line break and a NUL inside the message.
        LineCase{Date(2018, 7, 2, 1, 2, 3, 4), "\xC1\xA2\xBC\xB4\xB0\xB2\xD7\xB0 \xD5\x5C",
                 "2018-07-02 01:02:03.004"},
        LineCase{Date(2018, 7, 2, 1, 2, 3, 4), "a\r\nb", "2018-07-02 01:02:03.004"},
        LineCase{Date(2018, 7, 2, 1, 2, 3, 4), std::string("a\0b", 3),
                 "2018-07-02 01:02:03.004"}));

TEST_F(LogTest, LinesAreAppendedAndTheFileIsClosedAfterEach) {
  Start(kSwitchOn);
  const std::string path = LogFile(2018, 7);
  ASSERT_TRUE(WriteFileBytes(path, "earlier\r\n"));
  DaemonLog().WriteLog("LogEnter[TForm1.FormShow]");
  EXPECT_TRUE(FileIsFree(path));
  now_ = Date(2018, 7, 2, 9, 5, 4, 100);
  DaemonLog().WriteLog("LogLeave[TForm1.FormShow]");
  EXPECT_TRUE(FileIsFree(path));
  EXPECT_EQ(ReadFileBytes(path), "earlier\r\n" +
                                     Line("2018-07-02 09:05:03.042", "LogEnter[TForm1.FormShow]") +
                                     Line("2018-07-02 09:05:04.100", "LogLeave[TForm1.FormShow]"));
}

// ---- The switch ---------------------------------------------------------------------------

struct SwitchCase {
  const char* label;
  std::optional<std::string> config;  // nullopt: no Config.ini at all
  bool folder;                        // Config.ini is a folder
  bool on;
};

class SwitchTest : public LogTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, OnOnlyForOne) {
  const SwitchCase& c = GetParam();
  if (c.folder) {
    ASSERT_TRUE(platform::CreateDirectoryA(ExeFolder() + "Config.ini"));
  }
  Start(c.config);
  EXPECT_EQ(daemon_log::ReadDebugSwitch(), c.on);
  EXPECT_EQ(daemon_log::DebugEnabled, c.on);
  DaemonLog().WriteLog("LogEnter[TForm1.FormShow]");
  if (c.on) {
    EXPECT_EQ(ReadFileBytes(LogFile(2018, 7)),
              Line("2018-07-02 09:05:03.042", "LogEnter[TForm1.FormShow]"));
  } else {
    // Off: not even the log folder appears.
    EXPECT_EQ(platform::GetFileAttributesA(LogFolder()), platform::kInvalidFileAttributes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchTest,
    ::testing::Values(
        SwitchCase{"NoFile", std::nullopt, false, false},
        SwitchCase{"FolderNamedConfigIni", std::nullopt, true, false},
        SwitchCase{"EmptyFile", "", false, false},
        SwitchCase{"OtherSection", "[other]\r\ndebug=1\r\n", false, false},
        SwitchCase{"KeyInALaterSection", "[system]\r\nlevel=2\r\n[other]\r\ndebug=1\r\n", false,
                   false},
        SwitchCase{"OtherKey", "[system]\r\nlevel=1\r\n", false, false},
        SwitchCase{"Zero", "[system]\r\ndebug=0\r\n", false, false},
        SwitchCase{"Empty", "[system]\r\ndebug=\r\n", false, false},
        SwitchCase{"Eleven", "[system]\r\ndebug=11\r\n", false, false},
        SwitchCase{"True", "[system]\r\ndebug=true\r\n", false, false},
        // No inline comments in INI values: the value is "1 ; on".
        SwitchCase{"OneWithComment", "[system]\r\ndebug=1 ; on\r\n", false, false},
        SwitchCase{"One", kSwitchOn, false, true},
        SwitchCase{"OneAtEndOfFile", "[system]\r\ndebug=1", false, true},
        SwitchCase{"NamesIgnoreCase", "[SYSTEM]\r\nDEBUG=1\r\n", false, true},
        // The INI reading drops surrounding blanks and one pair of quotes.
        SwitchCase{"OneInBlanks", "[system]\r\ndebug = 1 \r\n", false, true},
        SwitchCase{"OneInQuotes", "[system]\r\ndebug=\"1\"\r\n", false, true}),
    [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.label); });

TEST_F(LogTest, ConfigIsReadOnlyBesideTheExecutable) {
  // Config.ini in the parent folder and in the current directory, none beside the program.
  ASSERT_TRUE(WriteFileBytes(dir_ / "Config.ini", kSwitchOn));
  module_ = dir_ / "bin\\Setup.exe";
  ASSERT_TRUE(testing_support::MakeFolders(dir_ / "bin"));
  const std::string saved = platform::GetCurrentDirectoryA();
  ASSERT_TRUE(platform::SetCurrentDirectoryA(dir_.path()));
  Start(std::nullopt);
  platform::SetCurrentDirectoryA(saved);
  EXPECT_FALSE(daemon_log::DebugEnabled);
}

// ---- Folders -------------------------------------------------------------------------------

TEST_F(LogTest, FirstLineCreatesTheLogFolder) {
  Start(kSwitchOn);
  ASSERT_FALSE(platform::DirectoryExists(LogFolder()));
  DaemonLog().WriteLog("first");
  EXPECT_TRUE(platform::DirectoryExists(LogFolder()));
  EXPECT_EQ(Names(LogFolder()), std::set<std::string>{"Setup_201807.log"});
  EXPECT_EQ(ReadFileBytes(LogFile(2018, 7)), Line("2018-07-02 09:05:03.042", "first"));
}

TEST_F(LogTest, FoldersAndNamesWithTrailByte5C) {
  // The program 誠Setup.exe in the folder 誠: both hold the byte of "\" as a trail byte.
  const std::string folder = dir_ / kTrail5C + "\\";
  ASSERT_TRUE(platform::CreateDirectoryA(dir_ / kTrail5C));
  module_ = folder + kTrail5C + "Setup.exe";
  ASSERT_TRUE(WriteFileBytes(folder + "Config.ini", kSwitchOn));
  daemon_log::LogModuleStartup();
  ASSERT_TRUE(daemon_log::DebugEnabled);
  DaemonLog().WriteLog("x");
  EXPECT_EQ(ReadFileBytes(folder + "log\\" + kTrail5C + "Setup_201807.log"),
            Line("2018-07-02 09:05:03.042", "x"));
  // No stray folder from a split inside a character.
  EXPECT_EQ(Names(dir_.path()), std::set<std::string>{kTrail5C});
  EXPECT_EQ(Names(folder), (std::set<std::string>{"Config.ini", "log"}));
}

TEST_F(LogTest, LineIsDroppedWhenTheLogFolderCannotBeMade) {
  Start(kSwitchOn);
  ASSERT_TRUE(WriteFileBytes(LogFolder(), "not a folder"));
  DaemonLog().WriteLog("lost");
  EXPECT_EQ(ReadFileBytes(LogFolder()), "not a folder");
  EXPECT_EQ(platform::GetFileAttributesA(LogFile(2018, 7)), platform::kInvalidFileAttributes);
}

TEST_F(LogTest, LineIsDroppedWhenTheLogFileIsAFolder) {
  Start(kSwitchOn);
  ASSERT_TRUE(testing_support::MakeFolders(LogFile(2018, 7)));
  DaemonLog().WriteLog("lost");
  EXPECT_TRUE(platform::DirectoryExists(LogFile(2018, 7)));
  EXPECT_TRUE(Names(LogFile(2018, 7)).empty());
}

// ---- The size rule -------------------------------------------------------------------------

struct SizeCase {
  size_t size;
  bool on;
  bool kept;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
  *os << c.size << " bytes, logging " << (c.on ? "on" : "off");
}

class SizeRuleTest : public LogTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeRuleTest, CurrentFileGoesOncePast10240Bytes) {
  const SizeCase& c = GetParam();
  Start(c.on ? std::optional<std::string>(kSwitchOn) : std::nullopt);
  const std::string old(c.size, 'o');
  ASSERT_TRUE(WriteFileBytes(LogFile(2018, 7), old));
  DaemonLog().WriteLog("next");
  const std::string line = c.on ? Line("2018-07-02 09:05:03.042", "next") : "";
  bool exists = false;
  const std::string content = ReadFileBytes(LogFile(2018, 7), &exists);
  if (c.kept) {
    EXPECT_EQ(content, old + line);
  } else if (c.on) {
    EXPECT_EQ(content, line);  // a new file with the next line only
  } else {
    EXPECT_FALSE(exists);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeRuleTest,
                         ::testing::Values(SizeCase{10240, true, true},
                                           SizeCase{10241, true, false},
                                           SizeCase{10240, false, true},
                                           SizeCase{10241, false, false},
                                           SizeCase{0, true, true}));

// ---- The purge of earlier months ------------------------------------------------------------

struct PurgeCase {
  const char* label;
  SystemTime now;
  std::vector<int> kept;     // YYYYMM of files that stay
  std::vector<int> deleted;  // YYYYMM of files the purge removes
};

class PurgeTest : public LogTest,
                  public ::testing::WithParamInterface<std::tuple<PurgeCase, bool>> {};

TEST_P(PurgeTest, RemovesTheThreePreviousMonths) {
  const auto& [c, on] = GetParam();
  Start(on ? std::optional<std::string>(kSwitchOn) : std::nullopt);
  now_ = c.now;
  for (int month : c.kept) ASSERT_TRUE(WriteFileBytes(LogFile(month / 100, month % 100), "k"));
  for (int month : c.deleted) ASSERT_TRUE(WriteFileBytes(LogFile(month / 100, month % 100), "d"));
  DaemonLog();
  for (int month : c.kept) EXPECT_TRUE(platform::FileExists(LogFile(month / 100, month % 100)))
      << month;
  for (int month : c.deleted) EXPECT_FALSE(platform::FileExists(LogFile(month / 100, month % 100)))
      << month;
}

INSTANTIATE_TEST_SUITE_P(
    Months, PurgeTest,
    ::testing::Combine(
        ::testing::Values(
            PurgeCase{"July", Date(2018, 7, 15),
                      {201807, 201803, 201808, 201707, 201706},
                      {201806, 201805, 201804}},
            PurgeCase{"JanuaryReachesIntoLastYear", Date(2019, 1, 10),
                      {201901, 201809, 201801, 201902},
                      {201812, 201811, 201810}},
            PurgeCase{"MarchReachesIntoLastYear", Date(2019, 3, 1), {201903, 201811},
                      {201902, 201901, 201812}},
            // The 31st minus one to three months: the day is clamped, the month is not skipped.
            PurgeCase{"May31", Date(2018, 5, 31), {201805, 201801}, {201804, 201803, 201802}},
            PurgeCase{"March31", Date(2019, 3, 31), {201811}, {201902, 201901, 201812}},
            PurgeCase{"December31", Date(2020, 12, 31), {202008}, {202011, 202010, 202009}},
            // Missing months in between do not stop the purge.
            PurgeCase{"GapsAreSkipped", Date(2018, 7, 15), {201803}, {201804}}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<PurgeCase, bool>>& info) {
      return std::string(std::get<0>(info.param).label) +
             (std::get<1>(info.param) ? "_On" : "_Off");
    });

TEST_F(LogTest, PurgeKeepsOtherNames) {
  Start(std::nullopt);
  now_ = Date(2018, 7, 15);
  const std::vector<std::string> others = {
      "Other_201806.log", "Setup_201806.txt", "Setup_201806.log.bak", "Setup201806.log",
      "Setup_2018-06.log", "Setup_201806"};
  for (const auto& name : others) ASSERT_TRUE(WriteFileBytes(LogFolder() + "\\" + name, "x"));
  // June's name, but beside the program rather than in its log folder.
  ASSERT_TRUE(WriteFileBytes(ExeFolder() + "Setup_201806.log", "x"));
  // A folder in the place of June's file is no file: the purge passes it and goes on.
  ASSERT_TRUE(testing_support::MakeFolders(LogFile(2018, 6)));
  ASSERT_TRUE(WriteFileBytes(LogFile(2018, 5), "x"));
  DaemonLog();
  for (const auto& name : others) EXPECT_TRUE(platform::FileExists(LogFolder() + "\\" + name))
      << name;
  EXPECT_TRUE(platform::FileExists(ExeFolder() + "Setup_201806.log"));
  EXPECT_TRUE(platform::DirectoryExists(LogFile(2018, 6)));
  EXPECT_FALSE(platform::FileExists(LogFile(2018, 5)));
}

// ---- Files another opener holds -------------------------------------------------------------

struct HeldCase {
  const char* label;
  int heldMonth;      // YYYYMM of the file held open
  uint32_t share;     // the holder's share mode
  std::vector<int> kept;
  std::vector<int> deleted;
  bool lineWritten;
};

class HeldFileTest : public LogTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldFileTest, PurgeStopsSilentlyAndTheCallerGoesOn) {
  const HeldCase& c = GetParam();
  Start(kSwitchOn);
  now_ = Date(2018, 7, 15);
  for (int month : {201807, 201806, 201805, 201804})
    ASSERT_TRUE(WriteFileBytes(LogFile(month / 100, month % 100), "old\r\n"));
  const platform::Handle held =
      platform::CreateFileA(LogFile(c.heldMonth / 100, c.heldMonth % 100), platform::kGenericRead,
                            c.share, platform::kOpenExisting);
  ASSERT_NE(held, platform::kInvalidHandle);
  DaemonLog().WriteLog("next");
  platform::CloseHandle(held);
  for (int month : c.kept) EXPECT_TRUE(platform::FileExists(LogFile(month / 100, month % 100)))
      << month;
  for (int month : c.deleted) EXPECT_FALSE(platform::FileExists(LogFile(month / 100, month % 100)))
      << month;
  EXPECT_EQ(ReadFileBytes(LogFile(2018, 7)),
            "old\r\n" + (c.lineWritten ? Line("2018-07-15 12:00:00.000", "next") : ""));
}

constexpr uint32_t kShareAll =
    platform::kShareRead | platform::kShareWrite | platform::kShareDelete;

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldFileTest,
    ::testing::Values(
        HeldCase{"LastMonth", 201806, platform::kShareNone, {201806, 201805, 201804}, {}, true},
        HeldCase{"TwoMonthsAgo", 201805, platform::kShareNone, {201805, 201804}, {201806}, true},
        HeldCase{"ThreeMonthsAgo", 201804, platform::kShareNone, {201804}, {201806, 201805},
                 true},
        // The size of the current file cannot be read: nothing is purged; the append open
        // fails too, so the line is lost.
        HeldCase{"CurrentExclusively", 201807, platform::kShareNone, {201806, 201805, 201804}, {},
                 false},
        // A reader that shares everything still blocks the exclusive size read, but not
        // the append.
        HeldCase{"CurrentSharedByAReader", 201807, kShareAll, {201806, 201805, 201804}, {},
                 true}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.label); });

// ---- Lifetime and threads -------------------------------------------------------------------

TEST_F(LogTest, AccessorKeepsOneObjectUntilShutDownAndWorksAfterIt) {
  Start(kSwitchOn);
  daemon_log::TDaemonLog* first = &DaemonLog();
  EXPECT_EQ(&DaemonLog(), first);
  DaemonLog().WriteLog("before");
  daemon_log::LogModuleShutdown();
  DaemonLog().WriteLog("after");
  EXPECT_EQ(ReadFileBytes(LogFile(2018, 7)),
            Line("2018-07-02 09:05:03.042", "before") + Line("2018-07-02 09:05:03.042", "after"));
}

TEST_F(LogTest, LinesFromSeveralThreadsAreNeitherLostNorMixed) {
  Start(kSwitchOn);
  constexpr int kThreads = 4;
  constexpr int kLinesEach = 40;  // 160 lines of about 40 bytes stay under the size limit
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLinesEach; ++i)
        DaemonLog().WriteLog("thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& thread : threads) thread.join();
  const std::string content = ReadFileBytes(LogFile(2018, 7));
  std::multiset<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.insert(content.substr(start, end + 2 - start));
  EXPECT_EQ(start, content.size());
  std::multiset<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLinesEach; ++i)
      expected.insert(Line("2018-07-02 09:05:03.042",
                           "thread " + std::to_string(t) + " line " + std::to_string(i)));
  EXPECT_EQ(lines, expected);
}

}  // namespace
