// The POSIX backend's path boundary: drive letters, separators and GBK. (Windows needs
// no such mapping, so this file is empty there.)
#ifndef _WIN32
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/native.h"

using platform::posix::FromNativePath;
using platform::posix::ToNativePath;

namespace {

// Points WINEPREFIX at a folder for the test's duration.
class ScopedWinePrefix {
 public:
  explicit ScopedWinePrefix(const std::string& prefix) {
    if (const char* old = getenv("WINEPREFIX")) saved_ = old, had_ = true;
    setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  ~ScopedWinePrefix() {
    if (had_)
      setenv("WINEPREFIX", saved_.c_str(), 1);
    else
      unsetenv("WINEPREFIX");
  }

 private:
  std::string saved_;
  bool had_ = false;
};

std::filesystem::path MakeScratch() {
  char pattern[] = "/tmp/nativepathXXXXXX";
  return mkdtemp(pattern);
}

void Touch(const std::filesystem::path& file) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}

// Changes the process's current directory for the test's duration.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& folder)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedCwd() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

TEST(PosixPaths, DefaultDriveMapPutsCAtTheRoot) {
  const auto scratch = MakeScratch();
  ScopedWinePrefix prefix((scratch / "no-prefix").string());
  EXPECT_EQ(ToNativePath("C:\\work\\a.txt"), "/work/a.txt");
  EXPECT_EQ(ToNativePath("c:\\"), "/");
  EXPECT_EQ(ToNativePath("C:"), "/");
  EXPECT_EQ(ToNativePath("D:\\x"), std::nullopt);  // unmapped drive
  EXPECT_EQ(ToNativePath("\\\\server\\share\\x"), std::nullopt);
  EXPECT_EQ(ToNativePath("rel\\name"), "rel/name");
  EXPECT_EQ(FromNativePath("/work/a.txt"), "C:\\work\\a.txt");
  EXPECT_EQ(FromNativePath("/"), "C:\\");
  std::filesystem::remove_all(scratch);
}

TEST(PosixPaths, WinePrefixDosdevicesMapTheDrives) {
  const auto scratch = MakeScratch();
  const auto prefix = scratch / "prefix";
  std::filesystem::create_directories(prefix / "dosdevices");
  std::filesystem::create_directories(prefix / "drive_c" / "users");
  std::filesystem::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
  std::filesystem::create_directory_symlink("/", prefix / "dosdevices" / "z:");
  std::filesystem::create_directory_symlink("/dev/null", prefix / "dosdevices" / "com1");
  ScopedWinePrefix guard(prefix.string());
  const std::string driveC = std::filesystem::canonical(prefix / "drive_c").string();

  EXPECT_EQ(ToNativePath("C:\\users\\x"), driveC + "/users/x");
  EXPECT_EQ(ToNativePath("Z:\\etc\\hosts"), "/etc/hosts");
  // The longest matching drive folder wins on the way back.
  EXPECT_EQ(FromNativePath(driveC + "/users/x"), "C:\\users\\x");
  EXPECT_EQ(FromNativePath("/etc/hosts"), "Z:\\etc\\hosts");
  std::filesystem::remove_all(scratch);
}

TEST(PosixPaths, GbkBecomesUtf8AndTrailBytesAreNotSeparators) {
  const auto scratch = MakeScratch();
  ScopedWinePrefix prefix((scratch / "no-prefix").string());
  // "C:\说明淺\a": 淺 is 9C 5C in GBK.
  EXPECT_EQ(ToNativePath("C:\\\xCB\xB5\xC3\xF7\x9C\x5C\\a"),
            "/\xE8\xAF\xB4\xE6\x98\x8E\xE6\xB7\xBA/a");
  EXPECT_EQ(FromNativePath("/\xE8\xAF\xB4\xE6\x98\x8E\xE6\xB7\xBA/a"),
            "C:\\\xCB\xB5\xC3\xF7\x9C\x5C\\a");
  EXPECT_EQ(ToNativePath("C:\\bad\x81"), std::nullopt);  // a lead byte with no trail
  std::filesystem::remove_all(scratch);
}

// Every absolute host path has a drive and comes back from it, whatever the prefix
// holds: when no drive holds "/", the last free letter does.
TEST(PosixPaths, EveryAbsolutePathMapsToADriveAndBack) {
  const auto scratch = MakeScratch();
  Touch(scratch / "outside" / "Setup.exe");
  const std::string outside = (scratch / "outside" / "Setup.exe").string();
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // dosdevices/ name -> target
    char root;                                              // the drive that holds "/"
  };
  const std::string home = (scratch / "home").string();
  std::filesystem::create_directories(home);
  const std::vector<Case> cases = {
      {"sandboxed, only c:", {{"c:", "../drive_c"}}, 'Z'},
      {"z: elsewhere", {{"c:", "../drive_c"}, {"z:", home}}, 'Y'},
      {"z: at /", {{"c:", "../drive_c"}, {"z:", "/"}}, 'Z'},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const auto prefix = scratch / ("prefix" + std::to_string(i));
    std::filesystem::create_directories(prefix / "dosdevices");
    std::filesystem::create_directories(prefix / "drive_c");
    for (const auto& [name, target] : c.links)
      std::filesystem::create_directory_symlink(target, prefix / "dosdevices" / name);
    ScopedWinePrefix guard(prefix.string());
    const std::string drive = std::string(1, c.root) + ":";
    std::string windows = outside;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    EXPECT_EQ(FromNativePath(outside), drive + windows) << c.what;
    EXPECT_EQ(ToNativePath(drive + windows), outside) << c.what;
    EXPECT_EQ(FromNativePath("/"), drive + "\\") << c.what;
    const std::string driveC = std::filesystem::canonical(prefix / "drive_c").string();
    EXPECT_EQ(FromNativePath(driveC + "/x"), "C:\\x") << c.what;
    // "\name" is on the drive of the current directory.
    ScopedCwd cwd(scratch / "outside");
    EXPECT_EQ(ToNativePath("\\tmp"), "/tmp") << c.what;
  }
  std::filesystem::remove_all(scratch);
}

// A host name without a GBK spelling is never handed out garbled: the conversion fails,
// and the process's own paths come back empty with an error that says why.
TEST(PosixPaths, NamesWithoutAGbkSpellingAreNotHandedOut) {
  const auto scratch = MakeScratch();
  ScopedWinePrefix prefix((scratch / "no-prefix").string());
  EXPECT_EQ(FromNativePath("/tmp/Fa\xC3\xA7" "ade"), "");  // "ç"
  EXPECT_EQ(FromNativePath("/tmp/a\\b"), "");  // a "\" inside a name
  EXPECT_EQ(FromNativePath("/tmp/\xFF"), "");   // not UTF-8
  EXPECT_EQ(FromNativePath("/tmp/\xE4\xB8\xAD"), "C:\\tmp\\\xD6\xD0");  // "中"

  const auto odd = scratch / "Fa\xC3\xA7" "ade";
  std::filesystem::create_directories(odd);
  {
    ScopedCwd cwd(odd);
    platform::SetLastError(0);
    EXPECT_EQ(platform::GetCurrentDirectoryA(), "");
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoUnicodeTranslation);
  }
  {
    const char* saved = getenv("TMPDIR");
    const std::string kept = saved ? saved : "";
    setenv("TMPDIR", odd.c_str(), 1);
    EXPECT_EQ(platform::GetTempPathA(), "");
    EXPECT_EQ(platform::GetLastError(), platform::kErrorNoUnicodeTranslation);
    if (saved)
      setenv("TMPDIR", kept.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  Touch(scratch / "a\\b");
  Touch(scratch / "plain.txt");
  std::vector<platform::FolderEntry> entries;
  ASSERT_TRUE(platform::ListFolder(FromNativePath(scratch.string()), &entries));
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>{"plain.txt"});  // not the one with "ç", nor "a\b"
  std::filesystem::remove_all(scratch);
}

// Where the mapping meets the host's case-sensitive names: a name absent as spelled
// takes the existing spelling, an exact name wins, and what is to be created keeps its
// own name below the existing folders.
TEST(PosixPaths, NamesTakeTheirExistingSpelling) {
  const auto scratch = MakeScratch();
  ScopedWinePrefix prefix((scratch / "no-prefix").string());
  const auto host = scratch / "Host";
  Touch(host / "LumoraNew.exe");
  Touch(host / "AppModules" / "Pellix" / "old.dll");
  Touch(host / "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82" / "x");  // "Привет"
  Touch(host / "a.txt");
  Touch(host / "A.TXT");
  const std::string root = FromNativePath(scratch.string());
  const std::string h = host.string();
  struct Case {
    std::string windows;
    std::string native;
  };
  const std::vector<Case> cases = {
      {root + "\\host\\lumoranew.EXE", h + "/LumoraNew.exe"},
      {root + "\\HOST\\appmodules\\PELLIX\\new.dll", h + "/AppModules/Pellix/new.dll"},
      {root + "\\host\\Missing\\pellix\\x", h + "/Missing/pellix/x"},
      {root + "\\host\\appmodules\\", h + "/AppModules/"},
      // "привет" in GBK: Cyrillic letters compare whatever their case too.
      {root + "\\host\\\xA7\xE1\xA7\xE2\xA7\xDA\xA7\xD3\xA7\xD6\xA7\xE4\\x",
       h + "/\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82/x"},
      {root + "\\Host\\a.txt", h + "/a.txt"},
      {root + "\\Host\\A.TXT", h + "/A.TXT"},
      {root + "\\Host\\A.txt", h + "/A.TXT"},  // two matches: the first in byte order
  };
  for (const Case& c : cases) EXPECT_EQ(ToNativePath(c.windows), c.native) << c.windows;
  // keepLastName: only the folders are looked up (a rename that changes only the case).
  EXPECT_EQ(ToNativePath(root + "\\host\\LUMORANEW.EXE", true), h + "/LUMORANEW.EXE");
  std::filesystem::remove_all(scratch);
}

}  // namespace
#endif
