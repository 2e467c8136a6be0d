// A small registry accessor over the platform's Reg* services: open a key of
// HKEY_CURRENT_USER with a chosen access, read string values, close.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/system.h"

class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRegistry {
 public:
  explicit TRegistry(uint32_t access = platform::kKeyAllAccess) : FAccess(access) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Opens an existing subkey of the root; never creates one. False when it cannot be
  // opened with the accessor's access.
  bool OpenKey(const std::string& key);
  void CloseKey();

  // A missing or zero-length value reads as "". String and expandable-string values
  // read up to their first NUL, unexpanded. Throws ERegistryException
  // "Failed to get data for '<name>'" when the data cannot be fetched and
  // "Invalid data type for '<name>'" for a value of another type.
  std::string ReadString(const std::string& name);

 private:
  platform::HKey FRootKey = platform::kHKeyCurrentUser;
  uint32_t FAccess;
  platform::HKey FCurrentKey = 0;
};
