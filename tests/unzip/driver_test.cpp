// The extraction driver: events and their order, selection, paths, the overwrite
// decision, output file creation, passwords, the CRC verdict and failures during a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tests/unzip/file_helpers.h"
#include "tests/unzip/helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/ZipExtractor.h"
#include "tests/unzip/extractor_access.h"

using namespace unzip;
using Access = unzip::TZipExtractorTestAccess;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using unzip_test::Encrypted;
using unzip_test::FileDate;
using unzip_test::Listing;
using unzip_test::StampFile;
using zip_writer::Entry;

namespace {

constexpr uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return (static_cast<uint32_t>(y - 1980) << 25) | (static_cast<uint32_t>(mo) << 21) |
         (static_cast<uint32_t>(d) << 16) | (static_cast<uint32_t>(h) << 11) |
         (static_cast<uint32_t>(mi) << 5) | static_cast<uint32_t>(s / 2);
}

constexpr uint32_t kOld = Dos(2001, 2, 3, 4, 5, 6);
constexpr uint32_t kNew = Dos(2020, 7, 8, 9, 10, 12);

// GBK bytes: 说明淺 (淺 is 9C 5C: its second byte is the byte of "\") and 目录.
const std::string kNote = "\xCB\xB5\xC3\xF7\x9C\x5C";
const std::string kFolder = "\xC4\xBF\xC2\xBC";

// A component on an archive in a scratch folder, recording its events with the
// destination shown as "D".
class Driver : public ::testing::Test {
 protected:
  void SetUp() override { dest = tmp / "root\\out"; }

  // Each archive gets a name of its own: one rewritten within the two seconds of a DOS
  // date would keep the directory read before.
  void Make(const std::vector<Entry>& entries, const zip_writer::Options& options = {}) {
    archive = tmp / ("a" + std::to_string(++made) + ".zip");
    ASSERT_TRUE(WriteFileBytes(archive, zip_writer::Build(entries, options)));
    z.SetZipName(archive);
    z.SetDestDir(dest);
  }

  std::string Short(const std::string& name) const {
    return name.rfind(dest, 0) == 0 ? "D" + name.substr(dest.size()) : name;
  }

  // Records every event of the run; percentages only when asked.
  void Record(bool percents = false) {
    z.OnStartUnZipInfo = [this](TObject*, int32_t n, int64_t bytes, bool& stop) {
      log.push_back("info " + std::to_string(n) + " " + std::to_string(bytes));
      stop = stopNow;
    };
    z.OnStartUnZip = [this](TObject*, int32_t i, std::string& name, bool& skip) {
      log.push_back("start " + std::to_string(i) + " " + Short(name));
      if (rename) rename(i, name, skip);
    };
    z.OnEndUnZip = [this](TObject*, int32_t i, const std::string& name) {
      log.push_back("end " + std::to_string(i) + " " + Short(name));
    };
    z.OnSkippingFile = [this](TObject*, TSkipReason reason, const std::string& name, int32_t i,
                              bool&) {
      log.push_back("skip " + std::to_string(reason) + " " + Short(name) + " " +
                    std::to_string(i));
    };
    z.OnBadCRC = [this](TObject*, uint32_t calc, uint32_t stored, int32_t i) {
      log.push_back("crc " + std::to_string(i) + (calc == stored ? " same" : " differs"));
    };
    z.OnUnZipComplete = [this](TObject*, int32_t n) {
      log.push_back("complete " + std::to_string(n));
    };
    z.OnHandleMessage = [this](TObject*, int32_t id, const std::string& text,
                               const std::string& caption, uint32_t flags, int32_t& reply) {
      log.push_back("message " + std::to_string(id) + " " + text + " / " + caption + " " +
                    std::to_string(flags));
      reply = messageReply;
    };
    if (percents) {
      z.OnFilePercentDone = [this](TObject*, int32_t p) {
        log.push_back("file% " + std::to_string(p));
      };
      z.OnTotalPercentDone = [this](TObject*, int32_t p) {
        log.push_back("total% " + std::to_string(p));
      };
    }
  }

  TempDir tmp;
  std::string archive;
  int made = 0;
  std::string dest;
  TZipExtractor z;
  std::vector<std::string> log;
  bool stopNow = false;
  int32_t messageReply = platform::kIdOk;
  std::function<void(int32_t, std::string&, bool&)> rename;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(Driver, EventsComeInOrderForFoldersAndFiles) {
  Make({{.name = "docs/", .data = "", .externalAttributes = 0x10},
        {.name = "docs/a.txt", .data = "hello", .dosDateTime = kOld},
        {.name = "docs/empty.txt", .data = ""},
        {.name = "b.txt", .data = std::string(15, 'x'), .method = 8, .dosDateTime = kNew}});
  z.RecreateDirs = true;
  z.DoAll = true;
  z.OverwriteMode = Always;
  Record(true);
  EXPECT_EQ(z.UnZip(), 4);
  EXPECT_EQ(log, (Log{"info 4 20",
                      "start 1 D\\docs\\a.txt", "file% 100", "total% 25", "end 1 D\\docs\\a.txt",
                      "start 2 D\\docs\\empty.txt", "end 2 D\\docs\\empty.txt",
                      "start 3 D\\b.txt", "file% 100", "total% 100", "end 3 D\\b.txt",
                      "complete 4"}));
  EXPECT_EQ(ReadFileBytes(dest + "\\docs\\a.txt"), "hello");
  EXPECT_EQ(ReadFileBytes(dest + "\\b.txt"), std::string(15, 'x'));
  bool ok = false;
  EXPECT_EQ(ReadFileBytes(dest + "\\docs\\empty.txt", &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(FileDate(dest + "\\docs\\a.txt"), kOld);
  EXPECT_EQ(FileDate(dest + "\\b.txt"), kNew);
  EXPECT_EQ(z.TotalUncompressed(), 20);
  EXPECT_EQ(z.TotalWritten(), 20);
  // The archive is closed again after the run, and KeepZipOpen is as it was.
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
  EXPECT_FALSE(z.KeepZipOpen);
}

TEST_F(Driver, AnArchiveWithoutEntriesAndAStopBeforeTheStartWriteNothing) {
  Make({});
  Record();
  z.DoAll = true;
  EXPECT_EQ(z.UnZip(), 0);
  EXPECT_EQ(log, (Log{"info 0 0", "complete 0"}));

  log.clear();
  Make({{.name = "a.txt", .data = "abc"}});
  z.FilesList().push_back("*");
  stopNow = true;
  EXPECT_EQ(z.UnZip(), 0);
  EXPECT_EQ(log, (Log{"info 1 3", "complete 0"}));
  EXPECT_FALSE(platform::FileExists(dest + "\\a.txt"));
  EXPECT_TRUE(z.FilesList().empty());
}

TEST_F(Driver, FilesListPatternsChooseEntriesWithoutRegardToCase) {
  const std::vector<Entry> entries = {{.name = "Docs/A.TXT", .data = "1"},
                                      {.name = "docs/b.dat", .data = "22"},
                                      {.name = "c.txt", .data = "333"}};
  struct Case {
    std::vector<std::string> patterns;
    Log expected;
  } cases[] = {
      {{}, {"info 0 0", "complete 0"}},
      {{"*.txt"}, {"info 2 4", "end 0 D\\Docs\\A.TXT", "end 2 D\\c.txt", "complete 2"}},
      {{"DOCS\\*"}, {"info 2 3", "end 0 D\\Docs\\A.TXT", "end 1 D\\docs\\b.dat", "complete 2"}},
      {{"nothing", "c.*"}, {"info 1 3", "end 2 D\\c.txt", "complete 1"}},
  };
  Make(entries);
  z.RecreateDirs = true;
  z.OverwriteMode = Always;
  Record();
  z.OnStartUnZip = nullptr;
  for (const Case& c : cases) {
    z.SetFilesList(c.patterns);
    log.clear();
    z.UnZip();
    EXPECT_EQ(log, c.expected) << (c.patterns.empty() ? "(none)" : c.patterns[0]);
    EXPECT_TRUE(z.FilesList().empty());
  }
}

TEST_F(Driver, WithoutRecreateDirsFilesGoStraightIntoTheDestination) {
  Make({{.name = "a/", .data = ""}, {.name = "a/b/c.txt", .data = "c"}});
  z.DoAll = true;
  z.OverwriteMode = Always;
  Record();
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(log, (Log{"info 1 1", "start 1 D\\c.txt", "end 1 D\\c.txt", "complete 1"}));
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"c.txt"}));
}

TEST_F(Driver, StoredPathsMapBelowTheDestination) {
  struct Case {
    const char* stored;
    const char* rootDir;
    const char* written;  // below dest; null: given up with srCreateError, nothing created
  } cases[] = {
      {"a\\b.txt", "", "a\\b.txt"},
      {"\\x\\y.txt", "", "x\\y.txt"},
      {"C:\\x\\y.txt", "", "x\\y.txt"},
      {"C:x\\y.txt", "", "x\\y.txt"},
      {"Data\\sub\\f.txt", "data", "sub\\f.txt"},
      {"other\\f.txt", "data", "other\\f.txt"},
      {"a\\..\\b.txt", "", "b.txt"},
      {"a\\.\\b\\.\\c.txt", "", "a\\b\\c.txt"},
      {"..\\..\\x.txt", "", nullptr},
      {"a\\..\\..\\x.txt", "", nullptr},
      {"\\..\\x.txt", "", nullptr},
      {"C:\\..\\x.txt", "", nullptr},
      {"a\\..", "", nullptr},
      {".. \\x.txt", "", nullptr},
      {"a\\...\\x.txt", "", nullptr},
  };
  for (const Case& c : cases) {
    TempDir scratch;
    const std::string zipPath = scratch / "p.zip";
    const std::string out = scratch / "root\\out";
    ASSERT_TRUE(WriteFileBytes(zipPath, zip_writer::Build({{.name = c.stored, .data = "x"}})));
    TZipExtractor x;
    x.SetZipName(zipPath);
    x.SetDestDir(out);
    x.SetRootDir(c.rootDir);
    x.RecreateDirs = true;
    x.DoAll = true;
    x.OverwriteMode = Always;
    std::vector<std::string> skipped;
    x.OnSkippingFile = [&](TObject*, TSkipReason reason, const std::string& name, int32_t,
                           bool&) {
      EXPECT_EQ(reason, srCreateError);
      skipped.push_back(name);
    };
    const int32_t n = x.UnZip();
    if (c.written) {
      EXPECT_EQ(n, 1) << c.stored;
      EXPECT_EQ(ReadFileBytes(out + "\\" + c.written), "x") << c.stored;
      EXPECT_TRUE(skipped.empty()) << c.stored;
    } else {
      EXPECT_EQ(n, 0) << c.stored;
      EXPECT_EQ(skipped.size(), 1u) << c.stored;
      // Nothing left the destination, and nothing was made inside it either.
      EXPECT_EQ(Listing(scratch.path()), (std::vector<std::string>{"p.zip", "root"})) << c.stored;
      EXPECT_EQ(Listing(scratch / "root"), (std::vector<std::string>{"out"})) << c.stored;
      EXPECT_TRUE(Listing(out).empty()) << c.stored;
    }
  }
}

TEST_F(Driver, FolderEntriesThatClimbOutAreNotCreated) {
  Make({{.name = "..\\evil\\", .data = ""},
        {.name = "a\\..\\..\\evil2\\", .data = ""},
        {.name = "a\\..\\kept\\", .data = ""}});
  z.RecreateDirs = true;
  z.DoAll = true;
  Record();
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(log, (Log{"info 3 0", "skip 3 D\\..\\evil\\ 0", "skip 3 D\\a\\..\\..\\evil2\\ 1",
                      "complete 1"}));
  EXPECT_EQ(Listing(tmp / "root"), (std::vector<std::string>{"out"}));
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"kept"}));
}

TEST_F(Driver, DoubleByteNamesKeepTheirBackslashTrailBytes) {
  Make({{.name = kNote + "/a.txt", .data = "a"},
        {.name = kFolder + "/" + kNote, .data = "b"},
        {.name = kFolder + "/" + kNote + "/" + kNote, .data = "c"}});
  z.RecreateDirs = true;
  z.DoAll = true;
  z.OverwriteMode = Always;
  EXPECT_EQ(z.UnZip(), 2);  // the third needs a folder where the second is a file
  EXPECT_EQ(ReadFileBytes(dest + "\\" + kNote + "\\a.txt"), "a");
  EXPECT_EQ(ReadFileBytes(dest + "\\" + kFolder + "\\" + kNote), "b");
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{kFolder, kNote}));

  // A root folder ending in such a character is stripped as a whole.
  TempDir other;
  z.SetDestDir(other / "o");
  z.SetRootDir(kNote);
  z.SetFilesList({"*a.txt"});
  z.DoAll = false;
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(ReadFileBytes(other / "o\\a.txt"), "a");
}

TEST_F(Driver, OverwriteModesDecideAboutAnExistingFile) {
  struct Case {
    TUZOverwriteMode mode;
    uint32_t entryDate;
    int promptAnswer;  // -1: no handler, the message routine answers messageReply
    int32_t reply;
    bool replaced;
  } cases[] = {
      {Always, kOld, -1, 0, true},
      {Never, kNew, -1, 0, false},
      {ifNewer, Dos(2030, 1, 1, 0, 0, 0), -1, 0, true},
      {ifNewer, kOld, -1, 0, false},
      {ifNewer, kNew, -1, 0, false},  // equal dates
      {ifOlder, Dos(1999, 1, 1, 0, 0, 0), -1, 0, true},
      {ifOlder, kNew, -1, 0, false},  // equal dates
      {ifOlder, Dos(2030, 1, 1, 0, 0, 0), -1, 0, false},
      {Prompt, kOld, 1, 0, true},
      {Prompt, kOld, 0, 0, false},
      {Prompt, kOld, -1, platform::kIdYes, true},
      {Prompt, kOld, -1, platform::kIdNo, false},
  };
  for (const Case& c : cases) {
    const std::string target = dest + "\\d\\f.txt";
    ASSERT_TRUE(WriteFileBytes(target, "existing"));
    StampFile(target, kNew);
    Make({{.name = "d/f.txt", .data = "new", .dosDateTime = c.entryDate}});
    z.RecreateDirs = true;
    z.DoAll = true;
    z.OverwriteMode = c.mode;
    messageReply = c.reply;
    log.clear();
    Record();
    z.OnStartUnZip = nullptr;
    z.OnPromptForOverwrite = nullptr;
    if (c.promptAnswer >= 0)
      z.OnPromptForOverwrite = [&](TObject*, bool& overwrite, int32_t i, std::string& name) {
        log.push_back("prompt " + std::to_string(i) + " " + Short(name));
        overwrite = c.promptAnswer == 1;
      };
    z.UnZip();
    const std::string what = std::to_string(c.mode) + " " + std::to_string(c.entryDate);
    EXPECT_EQ(ReadFileBytes(target), c.replaced ? "new" : "existing") << what;
    Log expected = {"info 1 3"};
    if (c.mode == Prompt)
      expected.push_back(c.promptAnswer >= 0
                             ? "prompt 0 D\\d\\f.txt"
                             : "message 196 Replace existing file f.txt? / File Exists Alert 4");
    expected.push_back(c.replaced ? "end 0 D\\d\\f.txt" : "skip 1 D\\d\\f.txt 0");
    expected.push_back(c.replaced ? "complete 1" : "complete 0");
    EXPECT_EQ(log, expected) << what;
    if (!c.replaced) {
      EXPECT_EQ(z.TotalUncompressed(), 0) << what;
    }
  }
}

TEST_F(Driver, ARenamedOutputIsWrittenAndTheQuestionNamesTheStoredFile) {
  ASSERT_TRUE(WriteFileBytes(dest + "\\elsewhere\\renamed.txt", "existing"));
  Make({{.name = "dir/orig.txt", .data = "data"}, {.name = "skipped.txt", .data = "s"}});
  z.RecreateDirs = true;
  z.DoAll = true;
  z.OverwriteMode = Prompt;
  messageReply = platform::kIdYes;
  Record();
  rename = [this](int32_t i, std::string& name, bool& skip) {
    if (i == 0) name = dest + "\\elsewhere\\renamed.txt";
    skip = i == 1;
  };
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(log, (Log{"info 2 5", "start 0 D\\dir\\orig.txt",
                      "message 196 Replace existing file orig.txt? / File Exists Alert 4",
                      "end 0 D\\elsewhere\\renamed.txt", "start 1 D\\skipped.txt",
                      "complete 1"}));
  EXPECT_EQ(ReadFileBytes(dest + "\\elsewhere\\renamed.txt"), "data");
  EXPECT_FALSE(platform::FileExists(dest + "\\skipped.txt"));
  // Folders are made for the name the handler chose.
  EXPECT_FALSE(platform::DirectoryExists(dest + "\\dir"));
}

TEST_F(Driver, AReadOnlyFileIsReplacedOnlyWithReplaceReadOnly) {
  if (!unzip_test::ReadOnlyFilesAreRefused())
    GTEST_SKIP() << "read-only files can be written here (Wine running as root)";
  for (const bool replace : {false, true}) {
    const std::string target = dest + "\\ro.txt";
    ASSERT_TRUE(WriteFileBytes(target, "existing"));
    ASSERT_TRUE(platform::SetFileAttributesA(target, platform::kAttrReadOnly));
    Make({{.name = "ro.txt", .data = "new"}});
    z.DoAll = true;
    z.OverwriteMode = Always;
    z.ReplaceReadOnly = replace;
    log.clear();
    Record();
    z.OnStartUnZip = nullptr;
    EXPECT_EQ(z.UnZip(), replace ? 1 : 0);
    EXPECT_EQ(ReadFileBytes(target), replace ? "new" : "existing");
    const Log expected = replace ? Log{"info 1 3", "end 0 D\\ro.txt", "complete 1"}
                                 : Log{"info 1 3", "skip 3 D\\ro.txt 0", "complete 0"};
    EXPECT_EQ(log, expected);
    platform::SetFileAttributesA(target, platform::kAttrNormal);
  }
}

TEST_F(Driver, StoredAttributesAreApplied) {
  Make({{.name = "ro.txt", .data = "r", .externalAttributes = 0x21},
        {.name = "rw.txt", .data = "w", .externalAttributes = 0x20}});
  z.DoAll = true;
  z.OverwriteMode = Always;
  EXPECT_EQ(z.UnZip(), 2);
  EXPECT_TRUE(platform::GetFileAttributesA(dest + "\\ro.txt") & platform::kAttrReadOnly);
  EXPECT_FALSE(platform::GetFileAttributesA(dest + "\\rw.txt") & platform::kAttrReadOnly);
  platform::SetFileAttributesA(dest + "\\ro.txt", platform::kAttrNormal);

  z.RetainAttributes = false;
  platform::DeleteFileA(dest + "\\ro.txt");
  EXPECT_EQ(z.UnZip(), 2);
  EXPECT_FALSE(platform::GetFileAttributesA(dest + "\\ro.txt") & platform::kAttrReadOnly);
}

TEST_F(Driver, TheCrcVerdictKeepsGoodFilesAndDeletesBadOnes) {
  struct Case {
    Entry entry;
    const char* event;  // after the start event
    bool remains;
  } cases[] = {
      {{.name = "f.txt", .data = "good"}, "end 0 D\\f.txt", true},
      {{.name = "f.txt", .data = "good", .crc = 0x12345678}, "crc 0 differs", false},
      {{.name = "f.txt", .data = "good", .method = 8, .crc = 1}, "crc 0 differs", false},
      // A stored read-only attribute is never applied to data that failed.
      {{.name = "f.txt", .data = "good", .externalAttributes = 0x21, .crc = 7}, "crc 0 differs",
       false},
      // Less data than the declared size, whatever its CRC: the file would end in zeros.
      {{.name = "f.txt", .data = "good", .rawData = std::string("go"), .crc = zip_writer::Crc32("go")},
       "crc 0 same", false},
      // More data than the declared size: absorbed, then a mismatch.
      {{.name = "f.txt", .data = "good", .rawData = std::string(40000, 'g')}, "crc 0 differs",
       false},
  };
  for (const Case& c : cases) {
    Make({c.entry, {.name = "next.txt", .data = "n"}});
    z.DoAll = true;
    z.OverwriteMode = Always;
    log.clear();
    Record();
    z.UnZip();
    const bool good = std::string(c.event).rfind("end", 0) == 0;
    EXPECT_EQ(log, (Log{"info 2 5", "start 0 D\\f.txt", c.event, "start 1 D\\next.txt",
                        "end 1 D\\next.txt", good ? "complete 2" : "complete 1"}))
        << c.event;
    EXPECT_EQ(platform::FileExists(dest + "\\f.txt"), c.remains) << c.event;
    EXPECT_EQ(ReadFileBytes(dest + "\\next.txt"), "n");
    platform::SetFileAttributesA(dest + "\\f.txt", platform::kAttrNormal);
    platform::DeleteFileA(dest + "\\f.txt");
  }
}

TEST_F(Driver, AnUnknownMethodIsReportedAndNothingIsCreated) {
  Make({{.name = "odd.bin", .data = "payload", .method = 99},
        // A stored CRC of 0 is no reason to keep a file that was never decoded.
        {.name = "zero.bin", .data = "payload", .method = 9, .crc = 0},
        {.name = "empty.bin", .data = "", .method = 7},
        {.name = "next.txt", .data = "n"}});
  z.DoAll = true;
  z.OverwriteMode = Always;
  Record(true);
  z.OnStartUnZip = nullptr;
  z.OnFilePercentDone = nullptr;
  EXPECT_EQ(z.UnZip(), 1);
  const std::string unknown = "message 197 Unknown Compression Method / Zip Error 0";
  EXPECT_EQ(log, (Log{"info 4 15", unknown, unknown, unknown,
                      // The given-up entries leave the total: it still reaches 100.
                      "total% 100", "end 3 D\\next.txt", "complete 1"}));
  EXPECT_EQ(z.FailedCount(), 3);
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"next.txt"}));
}

TEST_F(Driver, PasswordsAreCheckedAndRetried) {
  const std::string text = "secret text, secret text, secret text";
  struct Case {
    const char* name;
    std::string password;            // the component's before the run
    std::vector<std::string> offers;  // what OnBadPassword answers, in turn; none: unassigned
    bool descriptor;
    bool extracted;
    int asked;
  } cases[] = {
      {"right password", "pw", {}, false, true, 0},
      {"empty password, no handler", "", {}, false, false, 0},
      {"wrong, then the handler's", "bad", {"pw"}, false, true, 1},
      {"wrong, handler repeats it", "bad", {"bad"}, true, false, 1},
      {"two wrong offers, then right", "", {"x", "y", "pw"}, true, true, 3},
  };
  for (const Case& c : cases) {
    for (const uint16_t method : {uint16_t{0}, uint16_t{8}}) {
      Make({Encrypted("s.txt", text, "pw", method, c.descriptor)});
      z.DoAll = true;
      z.OverwriteMode = Always;
      z.Password = c.password;
      log.clear();
      Record();
      z.OnStartUnZip = nullptr;
      size_t asked = 0;
      z.OnBadPassword = nullptr;
      if (!c.offers.empty())
        z.OnBadPassword = [&](TObject*, int32_t i, std::string& password) {
          EXPECT_EQ(i, 0);
          password = c.offers[std::min(asked++, c.offers.size() - 1)];
        };
      const std::string what = std::string(c.name) + " method " + std::to_string(method);
      EXPECT_EQ(z.UnZip(), c.extracted ? 1 : 0) << what;
      EXPECT_EQ(asked, static_cast<size_t>(c.asked)) << what;
      if (c.extracted) {
        EXPECT_EQ(ReadFileBytes(dest + "\\s.txt"), text) << what;
        EXPECT_EQ(z.Password, "pw") << what;
      } else {
        EXPECT_EQ(log.back(), "complete 0") << what;
        EXPECT_EQ(log[log.size() - 2], "skip 0 s.txt 0") << what;
        EXPECT_FALSE(platform::FileExists(dest + "\\s.txt")) << what;
      }
      platform::DeleteFileA(dest + "\\s.txt");
    }
  }
}

TEST_F(Driver, ACrcFailureOfAnEncryptedEntryAsksForAnotherPasswordAndRetries) {
  // With a data descriptor the check byte is the time's: a spoiled CRC passes the check.
  Entry e = Encrypted("s.txt", "some data", "pw", 8, true);
  e.crc = 0xDEADBEEF;
  Make({e});
  z.DoAll = true;
  z.OverwriteMode = Always;
  z.Password = "pw";
  Record();
  z.OnStartUnZip = nullptr;
  std::vector<std::string> offers = {"other", "other"};
  z.OnBadPassword = [&](TObject*, int32_t, std::string& password) {
    log.push_back("password " + password);
    password = offers.front();
    offers.erase(offers.begin());
  };
  EXPECT_EQ(z.UnZip(), 0);
  // The retry runs the entry again: its check with "other" fails and the handler keeps it.
  EXPECT_EQ(log, (Log{"info 1 9", "password pw", "password other", "skip 0 s.txt 0",
                      "complete 0"}));
  EXPECT_FALSE(platform::FileExists(dest + "\\s.txt"));
}

TEST_F(Driver, DataEndingEarlyStopsTheRunButCompletesIt) {
  std::string bytes = zip_writer::Build({{.name = "first.txt", .data = "one"},
                                         {.name = "second.txt", .data = std::string(100, 's')}});
  // The second central header declares more data than the archive holds.
  const size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
  ASSERT_NE(central, std::string::npos);
  bytes[central + 20] = '\x00';
  bytes[central + 21] = '\x10';  // compressed size 4096
  archive = tmp / "cut.zip";
  ASSERT_TRUE(WriteFileBytes(archive, bytes));
  z.SetZipName(archive);
  z.SetDestDir(dest);
  z.SetFilesList({"*"});
  Record();
  z.OnStartUnZip = nullptr;
  try {
    z.UnZip();
    ADD_FAILURE() << "no exception";
  } catch (const EFatalUnzipError& e) {
    EXPECT_STREQ(e.what(), "Premature end of file reached");
  }
  EXPECT_EQ(log, (Log{"info 2 103", "end 0 D\\first.txt", "complete 1"}));
  EXPECT_TRUE(z.FilesList().empty());
  EXPECT_FALSE(z.KeepZipOpen);
  EXPECT_EQ(ReadFileBytes(dest + "\\first.txt"), "one");
  // Nothing of the entry that stopped the run stays behind.
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"first.txt"}));
}

TEST_F(Driver, NamesTheCodePageCannotShowAreGivenUp) {
  Make({{.name = "shown/", .data = ""},
        {.name = "hidden/", .data = ""},
        {.name = "hidden/f.txt", .data = "f"},
        {.name = "shown/g.txt", .data = "g"}});
  z.RecreateDirs = true;
  z.DoAll = true;
  z.OverwriteMode = Always;
  z.OpenArchive();
  Access::SortedView(z)->Entry(1)->NameNotRepresentable = true;
  Access::SortedView(z)->Entry(2)->NameNotRepresentable = true;
  Record();
  EXPECT_EQ(z.UnZip(), 2);
  EXPECT_EQ(log, (Log{"info 4 2", "skip 3 hidden\\ 1", "skip 3 hidden\\f.txt 2",
                      "start 3 D\\shown\\g.txt", "end 3 D\\shown\\g.txt", "complete 2"}));
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"shown"}));
  EXPECT_EQ(z.TotalUncompressed(), 1);

  // A verification creates nothing, so the name does not matter there: the data does.
  z.TestOnly = true;
  z.OpenArchive();
  Access::SortedView(z)->Entry(2)->NameNotRepresentable = true;
  log.clear();
  EXPECT_EQ(z.UnZip(), 4);
  EXPECT_EQ(z.FailedCount(), 0);
}

TEST_F(Driver, TestOnlyDecodesAndVerifiesWithoutWriting) {
  Make({{.name = "d/", .data = ""},
        {.name = "d/good.txt", .data = std::string(70000, 'g'), .method = 8},
        {.name = "d/bad.txt", .data = "bad", .crc = 5}});
  z.RecreateDirs = true;
  z.DoAll = true;
  z.OverwriteMode = Prompt;  // nothing exists to ask about: no question either
  z.TestOnly = true;
  Record();
  z.OnStartUnZip = nullptr;
  EXPECT_EQ(z.UnZip(), 2);
  EXPECT_EQ(log, (Log{"info 3 70003", "end 1 D\\d\\good.txt", "crc 2 differs", "complete 2"}));
  EXPECT_FALSE(platform::DirectoryExists(tmp / "root"));
}

// Every way an entry can fail leaves the file it was to replace as it was: content,
// date and attributes, with no work file left beside it.
TEST_F(Driver, AnEntryThatFailsLeavesTheFileItWouldReplaceAsItWas) {
  struct Case {
    const char* what;
    Entry entry;
    const char* event;  // the failure's event, or "" when the run stops with an exception
  } cases[] = {
      {"crc", {.name = "f.txt", .data = "new data", .crc = 1}, "crc 0 differs"},
      {"crc, stored read-only",
       {.name = "f.txt", .data = "new data", .externalAttributes = 0x21, .crc = 1},
       "crc 0 differs"},
      {"deflated crc", {.name = "f.txt", .data = "new data", .method = 8, .crc = 1},
       "crc 0 differs"},
      {"unknown method", {.name = "f.txt", .data = "new data", .method = 99},
       "message 197 Unknown Compression Method / Zip Error 0"},
      {"more data than declared",
       {.name = "f.txt", .data = "new", .rawData = std::string(40000, 'g')}, "crc 0 differs"},
      {"wrong password", Encrypted("f.txt", "new data", "right", 0), "skip 0 f.txt 0"},
      {"corrupt deflate data",
       {.name = "f.txt", .data = "new data", .method = 8, .rawData = std::string("\xFF\xFF\xFF\xFF", 4)},
       ""},
  };
  for (const Case& c : cases) {
    const std::string target = dest + "\\f.txt";
    ASSERT_TRUE(WriteFileBytes(target, "old contents"));
    StampFile(target, kOld);
    Make({c.entry});
    z.DoAll = true;
    z.OverwriteMode = Always;
    z.Password = "wrong";
    log.clear();
    Record();
    z.OnStartUnZip = nullptr;
    bool threw = false;
    try {
      EXPECT_EQ(z.UnZip(), 0) << c.what;
    } catch (const Exception&) {
      threw = true;
    }
    EXPECT_EQ(threw, *c.event == 0) << c.what;
    if (!threw) {
      EXPECT_EQ(log, (Log{"info 1 " + std::to_string(c.entry.data.size()), c.event, "complete 0"}))
          << c.what;
      EXPECT_EQ(z.FailedCount(), 1) << c.what;
    }
    EXPECT_EQ(ReadFileBytes(target), "old contents") << c.what;
    EXPECT_EQ(FileDate(target), kOld) << c.what;
    EXPECT_FALSE(platform::GetFileAttributesA(target) & platform::kAttrReadOnly) << c.what;
    EXPECT_EQ(Listing(dest), (std::vector<std::string>{"f.txt"})) << c.what;
  }
}

TEST_F(Driver, AVerifiedEntryReplacesTheFileInOneStep) {
  const std::string target = dest + "\\f.txt";
  ASSERT_TRUE(WriteFileBytes(target, std::string(100000, 'o')));
  Make({{.name = "f.txt", .data = "new", .dosDateTime = kNew, .externalAttributes = 0x21},
        {.name = "g.txt", .data = std::string(70000, 'g'), .method = 8}});
  z.DoAll = true;
  z.OverwriteMode = Always;
  EXPECT_EQ(z.UnZip(), 2);
  EXPECT_EQ(z.FailedCount(), 0);
  EXPECT_EQ(ReadFileBytes(target), "new");
  EXPECT_EQ(FileDate(target), kNew);
  EXPECT_TRUE(platform::GetFileAttributesA(target) & platform::kAttrReadOnly);
  EXPECT_EQ(ReadFileBytes(dest + "\\g.txt"), std::string(70000, 'g'));
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"f.txt", "g.txt"}));
  platform::SetFileAttributesA(target, platform::kAttrNormal);
}

TEST_F(Driver, ATargetHeldByAnotherOpenerIsGivenUpBeforeDecoding) {
  const std::string target = dest + "\\busy.txt";
  ASSERT_TRUE(WriteFileBytes(target, "in use"));
  // A running program keeps its file open and shares reading only.
  const platform::Handle held = platform::CreateFileA(target, platform::kGenericRead,
                                                      platform::kShareRead, platform::kOpenExisting);
  ASSERT_NE(held, platform::kInvalidHandle);
  Make({{.name = "busy.txt", .data = "replacement", .method = 8},
        {.name = "free.txt", .data = "f"}});
  z.DoAll = true;
  z.OverwriteMode = Always;
  Record(true);
  z.OnStartUnZip = nullptr;
  z.OnTotalPercentDone = nullptr;
  EXPECT_EQ(z.UnZip(), 1);
  platform::CloseHandle(held);
  // Given up before a block was decoded: no progress for it.
  EXPECT_EQ(log, (Log{"info 2 12", "skip 3 D\\busy.txt 0", "file% 100", "end 1 D\\free.txt",
                      "complete 1"}));
  EXPECT_EQ(z.FailedCount(), 1);
  EXPECT_EQ(ReadFileBytes(target), "in use");
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"busy.txt", "free.txt"}));
}

// A ":" anywhere but after a drive letter names an alternate stream on Windows (or is
// refused there): the entry is given up before anything is made for it, in a
// verification too.
TEST_F(Driver, NamesWithAColonPastTheDriveAreGivenUp) {
  struct Case {
    const char* stored;
    const char* shown;  // the skip event's name
  } cases[] = {
      {"file.txt:ads", "D\\file.txt:\\ads"},  // the record splits at ":"
      {"ab:/x.txt", "D\\ab:\\x.txt"},
      {"a/b:c/f", "D\\a\\b:c\\f"},
      {"\\\\?\\C:\\x", "D\\?\\C:\\x"},
      {"dir:/", "D\\dir:\\"},
  };
  for (const bool testOnly : {false, true}) {
    for (const Case& c : cases) {
      Make({{.name = c.stored, .data = "x"}, {.name = "C:/ok/y.txt", .data = "y"}});
      z.DoAll = true;
      z.RecreateDirs = true;
      z.OverwriteMode = Always;
      z.TestOnly = testOnly;
      log.clear();
      Record();
      z.OnStartUnZip = nullptr;
      EXPECT_EQ(z.UnZip(), 1) << c.stored;
      EXPECT_EQ(z.FailedCount(), 1) << c.stored;
      EXPECT_EQ(log, (Log{"info 2 2", std::string("skip 3 ") + c.shown + " 0", "end 1 D\\ok\\y.txt",
                          "complete 1"}))
          << c.stored;
      EXPECT_EQ(Listing(dest), (std::vector<std::string>{"ok"})) << c.stored;
    }
  }
}

TEST(CreateDirPath, EveryStepShortensThePath) {
  TempDir tmp;
  // A parent found at the very end of the path would be the path itself.
  CreateDirPath(tmp / "q\\ab:");
  EXPECT_TRUE(platform::DirectoryExists(tmp / "q"));
  CreateDirPath(tmp / "r\\s\\\\");
  EXPECT_TRUE(platform::DirectoryExists(tmp / "r\\s"));
}

TEST_F(Driver, ThePromptMayNameAnotherOutputFile) {
  const std::string target = dest + "\\f.txt";
  ASSERT_TRUE(WriteFileBytes(target, "old"));
  Make({{.name = "f.txt", .data = "new"}});
  z.DoAll = true;
  z.OverwriteMode = Prompt;
  Record();
  z.OnStartUnZip = nullptr;
  z.OnPromptForOverwrite = [this](TObject*, bool& overwrite, int32_t, std::string& name) {
    overwrite = true;
    name = dest + "\\kept-aside.txt";
  };
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(log, (Log{"info 1 3", "end 0 D\\kept-aside.txt", "complete 1"}));
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_EQ(ReadFileBytes(dest + "\\kept-aside.txt"), "new");
}

// A file dated before 1980 exists all the same; its date reads as the earliest DOS date.
TEST_F(Driver, AFileDatedBefore1980StillExistsForTheOverwriteRule) {
  const std::string target = dest + "\\old.txt";
  ASSERT_TRUE(WriteFileBytes(target, "1975"));
  ASSERT_TRUE(unzip_test::SetFileYear(target, 1975));
  EXPECT_EQ(FileDate(target), Dos(1980, 1, 1, 0, 0, 0));
  Make({{.name = "old.txt", .data = "new"}});
  z.DoAll = true;
  Record();
  z.OnStartUnZip = nullptr;
  for (const TUZOverwriteMode mode : {Never, ifOlder}) {
    z.OverwriteMode = mode;
    log.clear();
    EXPECT_EQ(z.UnZip(), 0);
    EXPECT_EQ(log, (Log{"info 1 3", "skip 1 D\\old.txt 0", "complete 0"})) << int(mode);
    EXPECT_EQ(ReadFileBytes(target), "1975");
  }
  z.OverwriteMode = ifNewer;
  EXPECT_EQ(z.UnZip(), 1);
  EXPECT_EQ(ReadFileBytes(target), "new");
}

TEST(DriverPercent, PercentOfRoundsHalvesToEvenAndCaps) {
  struct Case {
    int64_t done, total;
    int32_t percent;
  } cases[] = {{0, 0, 0},   {5, 0, 0},     {5, -3, 0},   {1, 200, 0},  {3, 200, 2},
               {5, 200, 2}, {7, 200, 4},   {1, 3, 33},   {2, 3, 67},   {100, 100, 100},
               {250, 100, 100}, {int64_t{1} << 40, (int64_t{1} << 41) + 1, 50}};
  for (const Case& c : cases)
    EXPECT_EQ(TZipExtractor::PercentOf(c.done, c.total), c.percent) << c.done << "/" << c.total;
}
