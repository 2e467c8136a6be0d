// FormatMessageA, thin.
#include <windows.h>

#include "platform/errors.h"

namespace platform {

std::string SysErrorMessage(uint32_t errorCode) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
          FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, errorCode, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result = n && text ? std::string(text, n) : std::string();
  if (text) ::LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == ' ' || result.back() == '.'))
    result.pop_back();
  return result;
}

}  // namespace platform
