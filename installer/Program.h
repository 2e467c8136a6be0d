// The program entry, apart from main() so that a test can run it on a host of its own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/controls.h"

// Makes the host the window shows on; null with *error saying why there is none.
using THostFactory = std::function<std::unique_ptr<ui::THostSystem>(std::string* error)>;

class TForm1;

// The native host of the platform: what the program's main() uses.
std::unique_ptr<ui::THostSystem> ProgramHost(std::string* error);

// Called once the main window exists, before the message loop: what a developer build
// adds (Setup_developer.cpp). The shipped program passes none.
using TStartHook = std::function<void(ui::TApplication& app, TForm1* form)>;

// Module start-up (the log reads its switch, then the PNG image type registers), the
// application object, the main window from its definition, the message loop until the
// window closes, then module shut-down in the reverse order. 0, or 1 when there is no
// host or no window (reported first: a message box on Windows, stderr elsewhere).
int RunInstaller(const THostFactory& makeHost, const TStartHook& started = nullptr);
