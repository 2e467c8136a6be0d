// What each backend provides below the window calls and the folder browser of
// platform/dialogs.h. The public calls (platform/common/windows.cpp) try the test
// overrides and the window framework first, then these.
#pragma once

#include <string>

#include "platform/dialogs.h"

namespace platform::backend {

bool GetWindowRect(Hwnd window, WindowRect* rect);
bool SetWindowPos(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy, uint32_t flags);
intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
int GetSystemMetrics(int index);

ItemIdList BrowseForFolder(BrowseInfoA* info);
bool ShellItemPath(void* shellItem, std::string* path);
void FreeShellItem(void* shellItem);

}  // namespace platform::backend
