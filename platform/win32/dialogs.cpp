// Message boxes, the message pump and the choosers: the Win32 entry points.
#include <windows.h>
// Left out by WIN32_LEAN_AND_MEAN.
#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "platform/ui_hooks.h"

namespace platform {

int MessageBoxA(Hwnd owner, const std::string& text, const char* caption, uint32_t type) {
  if (const auto& hook = inject::services().messageBox) return hook(text, caption, type);
  if (auto* box = ui_hooks::hooks().messageBox) return box(owner, text, caption, type);
  return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption, type);
}

bool PumpMessages() {
  if (const auto& hook = inject::services().pumpMessages) return hook();
  if (auto* pump = ui_hooks::hooks().pumpMessages) return pump();
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return true;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return false;
}

namespace {

// comdlg32 is loaded on first use so that programs that never show the dialog do not
// depend on it.
using GetOpenFileNameFn = BOOL(WINAPI*)(LPOPENFILENAMEA);

GetOpenFileNameFn OpenFileEntry() {
  static GetOpenFileNameFn entry = [] {
    HMODULE module = ::LoadLibraryA("comdlg32.dll");
    return module ? reinterpret_cast<GetOpenFileNameFn>(
                        reinterpret_cast<void*>(::GetProcAddress(module, "GetOpenFileNameA")))
                  : nullptr;
  }();
  return entry;
}

struct BrowseState {
  std::string initialDir;
  std::string typed;  // a name typed into the edit box that is not an existing folder
};

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  auto* state = reinterpret_cast<BrowseState*>(data);
  if (message == BFFM_INITIALIZED && !state->initialDir.empty()) {
    ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                   reinterpret_cast<LPARAM>(state->initialDir.c_str()));
  } else if (message == BFFM_VALIDATEFAILEDA) {
    state->typed = reinterpret_cast<const char*>(param);
    return 0;  // close the chooser; the typed name is the answer
  }
  return 0;
}

bool CreateFolderPath(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  if (p.size() < 3 || DirectoryExists(p)) return true;
  const size_t slash = p.find_last_of('\\');
  if (slash != std::string::npos && slash > 1) CreateFolderPath(p.substr(0, slash + 1));
  return CreateDirectoryA(p) || DirectoryExists(p);
}

}  // namespace

bool GetOpenFileNameA(const OpenFileRequest& request, std::string* fileName) {
  if (const auto& hook = inject::services().openFileDialog)
    return hook(request.title, request.filter, request.initialDir, fileName);
  GetOpenFileNameFn entry = OpenFileEntry();
  if (!entry) return false;
  std::string filter = request.filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  std::vector<char> name(MAX_PATH * 4, '\0');
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ::GetActiveWindow();
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
  ofn.lpstrTitle = request.title.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!entry(&ofn)) return false;
  *fileName = name.data();
  return true;
}

bool SelectDirectoryA(const std::string& initialDir, uint32_t options, std::string* folder) {
  if (const auto& hook = inject::services().selectDirectory)
    return hook(initialDir, options, folder);
  BrowseState state{initialDir, {}};
  char display[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = ::GetActiveWindow();
  info.pszDisplayName = display;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  if (options & kDirAllowCreate) info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&state);
  LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
  std::string result;
  if (chosen) {
    char path[MAX_PATH] = {};
    if (::SHGetPathFromIDListA(chosen, path)) result = path;
    ::CoTaskMemFree(chosen);
  }
  if (!state.typed.empty()) result = state.typed;
  if (result.empty()) return false;
  if ((options & kDirAllowCreate) && !DirectoryExists(result)) {
    if (options & kDirPromptCreate) {
      const std::string question = "The " + result + " directory does not exist. Create it?";
      if (MessageBoxA(0, question, "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    }
    if (options & kDirPerformCreate) CreateFolderPath(result);
  }
  *folder = result;
  return true;
}

}  // namespace platform
