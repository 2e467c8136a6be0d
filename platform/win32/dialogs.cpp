// Message boxes, the message pump and the choosers: the Win32 entry points.
#include <windows.h>
// Left out by WIN32_LEAN_AND_MEAN.
#include <commdlg.h>
#include <shlobj.h>

#include <exception>
#include <vector>

#include "platform/common/window_backend.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"

namespace platform {

int MessageBoxA(Hwnd owner, const std::string& text, const char* caption, uint32_t type) {
  if (auto answer = inject::Ask(&inject::Services::messageBox, text, caption, type)) return *answer;
  return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption, type);
}

bool PumpMessages() {
  if (auto answer = inject::Ask(&inject::Services::pumpMessages)) return *answer;
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


}  // namespace

bool GetOpenFileNameA(const OpenFileRequest& request, std::string* fileName) {
  if (auto answer =
          inject::Ask(&inject::Services::openFileDialog,
                      request.title, request.filter, request.initialDir, fileName))
    return *answer;
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
  if (auto answer = inject::Ask(&inject::Services::selectDirectory, initialDir, options, folder))
    return *answer;
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

// ---- Window calls and the folder browser ---------------------------------------------

namespace backend {

namespace {

HWND Window(Hwnd window) { return reinterpret_cast<HWND>(window); }

struct BrowseRun {
  BrowseInfoA* info;
  std::exception_ptr error;  // raised by the callback: no exception crosses the shell
};

int CALLBACK BrowseTrampoline(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  auto* run = reinterpret_cast<BrowseRun*>(data);
  if (!run->info->callback || run->error) return 0;
  try {
    return run->info->callback(reinterpret_cast<Hwnd>(dialog), message, param);
  } catch (...) {
    run->error = std::current_exception();
    ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // the dialog ends as cancelled
    return 0;
  }
}

}  // namespace

bool GetWindowRect(Hwnd window, WindowRect* rect) {
  RECT r;
  if (!::GetWindowRect(Window(window), &r)) return false;
  *rect = {r.left, r.top, r.right, r.bottom};
  return true;
}

bool SetWindowPos(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
  return ::SetWindowPos(Window(window), Window(insertAfter), x, y, cx, cy, flags) != 0;
}

intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageA(Window(window), message, wParam, lParam);
}

int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

ItemIdList BrowseForFolder(BrowseInfoA* info) {
  // The new dialog style needs COM on this thread; a thread that has it keeps it.
  const HRESULT com = ::OleInitialize(nullptr);
  BrowseRun run{info, nullptr};
  BROWSEINFOA record = {};
  record.hwndOwner = Window(info->owner);
  record.lpszTitle = info->title.c_str();
  record.ulFlags = info->flags;
  record.lpfn = BrowseTrampoline;
  record.lParam = reinterpret_cast<LPARAM>(&run);
  ItemIdList chosen = ItemIdList::Adopt(::SHBrowseForFolderA(&record));
  info->image = record.iImage;
  if (SUCCEEDED(com)) ::OleUninitialize();
  if (run.error) std::rethrow_exception(run.error);  // the item is freed on the way out
  return chosen;
}

bool ShellItemPath(void* shellItem, std::string* path) {
  char buffer[MAX_PATH + 1] = {};
  if (!::SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(shellItem), buffer)) return false;
  *path = buffer;
  return true;
}

void FreeShellItem(void* shellItem) {
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator) {
    allocator->Free(shellItem);
    allocator->Release();
  }
}

}  // namespace backend

}  // namespace platform
