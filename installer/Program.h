// The program entry, apart from main() so that a test can run it on a host of its own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/controls.h"

// Makes the host the window shows on; null with *error saying why there is none.
using THostFactory = std::function<std::unique_ptr<ui::THostSystem>(std::string* error)>;

// The host main() uses: the headless one with INSTALLER_UI_HOST=headless, else the
// native one.
std::unique_ptr<ui::THostSystem> ProgramHost(std::string* error);

// Module start-up (the log reads its switch, then the PNG image type registers), the
// application object, the main window from its definition, the message loop until the
// window closes, then module shut-down in the reverse order. 0, or 1 when there is no
// host or no window (reported first: a message box on Windows, stderr elsewhere).
int RunInstaller(const THostFactory& makeHost);
