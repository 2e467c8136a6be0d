// Reading an archive's directory: end record, central headers, rebuilds, side files,
// sort orders and comments.
#include <gtest/gtest.h>

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
using zip_writer::Options;

namespace {

class Directory : public ::testing::Test {
 protected:
  // Writes the archive and points the component at it.
  void Use(const std::string& bytes, const std::string& name = "arc.zip") {
    path = dir / name;
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    z.SetZipName(path);
  }
  std::string Names() {
    std::string out;
    for (int32_t i = 0; i < z.Count(); ++i) {
      if (i) out += ",";
      const TZipHeaderInfo* r = Access::SortedView(z)->Entry(i);
      out += r->Directory() + r->FileName();
    }
    return out;
  }
  static std::vector<Entry> Sample() {
    Entry folder{"docs/", ""};
    folder.externalAttributes = 0x10;
    Entry text{"docs/readme.txt", "read me, please", 8};
    text.comment = "the readme";
    Entry data{"data.bin", std::string(5000, 'q'), 8};
    data.dosDateTime = 0x5B210000;  // 2025-09-01
    Entry stored{"Zeta.TXT", "stored bytes"};
    stored.dosDateTime = 0x4A210000;  // 2017-01-01
    return {folder, text, data, stored};
  }
  TempDir dir;
  std::string path;
  TZipExtractor z;
};

uint64_t Offset(const TZipHeaderInfo* r) { return r->LocalHeaderOffset64(); }

// Where the local header of the entry with this (unique) name starts.
int64_t LocalAt(const std::string& bytes, const std::string& name) {
  return static_cast<int64_t>(bytes.find(name)) - 30;
}

// Where the k-th (from 0) central header starts.
int64_t CentralAt(const std::string& bytes, size_t k) {
  size_t at = bytes.find("PK\x01\x02");
  while (k-- > 0 && at != std::string::npos) at = bytes.find("PK\x01\x02", at + 4);
  return at == std::string::npos ? -1 : static_cast<int64_t>(at);
}

}  // namespace

TEST_F(Directory, ReadsEveryCentralHeaderInPhysicalOrder) {
  Use(zip_writer::Build(Sample(), {.comment = "archive note"}));
  z.OpenArchive();
  ASSERT_EQ(z.Count(), 4);
  EXPECT_EQ(Names(), "docs\\,docs\\readme.txt,data.bin,Zeta.TXT");
  EXPECT_EQ(Access::SortedView(z), Access::EntryList(z));
  for (int32_t i = 1; i < z.Count(); ++i)
    EXPECT_LT(Offset(Access::EntryList(z)->Entry(i - 1)), Offset(Access::EntryList(z)->Entry(i)));
  const TZipHeaderInfo* text = Access::EntryList(z)->Entry(1);
  EXPECT_EQ(text->CompressionMethod, 8);
  EXPECT_EQ(text->UncompressedSize64(), 15u);
  EXPECT_EQ(text->Crc32, zip_writer::Crc32("read me, please"));
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->ExternalAttributes, 0x10u);
  EXPECT_EQ(z.EntryFileName(1), "readme.txt");
  EXPECT_FALSE(z.DirectoryRebuilt());
  EXPECT_EQ(z.GetMultiMode(), 0);
  EXPECT_EQ(z.DiskCount(), 1);
  EXPECT_NE(Access::ArchiveDate(z), 0u);
  for (int32_t bad : {-1, 4}) {
    EXPECT_THROW_TEXT(z.EntryFileName(bad), EListError, Format("Index %d is out of range", bad));
    EXPECT_THROW_TEXT(z.GetFileComment(bad), EListError, Format("Index %d is out of range", bad));
    EXPECT_THROW_TEXT(z.SetFileComment(bad, "x"), EListError, Format("Index %d is out of range", bad));
  }
  z.CloseArchive();
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
}

TEST_F(Directory, CommentsAreReadOnDemand) {
  Use(zip_writer::Build(Sample(), {.comment = "archive note"}));
  z.OpenArchive();
  z.CloseArchive();
  EXPECT_FALSE(Access::EndCentral(z)->ZipComment.has_value());
  EXPECT_FALSE(Access::EntryList(z)->Entry(1)->FileComment.has_value());
  EXPECT_EQ(z.GetZipComment(), "archive note");
  EXPECT_EQ(z.GetFileComment(1), "the readme");
  EXPECT_EQ(z.GetFileComment(2), "");
  EXPECT_FALSE(Access::EndCentral(z)->CommentModified) << "loading is not a change";
  EXPECT_EQ(Access::ArchiveStream(z), nullptr) << "closed again on a single-file archive";
  z.SetFileComment(1, "new words");
  EXPECT_EQ(z.GetFileComment(1), "new words");
  EXPECT_EQ(Access::EntryList(z)->Entry(1)->CommentLength, 9);
  EXPECT_TRUE(Access::EndCentral(z)->CommentModified);
  z.SetZipComment("");
  EXPECT_EQ(z.GetZipComment(), "");
  EXPECT_EQ(Access::EndCentral(z)->CommentLength, 0);
}

TEST_F(Directory, SortModesOrderTheViewAndLeaveThePhysicalList) {
  Use(zip_writer::Build(Sample()));
  z.SortMode = ByName;
  z.OpenArchive();
  EXPECT_EQ(Names(), "data.bin,docs\\,docs\\readme.txt,Zeta.TXT");
  EXPECT_NE(Access::SortedView(z), Access::EntryList(z));
  EXPECT_FALSE(Access::SortedView(z)->OwnsObjects);
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->FileName(), "");
  z.ApplySortMode(ByDate);
  EXPECT_EQ(z.SortMode, ByDate);
  EXPECT_EQ(Access::SortedView(z)->Entry(0)->FileName(), "data.bin") << "newest first";
  EXPECT_EQ(Access::SortedView(z)->Entry(3)->FileName(), "Zeta.TXT");
  z.ApplySortMode(ByNone);
  EXPECT_EQ(Access::SortedView(z), Access::EntryList(z));
}

TEST_F(Directory, EmptyAndTinyFiles) {
  Use("");
  z.OpenArchive();
  EXPECT_EQ(z.Count(), 0);
  ASSERT_NE(Access::EntryList(z), nullptr) << "an empty file is an empty archive";

  struct Case {
    TIncompleteZipMode mode;
    const char* text;
    bool clears;
  } cases[] = {
      {izAssumeMulti, "Incomplete Zip File", false},
      {izAssumeNotAZip, "Not a valid zip file!", false},
      {izAssumeBad, "Not a valid zip file!", true},  // nothing to rebuild from
  };
  for (const Case& c : cases) {
    TZipExtractor t;
    const std::string five = dir / "five.zip";
    ASSERT_TRUE(WriteFileBytes(five, "PK\x05\x06x"));
    t.SetZipName(five);
    t.IncompleteZipMode = c.mode;
    EXPECT_THROW_TEXT(t.OpenArchive(), EZipException, c.text);
    EXPECT_EQ(t.ZipName(), c.clears ? "" : five) << int(c.mode);
    EXPECT_EQ(t.Count(), 0);
  }
}

TEST_F(Directory, TheIncompleteHandlerChoosesTheOutcome) {
  Use("not a zip at all, not even close");
  int calls = 0;
  z.OnInCompleteZip = [&](TObject*, TIncompleteZipMode& mode) {
    ++calls;
    EXPECT_EQ(mode, izAssumeMulti);
    mode = izAssumeNotAZip;
  };
  EXPECT_THROW(z.OpenArchive(), ENotAZipFile);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(z.IncompleteZipMode, izAssumeNotAZip) << "the changed mode stays";
}

TEST_F(Directory, OpenWithRetryClearsForEveryErrorButAnIncompleteArchive) {
  Use("no end record here");
  z.OpenWithRetry();  // EIncompleteZip without handler: dropped, the stream closed
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
  EXPECT_EQ(z.ZipName(), path);
  EXPECT_THROW(z.OpenArchive(), EIncompleteZip) << "the next open raises it again";

  z.IncompleteZipMode = izAssumeNotAZip;
  EXPECT_THROW(z.OpenWithRetry(), ENotAZipFile);
  EXPECT_EQ(z.ZipName(), "");

  TZipExtractor missing;
  missing.SetZipName(dir / "absent.zip");
  EXPECT_THROW(missing.OpenArchive(), EFOpenError);
  EXPECT_EQ(missing.ZipName(), dir / "absent.zip") << "OpenArchive changes nothing";
  EXPECT_THROW(missing.OpenWithRetry(), EFOpenError);
  EXPECT_EQ(missing.ZipName(), "");

  // With a handler the open is tried again, until the handler gives another answer.
  int retries = 0;
  TZipExtractor retrying;
  ASSERT_TRUE(WriteFileBytes(dir / "later.zip", "incomplete"));
  retrying.SetZipName(dir / "later.zip");
  retrying.OnInCompleteZip = [&](TObject*, TIncompleteZipMode& mode) {
    if (++retries == 3) mode = izAssumeNotAZip;
  };
  EXPECT_THROW(retrying.OpenWithRetry(), ENotAZipFile);
  EXPECT_EQ(retries, 3);
  EXPECT_EQ(Access::ArchiveStream(retrying), nullptr);
}

TEST_F(Directory, ASecondHeaderForTheSameLocalHeaderRebuildsFromLocalHeaders) {
  auto entries = Sample();
  Use(zip_writer::Build(entries, {.duplicateCentral = {2}}));
  z.OpenArchive();
  EXPECT_TRUE(z.DirectoryRebuilt());
  ASSERT_EQ(z.Count(), 4);
  EXPECT_EQ(Names(), "docs\\,docs\\readme.txt,data.bin,Zeta.TXT");
  // The central headers filled the records in: attributes and comment lengths are back.
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->ExternalAttributes, 0x10u);
  EXPECT_EQ(Access::EntryList(z)->Entry(1)->CommentLength, 10);
  EXPECT_EQ(Access::EntryList(z)->Entry(1)->VersionMadeBy, 20);
  EXPECT_EQ(Access::EntryList(z)->Entry(3)->ExternalAttributes, 0x20u) << "every header is read";
  EXPECT_FALSE(z.DirectoryDamaged()) << "every byte is accounted for";
  EXPECT_EQ(z.DirectoryDamageOffset(), -1);
}

TEST_F(Directory, AnUnreadableCentralHeaderRebuilds) {
  const std::string bytes = zip_writer::Build(Sample(), {.corruptCentral = 1});
  Use(bytes);
  z.OpenArchive();
  EXPECT_TRUE(z.DirectoryRebuilt());
  EXPECT_EQ(Names(), "docs\\,docs\\readme.txt,data.bin,Zeta.TXT");
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->ExternalAttributes, 0x10u) << "filled in by its header";
  EXPECT_EQ(Access::EntryList(z)->Entry(2)->ExternalAttributes, 0u)
      << "headers after the broken one are not read: the record keeps no central data";
  EXPECT_TRUE(z.DirectoryDamaged()) << "the rebuild cannot account for the broken header";
  EXPECT_EQ(z.DirectoryDamageOffset(), static_cast<int64_t>(bytes.find("PKX\x02")));
}

TEST_F(Directory, ARebuildStepsOverDataDescriptors) {
  // Entries whose local headers hold no sizes, each form of descriptor after their data,
  // an empty deflated entry among them (its descriptor reads as either width). The
  // rebuild comes from a second central header, or from local headers alone.
  struct Case {
    uint8_t descriptor;
    bool central;
  } cases[] = {{16, true}, {12, true}, {24, true}, {0, true}, {16, false}, {12, false}, {24, false}};
  for (const Case& c : cases) {
    std::vector<Entry> entries = Sample();
    entries.insert(entries.begin() + 2, Entry{"empty.txt", "", 8});
    for (Entry& e : entries) e.descriptor = c.descriptor;
    const std::string bytes =
        c.central ? zip_writer::Build(entries, {.duplicateCentral = {1}})
                  : zip_writer::Build(entries, {.omitCentral = true, .omitEndRecord = true});
    TZipExtractor t;
    t.IncompleteZipMode = izAssumeBad;
    const std::string name = dir / "described.zip";
    ASSERT_TRUE(WriteFileBytes(name, bytes));
    t.SetZipName(name);
    t.OpenArchive();
    const std::string row = std::to_string(c.descriptor) + (c.central ? " central" : " local");
    EXPECT_TRUE(t.DirectoryRebuilt()) << row;
    ASSERT_EQ(t.Count(), 5) << row;
    EXPECT_FALSE(t.DirectoryDamaged()) << row << " at " << t.DirectoryDamageOffset();
    for (int32_t i = 0; i < 5; ++i) {
      const Entry& e = entries[static_cast<size_t>(i)];
      const TZipHeaderInfo* r = Access::EntryList(t)->Entry(i);
      EXPECT_EQ(r->FileName(), e.name.substr(e.name.rfind('/') + 1)) << row;
      EXPECT_EQ(static_cast<int64_t>(Offset(r)), LocalAt(bytes, e.name)) << row;
      const size_t packed = e.method == 8 ? zip_writer::Deflate(e.data).size() : e.data.size();
      EXPECT_EQ(r->CompressedSize64(), packed) << row << " " << e.name;
      EXPECT_EQ(r->UncompressedSize64(), e.data.size()) << row << " " << e.name;
      EXPECT_EQ(r->Crc32, zip_writer::Crc32(e.data)) << row << " " << e.name;
    }
  }
}

TEST_F(Directory, ARebuildThatCannotAccountForTheArchiveIsDamaged) {
  // Each shape forces a rebuild; the damage offset is where the local entries stop
  // making sense (-1: none), and the entries before it are kept.
  struct Case {
    const char* what;
    std::function<void(std::vector<Entry>&)> change;
    Options options;
    int32_t count;
    const char* stopsAt;  // the entry whose local header is rejected, or nullptr
  } cases[] = {
      {"a spoiled local signature", nullptr, {.duplicateCentral = {0}, .corruptLocal = 2}, 2,
       "data.bin"},
      {"a Zip64 field after another local extra field",
       [](std::vector<Entry>& e) {
         e[2].zip64Uncompressed = e[2].zip64Compressed = true;
         e[2].localExtra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9);
         e[2].zip64AfterLocalExtra = true;
       },
       {.duplicateCentral = {0}}, 4, nullptr},
      {"local size markers without a Zip64 field",
       [](std::vector<Entry>& e) {
         e[2].zip64Uncompressed = e[2].zip64Compressed = true;
         e[2].zip64ExtraInLocal = false;
       },
       {.duplicateCentral = {0}}, 2, "data.bin"},
      {"a last entry with a descriptor flag and no descriptor, nothing after it",
       [](std::vector<Entry>& e) { e[3].descriptor = 0; },
       {.omitCentral = true, .omitEndRecord = true}, 3, "Zeta.TXT"},
      {"a last entry cut short", nullptr, {.omitCentral = true, .omitEndRecord = true}, 3,
       "Zeta.TXT"},
  };
  for (const Case& c : cases) {
    std::vector<Entry> entries = Sample();
    if (c.change) c.change(entries);
    std::string bytes = zip_writer::Build(entries, c.options);
    if (std::string(c.what) == "a last entry cut short") bytes.resize(bytes.size() - 3);
    TZipExtractor t;
    t.IncompleteZipMode = izAssumeBad;
    const std::string name = dir / "partial.zip";
    ASSERT_TRUE(WriteFileBytes(name, bytes));
    t.SetZipName(name);
    t.OpenArchive();
    EXPECT_TRUE(t.DirectoryRebuilt()) << c.what;
    EXPECT_EQ(t.Count(), c.count) << c.what;
    EXPECT_EQ(t.DirectoryDamaged(), c.stopsAt != nullptr) << c.what;
    EXPECT_EQ(t.DirectoryDamageOffset(), c.stopsAt ? LocalAt(bytes, c.stopsAt) : -1) << c.what;
  }
}

TEST_F(Directory, ASelfExtractorWithOffsetsThatIgnoreItsStub) {
  const std::string stub(14000, 'S');
  Use(zip_writer::Build(Sample(), {.stub = stub, .offsetsIgnoreStub = true}), "setup.EXE");
  z.OpenArchive();
  EXPECT_TRUE(z.DirectoryRebuilt());
  ASSERT_EQ(z.Count(), 4);
  EXPECT_EQ(Offset(Access::EntryList(z)->Entry(0)), 14000u) << "the records carry their real offsets";
  EXPECT_EQ(Access::EntryList(z)->Entry(2)->FileName(), "data.bin");

  // A stub holding a local-header signature before 14000 is not scanned.
  std::string trap = stub;
  trap.replace(100, 6, std::string("PK\x03\x04\x14\x00", 6));
  TZipExtractor t;
  ASSERT_TRUE(WriteFileBytes(dir / "trap.exe",
                             zip_writer::Build(Sample(), {.stub = trap, .offsetsIgnoreStub = true})));
  t.SetZipName(dir / "trap.exe");
  t.OpenArchive();
  EXPECT_EQ(t.Count(), 4);
}

TEST_F(Directory, AnExtraFieldThatIsNotThereIsSteppedBackOver) {
  auto entries = Sample();
  entries[1].declaredExtraSurplus = 6;  // says 6 bytes of extra field that are not written
  Use(zip_writer::Build(entries));
  z.OpenArchive();
  EXPECT_FALSE(z.DirectoryRebuilt());
  ASSERT_EQ(z.Count(), 4);
  EXPECT_EQ(Access::EntryList(z)->Entry(1)->CentralExtraLength, 0);
  EXPECT_EQ(Names(), "docs\\,docs\\readme.txt,data.bin,Zeta.TXT");
}

TEST_F(Directory, CountsTheCentralDirectoryCannotHoldAreDamage) {
  // Far more entries declared than the bytes after the central offset can carry: the
  // directory is rebuilt from the local headers.
  Use(zip_writer::Build(Sample(), {.zip64End = true, .zip64EntryCount = 0x7FFFFFFFFFFFull}));
  z.OpenArchive();
  EXPECT_TRUE(z.DirectoryRebuilt());
  EXPECT_EQ(z.Count(), 4);

  // Nothing to rebuild from: an exception, and the component forgets the archive.
  TZipExtractor t;
  std::string noLocals = zip_writer::Build({}, {.entryCount = 60000});
  ASSERT_TRUE(WriteFileBytes(dir / "nolocal.zip", noLocals));
  t.SetZipName(dir / "nolocal.zip");
  EXPECT_THROW_TEXT(t.OpenArchive(), EBadZipFile, "Not a valid zip file!");
  EXPECT_EQ(t.ZipName(), "");
  EXPECT_EQ(t.Count(), 0);
}

TEST_F(Directory, Zip64EntriesAndEndRecords) {
  auto entries = Sample();
  entries[2].zip64Uncompressed = entries[2].zip64Compressed = entries[2].zip64Offset = true;
  entries[3].zip64Compressed = true;
  Use(zip_writer::Build(entries, {.zip64End = true}));
  z.OpenArchive();
  ASSERT_EQ(z.Count(), 4);
  EXPECT_FALSE(z.DirectoryRebuilt());
  EXPECT_TRUE(Access::EntryList(z)->HasZip64);
  const TZipHeaderInfo* big = Access::EntryList(z)->Entry(2);
  EXPECT_EQ(big->UncompressedSize64(), 5000u);
  EXPECT_EQ(big->CompressedSize64(), zip_writer::Deflate(std::string(5000, 'q')).size());
  EXPECT_GT(big->LocalHeaderOffset64(), 0u);
  EXPECT_EQ(Access::EntryList(z)->Entry(3)->CompressedSize64(), 12u);
}

TEST_F(Directory, AMarkerWithoutItsZip64ValueIsABadArchiveInEverySortMode) {
  // 0xFFFFFFFF in one field of a central header, no Zip64 block: the same outcome
  // whether or not the sort mode looks at that field.
  for (int field = 0; field < 3; ++field) {
    for (int mode = ByName; mode <= ByNone; ++mode) {
      auto entries = Sample();
      entries[2].zip64Offset = field == 0;
      entries[2].zip64Compressed = field == 1;
      entries[2].zip64Uncompressed = field == 2;
      entries[2].omitZip64Extra = true;
      TZipExtractor t;
      const std::string name = dir / "marker.zip";
      ASSERT_TRUE(WriteFileBytes(name, zip_writer::Build(entries)));
      t.SetZipName(name);
      t.SortMode = static_cast<TZipSortMode>(mode);
      EXPECT_THROW_TEXT(t.OpenArchive(), EBadZipFile, "Not a valid zip file!");
      EXPECT_EQ(t.ZipName(), "") << field << " " << mode;
      EXPECT_EQ(t.Count(), 0) << field << " " << mode;
      EXPECT_EQ(Access::ArchiveStream(t), nullptr) << field << " " << mode;
      EXPECT_EQ(Access::SortedView(t), nullptr) << field << " " << mode;
    }
  }
}

TEST_F(Directory, CentralHeadersBeyondTheEntryCountAreReadAndMarkTheDamage) {
  // Three entries; the end record (or the Zip64 end record) declares fewer.
  const std::vector<Entry> three = {{"a.txt", "alpha"}, {"b.txt", "bravo", 8}, {"c.txt", "charlie"}};
  struct Case {
    Options options;
    int64_t firstUncounted;  // -1: the count is right
  } cases[] = {
      {{.entryCount = 1}, 1},
      {{.entryCount = 0}, 0},
      {{.entryCount = 2}, 2},
      {{.zip64End = true, .zip64EntryCount = 1}, 1},
      {{}, -1},
  };
  for (const Case& c : cases) {
    const std::string bytes = zip_writer::Build(three, c.options);
    TZipExtractor t;
    const std::string name = dir / "count.zip";
    ASSERT_TRUE(WriteFileBytes(name, bytes));
    t.SetZipName(name);
    t.OpenArchive();
    const int64_t expected = c.firstUncounted < 0 ? -1 : CentralAt(bytes, size_t(c.firstUncounted));
    ASSERT_EQ(t.Count(), 3) << expected;
    EXPECT_EQ(t.EntryFileName(2), "c.txt");
    EXPECT_FALSE(t.DirectoryRebuilt());
    EXPECT_EQ(t.DirectoryDamageOffset(), expected);
    EXPECT_EQ(t.DirectoryDamaged(), expected >= 0);
    t.ClearArchive();
    EXPECT_FALSE(t.DirectoryDamaged()) << "forgotten with the archive";
    EXPECT_EQ(t.DirectoryDamageOffset(), -1);
  }
  // An archive without entries has nothing beyond its count.
  TZipExtractor empty;
  ASSERT_TRUE(WriteFileBytes(dir / "none.zip", zip_writer::Build({}, {.comment = "PK\x01\x02"})));
  empty.SetZipName(dir / "none.zip");
  empty.OpenArchive();
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_FALSE(empty.DirectoryDamaged());
}

TEST_F(Directory, RebuildDirectoryFromOutsideWorksOnTheArchiveOrChangesNothing) {
  const std::string bytes = zip_writer::Build(Sample());
  // After the open step dropped an incomplete archive (its stream released), the rebuild
  // opens the archive itself, and the next open keeps what it found.
  Use(zip_writer::Build(Sample(), {.omitEndRecord = true}));
  z.OpenWithRetry();
  ASSERT_EQ(Access::ArchiveStream(z), nullptr);
  ASSERT_TRUE(z.RebuildDirectory());
  EXPECT_EQ(Names(), "docs\\,docs\\readme.txt,data.bin,Zeta.TXT");
  EXPECT_EQ(Access::EntryList(z)->Entry(0)->ExternalAttributes, 0x10u) << "central headers fill it";
  EXPECT_FALSE(z.DirectoryDamaged());
  EXPECT_EQ(Access::ArchiveStream(z), nullptr) << "closed again";
  const TSortedZip* rebuilt = Access::EntryList(z);
  z.OpenArchive();
  EXPECT_EQ(Access::EntryList(z), rebuilt) << "the file is unchanged: no new read";
  EXPECT_FALSE(z.RebuildDirectory()) << "once per archive";
  EXPECT_EQ(Access::EntryList(z), rebuilt);
  EXPECT_EQ(z.Count(), 4);

  // A good directory, rebuilt on request in the sort mode.
  TZipExtractor good;
  ASSERT_TRUE(WriteFileBytes(dir / "good.zip", bytes));
  good.SetZipName(dir / "good.zip");
  good.SortMode = ByName;
  good.OpenArchive();
  good.CloseArchive();
  ASSERT_TRUE(good.RebuildDirectory());
  EXPECT_TRUE(good.DirectoryRebuilt());
  ASSERT_EQ(good.Count(), 4);
  EXPECT_EQ(good.EntryFileName(0), "data.bin");
  EXPECT_EQ(Access::SortedView(good)->Entry(3)->FileName(), "Zeta.TXT");

  // No archive to work on: false, and the directory stays as it was.
  TZipExtractor gone;
  ASSERT_TRUE(WriteFileBytes(dir / "gone.zip", bytes));
  gone.SetZipName(dir / "gone.zip");
  gone.OpenArchive();
  gone.CloseArchive();
  ASSERT_TRUE(platform::DeleteFileA(dir / "gone.zip"));
  EXPECT_FALSE(gone.RebuildDirectory());
  EXPECT_FALSE(gone.DirectoryRebuilt());
  ASSERT_EQ(gone.Count(), 4);
  EXPECT_EQ(gone.EntryFileName(3), "Zeta.TXT");

  // After a read that failed and forgot the archive, nothing of it is used again.
  TZipExtractor failed;
  ASSERT_TRUE(WriteFileBytes(dir / "nolocal.zip", zip_writer::Build({}, {.entryCount = 60000})));
  failed.SetZipName(dir / "nolocal.zip");
  EXPECT_THROW(failed.OpenArchive(), EBadZipFile);
  EXPECT_FALSE(failed.RebuildDirectory());
  EXPECT_EQ(failed.Count(), 0);
}

TEST_F(Directory, AChangedFileIsReadAgain) {
  Use(zip_writer::Build(Sample()));
  z.OpenArchive();
  z.CloseArchive();
  ASSERT_EQ(z.Count(), 4);
  TZipHeaderInfo* first = Access::EntryList(z)->Entry(0);
  z.OpenArchive();
  z.CloseArchive();
  EXPECT_EQ(Access::EntryList(z)->Entry(0), first) << "an unchanged file is not read again";

  ASSERT_TRUE(WriteFileBytes(path, zip_writer::Build({{"only.txt", "1"}})));
  using namespace platform;
  Handle h = CreateFileA(path, kGenericWrite, kShareRead, kOpenExisting);
  ASSERT_NE(h, kInvalidHandle);
  const uint32_t may2020 = (40u << 25) | (5u << 21) | (17u << 16) | (12u << 11);
  ASSERT_NE(Access::ArchiveDate(z), may2020);
  ASSERT_TRUE(SetFileDosDateTime(h, may2020));
  CloseHandle(h);
  z.OpenArchive();
  EXPECT_EQ(z.Count(), 1);
  EXPECT_EQ(z.EntryFileName(0), "only.txt");
}

TEST_F(Directory, AnArchiveThatBecameEmptyIsAnEmptyDirectory) {
  // A damaged directory first, so that the re-read shows it forgets that too.
  Use(zip_writer::Build(Sample(), {.entryCount = 2}));
  z.OpenArchive();
  z.CloseArchive();
  ASSERT_EQ(z.Count(), 4);
  ASSERT_TRUE(z.DirectoryDamaged());
  ASSERT_TRUE(WriteFileBytes(path, ""));
  using namespace platform;
  Handle h = CreateFileA(path, kGenericWrite, kShareRead, kOpenExisting);
  ASSERT_NE(h, kInvalidHandle);
  const uint32_t may2020 = (40u << 25) | (5u << 21) | (17u << 16) | (12u << 11);
  ASSERT_TRUE(SetFileDosDateTime(h, may2020));
  CloseHandle(h);

  TZipExtractor fresh;
  fresh.SetZipName(path);
  for (TZipExtractor* t : {&z, &fresh}) {
    t->OpenArchive();  // read again (its date changed), or for the first time
    EXPECT_EQ(t->Count(), 0);
    EXPECT_NE(Access::EntryList(*t), nullptr);
    EXPECT_EQ(t->ZipName(), path);
    EXPECT_EQ(Access::EndCentral(*t)->EntryCount64(), 0u) << "no end record of the earlier read";
    EXPECT_EQ(Access::EndCentral(*t)->CentralOffset64(), 0u);
    EXPECT_FALSE(t->DirectoryDamaged());
    t->CloseArchive();
  }
}

TEST_F(Directory, KeepZipOpenAndClearArchive) {
  Use(zip_writer::Build(Sample()));
  z.KeepZipOpen = true;
  z.OpenArchive();
  z.CloseArchive();
  EXPECT_NE(Access::ArchiveStream(z), nullptr);
  z.ClearArchive();
  EXPECT_EQ(Access::ArchiveStream(z), nullptr);
  EXPECT_EQ(z.Count(), 0);
  EXPECT_EQ(z.ZipName(), "");
  EXPECT_EQ(Access::ArchiveDate(z), 0u);
  EXPECT_EQ(z.DiskCount(), 1);
}

TEST_F(Directory, MessagesArePumpedPerHeader) {
  Use(zip_writer::Build(Sample()));
  platform::inject::ScopedServices services;
  int pumps = 0;
  services->pumpMessages = [&] {
    ++pumps;
    return false;
  };
  z.OpenArchive();
  EXPECT_EQ(pumps, 4);
  z.DoProcessMessages = false;
  z.ClearArchive();
  z.SetZipName(path);
  z.OpenArchive();
  EXPECT_EQ(pumps, 4);
}
