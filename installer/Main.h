// The installer window: a borderless, fixed-size, image-skinned form built from its
// definition (resources/Main.def) with its seven controls, and the state it keeps.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "controls/VexSpeedButton.h"
#include "controls/XPEditEx.h"
#include "controls/f_PimImageButton.h"
#include "ui/controls.h"
#include "ui/stdctrls.h"

class TForm1 : public ui::TCustomForm {
 public:
  // Creates the window hidden, from the definition; throws ui::EDefinitionError when
  // the definition cannot be read.
  explicit TForm1(ui::TComponent* owner);

  // The controls, in creation order.
  TPNGImageButton* btPgUp = nullptr;
  TPNGImageButton* btnPgDown = nullptr;
  TPNGImageButtonEx* sbtn_Close = nullptr;
  ui::TLabel* lblAZLJ = nullptr;
  TTolvaneEditEx* edtAZLJ = nullptr;
  TVexSpeedButton* btnSetUp = nullptr;
  TVexSpeedButton* btnSelect = nullptr;

  void FormShow(ui::TObject* Sender);
  void sbtn_CloseClick(ui::TObject* Sender);
  void btPgUpMouseDown(ui::TObject* Sender, ui::TMouseButton Button, ui::TShiftState Shift, int X,
                       int Y);
  void btnSetUpClick(ui::TObject* Sender);
  void btnSelectClick(ui::TObject* Sender);

  // The host install folder in use: empty, or a folder that ends in "\".
  const std::string& InstallPath() const { return FInstallPath; }
  // The upgrade archive beside the executable; set when the window is shown.
  const std::string& SourceFile() const { return FSourceFile; }
  // True once an installation has succeeded.
  bool Installed() const { return FInstalled; }
  // Called with the main button's new caption each time an installation changes it: the
  // progress, then the outcome.
  std::function<void(const std::string& caption)> OnInstallCaption;
  // The progress caption is redrawn at most this often (and always at 100 %).
  std::chrono::milliseconds ProgressRedrawInterval{100};

  bool BindEvent(ui::TComponent* component, const std::string& event,
                 const std::string& handler) override;

 private:
  // The install mode of btnSetUpClick and its steps.
  void Install();
  // While the extraction runs: the wait cursor, no click handlers on the two text
  // buttons, the close button disabled. Unlock undoes all three.
  void LockWindow();
  void UnlockWindow();
  void ShowMessage(const std::string& text);
  void ShowInstallCaption(const std::string& caption);

  std::string FInstallPath;
  std::string FSourceFile;
  bool FInstalled = false;
};

// True when a file exists at Path and cannot be opened exclusively for reading and
// writing: a running program holds it, or it is read-only or not writable.
bool IsFileInUse(const std::string& Path);

// Makes the control classes of the window known to definitions (once is enough).
void RegisterInstallerControlClasses();
