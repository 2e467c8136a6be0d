// Archives over several volumes: the mode decision, split-part names, spanned disks with
// their prompt and labels, and the side file.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "tests/support/temp_dir.h"
#include "tests/unzip/helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/ZipExtractor.h"
#include "tests/unzip/extractor_access.h"

using namespace unzip;
using Access = unzip::TZipExtractorTestAccess;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using zip_writer::Entry;

namespace {

std::vector<Entry> ThreeFiles() {
  Entry a{"one.txt", "first file", 8};
  a.comment = "on disk one";
  Entry b{"sub/two.txt", std::string(3000, 'b'), 8};
  Entry c{"three.txt", "third"};
  return {a, b, c};
}

// The drive of every path is removable (or whatever type says), with this label.
struct FakeDrive {
  explicit FakeDrive(uint32_t type) {
    services->driveType = [this](const std::string& root) {
      roots.push_back(root);
      return this->type;
    };
    services->volumeLabel = [this](const std::string&, std::string* out) {
      if (!readable) return false;
      *out = label;
      return true;
    };
    this->type = type;
  }
  platform::inject::ScopedServices services;
  uint32_t type;
  std::string label;
  bool readable = true;
  std::vector<std::string> roots;
};

}  // namespace

TEST(MultiDisk, SplitPartNames) {
  struct Case {
    TBlockMode mode;
    int64_t part;
    TSplitPartType type;
    const char* suffix;
  } cases[] = {
      {bmStandard, 1, spFirst, ".zip.z01"},  {bmStandard, 2, spMiddle, ".zip.z02"},
      {bmStandard, 3, spMiddle, ".zip.z03"}, {bmStandard, 4, spLast, ".zip"},
      {bmStandard, 123, spMiddle, ".zip.z123"},
      {bmClassic, 1, spFirst, ".001"},       {bmClassic, 3, spMiddle, ".003"},
      {bmClassic, 4, spLast, ".004"},
  };
  TZipExtractor z;
  for (const Case& c : cases) {
    z.BlockMode = c.mode;
    std::string name = "C:\\sets\\arc";
    Access::FileNameForSplitPart(z, name, c.part, c.type);
    EXPECT_EQ(name, std::string("C:\\sets\\arc") + c.suffix);
  }
  int calls = 0;
  z.OnFileNameForSplitPart = [&](TObject*, std::string& name, int32_t part, TSplitPartType type) {
    ++calls;
    EXPECT_EQ(part, 2);
    EXPECT_EQ(type, spMiddle);
    name = "elsewhere";
  };
  std::string name = "arc";
  Access::FileNameForSplitPart(z, name, 2, spMiddle);
  EXPECT_EQ(name, "elsewhere");
  EXPECT_EQ(calls, 1);
}

TEST(MultiDisk, ModeDecision) {
  TempDir dir;
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 1, 2}, 4, 3, 3);
  ASSERT_TRUE(WriteFileBytes(dir / "last.zip", set.parts[3]));
  struct Case {
    uint32_t driveType;
    int32_t mode;
  } cases[] = {
      {platform::kDriveRemovable, 1}, {platform::kDriveCdrom, 1}, {platform::kDriveFixed, 2},
      {platform::kDriveRemote, 2},    {platform::kDriveNoRootDir, 2},
  };
  for (const Case& c : cases) {
    FakeDrive drive(c.driveType);
    TZipExtractor z;
    z.SetZipName(dir / "last.zip");
    z.OpenArchive();
    EXPECT_EQ(z.GetMultiMode(), c.mode) << "drive type " << c.driveType;
    EXPECT_EQ(z.DiskCount(), 4);
    EXPECT_EQ(z.Count(), 3);
    ASSERT_FALSE(drive.roots.empty());
    EXPECT_EQ(drive.roots[0], UpperCaseAscii(dir.path().substr(0, 3)));
  }
  // The decision itself: a name without drive letter (UNC, relative) gives split files
  // and is never asked about.
  FakeDrive drive(platform::kDriveRemovable);
  TZipExtractor probe;
  EXPECT_EQ(Access::DecidedMultiMode(probe, "\\\\server\\share\\last.zip"), 2);
  EXPECT_EQ(Access::DecidedMultiMode(probe, "e:\\last.zip"), 1);
  EXPECT_EQ(drive.roots.back(), "E:\\") << "the root is asked in upper case";
  drive.roots.clear();
  EXPECT_EQ(Access::DecidedMultiMode(probe, "last.zip"), 2);
  EXPECT_TRUE(drive.roots.empty());
}

TEST(MultiDisk, ASingleFileNeverOpensAnotherDisk) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "one.zip", zip_writer::Build(ThreeFiles())));
  FakeDrive drive(platform::kDriveRemovable);
  TZipExtractor z;
  z.OnGetNextDisk = [](TObject*, int32_t, std::string&) { ADD_FAILURE() << "asked for a disk"; };
  z.SetZipName(dir / "one.zip");
  z.OpenArchive();
  EXPECT_EQ(z.GetMultiMode(), 0);
  EXPECT_TRUE(drive.roots.empty());
}

TEST(MultiDisk, SplitSetWithItsCentralDirectoryOverTwoParts) {
  TempDir dir;
  // Entries on parts 1, 2 and 3; the central directory starts on part 3 (two headers)
  // and goes on on part 4, which holds the end record.
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 1, 2}, 4, 2, 2, "set comment");
  const std::string base = dir / "arc";
  ASSERT_TRUE(WriteFileBytes(base + ".zip.z01", set.parts[0]));
  ASSERT_TRUE(WriteFileBytes(base + ".zip.z02", set.parts[1]));
  ASSERT_TRUE(WriteFileBytes(base + ".zip.z03", set.parts[2]));
  ASSERT_TRUE(WriteFileBytes(base + ".zip", set.parts[3]));
  FakeDrive drive(platform::kDriveFixed);
  TZipExtractor z;
  std::vector<std::string> opened;
  z.SetZipName(base + ".zip");
  EXPECT_EQ(z.PartBaseName(), base);
  z.OpenArchive();
  EXPECT_EQ(z.GetMultiMode(), 2);
  ASSERT_EQ(z.Count(), 3);
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->DiskNumberStart32(), 0u);
  EXPECT_EQ(Access::EntryList(z)->Entry(2)->DiskNumberStart32(), 2u);
  EXPECT_EQ(Access::EntryList(z)->Entry(1)->Directory(), "sub\\");
  // Comments of a multi-volume archive are read with the directory.
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->FileComment.value_or(""), "on disk one");
  EXPECT_EQ(Access::EndCentral(z)->ZipComment.value_or(""), "set comment");
  EXPECT_EQ(z.CurrentDisk(), 3);
  EXPECT_EQ(z.ZipName(), base + ".zip") << "the volume open now";
  EXPECT_NE(Access::ArchiveStream(z), nullptr);

  TStream* part = Access::OpenDisk(z, 2);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(z.ZipName(), base + ".zip.z02");
  EXPECT_EQ(z.CurrentDisk(), 1);
  EXPECT_THROW(Access::OpenDisk(z, 9), EFOpenError) << "a part that does not exist";
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
}

// A split set of one entry whose bytes go on on the last part from offset `split` of the
// entry on: part 1 holds the local header and the first bytes, the last part the rest,
// the central directory and the end record.
std::vector<std::string> SplitInside(const Entry& entry, size_t split) {
  auto set = zip_writer::BuildSplit({entry}, {0}, 2, 1, 0);
  std::string& first = set.parts[0];
  std::string& last = set.parts[1];
  const std::string moved = first.substr(split);
  first.resize(split);
  last.insert(0, moved);
  // The central directory now starts later on its part.
  const size_t end = last.rfind(std::string("PK\x05\x06", 4));
  uint32_t offset = 0;
  for (int k = 3; k >= 0; --k) offset = offset << 8 | static_cast<uint8_t>(last[end + 16 + k]);
  offset += static_cast<uint32_t>(moved.size());
  for (int k = 0; k < 4; ++k) last[end + 16 + k] = static_cast<char>(offset >> (8 * k));
  return set.parts;
}

TEST(MultiDisk, EntriesCrossingAPartBoundaryAreExtractedThroughUnZip) {
  const std::string text(5000, 'x');
  const size_t header = 30 + 8;  // local header with the name "data.txt"
  struct Case {
    const char* what;
    Entry entry;
    size_t split;
    const char* firstPassword;  // tried before the right one ("" when none is wrong)
  } cases[] = {
      {"stored data", {"data.txt", text}, header + 100, ""},
      {"deflated data", {"data.txt", text, 8}, header + 3, ""},
      {"inside the encryption header", unzip_test::Encrypted("data.txt", text, "pw", 0),
       header + 5, ""},
      {"header, then a retry", unzip_test::Encrypted("data.txt", text, "pw", 8), header + 7,
       "wrong"},
      {"after the encryption header", unzip_test::Encrypted("data.txt", text, "pw", 0),
       header + 12, ""},
  };
  FakeDrive drive(platform::kDriveFixed);
  for (const Case& c : cases) {
    TempDir dir;
    const std::vector<std::string> parts = SplitInside(c.entry, c.split);
    const std::string base = dir / "set";
    ASSERT_TRUE(WriteFileBytes(base + ".zip.z01", parts[0]));
    ASSERT_TRUE(WriteFileBytes(base + ".zip", parts[1]));
    TZipExtractor z;
    z.SetZipName(base + ".zip");
    z.SetDestDir(dir / "out");
    z.DoAll = true;
    z.OverwriteMode = Always;
    z.Password = *c.firstPassword ? c.firstPassword : "pw";
    int asked = 0;
    z.OnBadPassword = [&asked](TObject*, int32_t, std::string& password) {
      ++asked;
      password = "pw";
    };
    EXPECT_EQ(z.UnZip(), 1) << c.what;
    EXPECT_EQ(z.FailedCount(), 0) << c.what;
    EXPECT_EQ(asked, *c.firstPassword ? 1 : 0) << c.what;
    EXPECT_EQ(testing_support::ReadFileBytes(dir / "out\\data.txt"), text) << c.what;
  }
}

TEST(MultiDisk, TheSideFileStandsInForTheLastPart) {
  TempDir dir;
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 0, 1}, 3, 2, 3, "side comment");
  ASSERT_TRUE(WriteFileBytes(dir / "disk1.zip", set.parts[0]));  // no end record here
  ASSERT_TRUE(WriteFileBytes(dir / "disk1.zfc", set.sideFile));
  FakeDrive drive(platform::kDriveFixed);
  TZipExtractor z;
  z.SetZipName(dir / "disk1.zip");
  z.OpenArchive();
  ASSERT_EQ(z.Count(), 3);
  EXPECT_EQ(z.DiskCount(), 3);
  EXPECT_EQ(z.CurrentDisk(), 0);
  EXPECT_EQ(z.GetMultiMode(), 2);
  EXPECT_EQ(Access::EndCentral(z)->ZipComment.value_or(""), "side comment");
  EXPECT_EQ(Access::EntryList(z)->Entry(2)->DiskNumberStart32(), 1u);
  EXPECT_EQ(z.ZipName(), dir / "disk1.zip");

  TZipExtractor broken;
  ASSERT_TRUE(WriteFileBytes(dir / "disk2.zip", set.parts[0]));
  ASSERT_TRUE(WriteFileBytes(dir / "disk2.zfc", "no end record"));
  broken.SetZipName(dir / "disk2.zip");
  EXPECT_THROW(broken.OpenArchive(), EIncompleteZip);
}

TEST(MultiDisk, SpannedDisksArePromptedForAndTheirLabelsChecked) {
  TempDir dir;
  // Two disks of the same name; the central directory lies on disk 1.
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 0, 1}, 2, 0, 3);
  const std::string name = dir / "backup.zip";
  ASSERT_TRUE(WriteFileBytes(name, set.parts[1]));  // the last disk is in the drive
  FakeDrive drive(platform::kDriveRemovable);
  drive.label = "BACKUP002";
  TZipExtractor z;
  std::vector<std::string> prompts;
  z.OnHandleMessage = [&](TObject*, int32_t id, const std::string& text, const std::string& caption,
                          uint32_t flags, int32_t& reply) {
    EXPECT_EQ(id, 184);
    EXPECT_EQ(caption, "");
    EXPECT_EQ(flags, platform::kMbOkCancel);
    prompts.push_back(text);
    if (prompts.size() == 2) {  // the user swaps the disk after the second prompt
      WriteFileBytes(name, set.parts[0]);
      drive.label = "BACKUP001";
    }
    reply = platform::kIdOk;
  };
  z.SetZipName(name);
  z.OpenArchive();
  EXPECT_EQ(z.GetMultiMode(), 1);
  EXPECT_EQ(z.DiskCount(), 2);
  ASSERT_EQ(prompts.size(), 2u) << "asked again while the label did not match";
  EXPECT_EQ(prompts[0], "Please insert disk 1 of the multi-disk set.");
  EXPECT_EQ(z.Count(), 3);
  EXPECT_EQ(z.CurrentDisk(), 0);
  EXPECT_EQ(z.ZipName(), name);
}

TEST(MultiDisk, CancellingTheDiskPromptGivesUp) {
  TempDir dir;
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 0, 1}, 2, 0, 3);
  const std::string name = dir / "backup.zip";
  ASSERT_TRUE(WriteFileBytes(name, set.parts[1]));
  FakeDrive drive(platform::kDriveRemovable);
  int boxes = 0;
  drive.services->messageBox = [&](const std::string& text, const char* caption, uint32_t type) {
    ++boxes;
    EXPECT_EQ(text, "Please insert disk 1 of the multi-disk set.");
    EXPECT_EQ(caption, nullptr);
    EXPECT_EQ(type, platform::kMbOkCancel);
    return platform::kIdCancel;
  };
  TZipExtractor z;
  z.SetZipName(name);
  EXPECT_THROW_TEXT(z.OpenArchive(), EUserCanceled, "User canceled loading new disk.");
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);

  TZipExtractor handled;
  handled.OnGetNextDisk = [](TObject*, int32_t disk, std::string& fname) {
    EXPECT_EQ(disk, 1);
    fname.clear();
  };
  handled.SetZipName(name);
  EXPECT_THROW(handled.OpenArchive(), EUserCanceled);
}

#ifndef _WIN32
// With nobody to answer the prompt (no window framework running), the stand-in's box
// answers Cancel: the run ends instead of asking for the disk for ever.
TEST(MultiDisk, AnUnattendedDiskPromptGivesUp) {
  TempDir dir;
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 0, 1}, 2, 0, 3);
  const std::string name = dir / "backup.zip";
  ASSERT_TRUE(WriteFileBytes(name, set.parts[1]));
  FakeDrive drive(platform::kDriveRemovable);
  TZipExtractor z;
  z.SetZipName(name);
  EXPECT_THROW_TEXT(z.OpenArchive(), EUserCanceled, "User canceled loading new disk.");
}
#endif

TEST(MultiDisk, LabelMatching) {
  FakeDrive drive(platform::kDriveRemovable);
  TZipExtractor z;
  z.SetZipName("a:\\set.zip");
  z.SetMultiMode(kMultiSpanned);
  struct Case {
    const char* label;
    bool readable;
    int64_t disk;
    bool matches;
  } cases[] = {
      {"BACKUP002", true, 2, true},   {"BACKUP002", true, 3, false},
      {"002", true, 2, true},         {"DISK2", true, 2, false},
      {"02", true, 2, false},         {"ABCDEFGH002XY", true, 2, true},  // first 11 characters
      {"ABCDEFGHIJ002", true, 2, false},
      {"ABCDEFGH002XYZ", true, 2, false},  // does not fit the 14-byte buffer
      {"BACKUP002", false, 2, false},      // unreadable
  };
  for (const Case& c : cases) {
    drive.label = c.label;
    drive.readable = c.readable;
    EXPECT_EQ(Access::LabelMatches(z, c.disk), c.matches) << c.label << " disk " << c.disk;
  }
  z.SetMultiMode(2);
  drive.readable = false;
  EXPECT_TRUE(Access::LabelMatches(z, 5)) << "only spanned disks have labels to check";
}

TEST(MultiDisk, WithoutLabelChecksAnyExistingFileIsTaken) {
  TempDir dir;
  const auto set = zip_writer::BuildSplit(ThreeFiles(), {0, 0, 1}, 2, 0, 3);
  const std::string name = dir / "backup.zip";
  ASSERT_TRUE(WriteFileBytes(name, set.parts[1]));
  FakeDrive drive(platform::kDriveRemovable);
  drive.label = "WRONG";
  TZipExtractor z;
  z.SetCheckDiskLabels(false);
  int asked = 0;
  z.OnGetNextDisk = [&](TObject*, int32_t, std::string& fname) {
    ++asked;
    WriteFileBytes(fname, set.parts[0]);
  };
  z.SetZipName(name);
  z.OpenArchive();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(z.Count(), 3);
}

TEST(PlatformDrives, AnUnmappedDriveHasNoRoot) {
  EXPECT_EQ(platform::GetDriveTypeA("Q:\\"), platform::kDriveNoRootDir);
  std::string label = "unchanged";
  EXPECT_FALSE(platform::GetVolumeInformationA("Q:\\", &label, 14));
  EXPECT_EQ(label, "unchanged");
}
