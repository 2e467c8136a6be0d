#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/inject.h"

namespace platform {

intptr_t ShellExecuteA(uintptr_t owner, const std::string& operation, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand) {
  if (auto answer =
          inject::Ask(&inject::Services::shellExecute, operation, file, parameters, directory))
    return *answer;
  return reinterpret_cast<intptr_t>(::ShellExecuteA(
      reinterpret_cast<HWND>(owner), operation.c_str(), file.c_str(), parameters.c_str(),
      directory.empty() ? nullptr : directory.c_str(), showCommand));
}

}  // namespace platform
