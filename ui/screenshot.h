// Screenshots of an X display, as PNG files.
#pragma once

#include <string>

namespace ui {

// Saves the window whose name (WM_NAME) is title, or the whole screen when title is
// empty, of the display named by display (null: $DISPLAY). Waits up to waitMs for the
// window to be mapped. False with *error set when it cannot.
bool SaveX11Screenshot(const char* display, const std::string& title, int waitMs,
                       const std::string& pngPath, std::string* error);

// Asks the window called title to close (WM_DELETE_WINDOW), as a window manager's close
// button does. False when there is no such window.
bool CloseX11Window(const char* display, const std::string& title, std::string* error);

// True when the display can be opened.
bool X11DisplayWorks(const char* display);

}  // namespace ui
