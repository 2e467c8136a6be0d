// The installer's extraction call, and round trips of archives made by Info-ZIP zip
// compared with what Info-ZIP unzip makes of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/inject.h"
#include "tests/support/temp_dir.h"
#include "tests/unzip/file_helpers.h"
#include "tests/zip_writer/zip_writer.h"
#include "unzip/ZipExceptions.h"
#include "unzip/f_CompressUnit.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/posix/native.h"
#endif

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using unzip::ExtractArchive;

TEST(ExtractArchive, ReportsWhetherTheRunEndedNormally) {
  TempDir tmp;
  const std::string out = tmp / "out";

  EXPECT_FALSE(ExtractArchive((tmp / "missing.zip").c_str(), out.c_str(), true));

  zip_writer::Options noEnd;
  noEnd.omitEndRecord = true;
  ASSERT_TRUE(WriteFileBytes(tmp / "noend.zip", zip_writer::Build({{.name = "a", .data = "a"}}, noEnd)));
  EXPECT_FALSE(ExtractArchive((tmp / "noend.zip").c_str(), out.c_str(), true));

  ASSERT_TRUE(WriteFileBytes(tmp / "empty.zip", zip_writer::Build({})));
  EXPECT_TRUE(ExtractArchive((tmp / "empty.zip").c_str(), out.c_str(), true));
  EXPECT_TRUE(platform::DirectoryExists(out));

  // A read-only file of the same name is left alone, and the folder is then short of
  // what the archive holds: a failure.
  ASSERT_TRUE(WriteFileBytes(tmp / "one.zip", zip_writer::Build({{.name = "ro.txt", .data = "new"}})));
  ASSERT_TRUE(WriteFileBytes(out + "\\ro.txt", "old"));
  if (unzip_test::ReadOnlyFilesAreRefused()) {
    platform::SetFileAttributesA(out + "\\ro.txt", platform::kAttrReadOnly);
    EXPECT_FALSE(ExtractArchive((tmp / "one.zip").c_str(), out.c_str(), true));
    EXPECT_EQ(ReadFileBytes(out + "\\ro.txt"), "old");
    platform::SetFileAttributesA(out + "\\ro.txt", platform::kAttrNormal);
  }

  // An existing file is replaced without a question.
  EXPECT_TRUE(ExtractArchive((tmp / "one.zip").c_str(), out.c_str(), true));
  EXPECT_EQ(ReadFileBytes(out + "\\ro.txt"), "new");
}

// Every entry that is not extracted for a fault makes the call fail, and leaves what was
// at its place; the other entries are extracted all the same.
TEST(ExtractArchive, AnEntryLeftOutForAFaultIsAFailure) {
  struct Case {
    const char* what;
    zip_writer::Entry entry;
  } cases[] = {
      {"crc mismatch", {.name = "d/f.txt", .data = "new", .crc = 9}},
      {"unknown method", {.name = "d/f.txt", .data = "new", .method = 99}},
      {"unknown method, crc 0", {.name = "d/f.txt", .data = "new", .method = 99, .crc = 0}},
      {"encrypted, no password", {.name = "d/f.txt", .data = "new", .flags = 1,
                                  .rawData = std::string(20, 'e')}},
      {"leaves the folder", {.name = "../f.txt", .data = "new"}},
      {"alternate stream", {.name = "d/f.txt:s", .data = "new"}},
      {"no ANSI form", {.name = "d/\xF0\x9F\x98\x80.txt", .data = "new", .flags = 0x800}},
  };
  for (const Case& c : cases) {
    TempDir tmp;
    const std::string out = tmp / "out";
    ASSERT_TRUE(WriteFileBytes(out + "\\d\\f.txt", "old"));
    ASSERT_TRUE(WriteFileBytes(tmp / "a.zip", zip_writer::Build({{.name = "d/g.txt", .data = "g"},
                                                                  c.entry})));
    EXPECT_FALSE(ExtractArchive((tmp / "a.zip").c_str(), out.c_str(), true)) << c.what;
    EXPECT_EQ(ReadFileBytes(out + "\\d\\f.txt"), "old") << c.what;
    EXPECT_EQ(ReadFileBytes(out + "\\d\\g.txt"), "g") << c.what;
    EXPECT_FALSE(platform::FileExists(tmp / "f.txt")) << c.what;
  }

  // A target another program holds open (sharing reading only).
  TempDir tmp;
  const std::string out = tmp / "out";
  ASSERT_TRUE(WriteFileBytes(out + "\\f.txt", "running"));
  ASSERT_TRUE(WriteFileBytes(tmp / "a.zip", zip_writer::Build({{.name = "f.txt", .data = "new"}})));
  const platform::Handle held = platform::CreateFileA(out + "\\f.txt", platform::kGenericRead,
                                                      platform::kShareRead, platform::kOpenExisting);
  ASSERT_NE(held, platform::kInvalidHandle);
  EXPECT_FALSE(ExtractArchive((tmp / "a.zip").c_str(), out.c_str(), true));
  platform::CloseHandle(held);
  EXPECT_EQ(ReadFileBytes(out + "\\f.txt"), "running");
  EXPECT_TRUE(ExtractArchive((tmp / "a.zip").c_str(), out.c_str(), true)) << "once released";
  EXPECT_EQ(ReadFileBytes(out + "\\f.txt"), "new");
}

// A directory that does not account for the archive: what it found is extracted, and
// the call fails.
TEST(ExtractArchive, ADamagedDirectoryIsAFailure) {
  TempDir tmp;
  zip_writer::Options understated;
  understated.entryCount = 1;  // the end record counts one of three entries
  ASSERT_TRUE(WriteFileBytes(tmp / "a.zip", zip_writer::Build({{.name = "a.txt", .data = "a"},
                                                               {.name = "b.txt", .data = "b"},
                                                               {.name = "c.txt", .data = "c"}},
                                                              understated)));
  const std::string out = tmp / "out";
  EXPECT_FALSE(ExtractArchive((tmp / "a.zip").c_str(), out.c_str(), true));
  EXPECT_EQ(ReadFileBytes(out + "\\a.txt") + ReadFileBytes(out + "\\b.txt") +
                ReadFileBytes(out + "\\c.txt"),
            "abc");
}

TEST(ExtractArchive, AnArchiveEndingInsideAnEntryFailsAndKeepsEarlierFiles) {
  TempDir tmp;
  std::string bytes = zip_writer::Build({{.name = "d/first.txt", .data = "one", .method = 8},
                                         {.name = "d/second.txt", .data = "two"}});
  const size_t central = bytes.rfind(std::string("PK\x01\x02", 4));
  ASSERT_NE(central, std::string::npos);
  bytes[central + 21] = '\x10';  // the last entry's data reaches past the end
  ASSERT_TRUE(WriteFileBytes(tmp / "cut.zip", bytes));
  const std::string out = tmp / "out";
  EXPECT_FALSE(ExtractArchive((tmp / "cut.zip").c_str(), out.c_str(), true));
  EXPECT_EQ(ReadFileBytes(out + "\\d\\first.txt"), "one");
}

TEST(ExtractArchive, WithoutRecreateDirsEveryFileLandsInTheFolder) {
  TempDir tmp;
  ASSERT_TRUE(WriteFileBytes(tmp / "n.zip", zip_writer::Build({{.name = "x/", .data = ""},
                                                              {.name = "x/y/z.txt", .data = "z"}})));
  const std::string out = tmp / "out";
  EXPECT_TRUE(ExtractArchive((tmp / "n.zip").c_str(), out.c_str(), false));
  EXPECT_EQ(ReadFileBytes(out + "\\z.txt"), "z");
  EXPECT_FALSE(platform::DirectoryExists(out + "\\x"));
}

TEST(ExtractArchive, ACancelledChooserIsNotConsumed) {
  TempDir tmp;
  platform::inject::ScopedServices services;
  services->openFileDialog = [](const std::string&, const std::string&, const std::string&,
                                std::string*) { return false; };
  // A name ending in "?" asks for the archive: the chooser's cancellation passes on.
  EXPECT_THROW(ExtractArchive((tmp / "a?").c_str(), (tmp / "out").c_str(), true),
               unzip::EUserCanceled);
}

#ifndef _WIN32
namespace {

namespace fs = std::filesystem;

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

void WriteNative(const fs::path& path, const std::string& bytes, time_t mtime) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

time_t Local(int y, int mo, int d, int h, int mi, int s) {
  struct tm tm {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return mktime(&tm);
}

// Every file and folder below root: its kind, and for files the contents, the
// modification time and whether the owner may write it.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(item.path(), root).string();
    if (item.is_directory()) {
      tree[rel] = "folder";
      continue;
    }
    struct stat st {};
    stat(item.path().c_str(), &st);
    std::ifstream in(item.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string contents = bytes.str();
    tree[rel] = "file " + std::to_string(contents.size()) + " " +
                std::to_string(std::hash<std::string>()(contents)) + " " +
                std::to_string(st.st_mtime) + ((st.st_mode & S_IWUSR) ? " rw" : " ro");
  }
  return tree;
}

}  // namespace
#endif

TEST(ExtractArchive, MatchesInfoZipOnArchivesMadeByZip) {
#ifdef _WIN32
  GTEST_SKIP() << "Info-ZIP round trips run on Linux; the Windows tests use zip_writer archives";
#else
  if (!HaveTool("zip") || !HaveTool("unzip")) GTEST_SKIP() << "zip or unzip is not on the PATH";
  TempDir tmp;
  const std::optional<std::string> native = platform::posix::ToNativePath(tmp.path());
  ASSERT_TRUE(native);
  const fs::path base(*native);
  const fs::path source = base / "source";

  std::string large;
  uint32_t seed = 12345;
  for (int i = 0; i < 3 * 1024 * 1024; ++i) {
    seed = seed * 1103515245u + 12345u;
    large += static_cast<char>("abcdefgh\n "[(seed >> 16) % 10]);
  }
  WriteNative(source / "top.txt", "top level\n", Local(2001, 2, 3, 4, 5, 6));
  WriteNative(source / "nested" / "a" / "b" / "deep.txt", "deep\n", Local(1999, 12, 31, 23, 59, 58));
  WriteNative(source / "nested" / "a" / "sibling.bin", std::string(70000, '\x01'),
              Local(2024, 2, 29, 12, 0, 0));
  WriteNative(source / "empty.txt", "", Local(2010, 6, 15, 8, 30, 0));
  WriteNative(source / "large.txt", large, Local(2022, 10, 1, 0, 0, 2));
  WriteNative(source / "readonly.txt", "keep me\n", Local(2015, 1, 1, 1, 1, 2));
  fs::permissions(source / "readonly.txt", fs::perms::owner_read | fs::perms::group_read |
                                               fs::perms::others_read);
  fs::create_directories(source / "empty folder" / "inner");

  for (const char* level : {"-0", "-6"}) {
    SCOPED_TRACE(level);
    const std::string archiveName = std::string("made") + level + ".zip";
    const fs::path archive = base / archiveName;
    ASSERT_EQ(std::system(("cd " + Quote(source.string()) + " && zip -q -r " + level + " " +
                           Quote(archive.string()) + " .")
                              .c_str()),
              0);
    const fs::path reference = base / (std::string("unzip") + level);
    ASSERT_EQ(std::system(("unzip -q -o " + Quote(archive.string()) + " -d " +
                           Quote(reference.string()))
                              .c_str()),
              0);
    const std::string ours = tmp.path() + "ours" + level;
    ASSERT_TRUE(ExtractArchive((tmp.path() + archiveName).c_str(), ours.c_str(), true));
    const auto expected = Snapshot(reference);
    EXPECT_EQ(Snapshot(base / ("ours" + std::string(level))), expected);
    EXPECT_EQ(expected.size(), 11u);  // the shapes above all arrived
  }
#endif
}
