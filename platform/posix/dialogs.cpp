// Without a window framework: boxes are written to stderr and answered as nobody is there
// to answer them (UnattendedAnswer), choosers are cancelled, and there is no message queue to pump.
#include "platform/dialogs.h"

#include <cstdio>

#include "platform/inject.h"
#include "platform/system.h"

namespace platform {

int MessageBoxA(Hwnd /*owner*/, const std::string& text, const char* caption, uint32_t type) {
  if (auto answer = inject::Ask(&inject::Services::messageBox, text, caption, type)) return *answer;
  const std::string title = AnsiToUtf8(caption ? std::string(caption) : std::string("Error"));
  std::fprintf(stderr, "[%s] %s\n", title.c_str(), AnsiToUtf8(text).c_str());
  return UnattendedAnswer(type);
}

bool PumpMessages() {
  if (auto answer = inject::Ask(&inject::Services::pumpMessages)) return *answer;
  return false;
}

bool GetOpenFileNameA(const OpenFileRequest& request, std::string* fileName) {
  if (auto answer =
          inject::Ask(&inject::Services::openFileDialog,
                      request.title, request.filter, request.initialDir, fileName))
    return *answer;
  return false;
}

bool SelectDirectoryA(const std::string& initialDir, uint32_t options, std::string* folder) {
  if (auto answer = inject::Ask(&inject::Services::selectDirectory, initialDir, options, folder))
    return *answer;
  return false;
}

}  // namespace platform
