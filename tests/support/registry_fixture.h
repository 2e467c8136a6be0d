// Registry keys below HKEY_CURRENT_USER for the length of a test, laid out the same way
// on both backends.
//
// On POSIX the keys are written to a registry file (the "Windows Registry Editor
// Version 5.00" format in UTF-16LE, as `reg export` writes it) in a TempDir, and
// INSTALLER_REGISTRY_FILE names that file until the fixture goes. On Windows they are
// created with RegCreateKeyExA/RegSetValueExA below the fixture's root key, which the
// destructor deletes with everything below it (RegDeleteTreeA). A root key that exists
// already and was not made by a fixture is left alone and fails the test, so that a real
// key of the user is never deleted.
//
// Every name and string is a GBK byte string (valid GBK: the POSIX file holds it as
// UTF-16, as Windows does); every key path is relative to HKEY_CURRENT_USER and must lie
// at or below the root.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace testing_support {

#ifndef _WIN32
// Sets an environment variable (unsets it for nullopt) and restores the earlier state.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const std::string& name, const std::optional<std::string>& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};
#endif

class RegistryFixture {
 public:
  // root: the key the fixture owns, e.g. "SOFTWARE\\Norvell". It exists from the start.
  explicit RegistryFixture(const std::string& root);
  ~RegistryFixture();
  RegistryFixture(const RegistryFixture&) = delete;
  RegistryFixture& operator=(const RegistryFixture&) = delete;

  // Creates the key (and its parents) without values.
  void AddKey(const std::string& key);
  // REG_SZ / REG_EXPAND_SZ: the text with its terminating NUL.
  void SetString(const std::string& key, const std::string& name, const std::string& text);
  void SetExpandString(const std::string& key, const std::string& name, const std::string& text);
  void SetDword(const std::string& key, const std::string& name, uint32_t value);
  // Any type, with the data exactly as RegQueryValueExA hands it out (string types in GBK).
  void SetValue(const std::string& key, const std::string& name, uint32_t type,
                const std::string& data);

#ifndef _WIN32
  // The registry file now in use (a native path), for tests of the POSIX stand-in.
  const std::string& nativeFile() const { return nativeFile_; }
#endif

 private:
  bool InRoot(const std::string& key) const;

  std::string root_;
  bool usable_ = true;
#ifndef _WIN32
  struct Entry {
    std::string name;
    uint32_t type;
    std::string data;
  };
  struct Key {
    std::string path;
    std::vector<Entry> values;
  };
  Key& KeyAt(const std::string& path);
  void WriteFile();

  std::unique_ptr<TempDir> dir_;
  std::vector<Key> keys_;
  unsigned generation_ = 0;
  std::string nativeFile_;
  ScopedEnvironment variable_;
#endif
};

}  // namespace testing_support
