// Message boxes, the window-message pump, the two choosers the zip component's "?"
// prompts use, and the folder browser with the few window calls its callback makes.
// Where the window framework runs it answers for its own windows (platform/inject.h);
// without it the POSIX backend shows boxes on stderr and cancels the choosers. Tests
// replace each service through platform::inject.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

using Hwnd = intptr_t;

// ---- MessageBoxA ---------------------------------------------------------------------
// Button sets (the low four bits of the style).
inline constexpr uint32_t kMbOk = 0x0;
inline constexpr uint32_t kMbOkCancel = 0x1;
inline constexpr uint32_t kMbAbortRetryIgnore = 0x2;
inline constexpr uint32_t kMbYesNoCancel = 0x3;
inline constexpr uint32_t kMbYesNo = 0x4;
inline constexpr uint32_t kMbRetryCancel = 0x5;
inline constexpr uint32_t kMbCancelTryContinue = 0x6;
// Icons.
inline constexpr uint32_t kMbIconHand = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconAsterisk = 0x40;
// Default button.
inline constexpr uint32_t kMbDefButton1 = 0x000;
inline constexpr uint32_t kMbDefButton2 = 0x100;
inline constexpr uint32_t kMbDefButton3 = 0x200;
inline constexpr uint32_t kMbDefButton4 = 0x300;
// Modality.
inline constexpr uint32_t kMbApplModal = 0x0000;
inline constexpr uint32_t kMbSystemModal = 0x1000;
inline constexpr uint32_t kMbTaskModal = 0x2000;

// Return codes.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;

// A modal message box. caption null shows the system's default caption ("Error").
// Returns the pressed button's code (0 when the box cannot be shown).
int MessageBoxA(Hwnd owner, const std::string& text, const char* caption, uint32_t type);

// The code of the button that the style makes the default one (what a box answers when
// the user just presses Enter): the button named by kMbDefButtonN when the set has it,
// otherwise the first.
int DefaultButtonAnswer(uint32_t type);
// The answer given when nobody can be asked (no window framework running): the button
// that ends what asked — Cancel, Abort or No where the box has one — so that a question
// asked again until it is answered differently cannot go on for ever.
int UnattendedAnswer(uint32_t type);

// ---- Message pump --------------------------------------------------------------------
// Dispatches every window message waiting for the calling thread (PeekMessageA with
// removal, TranslateMessage, DispatchMessageA). A quit message is posted again and ends
// the pump at once with true; an empty queue gives false.
bool PumpMessages();

// ---- Choosers ------------------------------------------------------------------------
struct OpenFileRequest {
  std::string title;
  // Pairs separated by "|": "Zip Files (*.ZIP)|*.zip|All Files (*.*)|*.*".
  std::string filter;
  std::string initialDir;
};
// A file-open dialog for an existing file. True with *fileName set when the user
// confirms, false when cancelled.
bool GetOpenFileNameA(const OpenFileRequest& request, std::string* fileName);

// Options of the directory chooser.
inline constexpr uint32_t kDirAllowCreate = 0x1;   // the user may type a folder that is missing
inline constexpr uint32_t kDirPromptCreate = 0x2;  // ask before creating it
inline constexpr uint32_t kDirPerformCreate = 0x4; // create it
// A folder chooser opened on initialDir. True with *folder set when the user confirms.
bool SelectDirectoryA(const std::string& initialDir, uint32_t options, std::string* folder);

// ---- Windows, as dialog callbacks see them -------------------------------------------
struct WindowRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
inline constexpr Hwnd kHwndNoTopmost = -2;
inline constexpr uint32_t kSwpNoSize = 0x1;
inline constexpr uint32_t kSwpNoZOrder = 0x4;
inline constexpr uint32_t kWmSetText = 0x000C;
inline constexpr int kSmCxVirtualScreen = 78;
inline constexpr int kSmCyVirtualScreen = 79;

// A window's rectangle in screen coordinates; false for a window nobody knows.
bool GetWindowRect(Hwnd window, WindowRect* rect);
bool SetWindowPos(Hwnd window, Hwnd insertAfter, int x, int y, int cx, int cy, uint32_t flags);
// A message with a text (or no) argument: WM_SETTEXT, BFFM_SETSELECTIONA.
intptr_t SendMessageA(Hwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// The size of the screen (SM_CXVIRTUALSCREEN, SM_CYVIRTUALSCREEN: every monitor
// together); 0 for a metric that is not known.
int GetSystemMetrics(int index);

// ---- SHBrowseForFolderA --------------------------------------------------------------
// Flags of the browse dialog.
inline constexpr uint32_t kBifReturnOnlyFsDirs = 0x0001;
inline constexpr uint32_t kBifDontGoBelowDomain = 0x0002;
inline constexpr uint32_t kBifStatusText = 0x0004;
inline constexpr uint32_t kBifReturnFsAncestors = 0x0008;
inline constexpr uint32_t kBifEditBox = 0x0010;
inline constexpr uint32_t kBifNewDialogStyle = 0x0040;
inline constexpr uint32_t kBifNoNewFolderButton = 0x0200;
inline constexpr uint32_t kBifBrowseForComputer = 0x1000;
inline constexpr uint32_t kBifBrowseForPrinter = 0x2000;
// Messages of the dialog's callback, and the one it may send to the dialog.
inline constexpr uint32_t kBffmInitialized = 1;
inline constexpr uint32_t kBffmSetSelectionA = 0x0466;

// The item a browse dialog returns: empty when nothing was chosen. The shell's allocator
// frees it when it goes.
class ItemIdList {
 public:
  ItemIdList() = default;
  // A file-system folder (the POSIX dialog and stand-ins); an item without a path (the
  // computer or the network root).
  static ItemIdList ForPath(std::string path);
  static ItemIdList WithoutPath();
  // Takes over an item of the Windows shell.
  static ItemIdList Adopt(void* shellItem);
  ~ItemIdList();
  ItemIdList(ItemIdList&& other) noexcept;
  ItemIdList& operator=(ItemIdList&& other) noexcept;
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;
  explicit operator bool() const { return chosen_; }
  void* ShellItem() const { return shellItem_; }
  const std::string* Path() const { return hasPath_ ? &path_ : nullptr; }

 private:
  void Free();
  void* shellItem_ = nullptr;
  bool chosen_ = false;
  bool hasPath_ = false;
  std::string path_;
};

struct BrowseInfoA {
  Hwnd owner = 0;     // disabled while the dialog runs
  std::string title;  // the text above the folders
  uint32_t flags = 0; // kBif...
  // Called with the dialog's window; kBffmInitialized once, before it shows. An error
  // it raises ends the dialog and comes out of SHBrowseForFolderA.
  std::function<int(Hwnd dialog, uint32_t message, intptr_t param)> callback;
  int image = 0;      // set: the chosen item's index in the system image list
};
// The modal folder browser: the chosen item, or an empty one when cancelled.
ItemIdList SHBrowseForFolderA(BrowseInfoA* info);
// The item's file-system path; false (and *path untouched) when it has none.
bool SHGetPathFromIDListA(const ItemIdList& item, std::string* path);

}  // namespace platform
