// The console of a command-line program: paths from its command line, and text for its
// terminal. Inside the system every path and name is a GBK byte string with "\"
// separators and drive letters; a Windows console shows GBK as it is, a POSIX terminal
// takes UTF-8 and "/" separators.
#pragma once

#include <optional>
#include <string>

namespace platform {

// A path given on the command line as the system holds paths (on POSIX a host path,
// relative ones taken from the current folder, through the drive map).
std::string CommandLinePath(const std::string& arg);
// GBK text as the console shows it.
std::string ConsoleText(const std::string& gbk);
// A GBK path or stored name as the console shows it, with the console's separators.
std::string ConsolePath(const std::string& gbk);
// A UTF-8 name (one the ANSI code page cannot hold) as the console shows it with its
// separators, where the console takes UTF-8; nullopt where it does not.
std::optional<std::string> ConsolePathFromUtf8(const std::string& utf8);
// True when standard error is a terminal (progress may then be redrawn in place).
bool StderrIsTerminal();
// Tells the user that the program cannot start: a message box on Windows, where a GUI
// program has no console; a line "program: text" on standard error elsewhere.
void ReportStartFailure(const std::string& program, const std::string& text);

}  // namespace platform
