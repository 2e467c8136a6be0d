#include "platform/console.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/posix/native.h"
#include "platform/system.h"

namespace platform {

namespace {
std::string WithSlashes(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');  // in UTF-8 a 0x5C is always "\"
  return text;
}
}  // namespace

std::string CommandLinePath(const std::string& arg) {
  std::string native = arg;
  if (native.empty() || native[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) native = std::string(cwd) + "/" + native;
  }
  return posix::FromNativePath(native);
}

std::string ConsoleText(const std::string& gbk) { return AnsiToUtf8(gbk); }

std::string ConsolePath(const std::string& gbk) { return WithSlashes(AnsiToUtf8(gbk)); }

std::optional<std::string> ConsolePathFromUtf8(const std::string& utf8) {
  return WithSlashes(utf8);
}

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void ReportStartFailure(const std::string& program, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", program.c_str(), AnsiToUtf8(text).c_str());
}

}  // namespace platform
