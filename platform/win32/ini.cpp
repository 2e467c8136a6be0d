// INI reading: the Win32 ANSI entry point, thin.
#include <windows.h>

#include <vector>

#include "platform/system.h"

namespace platform {

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, const std::string& fileName) {
  // A value that fills the buffer comes back cut to size - 1 bytes: grow and ask again.
  constexpr DWORD kLargest = 1u << 24;
  std::vector<char> buffer(256);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                               buffer.data(), size, fileName.c_str());
    if (n + 1 < size || size >= kLargest) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace platform
