// The folder browser of the headless host: a stand-in for the system's dialog that runs
// the caller's browse callback against a dialog window of its own, records what the
// callback did to it (selection, place, window text) and ends as it was told to. It takes
// the place of the system's browser for as long as it lives.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/dialogs.h"
#include "platform/inject.h"
#include "ui/types.h"

namespace ui {

class TScriptedFolderBrowser {
 public:
  // How the next dialog ends.
  enum TEnding { kCancel, kChooseFolder, kChooseItemWithoutPath, kFailInside };

  explicit TScriptedFolderBrowser(TSize dialogSize = {420, 360});
  TScriptedFolderBrowser(const TScriptedFolderBrowser&) = delete;
  TScriptedFolderBrowser& operator=(const TScriptedFolderBrowser&) = delete;

  void Cancel() { ending_ = kCancel; }
  void ChooseFolder(const std::string& path, int imageIndex = 3);
  void ChooseItemWithoutPath() { ending_ = kChooseItemWithoutPath; }
  // An error raised inside the dialog, after its callback ran.
  void FailInside() { ending_ = kFailInside; }
  // Runs while the dialog is open (after its callback): input for the owner, say.
  std::function<void()> WhileOpen;

  // What the last dialog was given and what its callback did to it.
  struct TRun {
    platform::Hwnd owner = 0;
    std::string title;
    uint32_t flags = 0;
    bool selected = false;
    std::string selection;  // BFFM_SETSELECTIONA with a path
    bool moved = false;
    TPoint position;        // where SetWindowPos put it
    platform::Hwnd insertAfter = 0;
    uint32_t positionFlags = 0;
    bool captioned = false;
    std::string caption;    // WM_SETTEXT
  };
  const TRun& Last() const { return last_; }
  int Runs() const { return runs_; }

 private:
  platform::ItemIdList Browse(platform::BrowseInfoA* info);
  platform::Hwnd Handle() const { return reinterpret_cast<platform::Hwnd>(this); }

  platform::inject::ScopedServices services_;
  TSize size_;
  TEnding ending_ = kCancel;
  std::string folder_;
  int imageIndex_ = 0;
  bool open_ = false;
  TRun last_;
  int runs_ = 0;
};

}  // namespace ui
