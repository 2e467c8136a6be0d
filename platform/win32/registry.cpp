// The registry: the Win32 ANSI entry points, thin.
#include <windows.h>

#include "platform/files.h"
#include "platform/inject.h"
#include "platform/system.h"

namespace platform {
namespace {

HKEY ToNative(HKey key) {
  return key == kHKeyCurrentUser ? HKEY_CURRENT_USER : reinterpret_cast<HKEY>(key);
}

}  // namespace

long RegOpenKeyExA(HKey key, const std::string& subKey, uint32_t options, uint32_t samDesired,
                   HKey* result) {
  if (!result) return kErrorInvalidParameter;
  HKEY opened = nullptr;
  const LONG r = ::RegOpenKeyExA(ToNative(key), subKey.c_str(), options, samDesired, &opened);
  *result = r == ERROR_SUCCESS ? reinterpret_cast<HKey>(opened) : 0;
  return r;
}

long RegQueryValueExA(HKey key, const std::string& valueName, uint32_t* type, uint8_t* data,
                      uint32_t* dataSize) {
  if (auto answer = inject::Ask(&inject::Services::regQueryValue, key, valueName, type, data,
                                dataSize))
    return *answer;
  DWORD nativeType = 0;
  DWORD nativeSize = dataSize ? *dataSize : 0;
  const LONG r =
      ::RegQueryValueExA(ToNative(key), valueName.c_str(), nullptr, type ? &nativeType : nullptr,
                         data, dataSize ? &nativeSize : nullptr);
  if (type && (r == ERROR_SUCCESS || r == ERROR_MORE_DATA)) *type = nativeType;
  if (dataSize && (r == ERROR_SUCCESS || r == ERROR_MORE_DATA)) *dataSize = nativeSize;
  return r;
}

long RegCloseKey(HKey key) { return ::RegCloseKey(ToNative(key)); }

}  // namespace platform
