// File helpers of the extraction tests: dates, listings, and whether read-only files
// are refused to writers here.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_dir.h"


namespace unzip_test {

inline void StampFile(const std::string& path, uint32_t dos) {
  const platform::Handle h = platform::CreateFileA(
      path, platform::kGenericWrite, platform::kShareRead | platform::kShareWrite,
      platform::kOpenExisting);
  ASSERT_NE(h, platform::kInvalidHandle) << path;
  EXPECT_TRUE(platform::SetFileDosDateTime(h, dos));
  platform::CloseHandle(h);
}

inline uint32_t FileDate(const std::string& path) {
  const platform::Handle h =
      platform::CreateFileA(path, platform::kGenericRead,
                            platform::kShareRead | platform::kShareWrite, platform::kOpenExisting);
  if (h == platform::kInvalidHandle) return 0;
  uint32_t dos = 0;
  platform::GetFileDosDateTime(h, &dos);
  platform::CloseHandle(h);
  return dos;
}

// Dates a file on June 1st of a year the DOS format may not hold (before 1980), through
// the host's own calls (file_dates.cpp).
bool SetFileYear(const std::string& path, int year);

// The names in a folder, sorted.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<platform::FolderEntry> entries;
  platform::ListFolder(folder, &entries);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

// Wine running as root opens read-only files for writing (the host's root may write
// anything); Windows and our POSIX layer refuse.
inline bool ReadOnlyFilesAreRefused() {
  testing_support::TempDir tmp;
  const std::string probe = tmp / "probe";
  testing_support::WriteFileBytes(probe, "p");
  platform::SetFileAttributesA(probe, platform::kAttrReadOnly);
  const platform::Handle h = platform::CreateFileA(probe, platform::kGenericWrite,
                                                   platform::kShareNone, platform::kCreateAlways);
  if (h != platform::kInvalidHandle) platform::CloseHandle(h);
  platform::SetFileAttributesA(probe, platform::kAttrNormal);
  return h == platform::kInvalidHandle;
}

}  // namespace unzip_test
