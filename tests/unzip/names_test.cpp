// How stored entry names become names in the ANSI code page (GBK): UTF-8 names marked by
// flag bit 11 or a Unicode path field, unmarked UTF-8 names of other host systems, and
// the old OEM rule; and names whose last double-byte character ends in byte 0x5C.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "platform/files.h"
#ifndef _WIN32
#include "platform/posix/native.h"
#endif
#include "tests/support/temp_dir.h"
#include "tests/unzip/helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "tests/unzip/file_helpers.h"
#include "unzip/BufferStreams.h"
#include "unzip/f_CompressUnit.h"
#include "unzip/ZipExtractor.h"
#include "unzip/ZipRecords.h"

using namespace unzip;
using unzip_test::MemoryStream;

namespace {

// GBK bytes.
const std::string kShengJi = "\xC9\xFD\xBC\xB6";          // 升级
const std::string kShuoMingQian = "\xCB\xB5\xC3\xF7\x9C\x5C";  // 说明淺 (淺 = 9C 5C)
const std::string kWenDang = "\xCE\xC4\xB5\xB5";          // 文档
// The same in UTF-8.
const std::string kShengJiUtf8 = "\xE5\x8D\x87\xE7\xBA\xA7";
const std::string kShuoMingQianUtf8 = "\xE8\xAF\xB4\xE6\x98\x8E\xE6\xB7\xBA";
const std::string kWenDangUtf8 = "\xE6\x96\x87\xE6\xA1\xA3";
const std::string kGrinningFace = "\xF0\x9F\x98\x80";  // no GBK form

std::string Le16(uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16)); }

// A Unicode path extra field for a stored name.
std::string UnicodePath(const std::string& storedName, const std::string& utf8,
                        uint8_t version = 1) {
  const std::string body = std::string(1, static_cast<char>(version)) +
                           Le32(zip_writer::Crc32(storedName)) + utf8;
  return Le16(0x7075) + Le16(static_cast<uint16_t>(body.size())) + body;
}

// Every central header of an archive, read as the directory reader reads them.
std::vector<std::unique_ptr<TZipHeaderInfo>> ReadDirectory(const std::string& archive,
                                                           TOEMConvert mode = oemAlways) {
  MemoryStream s(archive);
  TEndCentral end;
  EXPECT_TRUE(end.FindEndRecord(&s));
  s.Seek(end.CentralOffset, 0);
  TStream* stream = &s;
  std::vector<std::unique_ptr<TZipHeaderInfo>> records;
  for (uint16_t i = 0; i < end.EntryCount; ++i) {
    auto r = std::make_unique<TZipHeaderInfo>();
    r->OemMode = mode;
    if (!r->ReadCentral(stream, nullptr)) {
      ADD_FAILURE() << "central header " << i;
      break;
    }
    s.Seek(r->CentralExtraLength + r->CommentLength, 1);
    records.push_back(std::move(r));
  }
  return records;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(StoredNames, EncodingRules) {
  struct Case {
    const char* what;
    std::string stored;
    uint16_t flags;
    uint8_t host;
    std::string extra;
    TOEMConvert mode;
    std::string directory;
    std::string fileName;
    bool notRepresentable;
  } cases[] = {
      {"flag bit 11, host 0", kShengJiUtf8 + "/a.txt", 0x0800, 0, "", oemAlways,
       kShengJi + "\\", "a.txt", false},
      {"flag bit 11 whatever OEMConvert says", kShengJiUtf8 + "/a.txt", 0x0800, 0, "",
       oemNever, kShengJi + "\\", "a.txt", false},
      {"unmarked UTF-8 from host 3", kShengJiUtf8 + "/" + kShuoMingQianUtf8, 0, 3, "",
       oemAlways, kShengJi + "\\", kShuoMingQian, false},
      {"unmarked UTF-8 from host 0 keeps the OEM rule", kShengJiUtf8, 0, 0, "", oemAlways,
       "", kShengJiUtf8, false},
      {"GBK bytes from host 3 are not UTF-8", kShengJi + "/" + kShuoMingQian, 0, 3, "",
       oemAlways, kShengJi + "\\", kShuoMingQian, false},
      {"ASCII from host 3", "docs/read me.txt", 0, 3, "", oemAlways, "docs\\", "read me.txt",
       false},
      {"overlong UTF-8 form is not UTF-8", "\xC0\xAF" "x", 0, 3, "", oemAlways, "",
       "\xC0\xAF" "x", false},
      {"Unicode path field with a matching CRC", "legacy/x.txt", 0, 0,
       UnicodePath("legacy/x.txt", kShengJiUtf8 + "/x.txt"), oemAlways, kShengJi + "\\",
       "x.txt", false},
      {"Unicode path field beats flag bit 11", "plain.txt", 0x0800, 3,
       UnicodePath("plain.txt", kShengJiUtf8 + ".txt"), oemAlways, "", kShengJi + ".txt",
       false},
      {"Unicode path field with another CRC is ignored", "legacy/x.txt", 0, 0,
       UnicodePath("other", kShengJiUtf8 + "/x.txt"), oemAlways, "legacy\\", "x.txt", false},
      {"Unicode path field of another version is ignored", "legacy.txt", 0, 0,
       UnicodePath("legacy.txt", "new.txt", 2), oemAlways, "", "legacy.txt", false},
      {"Unicode path field after another field", "legacy.txt", 0, 0,
       Le16(0x5455) + Le16(1) + "\x01" + UnicodePath("legacy.txt", "new.txt"), oemAlways, "",
       "new.txt", false},
      {"a character GBK cannot show", "a" + kGrinningFace + ".txt", 0x0800, 3, "", oemAlways,
       "", "a?.txt", true},
      {"bit 11 on bytes that are not UTF-8", kShengJi + ".txt", 0x0800, 0, "", oemAlways, "",
       "???.txt", true},
      {"a name ending in 9C 5C stays a file", "docs/" + kShuoMingQian, 0, 0, "", oemAlways,
       "docs\\", kShuoMingQian, false},
      {"and so does its UTF-8 form", "docs/" + kShuoMingQianUtf8, 0x0800, 3, "", oemAlways,
       "docs\\", kShuoMingQian, false},
      {"a folder whose name ends in 9C 5C", kShuoMingQianUtf8 + "/" + kWenDangUtf8, 0, 3, "",
       oemAlways, kShuoMingQian + "\\", kWenDang, false},
  };
  for (const Case& c : cases) {
    zip_writer::Entry e{c.stored, "x"};
    e.flags = c.flags;
    e.versionMadeBy = static_cast<uint16_t>((c.host << 8) | 20);
    e.centralExtra = c.extra;
    auto records = ReadDirectory(zip_writer::Build({e}), c.mode);
    ASSERT_EQ(records.size(), 1u) << c.what;
    const TZipHeaderInfo& r = *records[0];
    EXPECT_EQ(r.Directory(), c.directory) << c.what;
    EXPECT_EQ(r.FileName(), c.fileName) << c.what;
    EXPECT_EQ(r.NameNotRepresentable, c.notRepresentable) << c.what;
    EXPECT_EQ(r.NameLength, r.Directory().size() + r.FileName().size()) << c.what;
    if (c.notRepresentable) {
      std::string utf8 = c.stored;
      std::replace(utf8.begin(), utf8.end(), '/', '\\');
      EXPECT_EQ(r.Utf8Name, utf8) << c.what;
    } else {
      EXPECT_EQ(r.Utf8Name, "") << c.what;
    }
    TZipHeaderInfo copy;
    copy.Assign(&r);
    EXPECT_EQ(copy.NameNotRepresentable, r.NameNotRepresentable) << c.what;
    EXPECT_EQ(copy.Utf8Name, r.Utf8Name) << c.what;
  }
}

TEST(StoredNames, LocalHeadersHonourTheMarksButNotTheHostGuess) {
  // A local header has no host system: only flag bit 11 and the Unicode path field say
  // that a name is UTF-8 (as when a directory is rebuilt from the local headers).
  struct Case {
    std::string stored;
    uint16_t flags;
    std::string localExtra;
    std::string fileName;
  } cases[] = {
      {kShengJiUtf8, 0x0800, "", kShengJi},
      {"legacy", 0, UnicodePath("legacy", kShengJiUtf8), kShengJi},
      {kShengJiUtf8, 0, "", kShengJiUtf8},
  };
  for (const Case& c : cases) {
    zip_writer::Entry e{c.stored, "data"};
    e.flags = c.flags;
    e.versionMadeBy = 3 << 8 | 20;
    e.localExtra = c.localExtra;
    MemoryStream s(zip_writer::Build({e}));
    TZipHeaderInfo r;
    r.OemMode = oemAlways;
    ASSERT_TRUE(r.ReadLocal(&s));
    EXPECT_EQ(r.FileName(), c.fileName);
    EXPECT_EQ(s.position, 30 + static_cast<int64_t>(c.stored.size()))
        << "stands at the local extra field";
  }
}

TEST(StoredNames, ArchivesOfTodaysTools) {
  // Both archives hold 升级\, 升级\说明淺.txt, 升级\文档\ and 升级\文档\升级说明.txt.
  const std::string folder = kShengJi + "\\";
  const std::string subfolder = folder + kWenDang + "\\";
  const std::string expected[][2] = {
      {folder, ""},
      {folder, kShuoMingQian + ".txt"},
      {subfolder, ""},
      {subfolder, kShengJi + "\xCB\xB5\xC3\xF7.txt"},
  };
  for (const char* name : {"infozip-utf8-names.zip", "7z-utf8-names.zip"}) {
    auto records = ReadDirectory(ReadFile(std::string(TEST_DATA_DIR) + "/names/" + name));
    std::vector<std::pair<std::string, std::string>> got, want;
    for (const auto& r : records) got.emplace_back(r->Directory(), r->FileName());
    for (const auto& e : expected) want.emplace_back(e[0], e[1]);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want) << name;
  }
}

TEST(StoredNames, FolderSettingsKeepATrailByte5C) {
  // A folder named 说明淺 ends in byte 0x5C that is no backslash.
  TZipExtractor zip;
  zip.SetDestDir("D:\\" + kShuoMingQian);
  EXPECT_EQ(zip.DestDir(), "D:\\" + kShuoMingQian);
  zip.SetDestDir("D:\\" + kShuoMingQian + "\\");
  EXPECT_EQ(zip.DestDir(), "D:\\" + kShuoMingQian);
  zip.SetRootDir(kShuoMingQian);
  EXPECT_EQ(zip.RootDir(), kShuoMingQian + "\\");

  testing_support::TempDir temp;
  const std::string nested = temp / (kShuoMingQian + "\\" + kWenDang);
  CreateDirPath(nested + "\\");
  EXPECT_TRUE(platform::DirectoryExists(temp / kShuoMingQian));
  EXPECT_TRUE(platform::DirectoryExists(nested));
}

TEST(StoredNames, ExtractedFilesCarryTheirRealNames) {
  using unzip_test::Listing;
  testing_support::TempDir temp;
  // Today's tools: both archives give the same tree.
  for (const char* name : {"infozip-utf8-names.zip", "7z-utf8-names.zip"}) {
    const std::string dest = temp / name;
    const std::string archive = temp / (std::string(name) + ".zip");
    ASSERT_TRUE(testing_support::WriteFileBytes(
        archive, ReadFile(std::string(TEST_DATA_DIR) + "/names/" + name)));
    ASSERT_TRUE(ExtractArchive(archive.c_str(), dest.c_str(), true)) << name;
    EXPECT_EQ(Listing(dest), std::vector<std::string>{kShengJi}) << name;
    EXPECT_EQ(Listing(dest + "\\" + kShengJi),
              (std::vector<std::string>{kShuoMingQian + ".txt", kWenDang}))
        << name;
    bool ok = false;
    EXPECT_EQ(testing_support::ReadFileBytes(dest + "\\" + kShengJi + "\\" + kShuoMingQian + ".txt", &ok), "hi\n");
    EXPECT_TRUE(ok) << name;
  }

  // The tests' writer: each way of saying UTF-8, and a name GBK cannot show, which is
  // given up while the run goes on.
  zip_writer::Entry flagged{kShengJiUtf8 + "/flag.txt", "1"};
  flagged.flags = 0x0800;
  zip_writer::Entry field{"legacy.txt", "2"};
  field.centralExtra = UnicodePath("legacy.txt", kShuoMingQianUtf8);
  zip_writer::Entry wrongField{"kept.txt", "3"};
  wrongField.centralExtra = UnicodePath("other", "lost.txt");
  zip_writer::Entry unshowable{"a" + kGrinningFace + ".txt", "4"};
  unshowable.flags = 0x0800;
  // GBK names whose last character ends in byte 0x5C: a file named 说明淺 in docs\, and
  // a file in a folder named 淺.
  const std::string kQian = "\x9C\x5C";
  zip_writer::Entry trailFile{"docs/" + kShuoMingQian, "5"};
  zip_writer::Entry trailFolder{kQian + "/inner.txt", "6"};
  const std::string archive = temp / "writer.zip";
  ASSERT_TRUE(testing_support::WriteFileBytes(
      archive, zip_writer::Build(
                   {flagged, field, wrongField, unshowable, trailFile, trailFolder})));
  const std::string dest = temp / "writer";
  // The name GBK cannot show is left out, and the call says so.
  EXPECT_FALSE(ExtractArchive(archive.c_str(), dest.c_str(), true));
  EXPECT_EQ(Listing(dest), (std::vector<std::string>{"docs", "kept.txt", kQian, kShengJi,
                                                     kShuoMingQian}));
  EXPECT_EQ(Listing(dest + "\\" + kShengJi), std::vector<std::string>{"flag.txt"});
  bool ok = false;
  EXPECT_EQ(testing_support::ReadFileBytes(dest + "\\docs\\" + kShuoMingQian, &ok), "5");
  EXPECT_TRUE(ok) << "a file, not a folder";
  EXPECT_EQ(testing_support::ReadFileBytes(dest + "\\" + kQian + "\\inner.txt", &ok), "6");
  EXPECT_TRUE(ok);
#ifndef _WIN32
  // Past the system-call boundary the names are UTF-8.
  const std::optional<std::string> native = platform::posix::ToNativePath(dest);
  ASSERT_TRUE(native);
  struct stat st;
  EXPECT_EQ(stat((*native + "/" + kShengJiUtf8 + "/flag.txt").c_str(), &st), 0);
  EXPECT_EQ(stat((*native + "/" + kShuoMingQianUtf8).c_str(), &st), 0);
  EXPECT_EQ(stat((*native + "/\xE6\xB7\xBA/inner.txt").c_str(), &st), 0);  // 淺/inner.txt
#endif
}
