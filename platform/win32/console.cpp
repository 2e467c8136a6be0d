#include "platform/console.h"

#include <io.h>

#include <cstdio>

#include "platform/dialogs.h"

namespace platform {

std::string CommandLinePath(const std::string& arg) { return arg; }  // the ANSI command line

std::string ConsoleText(const std::string& gbk) { return gbk; }

std::string ConsolePath(const std::string& gbk) { return gbk; }

std::optional<std::string> ConsolePathFromUtf8(const std::string& /*utf8*/) {
  return std::nullopt;  // the console shows the ANSI code page
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void ReportStartFailure(const std::string& /*program*/, const std::string& text) {
  MessageBoxA(0, text, nullptr, kMbOk);
}

}  // namespace platform
