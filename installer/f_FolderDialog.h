// The folder chooser: a component over the system's folder browser that opens it on a
// folder, at a place of the caller's choosing and with the caller's window text, and
// hands back the chosen file-system folder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/dialogs.h"
#include "ui/controls.h"

enum TOptions {
  fdoBrowseForComputer,
  fdoBrowseForPrinter,
  fdoDontgoBelowDomain,
  fdoReturnFSAncestors,
  fdoReturnOnlyFSDirs,
  fdoStatusText,
  fdoNewDialogStyle,
  fdoNoNewFolderButton,
  fdoEditBox,
};

// A set of TOptions; bit n of Bits stands for the option of ordinal n.
struct TFolderOptions {
  uint32_t Bits = 0;
  TFolderOptions() = default;
  TFolderOptions(std::initializer_list<TOptions> options) {
    for (TOptions o : options) Bits |= 1u << o;
  }
  bool Contains(TOptions o) const { return (Bits >> o) & 1u; }
  // The browse dialog's flags word: the flag of every option in the set.
  uint32_t BrowseFlags() const;
  bool operator==(const TFolderOptions&) const = default;
};

enum TDialogPosition { fdpDefault, fdpScreenCenter, fdpXY };

class TFolderDialog : public ui::TComponent {
 public:
  explicit TFolderDialog(ui::TComponent* owner = nullptr);

  std::string Caption;  // the dialog's window text; empty keeps the system's
  std::string Title;    // the text above the folders
  std::string Directory;  // selected when the dialog opens; the choice after a success
  TFolderOptions Options{fdoNewDialogStyle};
  TDialogPosition DialogPosition = fdpDefault;
  int DialogX = 0;
  int DialogY = 0;
  int ImageIndex() const { return FImageIndex; }

  // The modal dialog; true when the user chose a folder that has a file-system path.
  bool Browse();

 private:
  // Places the dialog, selects Directory and sets the caption once the dialog exists.
  int BrowseCallback(platform::Hwnd dialog, uint32_t message, intptr_t param);

  platform::Hwnd FOwnerHandle = 0;
  int FImageIndex = 0;
};

// Runs a folder dialog once; on true Directory holds the chosen folder, on false it is
// left as it was.
bool SelectFolder(const std::string& Caption, const std::string& Title, std::string& Directory,
                  TFolderOptions Options, TDialogPosition Position, int X, int Y);
