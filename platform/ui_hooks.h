// Where the window framework (ui/) takes over services of platform/dialogs.h
// while an application object runs: message boxes become the framework's modal windows
// (unless the host shows the system's own), the message pump runs the framework's loop,
// and the framework answers for its own windows and its screen. Empty otherwise;
// platform/dialogs.h's own behaviour then applies.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialogs.h"

namespace platform::ui_hooks {

struct Hooks {
  int (*messageBox)(Hwnd owner, const std::string& text, const char* caption,
                    uint32_t type) = nullptr;
  bool (*pumpMessages)() = nullptr;
  // The rectangle of one of the framework's windows; false for another window.
  bool (*windowRect)(Hwnd window, WindowRect* rect) = nullptr;
  // A metric of the host's screen; false when the system should answer.
  bool (*systemMetric)(int index, int* value) = nullptr;
  // Lets a window of the framework take input again, or stops it while a dialog of the
  // system is open over it.
  void (*enableWindow)(Hwnd window, bool enable) = nullptr;
};

Hooks& hooks();

}  // namespace platform::ui_hooks
