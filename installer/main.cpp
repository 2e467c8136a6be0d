// Program entry. Until the window exists this runs the start-up and shut-down order of
// the program around the host lookup and reports what the lookup found.
#include <cstdio>
#include <exception>
#include <string>

#include "installer/HostLookup.h"
#include "log/f_Log.h"
#include "platform/system.h"

namespace {

// Terminals here speak UTF-8; the system's strings are GBK.
std::string ForTerminal(const std::string& gbk) {
#ifdef _WIN32
  return gbk;
#else
  return platform::AnsiToUtf8(gbk);
#endif
}

}  // namespace

int main() {
  daemon_log::LogModuleStartup();
  int status = 0;
  try {
    const std::string folder = GetLumoraPathByRegedit();
    if (folder.empty())
      std::printf("host installation: not found\n");
    else
      std::printf("host installation: %s\n", ForTerminal(folder).c_str());
  } catch (const std::exception& error) {
    std::printf("error: %s\n", ForTerminal(error.what()).c_str());
    status = 1;
  }
  daemon_log::LogModuleShutdown();
  return status;
}
