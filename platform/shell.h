// Starting a program as the shell's "open" verb does.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

inline constexpr int kSwShow = 5;
// Results of ShellExecuteA: above 32 is success.
inline constexpr intptr_t kShellFileNotFound = 2;
inline constexpr intptr_t kShellNoAssociation = 31;

// Opens file with operation ("open"): a program is started with parameters in
// directory (the current one when empty) and the call returns without waiting for it.
// On Windows the shell does it. On POSIX a native executable is started directly, and a
// Windows program (a file beginning with "MZ") through `wine` when Wine is on the PATH,
// in the environment of this process (so with its WINEPREFIX); anything else has no
// association. owner is the window that asks (0 for none).
intptr_t ShellExecuteA(uintptr_t owner, const std::string& operation, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand);

}  // namespace platform
