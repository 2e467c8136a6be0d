#include <gtest/gtest.h>

#include <random>

#include "tests/unzip/helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/ZipExceptions.h"
#include "unzip/ZipRecords.h"

using namespace unzip;
using unzip_test::MemoryStream;

namespace {

std::string Le16(uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }

}  // namespace

TEST(EndRecord, ShortStreams) {
  TEndCentral end;
  end.EntryCount = 7;
  MemoryStream empty;
  EXPECT_TRUE(end.FindEndRecord(&empty)) << "an empty file is an empty archive";
  EXPECT_EQ(end.EntryCount, 7) << "and leaves the object as it was";
  for (size_t size : {1u, 5u, 21u}) {
    MemoryStream tiny(std::string(size, 'P'));
    EXPECT_FALSE(end.FindEndRecord(&tiny)) << size << " bytes";
  }
  MemoryStream noRecord(std::string(70000, 'x'));
  EXPECT_FALSE(end.FindEndRecord(&noRecord));
}

TEST(EndRecord, TheOccurrenceNearestTheEndWins) {
  // A comment that itself holds the bytes of an end record.
  const std::string fake = "PK\x05\x06" + std::string(18, '\x01');
  const std::string archive = zip_writer::Build({{"a.txt", "hello"}}, {.comment = fake + "tail"});
  MemoryStream s(archive);
  TEndCentral end;
  ASSERT_TRUE(end.FindEndRecord(&s));
  EXPECT_EQ(end.EntryCount, 0x0101) << "the record inside the comment is the one found";
  EXPECT_EQ(end.CommentPosition, static_cast<int64_t>(archive.size() - 4));
  EXPECT_EQ(end.Zip64End, nullptr);
}

TEST(EndRecord, Zip64RecordsAnswerForTheMarkers) {
  std::vector<zip_writer::Entry> entries = {{"a.txt", "aaa"}, {"b.txt", "bbbb"}};
  const std::string archive = zip_writer::Build(entries, {.zip64End = true});
  MemoryStream s(archive);
  TEndCentral end;
  ASSERT_TRUE(end.FindEndRecord(&s));
  ASSERT_NE(end.Zip64Locator, nullptr);
  ASSERT_NE(end.Zip64End, nullptr);
  EXPECT_EQ(end.EntryCount, 0xFFFF);
  EXPECT_EQ(end.EntryCount64(), 2u);
  EXPECT_EQ(end.CentralOffset, 0xFFFFFFFFu);
  EXPECT_EQ(end.CentralOffset64(), end.Zip64End->CentralOffset);
  EXPECT_EQ(end.Zip64End->Signature, kZip64EndCentralDirSig);

  // The next archive without Zip64 records must not inherit them.
  MemoryStream plain(zip_writer::Build(entries, {.entryCount = 0xFFFF}));
  ASSERT_TRUE(end.FindEndRecord(&plain));
  EXPECT_EQ(end.EntryCount64(), 0xFFFFu);
}

TEST(EndRecord, SettersUseTheZip64RecordForLargeValues) {
  TEndCentral end;
  end.SetEntryCount64(0x10000);
  ASSERT_NE(end.Zip64End, nullptr);
  EXPECT_EQ(end.EntryCount, 0xFFFF);
  EXPECT_EQ(end.Zip64End->Signature, kZip64EndCentralDirSig);
  EXPECT_EQ(end.Zip64End->RecordSize, 44u);
  EXPECT_EQ(end.Zip64End->VersionMadeBy, 45);
  EXPECT_EQ(end.Zip64End->VersionNeeded, 45);
  EXPECT_EQ(end.EntryCount64(), 0x10000u);
  end.SetEntryCount64(12);
  EXPECT_EQ(end.EntryCount, 12);
  EXPECT_EQ(end.Zip64End->EntryCount, 12u) << "a smaller count updates the Zip64 record too";
  end.SetCentralOffset64(0x100000000ull);
  EXPECT_EQ(end.CentralOffset, 0xFFFFFFFFu);
  EXPECT_EQ(end.CentralOffset64(), 0x100000000ull);
  end.SetThisDisk32(0xFFFF);
  EXPECT_EQ(end.ThisDisk, 0xFFFF);
  EXPECT_EQ(end.ThisDisk32(), 0xFFFFu);
  end.SetThisDisk32(3);
  EXPECT_EQ(end.ThisDisk32(), 3u);
  end.Reset();
  EXPECT_EQ(end.Signature, kEndCentralDirSig);
  EXPECT_EQ(end.EntryCount, 0);
  EXPECT_NE(end.Zip64End, nullptr) << "Zip64 records stay allocated";
}

TEST(EndRecord, AssignCopiesTheRecordAndALoadedComment) {
  TEndCentral a, b;
  a.EntryCount = 3;
  a.CentralOffset = 99;
  a.CommentLength = 5;
  a.ZipComment = "hello";
  a.CommentPosition = 1234;
  a.CommentModified = true;
  b.Assign(&a);
  EXPECT_EQ(b.EntryCount, 3);
  EXPECT_EQ(b.CentralOffset, 99u);
  EXPECT_EQ(b.ZipComment.value_or(""), "hello");
  EXPECT_EQ(b.CommentPosition, 1234);
  EXPECT_FALSE(b.CommentModified);
  TZipHeaderInfo header;
  EXPECT_THROW_TEXT(header.Assign(&a), EConvertError,
                    "Cannot assign a TEndCentral to a TZipHeaderInfo");
}

TEST(DateSanitising, Table) {
  const auto dos = [](int y, int mo, int d, int h, int mi, int s) {
    return (static_cast<uint32_t>(y - 1980) << 25) | (static_cast<uint32_t>(mo) << 21) |
           (static_cast<uint32_t>(d) << 16) | (static_cast<uint32_t>(h) << 11) |
           (static_cast<uint32_t>(mi) << 5) | static_cast<uint32_t>(s / 2);
  };
  struct Case {
    uint32_t in, out;
  } cases[] = {
      {dos(2020, 5, 17, 13, 45, 30), dos(2020, 5, 17, 13, 45, 30)},
      {dos(2020, 5, 17, 24, 61, 62), dos(2020, 5, 17, 23, 59, 58)},
      {dos(2020, 0, 17, 1, 2, 4), dos(2020, 1, 17, 1, 2, 4)},
      {dos(2101, 3, 1, 0, 0, 0), dos(2099, 3, 1, 0, 0, 0)},
      {dos(1999, 13, 0, 0, 0, 0), dos(1999, 12, 1, 0, 0, 0)},
      {dos(2001, 2, 31, 0, 0, 0), dos(2001, 2, 31, 0, 0, 0)},  // days past the month stay
      {0, dos(1980, 1, 1, 0, 0, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(SanitizeDosDateTime(c.in), c.out) << std::hex << c.in;
  EXPECT_EQ(DosDateTimeSeconds(dos(2001, 2, 31, 0, 0, 0)), 0) << "not a date";
  EXPECT_LT(DosDateTimeSeconds(dos(2001, 2, 28, 0, 0, 0)),
            DosDateTimeSeconds(dos(2001, 3, 1, 0, 0, 0)));
  EXPECT_EQ(DosDateTimeSeconds(dos(1980, 1, 1, 0, 0, 2)) - DosDateTimeSeconds(dos(1980, 1, 1, 0, 0, 0)), 2);
}

TEST(HeaderRecord, Zip64AccessorsAndSetters) {
  TZipHeaderInfo r;
  EXPECT_EQ(r.VersionMadeBy, 45);
  EXPECT_EQ(r.Crc32, 0xFFFFFFFFu);
  EXPECT_EQ(r.ExternalAttributes, 0x20u);
  r.SetCompressedSize64(5);
  EXPECT_EQ(r.CompressedSize, 5u);
  EXPECT_EQ(r.Zip64Info, nullptr);
  r.SetCompressedSize64(0xFFFFFFFFll);
  EXPECT_EQ(r.CompressedSize, 0xFFFFFFFFu);
  ASSERT_NE(r.Zip64Info, nullptr);
  EXPECT_EQ(r.CompressedSize64(), 0xFFFFFFFFull);
  r.SetUncompressedSize64(-2);
  EXPECT_EQ(r.UncompressedSize, 0xFFFFFFFEu) << "a negative value keeps its low 32 bits";
  r.SetLocalHeaderOffset64(0x123456789ll);
  EXPECT_EQ(r.LocalHeaderOffset64(), 0x123456789ull);
  r.SetDiskNumberStart32(0x10000);
  EXPECT_EQ(r.DiskNumberStart, 0xFFFF);
  EXPECT_EQ(r.DiskNumberStart32(), 0x10000u);

  // A marker whose value no Zip64 block supplied is a damaged record.
  TZipHeaderInfo bare;
  bare.UncompressedSize = 0xFFFFFFFFu;
  EXPECT_THROW_TEXT(bare.UncompressedSize64(), EBadZipFile, "Not a valid zip file!");
  bare.DiskNumberStart = 0xFFFF;
  EXPECT_THROW(bare.DiskNumberStart32(), EBadZipFile);
  bare.SetCompressedSize64(0x100000000ll);  // a block now exists, without the other values
  EXPECT_THROW(bare.UncompressedSize64(), EBadZipFile);
}

TEST(HeaderRecord, DirectoryGetsItsBackslashAndNameLengthFollows) {
  TZipHeaderInfo r;
  r.SetDirectory("a\\b");
  EXPECT_EQ(r.Directory(), "a\\b\\");
  r.SetFileName("c.txt");
  EXPECT_EQ(r.NameLength, 9);
  r.SetDirectory("\xd6\\");  // a double-byte character whose second byte is "\"
  EXPECT_EQ(r.Directory(), "\xd6\\\\");
  r.SetDirectory("");
  EXPECT_EQ(r.Directory(), "");
  EXPECT_EQ(r.NameLength, 5);
}

TEST(HeaderRecord, AssignCopiesTheEntryButNotItsConversionMode) {
  TZipHeaderInfo a, b;
  a.Flags = 9;
  a.Crc32 = 0x1234;
  a.SetCompressedSize64(0x100000000ll);
  a.CommentLength = 2;
  a.FileComment = "hi";
  a.SetDirectory("d");
  a.SetFileName("f");
  a.Selected = true;
  a.OemMode = oemAlways;
  b.OemMode = oemFlexible;
  b.Assign(&a);
  EXPECT_EQ(b.Flags, 9);
  EXPECT_EQ(b.Crc32, 0x1234u);
  EXPECT_EQ(b.CompressedSize64(), 0x100000000ull);
  EXPECT_EQ(b.FileComment.value_or(""), "hi");
  EXPECT_EQ(b.Directory() + b.FileName(), "d\\f");
  EXPECT_TRUE(b.Selected);
  EXPECT_EQ(b.OemMode, oemFlexible);
  TZipHeaderInfo plain;
  b.Assign(&plain);
  EXPECT_EQ(b.Zip64Info, nullptr) << "no block of an earlier copy survives";
  EXPECT_FALSE(b.FileComment.has_value());
  TEndCentral end;
  EXPECT_THROW_TEXT(end.Assign(&a), EConvertError, "Cannot assign a TZipHeaderInfo to a TEndCentral");
}

TEST(HeaderRecord, ReadCentralSplitsConvertsAndWalksTheExtraField) {
  zip_writer::Entry dir{"top/sub/", ""};
  zip_writer::Entry file{"top/sub/f.txt", "data"};
  file.comment = "note";
  file.centralExtra = Le16(0x5455) + Le16(5) + std::string(5, '\x07');
  zip_writer::Entry big{"big.bin", "0123456789"};
  big.zip64Compressed = true;  // only the compressed size holds the marker
  zip_writer::Entry withNul{std::string("a\0b.txt", 7), "x"};
  const std::string archive = zip_writer::Build({dir, file, big, withNul});
  MemoryStream s(archive);
  TEndCentral end;
  ASSERT_TRUE(end.FindEndRecord(&s));
  s.Seek(end.CentralOffset, 0);
  TStream* stream = &s;
  std::vector<std::unique_ptr<TZipHeaderInfo>> records;
  for (int i = 0; i < 4; ++i) {
    auto r = std::make_unique<TZipHeaderInfo>();
    r->OemMode = oemAlways;
    const int64_t start = s.position;
    ASSERT_TRUE(r->ReadCentral(stream, nullptr)) << i;
    EXPECT_EQ(r->CentralEntryOffset, start);
    EXPECT_EQ(s.position, start + 46 + r->NameLength) << "stands at the extra field";
    s.Seek(r->CentralExtraLength + r->CommentLength, 1);
    records.push_back(std::move(r));
  }
  EXPECT_EQ(records[0]->Directory(), "top\\sub\\");
  EXPECT_EQ(records[0]->FileName(), "");
  EXPECT_EQ(records[1]->FileName(), "f.txt");
  EXPECT_EQ(records[1]->CommentLength, 4);
  EXPECT_FALSE(records[1]->FileComment.has_value()) << "comments are read on demand";
  EXPECT_EQ(records[1]->Zip64Info, nullptr);
  ASSERT_NE(records[2]->Zip64Info, nullptr);
  EXPECT_EQ(records[2]->CompressedSize64(), 10u);
  EXPECT_EQ(records[2]->UncompressedSize64(), 10u) << "taken from the 32-bit field";
  EXPECT_EQ(records[3]->FileName(), std::string("a\0b.txt", 7)) << "NUL bytes stay";
  auto r = std::make_unique<TZipHeaderInfo>();
  const int64_t at = s.position;
  EXPECT_FALSE(r->ReadCentral(stream, nullptr)) << "the end record is not a central header";
  EXPECT_EQ(s.position, at);
}

TEST(HeaderRecord, ExtraFieldsNeverReachPastTheirBytes) {
  // A Zip64 field that declares more than the extra data holds, and one shorter than
  // the values its markers need.
  struct Case {
    std::string extra;
    bool hasValue;
  } cases[] = {
      {Le16(1) + Le16(100) + std::string(8, '\x05'), true},
      {Le16(1) + Le16(4) + std::string(8, '\x05'), false},
      {Le16(1) + Le16(8), false},
      {Le16(1), false},
  };
  for (const Case& c : cases) {
    zip_writer::Entry e{"x", "abc"};
    e.zip64Uncompressed = true;
    e.omitZip64Extra = true;
    e.centralExtra = c.extra;
    const std::string archive = zip_writer::Build({e});
    MemoryStream s(archive);
    TEndCentral end;
    ASSERT_TRUE(end.FindEndRecord(&s));
    s.Seek(end.CentralOffset, 0);
    TStream* stream = &s;
    TZipHeaderInfo r;
    ASSERT_TRUE(r.ReadCentral(stream, nullptr));
    if (c.hasValue) {
      EXPECT_EQ(r.UncompressedSize64(), 0x0505050505050505ull);
    } else {
      EXPECT_THROW(r.UncompressedSize64(), EBadZipFile) << c.extra.size();
    }
  }
}

TEST(HeaderRecord, ReadLocal) {
  zip_writer::Entry e{"dir/name.txt", std::string(300, 'z')};
  e.method = 8;
  e.flags = 0;
  e.zip64Uncompressed = e.zip64Compressed = true;
  const std::string archive = zip_writer::Build({e}, {.stub = "STUB"});
  MemoryStream s(archive);
  s.Seek(4, 0);
  TZipHeaderInfo r;
  ASSERT_TRUE(r.ReadLocal(&s));
  EXPECT_EQ(r.LocalHeaderOffset64(), 4u);
  EXPECT_EQ(r.VersionMadeBy, 0);
  EXPECT_EQ(r.Directory(), "dir\\");
  EXPECT_EQ(r.FileName(), "name.txt");
  EXPECT_EQ(r.UncompressedSize64(), 300u);
  EXPECT_EQ(r.CompressedSize64(), zip_writer::Deflate(e.data).size());
  EXPECT_EQ(s.position, 4 + 30 + 12) << "stands at the local extra field";
  s.Seek(0, 0);
  EXPECT_FALSE(r.ReadLocal(&s));
  EXPECT_EQ(s.position, 0);
}

TEST(HeaderRecord, ReadLocalFindsTheZip64FieldAmongTheExtraFields) {
  const std::string time = Le16(0x5455) + Le16(5) + std::string(5, '\x01');
  struct Case {
    std::string extra;
    bool zip64After;
    bool found;
  } cases[] = {
      {time, false, true},                                   // the Zip64 field first
      {time, true, true},                                    // after another field
      {time + Le16(0x7875) + Le16(0), true, true},           // after two
      {Le16(0x5455) + Le16(200) + std::string(5, '\x01'), true, false},  // one that claims the rest
  };
  for (const Case& c : cases) {
    zip_writer::Entry e{"big.bin", std::string(40, 'b')};
    e.zip64Uncompressed = e.zip64Compressed = true;
    e.localExtra = c.extra;
    e.zip64AfterLocalExtra = c.zip64After;
    MemoryStream s(zip_writer::Build({e}));
    TZipHeaderInfo r;
    ASSERT_TRUE(r.ReadLocal(&s));
    EXPECT_EQ(s.position, 30 + 7) << "stands at the local extra field";
    if (c.found) {
      EXPECT_EQ(r.UncompressedSize64(), 40u) << c.extra.size();
      EXPECT_EQ(r.CompressedSize64(), 40u) << c.extra.size();
    } else {
      EXPECT_THROW(r.CompressedSize64(), EBadZipFile) << "never past the extra data";
    }
  }
}

TEST(SortedZip, ComparisonsOfEachMode) {
  const auto rec = [](const std::string& dir, const std::string& name, uint32_t date,
                      uint32_t packed, uint32_t size, uint32_t offset) {
    auto r = std::make_unique<TZipHeaderInfo>();
    r->SetDirectory(dir);
    r->SetFileName(name);
    r->FileDateTime = date;
    r->CompressedSize = packed;
    r->UncompressedSize = size;
    r->LocalHeaderOffset = offset;
    return r;
  };
  auto a = rec("B\\", "z.txt", 0x50210000, 10, 100, 300);
  auto b = rec("a\\", "Y.txt", 0x52210000, 90, 100, 100);
  auto c = rec("a\\", "x.TXT", 0x52210000, 50, 0, 200);
  const auto order = [&](TZipSortMode mode) {
    TSortedZip list(dupAccept);
    list.OwnsObjects = false;
    list.SortMode = mode;
    list.Add(a.get());
    list.Add(b.get());
    list.Add(c.get());
    std::string names;
    for (int32_t i = 0; i < list.Count(); ++i) names += list.Entry(i)->FileName().substr(0, 1);
    return names;
  };
  EXPECT_EQ(order(ByName), "xYz");
  EXPECT_EQ(order(ByFileName), "xYz");
  EXPECT_EQ(order(ByDirectoryName), "xYz");  // equal folders: the newcomer goes first
  EXPECT_EQ(order(ByDate), "Yxz") << "newest first, equal dates in arrival order";
  EXPECT_EQ(order(ByCompressedSize), "Yxz");
  EXPECT_EQ(order(ByUnCompressedSize), "zYx");
  EXPECT_EQ(order(ByRate), "Yzx");
  EXPECT_EQ(order(ByNone), "Yxz");
}

// AddAll must leave exactly what adding one record at a time leaves.
TEST(SortedZip, AddAllEqualsAddingOneByOne) {
  std::mt19937 random(12345);
  std::vector<std::unique_ptr<TZipHeaderInfo>> pool;
  for (int i = 0; i < 700; ++i) {
    auto r = std::make_unique<TZipHeaderInfo>();
    r->SetDirectory(random() % 3 ? "Dir" + std::to_string(random() % 4) : "");
    r->SetFileName((random() % 2 ? "F" : "f") + std::to_string(random() % 50));
    r->FileDateTime = SanitizeDosDateTime(static_cast<uint32_t>(random()));
    if (i % 7 == 0) r->FileDateTime = (21u << 25) | (2u << 21) | (30u << 16);  // not a date
    r->CompressedSize = static_cast<uint32_t>(random() % 64);
    r->UncompressedSize = static_cast<uint32_t>(random() % 64);
    r->LocalHeaderOffset = static_cast<uint32_t>(random() % 400);
    r->DiskNumberStart = static_cast<uint16_t>(random() % 2);
    pool.push_back(std::move(r));
  }
  std::vector<TZipHeaderInfo*> records;
  for (auto& r : pool) records.push_back(r.get());
  const auto check = [&](const char* round) {
    for (int mode = ByName; mode <= ByNone; ++mode) {
      for (TDuplicates rule : {dupAccept, dupIgnore, dupError}) {
        TSortedZip one(rule), all(rule);
        one.OwnsObjects = all.OwnsObjects = false;
        one.SortMode = all.SortMode = static_cast<TZipSortMode>(mode);
        bool oneThrew = false, allThrew = false;
        try {
          for (TZipHeaderInfo* r : records) one.Add(r);
        } catch (const EListError&) {
          oneThrew = true;
        }
        try {
          all.AddAll(records);
        } catch (const EListError&) {
          allThrew = true;
        }
        const std::string where = std::string(round) + " mode " + std::to_string(mode) +
                                  " rule " + std::to_string(rule);
        ASSERT_EQ(oneThrew, allThrew) << where;
        ASSERT_EQ(one.Count(), all.Count()) << where;
        EXPECT_EQ(one.Capacity(), all.Capacity()) << where;
        for (int32_t i = 0; i < one.Count(); ++i) ASSERT_EQ(one.Get(i), all.Get(i)) << where << " at " << i;
      }
    }
  };
  check("narrow sizes");
  // Sizes more than 2^31 apart: the size comparison has no consistent order any more.
  pool[3]->CompressedSize = 0xF0000000u;
  pool[5]->UncompressedSize = 0xF0000000u;
  check("wide sizes");
}
