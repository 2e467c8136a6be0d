// Where the window framework (platform/ui/) takes over two services of platform/dialogs.h
// while an application object runs: message boxes become the framework's modal windows
// (unless the host shows the system's own) and the message pump runs the framework's
// loop. Empty otherwise; platform/dialogs.h's own behaviour then applies.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialogs.h"

namespace platform::ui_hooks {

struct Hooks {
  int (*messageBox)(Hwnd owner, const std::string& text, const char* caption,
                    uint32_t type) = nullptr;
  bool (*pumpMessages)() = nullptr;
};

Hooks& hooks();

}  // namespace platform::ui_hooks
