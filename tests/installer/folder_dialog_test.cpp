// The folder chooser on the headless host: the component against the scripted browser
// (what its callback does to the dialog: selection, place, caption), SelectFolder, and
// the window's "..." button.
#include <gtest/gtest.h>

#include <string>

#include "installer/Main.h"
#include "installer/f_FolderDialog.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "ui/scripted_folder_browser.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/headless_fixture.h"

namespace {

using testing_support::TempDir;
using ui::TScriptedFolderBrowser;

const std::string kChoose = "\xD1\xA1\xD4\xF1\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6";  // 选择安装路径

class FolderDialog : public ui_testing::HeadlessApp {
 protected:
  TScriptedFolderBrowser browser{{400, 300}};
};

TEST_F(FolderDialog, StartsAsDeclaredAndMapsEachOptionToItsFlag) {
  TFolderDialog dialog;
  EXPECT_EQ(dialog.Directory, platform::GetCurrentDirectoryA());
  EXPECT_EQ(dialog.Options.Bits, 64u);
  EXPECT_EQ(dialog.DialogPosition, fdpDefault);
  EXPECT_EQ(dialog.DialogX, 0);
  EXPECT_EQ(dialog.ImageIndex(), 0);
  const struct {
    TOptions option;
    uint32_t flag;
  } table[] = {{fdoBrowseForComputer, 0x1000}, {fdoBrowseForPrinter, 0x2000},
               {fdoDontgoBelowDomain, 0x2},    {fdoReturnFSAncestors, 0x8},
               {fdoReturnOnlyFSDirs, 0x1},     {fdoStatusText, 0x4},
               {fdoNewDialogStyle, 0x40},      {fdoNoNewFolderButton, 0x200},
               {fdoEditBox, 0x10}};
  for (const auto& row : table) EXPECT_EQ(TFolderOptions{row.option}.BrowseFlags(), row.flag);
  EXPECT_EQ((TFolderOptions{fdoEditBox, fdoReturnOnlyFSDirs}.BrowseFlags()), 0x11u);
}

TEST_F(FolderDialog, TheCallbackSelectsPlacesAndCaptionsTheDialog) {
  TempDir dir;
  const struct {
    TDialogPosition position;
    int x, y;
    ui::TPoint expected;
  } table[] = {
      {fdpXY, 30, 40, {30, 40}},
      {fdpXY, -5, 12, {0, 12}},  // negative coordinates are raised to 0
      {fdpXY, 7, -1, {7, 0}},
      // Centred on the whole headless screen (1366 x 768): (683 - 200, 384 - 150).
      {fdpScreenCenter, 0, 0, {483, 234}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::Message() << row.position << " " << row.x << "," << row.y);
    TFolderDialog dialog;
    dialog.Directory = dir.path();
    dialog.Caption = "caption";
    dialog.Title = "title";
    dialog.DialogPosition = row.position;
    dialog.DialogX = row.x;
    dialog.DialogY = row.y;
    browser.Cancel();
    EXPECT_FALSE(dialog.Browse());
    const TScriptedFolderBrowser::TRun& run = browser.Last();
    EXPECT_EQ(run.title, "title");
    EXPECT_EQ(run.flags, 0x40u);
    EXPECT_EQ(run.selection, dir.path());
    EXPECT_TRUE(run.moved);
    EXPECT_EQ(run.position.X, row.expected.X);
    EXPECT_EQ(run.position.Y, row.expected.Y);
    EXPECT_EQ(run.insertAfter, platform::kHwndNoTopmost);
    EXPECT_EQ(run.positionFlags, platform::kSwpNoSize | platform::kSwpNoZOrder);
    EXPECT_EQ(run.caption, "caption");
  }
}

TEST_F(FolderDialog, CentresOnTwoMonitorsSideBySideAndDefaultsBesideItsOwner) {
  platform::inject::ScopedServices screens;
  screens->systemMetrics = [](int index) -> std::optional<int> {
    return index == platform::kSmCxVirtualScreen ? 2 * 1280 : 1024;
  };
  TFolderDialog centred;
  centred.DialogPosition = fdpScreenCenter;
  centred.Browse();
  EXPECT_EQ(browser.Last().position.X, 1280 - 200);
  EXPECT_EQ(browser.Last().position.Y, 512 - 150);
  EXPECT_FALSE(browser.Last().captioned) << "an empty caption keeps the system's text";

  // Owned by a form: 20 pixels right of and below the form's corner, the form as owner.
  ui::TForm* form = NewForm(300, 200);
  form->SetBounds(100, 60, 300, 200);
  form->Show();
  TFolderDialog owned(form);
  owned.Browse();
  EXPECT_EQ(browser.Last().owner, form->Handle());
  EXPECT_EQ(browser.Last().position.X, 120);
  EXPECT_EQ(browser.Last().position.Y, 80);
}

TEST_F(FolderDialog, OnlyAFolderWithAPathIsAChoice) {
  TempDir dir;
  std::string directory = dir.path();
  // A folder that does not exist opens the dialog on the current directory.
  TFolderDialog dialog;
  dialog.Directory = dir / "missing";
  browser.ChooseFolder("D:\\Host", 7);
  ASSERT_TRUE(dialog.Browse());
  EXPECT_EQ(browser.Last().selection, platform::GetCurrentDirectoryA());
  EXPECT_EQ(dialog.Directory, "D:\\Host");
  EXPECT_EQ(dialog.ImageIndex(), 7);

  // SelectFolder leaves the caller's folder alone unless a folder with a path is chosen.
  for (auto end : {&TScriptedFolderBrowser::Cancel, &TScriptedFolderBrowser::ChooseItemWithoutPath,
                   &TScriptedFolderBrowser::FailInside}) {
    (browser.*end)();
    EXPECT_FALSE(SelectFolder("c", "t", directory, {fdoNewDialogStyle}, fdpXY, 0, 0));
    EXPECT_EQ(directory, dir.path());
  }
  browser.ChooseFolder("E:\\");
  EXPECT_TRUE(SelectFolder("c", "t", directory, {fdoNewDialogStyle}, fdpXY, 0, 0));
  EXPECT_EQ(directory, "E:\\");
}

class SelectButton : public FolderDialog {
 protected:
  void SetUp() override {
    FolderDialog::SetUp();
    services->moduleFileName = [this] { return dir / "Setup.exe"; };
    services->messageBox = [](const std::string&, const char*, uint32_t) { return 1; };
    form = app->CreateForm<TForm1>();
    form->Show();
  }
  platform::inject::ScopedServices services;
  TempDir dir;
  testing_support::RegistryFixture registry{"SOFTWARE\\Norvell"};
  TForm1* form = nullptr;
};

TEST_F(SelectButton, TheChosenFolderBecomesTheInstallFolder) {
  const struct {
    std::string chosen, installPath;
  } table[] = {{"D:\\", "D:\\"}, {"D:\\Host", "D:\\Host\\"}};
  for (const auto& row : table) {
    browser.ChooseFolder(row.chosen);
    form->btnSelect->OnClick(form->btnSelect);
    EXPECT_EQ(form->InstallPath(), row.installPath);
    EXPECT_EQ(form->edtAZLJ->Text(), row.chosen);
  }
  const TScriptedFolderBrowser::TRun& run = browser.Last();
  EXPECT_EQ(run.caption, kChoose);
  EXPECT_EQ(run.title, kChoose);
  EXPECT_EQ(run.flags, 0x40u);
  EXPECT_EQ(run.selection, platform::GetCurrentDirectoryA()) << "it opens on the current directory";
  EXPECT_EQ(run.owner, form->Handle()) << "the main form owns the dialog";

  browser.Cancel();
  form->btnSelect->OnClick(form->btnSelect);
  EXPECT_EQ(form->InstallPath(), "D:\\Host\\");
  EXPECT_EQ(form->edtAZLJ->Text(), "D:\\Host");
}

TEST_F(SelectButton, TheWindowTakesNoInputWhileTheDialogIsOpen) {
  int clicks = 0;
  form->sbtn_Close->OnClick = [&clicks](ui::TObject*) { ++clicks; };
  browser.WhileOpen = [this] {
    const int x = form->sbtn_Close->Left() + 3, y = form->sbtn_Close->Top() + 3;
    host->Click(x, y);
    app->ProcessMessages();
  };
  browser.Cancel();
  form->btnSelect->OnClick(form->btnSelect);
  EXPECT_EQ(clicks, 0);
  browser.WhileOpen = nullptr;
  host->Click(form->sbtn_Close->Left() + 3, form->sbtn_Close->Top() + 3);
  app->ProcessMessages();
  EXPECT_EQ(clicks, 1) << "input reaches the window again once the dialog is closed";
}

}  // namespace
