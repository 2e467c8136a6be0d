// Without a window framework: boxes are written to stderr and answered as nobody is there
// to answer them (UnattendedAnswer), choosers are cancelled, and there is no message queue to pump.
#include "platform/dialogs.h"

#include <cstdio>

#include "platform/inject.h"
#include "platform/system.h"
#include "platform/ui_hooks.h"

namespace platform {

int MessageBoxA(Hwnd owner, const std::string& text, const char* caption, uint32_t type) {
  if (const auto& hook = inject::services().messageBox) return hook(text, caption, type);
  if (auto* box = ui_hooks::hooks().messageBox) return box(owner, text, caption, type);
  const std::string title = AnsiToUtf8(caption ? std::string(caption) : std::string("Error"));
  std::fprintf(stderr, "[%s] %s\n", title.c_str(), AnsiToUtf8(text).c_str());
  return UnattendedAnswer(type);
}

bool PumpMessages() {
  if (const auto& hook = inject::services().pumpMessages) return hook();
  if (auto* pump = ui_hooks::hooks().pumpMessages) return pump();
  return false;
}

bool GetOpenFileNameA(const OpenFileRequest& request, std::string* fileName) {
  if (const auto& hook = inject::services().openFileDialog)
    return hook(request.title, request.filter, request.initialDir, fileName);
  return false;
}

bool SelectDirectoryA(const std::string& initialDir, uint32_t options, std::string* folder) {
  if (const auto& hook = inject::services().selectDirectory)
    return hook(initialDir, options, folder);
  return false;
}

}  // namespace platform
