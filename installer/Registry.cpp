#include "installer/Registry.h"

#include <vector>

#include "platform/files.h"

using namespace platform;

bool TRegistry::OpenKey(const std::string& key) {
  CloseKey();
  HKey opened = 0;
  if (RegOpenKeyExA(FRootKey, key, 0, FAccess, &opened) != kErrorSuccess) return false;
  FCurrentKey = opened;
  return true;
}

void TRegistry::CloseKey() {
  if (FCurrentKey != 0) RegCloseKey(FCurrentKey);
  FCurrentKey = 0;
}

std::string TRegistry::ReadString(const std::string& name) {
  uint32_t type = kRegNone, size = 0;
  if (FCurrentKey == 0 || RegQueryValueExA(FCurrentKey, name, &type, nullptr, &size) != kErrorSuccess ||
      size == 0)
    return {};
  std::vector<uint8_t> data(size);
  if (RegQueryValueExA(FCurrentKey, name, &type, data.data(), &size) != kErrorSuccess)
    throw ERegistryException("Failed to get data for '" + name + "'");
  if (type != kRegSz && type != kRegExpandSz)
    throw ERegistryException("Invalid data type for '" + name + "'");
  size_t length = 0;
  while (length < size && data[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(data.data()), length);
}
