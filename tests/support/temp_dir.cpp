#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/ansi_strings.h"
#include "platform/files.h"

namespace testing_support {

using namespace platform;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = GetTempPathA() + "upgtest_" + std::to_string(stamp % 1000000007) +
                            "_" + std::to_string(counter++);
    if (CreateDirectoryA(candidate)) {
      path_ = candidate + "\\";
      return;
    }
  }
  ADD_FAILURE() << "cannot create a temporary folder below " << GetTempPathA();
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_.substr(0, path_.size() - 1));
}

bool MakeFolders(const std::string& path) {
  const std::string p = ExcludeTrailingBackslash(path);
  if (p.empty() || DirectoryExists(p)) return true;
  const size_t slash = AnsiLastDelimiter("\\", p);
  if (slash != std::string::npos && slash > 0 && !MakeFolders(p.substr(0, slash))) return false;
  return CreateDirectoryA(p) || DirectoryExists(p);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  const size_t slash = AnsiLastDelimiter("\\", path);
  if (slash != std::string::npos) MakeFolders(path.substr(0, slash));
  Handle h = CreateFileA(path, kGenericWrite, kShareNone, kCreateAlways);
  if (h == kInvalidHandle) {
    ADD_FAILURE() << "cannot create " << path << " (error " << GetLastError() << ")";
    return false;
  }
  uint32_t written = 0;
  const bool ok = WriteFile(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written) &&
                  written == bytes.size();
  CloseHandle(h);
  if (!ok) ADD_FAILURE() << "cannot write " << path;
  return ok;
}

std::string ReadFileBytes(const std::string& path, bool* ok) {
  if (ok) *ok = false;
  Handle h = CreateFileA(path, kGenericRead, kShareRead, kOpenExisting);
  if (h == kInvalidHandle) return {};
  std::string out;
  char buf[65536];
  uint32_t got = 0;
  bool good = true;
  while ((good = ReadFile(h, buf, sizeof buf, &got)) && got > 0) out.append(buf, got);
  CloseHandle(h);
  if (ok) *ok = good;
  return out;
}

void RemoveTree(const std::string& path) {
  const uint32_t attributes = GetFileAttributesA(path);
  if (attributes == kInvalidFileAttributes) return;
  if (attributes & kAttrReadOnly) SetFileAttributesA(path, attributes & ~kAttrReadOnly);
  if (!(attributes & kAttrDirectory)) {
    DeleteFileA(path);
    return;
  }
  std::vector<FolderEntry> entries;
  if (ListFolder(path, &entries))
    for (const FolderEntry& entry : entries) RemoveTree(path + "\\" + entry.name);
  RemoveDirectoryA(path);
}

}  // namespace testing_support
