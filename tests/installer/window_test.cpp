// The installer window on the headless host: its geometry and controls, what it does
// when shown, moving it by its background, closing it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/Main.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "platform/system.h"
#include "resources/resources.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/headless_fixture.h"

using namespace ui;
using testing_support::RegistryFixture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

class Window : public ui_testing::HeadlessApp {
 protected:
  void SetUp() override {
    HeadlessApp::SetUp();
    services->moduleFileName = [this] { return dir / "setup\\Setup.exe"; };
    services->messageBox = [this](const std::string& text, const char* caption, uint32_t) {
      boxes.push_back(text + "|" + (caption ? caption : ""));
      return platform::kIdOk;
    };
    form = app->CreateForm<TForm1>();
  }
  TColor Png(const char* resource, int x, int y) {
    TPngImage image;
    EXPECT_TRUE(image.LoadFromBytes(*FindInstallerResource(resource)));
    return image.PixelColor(x, y);
  }
  platform::inject::ScopedServices services;
  TempDir dir;
  std::vector<std::string> boxes;
  TForm1* form = nullptr;
};

TEST_F(Window, GeometryAndControlsInCreationOrder) {
  EXPECT_EQ(form->BoundsRect(), Bounds(409, 225, 598, 366));
  EXPECT_EQ(form->BorderStyle, bsNone);
  EXPECT_EQ(form->Caption(), "Form1");
  EXPECT_EQ(form->Color(), clBtnFace);
  EXPECT_EQ(form->Font.Name, "MS Sans Serif");
  EXPECT_EQ(form->Font.Height, -11);

  struct Expected {
    const char* name;
    TControl* control;
    TRect bounds;
    bool windowed;
  };
  const Expected controls[] = {
      {"btPgUp", form->btPgUp, Bounds(0, 0, 598, 309), false},
      {"btnPgDown", form->btnPgDown, Bounds(0, 309, 598, 57), false},
      {"sbtn_Close", form->sbtn_Close, Bounds(572, 0, 26, 26), false},
      {"lblAZLJ", form->lblAZLJ, Bounds(91, 333, 60, 13), false},
      {"edtAZLJ", form->edtAZLJ, Bounds(156, 327, 286, 24), true},
      {"btnSetUp", form->btnSetUp, Bounds(194, 237, 211, 42), true},
      {"btnSelect", form->btnSelect, Bounds(447, 327, 30, 24), true},
  };
  ASSERT_EQ(form->Components().size(), 7U);
  for (size_t i = 0; i < 7; ++i) {
    const Expected& e = controls[i];
    EXPECT_EQ(form->Components()[i], e.control) << e.name;
    EXPECT_EQ(e.control->Name, e.name);
    EXPECT_EQ(e.control->Parent(), form) << e.name;
    EXPECT_EQ(e.control->IsWindowed(), e.windowed) << e.name;
    if (i != 3) {  // the label sizes itself to its text
      EXPECT_EQ(e.control->BoundsRect(), e.bounds) << e.name;
    }
  }
  EXPECT_EQ(form->lblAZLJ->BoundsRect().Left, 91);
  EXPECT_EQ(form->lblAZLJ->BoundsRect().Top, 333);
  // The background image is one row taller than its 309 rows.
  EXPECT_EQ(form->btPgUp->PngImg()->Width(), 598);
  EXPECT_EQ(form->btPgUp->PngImg()->Height(), 310);
  EXPECT_EQ(form->btPgUp->Align(), alClient);
  EXPECT_EQ(form->btnPgDown->Align(), alBottom);
  EXPECT_EQ(form->btnPgDown->PngImg()->Height(), 57);
  EXPECT_EQ(form->sbtn_Close->PngOver()->Width(), 26);
  EXPECT_TRUE(form->DoubleBuffered);
  EXPECT_EQ(form->lblAZLJ->Caption(), "\xb0\xb2\xd7\xb0\xc2\xb7\xbe\xb6\xa3\xba");  // 安装路径：
  EXPECT_TRUE(form->lblAZLJ->Transparent());
  EXPECT_FALSE(form->edtAZLJ->Enabled());
  EXPECT_TRUE(form->edtAZLJ->ReadOnly());
  EXPECT_EQ(form->edtAZLJ->MaxLength(), 20);
  EXPECT_EQ(form->edtAZLJ->BorderColor, 14201981U);
  EXPECT_EQ(form->edtAZLJ->FocusBorderColor, 39423U);
  EXPECT_EQ(form->edtAZLJ->UnfocusedColor, 14013909U);
  EXPECT_EQ(form->edtAZLJ->Font.Height, -12);
  EXPECT_EQ(form->edtAZLJ->Font.Charset, kGb2312Charset);
  EXPECT_EQ(form->btnSetUp->Caption(), "\xc1\xa2\xbc\xb4\xb0\xb2\xd7\xb0");  // 立即安装
  EXPECT_EQ(form->btnSetUp->Cursor, crHandPoint);
  EXPECT_EQ(form->btnSetUp->Font.Height, -19);
  EXPECT_EQ(form->btnSetUp->Font.Color, 3355443U);
  EXPECT_EQ(form->btnSelect->Caption(), "...");
  EXPECT_EQ(form->btnSelect->Font.Height, -14);
  EXPECT_EQ(form->edtAZLJ->TabOrder(), 0);
  EXPECT_EQ(form->btnSetUp->TabOrder(), 1);
  EXPECT_EQ(form->btnSelect->TabOrder(), 2);
  EXPECT_TRUE(form->btnSetUp->TabStop && form->btnSelect->TabStop);
}

TEST_F(Window, ShownAtItsStoredPlaceWithItsSkins) {
  form->Show();
  app->ProcessMessages();
  THeadlessWindow* w = host->WindowOf(form);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->ScreenBounds(), Bounds(409, 225, 598, 366));  // not centred
  EXPECT_EQ(w->Screen().Width(), 598);
  EXPECT_EQ(w->Screen().Height(), 366);
  // Background rows are sampled into 309 rows; the footer is drawn 1:1 below them.
  EXPECT_EQ(Shown(form, 5, 5), Png("background.png", 5, 5));
  EXPECT_EQ(Shown(form, 100, 300), Png("background.png", 100, 301));
  EXPECT_EQ(Shown(form, 50, 340), Png("footer.png", 50, 31));
  EXPECT_EQ(Shown(form, 200, 250), 0xDB7435U);                 // the install button
  EXPECT_EQ(Shown(form, 156, 340), ColorToRGB(clBackground));  // the edit's frame
  EXPECT_EQ(Shown(form, 160, 330), ColorToRGB(clWindow));      // and its inside
  // The close button drawn with alpha over the background.
  const uint32_t under = ColorToPixel(Png("background.png", 574, 2));
  TPngImage close;
  close.LoadFromBytes(*FindInstallerResource("close.png"));
  EXPECT_EQ(ColorToPixel(Shown(form, 574, 2)),
            BlendPixel(under, ColorToPixel(close.PixelColor(2, 2)), close.PixelAlpha(2, 2)));
}

TEST_F(Window, FormShowWithAHostInstallation) {
  // A folder with a double-byte name whose last byte is 0x5C.
  const std::string host = dir / "\xb0\xb2\xd7\xb0\x95\x5c";
  ASSERT_TRUE(WriteFileBytes(host + "\\Lumoranew.exe", "MZ"));
  RegistryFixture registry("SOFTWARE\\Norvell");
  registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", host);
  form->Show();
  EXPECT_EQ(form->InstallPath(), host + "\\");
  EXPECT_EQ(form->edtAZLJ->Text(), host + "\\");
  EXPECT_EQ(form->SourceFile(), dir / "setup\\InstallSource.dat");
  EXPECT_FALSE(form->Installed());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(Window, FormShowWithoutAHostInstallation) {
  RegistryFixture registry("SOFTWARE\\Norvell");
  form->Show();
  EXPECT_EQ(form->InstallPath(), "");
  EXPECT_EQ(form->edtAZLJ->Text(), "");
  // The archive is not looked for yet.
  EXPECT_EQ(form->SourceFile(), dir / "setup\\InstallSource.dat");
  EXPECT_TRUE(form->FormVisible());
}

TEST_F(Window, ALookupErrorIsReportedAndTheWindowStillShows) {
  RegistryFixture registry("SOFTWARE\\Norvell");
  registry.SetDword("SOFTWARE\\Norvell\\Lumora_LT3.0", "LT_InstalledPath", 7);
  form->Show();
  ASSERT_EQ(boxes.size(), 1U);
  EXPECT_NE(boxes[0].find("|Setup"), std::string::npos) << boxes[0];  // the title
  EXPECT_TRUE(form->FormVisible());
  EXPECT_EQ(form->edtAZLJ->Text(), "");
  EXPECT_EQ(form->SourceFile(), "");
}

// A folder the ANSI code page cannot spell gives no module path (the platform hands out
// no garbled one): the error report says the installer cannot run from there.
TEST_F(Window, AFolderWithoutAnAnsiNameIsReportedAndTheWindowStillShows) {
  RegistryFixture registry("SOFTWARE\\Norvell");
  services->moduleFileName = [] { return std::string(); };
  form->Show();
  ASSERT_EQ(boxes.size(), 1U);
  const std::string cannotRunHere =  // "无法从该文件夹运行"
      "\xCE\xDE\xB7\xA8\xB4\xD3\xB8\xC3\xCE\xC4\xBC\xFE\xBC\xD0\xD4\xCB\xD0\xD0";
  EXPECT_NE(boxes[0].find(cannotRunHere), std::string::npos) << boxes[0];
  EXPECT_TRUE(form->FormVisible());
  EXPECT_EQ(form->SourceFile(), "");
}

TEST_F(Window, OnlyALeftPressOnTheBackgroundMovesTheWindow) {
  form->Show();
  THeadlessWindow* w = host->WindowOf(form);
  struct Case {
    const char* what;
    TMouseButton button;
    TPoint at;
    bool closeDisabled;
    bool moves;
  };
  const Case cases[] = {
      {"left on the background", mbLeft, {100, 100}, false, true},
      {"right on the background", mbRight, {100, 100}, false, false},
      {"middle on the background", mbMiddle, {100, 100}, false, false},
      {"left on the footer", mbLeft, {50, 340}, false, false},
      {"left on the label", mbLeft, {95, 338}, false, false},
      {"left on the edit (disabled: the footer beneath)", mbLeft, {200, 335}, false, false},
      {"left on the install button", mbLeft, {300, 250}, false, false},
      {"left on the disabled close button", mbLeft, {585, 10}, true, true},
  };
  for (const Case& c : cases) {
    form->sbtn_Close->SetEnabled(!c.closeDisabled);
    const TRect before = w->ScreenBounds();
    const int loops = w->MoveLoops();
    host->MouseMove(c.at.X, c.at.Y);
    host->MouseDown(c.button, c.at.X, c.at.Y);
    host->MouseMove(c.at.X + 30, c.at.Y + 20);
    host->MouseUp(c.button, c.at.X + 30, c.at.Y + 20);
    app->ProcessMessages();
    host->MouseLeaveWindow();
    app->ProcessMessages();
    EXPECT_EQ(w->MoveLoops() - loops, c.moves ? 1 : 0) << c.what;
    EXPECT_EQ(w->ScreenBounds(), c.moves ? before.Offset(30, 20) : before) << c.what;
    EXPECT_EQ(form->CaptureControl(), nullptr) << c.what;
    EXPECT_FALSE(app->Terminated()) << c.what;
  }
  EXPECT_EQ(w->SystemCommands, (std::vector<uintptr_t>{0xF012, 0xF012}));
}

TEST_F(Window, AMoveFollowsThePointerOnlyWhileTheButtonIsDown) {
  // The native hosts read all waiting input before handling the first: the release of a
  // quick click waits in the queue while its press asks for the move.
  host->DeliverAllAtOnce = true;
  form->Show();
  app->ProcessMessages();
  THeadlessWindow* w = host->WindowOf(form);
  const TRect start = w->ScreenBounds();
  host->MouseMove(100, 100);
  host->MouseDown(mbLeft, 100, 100);
  host->MouseUp(mbLeft, 100, 100);
  app->ProcessMessages();
  host->MouseMove(160, 140);  // the button is up: nothing may follow the pointer now
  app->ProcessMessages();
  EXPECT_EQ(w->ScreenBounds(), start);
  EXPECT_EQ(w->MoveLoops(), 0);

  // A press read alone: the move runs until its release, which comes later.
  host->MouseDown(mbLeft, 100, 100);
  app->ProcessMessages();
  host->MouseMove(120, 110);
  host->MouseMove(130, 120);
  app->ProcessMessages();
  EXPECT_EQ(w->ScreenBounds(), start.Offset(30, 20));
  host->MouseUp(mbLeft, 130, 120);
  app->ProcessMessages();
  host->MouseMove(200, 200);  // after the release
  app->ProcessMessages();
  EXPECT_EQ(w->ScreenBounds(), start.Offset(30, 20));
  EXPECT_EQ(form->BoundsRect(), start.Offset(30, 20));
  EXPECT_EQ(w->MoveLoops(), 1);
}

TEST_F(Window, TheCloseButtonEndsTheProgram) {
  host->MouseMove(585, 10);
  host->MouseDown(mbLeft, 585, 10);
  host->MouseUp(mbLeft, 585, 10);
  host->MouseMove(585, 11);  // never reached: the loop ends with the close
  app->Run();
  EXPECT_TRUE(app->Terminated());
  EXPECT_FALSE(form->FormVisible());
  EXPECT_EQ(host->PendingInput(), 1U);
  EXPECT_EQ(host->WindowOf(form)->MoveLoops(), 0);
}

TEST_F(Window, TheCloseButtonLightsUpUnderThePointer) {
  form->Show();
  app->ProcessMessages();
  TPngImage hover;
  hover.LoadFromBytes(*FindInstallerResource("close_hover.png"));
  const uint32_t under = ColorToPixel(Png("background.png", 585, 13));
  host->MouseMove(585, 13);
  app->ProcessMessages();
  EXPECT_EQ(ColorToPixel(Shown(form, 585, 13)),
            BlendPixel(under, ColorToPixel(hover.PixelColor(13, 13)), hover.PixelAlpha(13, 13)));
  EXPECT_EQ(form->sbtn_Close->CurrentImage(), form->sbtn_Close->PngOver());
}

}  // namespace
