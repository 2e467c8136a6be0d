// Message boxes, the window-message pump and the two choosers the zip component's "?"
// prompts use. Until the window framework exists, the POSIX backend answers without a
// window: message boxes go to stderr, choosers report "cancelled", the pump finds no
// messages. Tests replace each service through platform::inject.
#pragma once

#include <cstdint>
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

}  // namespace platform
