// The POSIX backend's path boundary: drive letters, separators and GBK. (Windows needs
// no such mapping, so this file is empty there.)
#ifndef _WIN32
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

}  // namespace
#endif
