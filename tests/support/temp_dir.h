// Test helpers shared by every module's tests: a scratch folder that removes itself,
// and small file helpers that go through the platform layer (so paths are the
// system's GBK byte strings on both backends).
#pragma once

#include <string>

namespace testing_support {

// A fresh folder below the platform's temporary folder, deleted with its contents when
// the object goes. path() ends in "\".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + relative
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

// Writes (replacing) a file with the given bytes; creates missing folders. Fails the
// test (ADD_FAILURE) and returns false when the platform refuses.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// The whole file, or nullopt-like empty with ok=false.
std::string ReadFileBytes(const std::string& path, bool* ok = nullptr);
// Creates every missing folder of path (which names a folder).
bool MakeFolders(const std::string& path);
// Removes a file or a folder tree, clearing read-only attributes on the way.
void RemoveTree(const std::string& path);

// True when the tests run on the Win32 backend under Wine rather than on Windows.
bool RunningUnderWine();

}  // namespace testing_support
