// The system's text for an error code (FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM),
// without the trailing line break.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::string SysErrorMessage(uint32_t errorCode);

}  // namespace platform
