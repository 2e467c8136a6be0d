// The shared platform suite, files and names: the same cases run on the POSIX backend
// and, under Wine, on the real Win32 entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

using namespace platform;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// "说明淺": the last character's second byte is 0x5C, the byte of "\".
const std::string kTrailBackslashName = "\xCB\xB5\xC3\xF7\x9C\x5C";

uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<uint32_t>(((y - 1980) << 25) | (mo << 21) | (d << 16) | (h << 11) |
                               (mi << 5) | (s / 2));
}

struct ShareCase {
  const char* what;
  uint32_t firstAccess, firstShare, secondAccess, secondShare;
  bool secondOpens;
};

class ShareModes : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ShareModes, SecondOpenerMeetsTheFirstOnesShareMode) {
  const ShareCase& c = GetParam();
  TempDir dir;
  const std::string file = dir / "shared.bin";
  ASSERT_TRUE(WriteFileBytes(file, "data"));
  Handle first = CreateFileA(file, c.firstAccess, c.firstShare, kOpenExisting);
  ASSERT_NE(first, kInvalidHandle);
  Handle second = CreateFileA(file, c.secondAccess, c.secondShare, kOpenExisting);
  EXPECT_EQ(second != kInvalidHandle, c.secondOpens) << c.what;
  if (second == kInvalidHandle)
    EXPECT_EQ(GetLastError(), kErrorSharingViolation) << c.what;
  else
    CloseHandle(second);
  CloseHandle(first);
  // Once the first opener is gone, an exclusive open succeeds again.
  Handle again = CreateFileA(file, kGenericRead | kGenericWrite, kShareNone, kOpenExisting);
  EXPECT_NE(again, kInvalidHandle) << c.what;
  CloseHandle(again);
}

constexpr uint32_t kRW = kGenericRead | kGenericWrite;
constexpr uint32_t kShareRW = kShareRead | kShareWrite;

INSTANTIATE_TEST_SUITE_P(
    Platform, ShareModes,
    ::testing::Values(
        ShareCase{"exclusive holder blocks a reader", kRW, kShareNone, kGenericRead, kShareRW, false},
        ShareCase{"exclusive holder blocks an exclusive open", kGenericRead, kShareNone, kRW, kShareNone, false},
        ShareCase{"reader sharing all lets an exclusive open fail", kGenericRead, kShareRW, kRW, kShareNone, false},
        ShareCase{"readers sharing read coexist", kGenericRead, kShareRead, kGenericRead, kShareRead, true},
        ShareCase{"deny-write holder lets a reader in", kGenericRead, kShareRead, kGenericRead, kShareRW, true},
        ShareCase{"deny-write holder refuses a writer", kGenericRead, kShareRead, kGenericWrite, kShareRW, false},
        ShareCase{"writer refuses a deny-write reader", kGenericWrite, kShareRW, kGenericRead, kShareRead, false},
        ShareCase{"share-all openers coexist", kRW, kShareRW, kRW, kShareRW, true}));

TEST(PlatformFiles, ReadWriteSeekSizeAndTruncate) {
  TempDir dir;
  const std::string file = dir / "io.bin";
  Handle h = CreateFileA(file, kGenericRead | kGenericWrite, kShareNone, kCreateNew);
  ASSERT_NE(h, kInvalidHandle);
  uint32_t done = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &done));
  EXPECT_EQ(done, 10u);
  int64_t size = 0, pos = -1;
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size, 10);
  ASSERT_TRUE(SetFilePointerEx(h, -4, &pos, kFileEnd));
  EXPECT_EQ(pos, 6);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &done));
  EXPECT_EQ(std::string(buf, done), "6789");  // a short read at the end is no error
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(SetFilePointerEx(h, -1, nullptr, kFileBegin));
  ASSERT_TRUE(SetFilePointerEx(h, 3, nullptr, kFileBegin));
  ASSERT_TRUE(SetEndOfFile(h));
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size, 3);
  ASSERT_TRUE(SetFilePointerEx(h, 8, nullptr, kFileBegin));
  ASSERT_TRUE(SetEndOfFile(h));  // extending fills with zeros
  ASSERT_TRUE(FlushFileBuffers(h));
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(ReadFileBytes(file), std::string("012\0\0\0\0\0", 8));
}

TEST(PlatformFiles, CreationDispositions) {
  TempDir dir;
  const std::string file = dir / "d.txt";
  EXPECT_EQ(CreateFileA(file, kGenericRead, kShareRead, kOpenExisting), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(CreateFileA(dir / "no\\such\\d.txt", kGenericRead, kShareRead, kOpenExisting),
            kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);

  ASSERT_TRUE(WriteFileBytes(file, "old contents"));
  EXPECT_EQ(CreateFileA(file, kGenericWrite, kShareNone, kCreateNew), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorFileExists);

  Handle h = CreateFileA(file, kGenericWrite, kShareNone, kOpenAlways);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  CloseHandle(h);
  EXPECT_EQ(ReadFileBytes(file), "old contents");  // open-always keeps the data

  h = CreateFileA(file, kGenericWrite, kShareNone, kCreateAlways);
  ASSERT_NE(h, kInvalidHandle);
  CloseHandle(h);
  EXPECT_EQ(ReadFileBytes(file), "");
  // A folder is not a file to open.
  EXPECT_EQ(CreateFileA(dir.path().substr(0, dir.path().size() - 1), kGenericRead, kShareRead,
                        kOpenExisting),
            kInvalidHandle);
}

TEST(PlatformFiles, TruncatingOpenRefusedByAHolderLeavesTheDataAlone) {
  TempDir dir;
  const std::string file = dir / "held.txt";
  ASSERT_TRUE(WriteFileBytes(file, "precious"));
  Handle holder = CreateFileA(file, kGenericRead, kShareRead, kOpenExisting);
  ASSERT_NE(holder, kInvalidHandle);
  EXPECT_EQ(CreateFileA(file, kGenericWrite, kShareNone, kCreateAlways), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  CloseHandle(holder);
  EXPECT_EQ(ReadFileBytes(file), "precious");
}

TEST(PlatformFiles, ReadOnlyAttributeGuardsTheFile) {
  TempDir dir;
  const std::string file = dir / "ro.txt";
  ASSERT_TRUE(WriteFileBytes(file, "keep"));
  EXPECT_EQ(GetFileAttributesA(file) & kAttrReadOnly, 0u);
  ASSERT_TRUE(SetFileAttributesA(file, kAttrReadOnly));
  EXPECT_NE(GetFileAttributesA(file) & kAttrReadOnly, 0u);

  Handle writer = CreateFileA(file, kGenericWrite, kShareNone, kOpenExisting);
  if (writer != kInvalidHandle && testing_support::RunningUnderWine()) {
    // Wine maps the attribute to permission bits, which do not stop root.
    CloseHandle(writer);
    SetFileAttributesA(file, kAttrNormal);
    GTEST_SKIP() << "Wine running as root does not enforce the read-only attribute";
  }
  EXPECT_EQ(writer, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(CreateFileA(file, kGenericWrite, kShareNone, kCreateAlways), kInvalidHandle);
  EXPECT_FALSE(DeleteFileA(file));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  Handle reader = CreateFileA(file, kGenericRead, kShareRead, kOpenExisting);
  EXPECT_NE(reader, kInvalidHandle);
  CloseHandle(reader);
  EXPECT_EQ(ReadFileBytes(file), "keep");

  ASSERT_TRUE(SetFileAttributesA(file, kAttrNormal));
  EXPECT_EQ(GetFileAttributesA(file) & kAttrReadOnly, 0u);
  EXPECT_TRUE(DeleteFileA(file));
  EXPECT_FALSE(FileExists(file));
}

TEST(PlatformFiles, ExistenceTestsTellFilesFromFolders) {
  TempDir dir;
  const std::string folder = dir / "sub";
  const std::string file = dir / "file.txt";
  ASSERT_TRUE(CreateDirectoryA(folder));
  ASSERT_TRUE(WriteFileBytes(file, "x"));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_TRUE(DirectoryExists(folder + "\\"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(FileExists(dir / "missing"));
  EXPECT_FALSE(DirectoryExists(dir / "missing"));
  EXPECT_EQ(GetFileAttributesA(dir / "missing"), kInvalidFileAttributes);
  EXPECT_NE(GetFileAttributesA(folder) & kAttrDirectory, 0u);
  EXPECT_EQ(GetFileAttributesA(file) & kAttrDirectory, 0u);

  EXPECT_FALSE(CreateDirectoryA(folder));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(CreateDirectoryA(dir / "a\\b"));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_FALSE(DeleteFileA(folder));
  ASSERT_TRUE(WriteFileBytes(folder + "\\inner.txt", "y"));
  EXPECT_FALSE(RemoveDirectoryA(folder));
  EXPECT_TRUE(DeleteFileA(folder + "\\inner.txt"));
  EXPECT_TRUE(RemoveDirectoryA(folder));
}

TEST(PlatformFiles, DeleteAndRenameRespectHoldersThatDoNotShareDelete) {
  TempDir dir;
  const std::string file = dir / "busy.db";
  ASSERT_TRUE(WriteFileBytes(file, "db"));
  Handle holder = CreateFileA(file, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
  ASSERT_NE(holder, kInvalidHandle);
  EXPECT_FALSE(DeleteFileA(file));
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);
  EXPECT_FALSE(MoveFileA(file, dir / "moved.db"));
  CloseHandle(holder);
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(MoveFileA(file, dir / "moved.db"));
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(dir / "moved.db"), "db");
  ASSERT_TRUE(WriteFileBytes(file, "other"));
  EXPECT_FALSE(MoveFileA(file, dir / "moved.db"));  // never over an existing name
  EXPECT_EQ(ReadFileBytes(dir / "moved.db"), "db");
}

// A replacing rename takes the target's place in one step, or changes nothing.
TEST(PlatformFiles, ReplacingRenameRefusesWhatWindowsKeeps) {
  TempDir dir;
  const std::string work = dir / "work.tmp", target = dir / "target.dll";
  const auto fresh = [&] {
    ASSERT_TRUE(WriteFileBytes(work, "new"));
    ASSERT_TRUE(WriteFileBytes(target, "old"));
  };
  fresh();
  EXPECT_FALSE(MoveFileExA(work, target, 0)) << "without the flag, never over a file";
  EXPECT_TRUE(MoveFileExA(work, target, kMoveFileReplaceExisting));
  EXPECT_EQ(ReadFileBytes(target), "new");
  EXPECT_FALSE(FileExists(work));

  // A holder that shares reading and writing but not deletion keeps the file.
  fresh();
  Handle holder = CreateFileA(target, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
  ASSERT_NE(holder, kInvalidHandle);
  EXPECT_FALSE(MoveFileExA(work, target, kMoveFileReplaceExisting));
  CloseHandle(holder);
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_TRUE(FileExists(work));

  // Nor does a folder give way.
  ASSERT_TRUE(CreateDirectoryA(dir / "folder"));
  EXPECT_FALSE(MoveFileExA(work, dir / "folder", kMoveFileReplaceExisting));
  EXPECT_TRUE(DirectoryExists(dir / "folder"));

  // A read-only target stays (Wine running as root lets it go, as the host would).
  ASSERT_TRUE(SetFileAttributesA(target, kAttrReadOnly));
  const Handle probe = CreateFileA(target, kGenericWrite, kShareRead | kShareWrite, kOpenExisting);
  if (probe != kInvalidHandle) {
    CloseHandle(probe);
  } else {
    EXPECT_FALSE(MoveFileExA(work, target, kMoveFileReplaceExisting));
    EXPECT_EQ(ReadFileBytes(target), "old");
  }
  SetFileAttributesA(target, kAttrNormal);
}

TEST(PlatformFiles, CopyHonoursFailIfExists) {
  TempDir dir;
  const std::string from = dir / "a.db", to = dir / "b.db";
  ASSERT_TRUE(WriteFileBytes(from, std::string(200000, 'q') + "end"));
  ASSERT_TRUE(CopyFileA(from, to, true));
  EXPECT_EQ(ReadFileBytes(to), ReadFileBytes(from));
  ASSERT_TRUE(WriteFileBytes(from, "newer"));
  EXPECT_FALSE(CopyFileA(from, to, true));
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  EXPECT_EQ(ReadFileBytes(to).size(), 200003u);
  ASSERT_TRUE(CopyFileA(from, to, false));
  EXPECT_EQ(ReadFileBytes(to), "newer");
  EXPECT_FALSE(CopyFileA(dir / "missing", dir / "c.db", false));
  EXPECT_FALSE(FileExists(dir / "c.db"));
}

TEST(PlatformFiles, ListFolderNamesEntriesAndTheirKinds) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "one.txt", "1"));
  ASSERT_TRUE(CreateDirectoryA(dir / "two"));
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(dir.path().substr(0, dir.path().size() - 1), &entries));
  ASSERT_EQ(entries.size(), 2u);
  for (const FolderEntry& e : entries) {
    if (e.name == "one.txt")
      EXPECT_EQ(e.attributes & kAttrDirectory, 0u);
    else
      EXPECT_EQ(e.name, "two");
  }
  EXPECT_FALSE(ListFolder(dir / "missing", &entries));
}

// DOS date/time stamps survive a round trip through the file system, read as local time.
TEST(PlatformFiles, DosDateTimeRoundTrips) {
  TempDir dir;
  const std::string file = dir / "stamp.txt";
  ASSERT_TRUE(WriteFileBytes(file, "t"));
  const uint32_t stamps[] = {Dos(1980, 1, 1, 0, 0, 0),   Dos(1999, 12, 31, 23, 59, 58),
                             Dos(2000, 2, 29, 12, 30, 0), Dos(2018, 7, 2, 9, 5, 2),
                             Dos(2024, 3, 31, 2, 30, 10), Dos(2037, 6, 15, 18, 0, 44)};
  for (uint32_t stamp : stamps) {
    Handle h = CreateFileA(file, kGenericWrite, kShareNone, kOpenExisting);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_TRUE(SetFileDosDateTime(h, stamp));
    CloseHandle(h);
    h = CreateFileA(file, kGenericRead, kShareRead, kOpenExisting);
    uint32_t back = 0;
    EXPECT_TRUE(GetFileDosDateTime(h, &back));
    CloseHandle(h);
    EXPECT_EQ(back, stamp) << std::hex << stamp;
  }
}

TEST(PlatformFiles, InvalidDosDateTimeIsRefused) {
  TempDir dir;
  const std::string file = dir / "stamp.txt";
  ASSERT_TRUE(WriteFileBytes(file, "t"));
  Handle h = CreateFileA(file, kGenericWrite, kShareNone, kOpenExisting);
  ASSERT_NE(h, kInvalidHandle);
  for (uint32_t bad : {Dos(2000, 13, 1, 0, 0, 0), Dos(2000, 0, 1, 0, 0, 0), Dos(2000, 1, 0, 0, 0, 0),
                       Dos(2000, 1, 1, 24, 0, 0), Dos(2000, 1, 1, 0, 60, 0), Dos(2000, 4, 31, 0, 0, 0)})
    EXPECT_FALSE(SetFileDosDateTime(h, bad)) << std::hex << bad;
  CloseHandle(h);
}

// A double-byte name whose last byte is 0x5C is one name, not a folder plus an empty name.
TEST(PlatformFiles, GbkNamesEndingInByte5CRoundTrip) {
  TempDir dir;
  const std::string folder = dir / kTrailBackslashName;
  ASSERT_TRUE(CreateDirectoryA(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  const std::string file = folder + "\\" + kTrailBackslashName + ".txt";
  ASSERT_TRUE(WriteFileBytes(file, "gbk"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ReadFileBytes(file), "gbk");
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(folder, &entries));
  std::string names;
  for (const FolderEntry& e : entries) names += "[" + e.name + "]";
  ASSERT_EQ(entries.size(), 1u) << names;
  EXPECT_EQ(entries[0].name, kTrailBackslashName + ".txt");
}

// The names of a folder in byte order, joined with "|".
std::string SortedNames(const std::string& folder) {
  std::vector<FolderEntry> entries;
  if (!ListFolder(folder, &entries)) return "(cannot list)";
  std::vector<std::string> names;
  for (const FolderEntry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
  return joined;
}

// Names are found whatever their case, as Windows finds them: the host product was
// installed by programs that may spell its files and folders otherwise than the upgrade.
TEST(PlatformFiles, NamesAreFoundWhateverTheirCase) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir / "Host\\LumoraNew.exe", "MZ"));
  ASSERT_TRUE(WriteFileBytes(dir / "Host\\AppModules\\Pellix\\old.dll", "old"));
  EXPECT_TRUE(FileExists(dir / "host\\Lumoranew.exe"));
  EXPECT_TRUE(DirectoryExists(dir / "HOST\\appmodules\\pellix\\"));
  EXPECT_EQ(ReadFileBytes(dir / "host\\APPMODULES\\Pellix\\OLD.DLL"), "old");

  // What is created lands in the existing folders and keeps its own name; what exists
  // keeps its spelling when it is replaced.
  EXPECT_FALSE(CreateDirectoryA(dir / "host\\appmodules"));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  ASSERT_TRUE(WriteFileBytes(dir / "host\\appmodules\\pellix\\New.dll", "new"));
  ASSERT_TRUE(WriteFileBytes(dir / "host\\appmodules\\pellix\\OLD.dll", "replaced"));
  ASSERT_TRUE(CopyFileA(dir / "HOST\\lumoranew.EXE", dir / "host\\appmodules\\Copy.exe", true));
  EXPECT_FALSE(CopyFileA(dir / "host\\lumoranew.exe", dir / "host\\appmodules\\COPY.EXE", true));
  EXPECT_EQ(SortedNames(dir / "Host"), "AppModules|LumoraNew.exe");
  EXPECT_EQ(SortedNames(dir / "Host\\AppModules"), "Copy.exe|Pellix");
  EXPECT_EQ(SortedNames(dir / "Host\\AppModules\\Pellix"), "New.dll|old.dll");
  EXPECT_EQ(ReadFileBytes(dir / "Host\\AppModules\\Pellix\\old.dll"), "replaced");

  // Attributes, renames (also one that changes only the case) and deletion.
  EXPECT_TRUE(SetFileAttributesA(dir / "host\\appmodules\\copy.exe", kAttrReadOnly));
  EXPECT_EQ(GetFileAttributesA(dir / "Host\\AppModules\\Copy.exe") & kAttrReadOnly, kAttrReadOnly);
  EXPECT_TRUE(SetFileAttributesA(dir / "HOST\\APPMODULES\\COPY.EXE", kAttrNormal));
  EXPECT_TRUE(MoveFileA(dir / "host\\appmodules\\pellix\\NEW.DLL",
                        dir / "HOST\\APPMODULES\\pellix\\moved.dll"));
  EXPECT_FALSE(MoveFileA(dir / "host\\appmodules\\pellix\\moved.dll",
                         dir / "host\\appmodules\\pellix\\Old.Dll"));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_TRUE(MoveFileA(dir / "host\\appmodules\\pellix\\moved.dll",
                        dir / "host\\appmodules\\pellix\\Moved.DLL"));
  // Windows and the POSIX backend take the new spelling; Wine 8 keeps the old one.
  EXPECT_EQ(SortedNames(dir / "Host\\AppModules\\Pellix"),
            testing_support::RunningUnderWine() ? "moved.dll|old.dll" : "Moved.DLL|old.dll");
  EXPECT_TRUE(DeleteFileA(dir / "host\\appmodules\\pellix\\MOVED.dll"));
  EXPECT_TRUE(DeleteFileA(dir / "host\\appmodules\\pellix\\OLD.DLL"));
  EXPECT_TRUE(RemoveDirectoryA(dir / "host\\appmodules\\PELLIX"));
  EXPECT_EQ(SortedNames(dir / "Host\\AppModules"), "Copy.exe");

  // A folder that is missing whatever the case stays missing.
  EXPECT_FALSE(FileExists(dir / "host\\missing\\x.dll"));
  EXPECT_FALSE(CreateDirectoryA(dir / "host\\missing\\sub"));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST(PlatformProcess, CurrentDirectoryAndModulePath) {
  TempDir dir;
  const std::string before = GetCurrentDirectoryA();
  ASSERT_FALSE(before.empty());
  const std::string target = dir.path().substr(0, dir.path().size() - 1);
  ASSERT_TRUE(SetCurrentDirectoryA(target));
  EXPECT_TRUE(DirectoryExists(GetCurrentDirectoryA()));
  ASSERT_TRUE(WriteFileBytes("relative.txt", "here"));
  EXPECT_TRUE(FileExists(dir / "relative.txt"));
  EXPECT_TRUE(SetCurrentDirectoryA(before));
  EXPECT_EQ(GetCurrentDirectoryA(), before);
  EXPECT_FALSE(SetCurrentDirectoryA(dir / "missing"));

  const std::string self = GetModuleFileNameA();
  EXPECT_TRUE(FileExists(self)) << self;
  EXPECT_NE(self.find("platform_tests"), std::string::npos) << self;
  EXPECT_EQ(self[1], ':') << "a drive-qualified path: " << self;
}

TEST(PlatformClock, LocalTimeIsAPlausibleCalendarTime) {
  const SystemTime a = GetLocalTime();
  EXPECT_GE(a.year, 2020);
  EXPECT_TRUE(a.month >= 1 && a.month <= 12);
  EXPECT_TRUE(a.day >= 1 && a.day <= 31);
  EXPECT_LT(a.hour, 24);
  EXPECT_LT(a.milliseconds, 1000);
  EXPECT_LT(a.dayOfWeek, 7);
  EXPECT_EQ(TimeSeparator(), ":");
}

TEST(PlatformCodePages, LeadBytesOfCodePage936) {
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(IsDBCSLeadByte(static_cast<uint8_t>(b)), b >= 0x81 && b <= 0xFE) << b;
}

TEST(PlatformCodePages, ConversionsBetweenGbkAndUtf8) {
  const std::string gbk = "\xC9\xFD\xBC\xB6" + kTrailBackslashName;  // 升级说明淺
  const std::string utf8 = "\xE5\x8D\x87\xE7\xBA\xA7\xE8\xAF\xB4\xE6\x98\x8E\xE6\xB7\xBA";
  EXPECT_EQ(AnsiToUtf8(gbk), utf8);
  EXPECT_EQ(Utf8ToAnsi(utf8), gbk);
  EXPECT_EQ(Utf8ToAnsi("plain"), "plain");
  EXPECT_EQ(Utf8ToAnsi("\xED\x95\x9C"), std::nullopt);  // Hangul: not in code page 936
  EXPECT_EQ(Utf8ToAnsi("\xC3\x28"), std::nullopt);      // not UTF-8 at all
  // OEM and ANSI are both code page 936 here: the bytes stay as they are.
  EXPECT_EQ(OemToCharA(gbk), gbk);
  EXPECT_EQ(OemToCharA("README.TXT"), "README.TXT");
}

TEST(PlatformFiles, CreateFolderPathMakesEveryLevelAndWalksDoubleByteNames) {
  TempDir dir;
  // The middle level ends in a 0x5C trail byte: splitting it there would create "说明\x9C".
  const std::string deep = dir / (kTrailBackslashName + "\\a\\b");
  EXPECT_TRUE(CreateFolderPath(deep + "\\"));
  EXPECT_TRUE(DirectoryExists(dir / kTrailBackslashName));
  EXPECT_TRUE(DirectoryExists(deep));
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolder(dir.path(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, kTrailBackslashName);
  EXPECT_TRUE(CreateFolderPath(deep)) << "already there";
  // Under a file nothing can be made.
  ASSERT_TRUE(WriteFileBytes(dir / "file", "x"));
  EXPECT_FALSE(CreateFolderPath(dir / "file\\sub"));
}

}  // namespace
