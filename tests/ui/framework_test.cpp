// The control framework on the headless host: mouse routing, capture, clicks, enter and
// leave, focus and tab order, painting, definitions, message boxes and the pump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "ui/definition.h"
#include "ui/stdctrls.h"
#include "tests/ui/headless_fixture.h"

using namespace ui;
using ui_testing::HeadlessApp;

namespace {

// Records what reaches it.
class Probe : public TGraphicControl {
 public:
  Probe(TComponent* owner, std::vector<std::string>* log, TColor color)
      : TGraphicControl(owner), log_(log), color_(color) {}
  int paints = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == kCmMouseEnter) log_->push_back(Name + ".enter");
    if (m.Msg == kCmMouseLeave) log_->push_back(Name + ".leave");
    TGraphicControl::WndProc(m);
  }

 protected:
  void Paint() override {
    ++paints;
    Canvas().Brush.Color = color_;
    Canvas().FillRect(ClientRect());
  }
  void Click() override { log_->push_back(Name + ".click"); }
  void MouseDown(TMouseButton b, TShiftState, int x, int y) override {
    log_->push_back(Name + ".down" + std::to_string(b) + "@" + std::to_string(x) + "," +
                    std::to_string(y));
  }
  void MouseUp(TMouseButton b, TShiftState, int, int) override {
    log_->push_back(Name + ".up" + std::to_string(b));
  }

 private:
  std::vector<std::string>* log_;
  TColor color_;
};

class Framework : public HeadlessApp {
 protected:
  Probe* Add(TWinControl* parent, const std::string& name, TRect r, TColor c) {
    auto* p = new Probe(parent->GetParentForm() ? parent->GetParentForm() : parent, &log, c);
    p->Name = name;
    p->SetParent(parent);
    p->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    return p;
  }
  std::vector<std::string> log;
};

TEST_F(Framework, ClickOnlyOnReleaseInsideAfterPressInside) {
  TForm* f = NewForm(100, 50);
  Add(f, "a", Bounds(10, 10, 20, 20), clBlack);
  Add(f, "b", Bounds(50, 10, 20, 20), clRed);
  f->Show();
  host->Click(15, 15);  // press and release on a
  host->MouseDown(mbLeft, 15, 15);
  host->MouseMove(55, 15);           // a keeps the mouse while the button is held
  host->MouseUp(mbLeft, 55, 15);     // released over b: no click
  host->MouseDown(mbRight, 12, 12);  // other buttons never click
  host->MouseUp(mbRight, 12, 12);
  app->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"a.enter", "a.down0@5,5", "a.click", "a.up0",
                                           "a.down0@5,5", "a.leave", "b.enter", "a.up0", "b.leave",
                                           "a.enter", "a.down1@2,2", "a.up1"}));
  EXPECT_EQ(f->CaptureControl(), nullptr);
}

TEST_F(Framework, DisabledControlsPassPressesToWhatLiesBeneath) {
  TForm* f = NewForm(100, 50);
  Add(f, "below", Bounds(0, 0, 100, 50), clBlack);
  Probe* above = Add(f, "above", Bounds(10, 10, 20, 20), clRed);
  f->Show();
  above->SetEnabled(false);
  host->Click(15, 15);
  app->ProcessMessages();
  // The pointer is over the disabled control (it is told), the press goes beneath.
  EXPECT_EQ(log, (std::vector<std::string>{"above.enter", "below.down0@15,15", "below.click",
                                           "below.up0"}));
}

TEST_F(Framework, WindowedControlsLieAboveWindowlessOnes) {
  TForm* f = NewForm(100, 50);
  auto* panel = new TCustomControl(f);
  panel->SetParent(f);
  panel->SetBounds(0, 0, 40, 40);
  panel->SetColor(clBlack);
  Add(f, "later", Bounds(20, 20, 40, 20), clRed);  // created after the panel
  f->Show();
  app->ProcessMessages();
  EXPECT_EQ(f->ControlAtPos({25, 25}, false), panel);
  EXPECT_EQ(Shown(f, 25, 25), clBlack);  // painted above the later windowless control
  EXPECT_EQ(Shown(f, 45, 25), clRed);
}

TEST_F(Framework, TabOrderSkipsDisabledAndUnstoppedControls) {
  TForm* f = NewForm(200, 50);
  std::vector<TCustomEdit*> edits;
  std::vector<std::string> focus;
  for (int i = 0; i < 4; ++i) {
    auto* e = new TCustomEdit(f);
    e->Name = "e" + std::to_string(i);
    e->SetParent(f);
    e->SetBounds(i * 50, 0, 40, 20);
    e->OnEnter = [&focus, e](TObject*) { focus.push_back(e->Name + "+"); };
    e->OnExit = [&focus, e](TObject*) { focus.push_back(e->Name + "-"); };
    edits.push_back(e);
  }
  edits[3]->SetTabOrder(0);  // order: e3 e0 e1 e2
  edits[1]->SetEnabled(false);
  edits[2]->TabStop = false;
  f->Show();  // the first control in tab order gets the focus
  EXPECT_EQ(f->ActiveControl(), edits[3]);
  host->PressKey(kVkTab);
  host->PressKey(kVkTab);
  host->PressKey(kVkTab, ssShift);
  app->ProcessMessages();
  EXPECT_EQ(focus, (std::vector<std::string>{"e3+", "e3-", "e0+", "e0-", "e3+", "e3-", "e0+"}));
  EXPECT_EQ(f->ActiveControl(), edits[0]);
}

TEST_F(Framework, EditTypingLimitAndWholeTextWhenSet) {
  TForm* f = NewForm(200, 50);
  auto* e = new TCustomEdit(f);
  e->SetParent(f);
  e->SetMaxLength(5);
  int changes = 0;
  e->OnChange = [&changes](TObject*) { ++changes; };
  f->Show();
  e->SetFocus();
  host->Type("abc\xb0\xb2xyz");  // "abc", one double-byte character, then three more
  app->ProcessMessages();
  EXPECT_EQ(e->Text(), "abc\xb0\xb2");  // five bytes: the limit
  EXPECT_EQ(changes, 4);
  e->SetText("a much longer text than five");
  EXPECT_EQ(e->Text(), "a much longer text than five");
  host->PressKey(kVkBack);
  app->ProcessMessages();
  EXPECT_EQ(e->Text(), "a much longer text than five");  // caret at 0 after setting
  e->SetReadOnly(true);
  e->Perform(kEmSetSel, 0, -1);
  host->Type("x");
  app->ProcessMessages();
  EXPECT_EQ(e->Text(), "a much longer text than five");
}

TEST_F(Framework, OnlyTheInvalidAreaIsComposedAndOncePerIdle) {
  TForm* f = NewForm(100, 50);
  Probe* a = Add(f, "a", Bounds(0, 0, 20, 20), clBlack);
  Probe* b = Add(f, "b", Bounds(50, 0, 20, 20), clRed);
  f->Show();
  app->ProcessMessages();
  EXPECT_EQ(a->paints, 1);
  EXPECT_EQ(b->paints, 1);
  a->Invalidate();
  a->Invalidate();
  app->ProcessMessages();
  EXPECT_EQ(a->paints, 2);
  EXPECT_EQ(b->paints, 1);
  EXPECT_EQ(Shown(f, 5, 5), clBlack);
  EXPECT_EQ(Shown(f, 30, 5), clWhite);
  a->SetVisible(false);
  app->ProcessMessages();
  EXPECT_EQ(Shown(f, 5, 5), clWhite);  // the form beneath shows again
}

TEST_F(Framework, AlignPlacesBottomThenClient) {
  TForm* f = NewForm(598, 366);
  Probe* top = Add(f, "client", Bounds(0, 0, 598, 310), clBlack);
  top->SetAlign(alClient);
  Probe* bottom = Add(f, "bottom", Bounds(0, 309, 598, 57), clRed);
  bottom->SetAlign(alBottom);
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 598, 309));
  EXPECT_EQ(bottom->BoundsRect(), Bounds(0, 309, 598, 57));
}

TEST_F(Framework, DefinitionsBuildFormsAndRejectWhatTheyDoNotKnow) {
  auto* f = app->CreateForm<TForm>();
  ReadFormDefinition(f,
                     "# a comment\n"
                     "object Box TForm\n"
                     "  ClientWidth = 200\n"
                     "  ClientHeight = 80\n"
                     "  Caption = '\xe6\xa0\x87\xe9\xa2\x98 ''q'''\n"  // 标题 'q'
                     "  object lbl TLabel\n"
                     "    Left = 3\n"
                     "    Top = 010\n"
                     "    AutoSize = False\n"
                     "    Anchors = [akLeft, akBottom]\n"
                     "    Font.Color = clRed\n"
                     "    Transparent = True\n"
                     "  end\n"
                     "end\n",
                     nullptr);
  EXPECT_EQ(f->Name, "Box");
  EXPECT_EQ(f->Width(), 200);
  EXPECT_EQ(f->Caption(), "\xb1\xea\xcc\xe2 'q'");
  auto* lbl = dynamic_cast<TLabel*>(f->FindComponent("lbl"));
  ASSERT_NE(lbl, nullptr);
  EXPECT_EQ(lbl->Parent(), f);
  EXPECT_EQ(lbl->Left(), 3);
  EXPECT_EQ(lbl->Top(), 10);  // decimal, leading zero or not
  EXPECT_EQ(lbl->Anchors, akLeft | akBottom);
  EXPECT_EQ(lbl->Font.Color, clRed);
  EXPECT_FALSE(lbl->ParentFont());
  EXPECT_TRUE(lbl->Transparent());

  const char* bad[] = {
      "object A TForm\n  object x TNoSuchClass\n  end\nend\n",
      "object A TForm\n  NoSuchProperty = 1\nend\n",
      "object A TForm\n  Width = 'text'\nend\n",
      "object A TForm\n  OnShow = NoSuchHandler\nend\n",
      "object A TForm\n  Caption = 'unterminated\nend\n",
      "object A TForm\n  ClientWidth = 5\n",
      "object A TForm\n  Width = 0x10\nend\n",        // numbers are decimal
      "object A TForm\n  Width = 4294967306\nend\n",  // beyond an int, not wrapped to 10
  };
  for (const char* text : bad) {
    auto* g = app->CreateForm<TForm>();
    EXPECT_THROW(ReadFormDefinition(g, text, nullptr), EDefinitionError) << text;
  }
}

TEST_F(Framework, TitleIsTheExecutableNameWithoutExtension) {
  platform::inject::ScopedServices services;
  services->moduleFileName = [] { return std::string("C:\\apps\\\xb0\xb2\xd7\xb0.v2.exe"); };
  EXPECT_EQ(app->Title(), "\xb0\xb2\xd7\xb0.v2");
  app->SetTitle("Other");
  EXPECT_EQ(app->Title(), "Other");
}

TEST_F(Framework, MessageBoxAnswersWithTheButtonPressed) {
  TForm* f = NewForm(100, 50);
  f->Show();
  const uint32_t yesNo = platform::kMbYesNo | platform::kMbDefButton2;
  host->PressKey(kVkReturn);  // the default button has the focus: "No"
  EXPECT_EQ(platform::MessageBoxA(0, "Sure?", nullptr, yesNo), platform::kIdNo);
  host->PressKey(kVkTab);  // from "No" on to "Yes"
  host->PressKey(kVkSpace);
  EXPECT_EQ(platform::MessageBoxA(0, "Sure?", nullptr, yesNo), platform::kIdYes);
  host->PressKey(kVkEscape);  // the cancel button
  EXPECT_EQ(app->MessageBox("Go on?", "Q", platform::kMbYesNoCancel), platform::kIdCancel);
  // No input at all: the headless host gives the default answer.
  EXPECT_EQ(app->MessageBox("Go on?", "Q", platform::kMbOkCancel), platform::kIdOk);
  EXPECT_EQ(host->Windows().size(), 1U);  // every box is gone again
  EXPECT_EQ(host->TopWindow()->Form(), f);
}

TEST_F(Framework, MessageBoxWindowIsModalCentredAndTitled) {
  platform::inject::ScopedServices services;
  services->moduleFileName = [] { return std::string("C:\\x\\Setup.exe"); };
  TForm* f = NewForm(100, 50);
  f->Show();
  std::string title;
  TRect bounds;
  bool modal = false;
  // A message posted before the box opens is handled inside its modal loop.
  struct Hook : TGraphicControl {
    std::function<void()> fn;
    using TGraphicControl::TGraphicControl;
    void WndProc(TMessage& m) override {
      if (m.Msg == kCmBase + 200 && fn) fn();
      TGraphicControl::WndProc(m);
    }
  };
  auto* hook = new Hook(f);
  hook->fn = [&] {
    THeadlessWindow* top = host->TopWindow();
    ASSERT_NE(top->Form(), f);
    title = top->Title();
    bounds = top->ScreenBounds();
    modal = top->Form()->Modal();
  };
  app->PostMessage(hook, kCmBase + 200, 0, 0);
  host->PressKey(kVkReturn);
  EXPECT_EQ(app->MessageBox("Text", nullptr, platform::kMbOk), platform::kIdOk);
  EXPECT_TRUE(modal);
  EXPECT_EQ(title, "Setup");
  EXPECT_NEAR(bounds.Left + bounds.Width() / 2, 1366 / 2, 1);
  EXPECT_NEAR(bounds.Top + bounds.Height() / 2, 768 / 2, 1);
}

TEST_F(Framework, ErrorsOfHandlersReachTheDefaultReport) {
  platform::inject::ScopedServices services;
  std::vector<std::string> boxes;
  services->messageBox = [&](const std::string& text, const char* caption, uint32_t type) {
    boxes.push_back(text + "|" + (caption ? caption : "(null)") + "|" + std::to_string(type));
    return platform::kIdOk;
  };
  services->moduleFileName = [] { return std::string("C:\\x\\Setup.exe"); };
  TForm* f = NewForm(100, 50);
  f->OnShow = [](TObject*) { throw std::runtime_error("lookup failed"); };
  f->Show();
  EXPECT_TRUE(f->FormVisible());  // shown all the same
  f->ControlStyle |= csClickEvents;
  f->OnClick = [](TObject*) { throw std::runtime_error("click failed"); };
  host->Click(5, 5);
  app->ProcessMessages();
  EXPECT_EQ(boxes, (std::vector<std::string>{"lookup failed|Setup|0", "click failed|Setup|0"}));
}

TEST_F(Framework, PumpMessagesRunsTheLoopAndReportsTheEnd) {
  TForm* f = NewForm(100, 50);
  Add(f, "p", Bounds(0, 0, 10, 10), clBlack);
  f->Show();
  host->Click(5, 5);
  EXPECT_FALSE(platform::PumpMessages());
  EXPECT_EQ(log, (std::vector<std::string>{"p.enter", "p.down0@5,5", "p.click", "p.up0"}));
  EXPECT_EQ(Shown(f, 5, 5), clBlack);  // painted too
  f->Close();                          // the main form: the program ends
  EXPECT_TRUE(platform::PumpMessages());
}

TEST_F(Framework, CaptureFollowsPressAndReleaseCaptureClearsIt) {
  TForm* f = NewForm(100, 50);
  Probe* p = Add(f, "p", Bounds(0, 0, 10, 10), clBlack);
  f->Show();
  host->MouseDown(mbLeft, 5, 5);
  app->ProcessMessages();
  EXPECT_EQ(f->CaptureControl(), p);
  EXPECT_TRUE(host->WindowOf(f)->Captured());
  ReleaseCapture();
  EXPECT_EQ(f->CaptureControl(), nullptr);
  EXPECT_FALSE(host->WindowOf(f)->Captured());
}

TEST_F(Framework, ComponentsFreeWhatTheyOwnAndTellTheOthers) {
  struct Watcher : TComponent {
    using TComponent::TComponent;
    TComponent* removed = nullptr;
    void Notification(TComponent* c, TOperation op) override {
      TComponent::Notification(c, op);
      if (op == opRemove) removed = c;
    }
  };
  auto* owner = new TComponent(nullptr);
  auto* watcher = new Watcher(owner);
  auto* child = new TComponent(owner);
  new TComponent(child);  // a grandchild, owned by child
  EXPECT_EQ(owner->Components().size(), 2U);
  delete child;  // and grandChild with it
  EXPECT_EQ(watcher->removed, child);
  EXPECT_EQ(owner->Components().size(), 1U);
  delete owner;
}

TEST_F(Framework, TheApplicationCursorWinsWhileItIsSet) {
  TForm* f = NewForm(100, 50);
  Probe* hand = Add(f, "hand", Bounds(10, 10, 20, 20), clBlack);
  hand->Cursor = crHandPoint;
  Add(f, "plain", Bounds(50, 10, 20, 20), clRed);
  f->Show();
  THeadlessWindow* w = host->WindowOf(f);
  auto cursorAt = [&](int x, int y) {
    host->MouseMove(x, y);
    app->ProcessMessages();
    return w->Cursor();
  };
  EXPECT_EQ(cursorAt(15, 15), crHandPoint);
  // Set while the pointer rests on the hand control: shown at once, and kept over every
  // control the pointer reaches while it is set.
  app->SetCursor(crHourGlass);
  EXPECT_EQ(w->Cursor(), crHourGlass);
  EXPECT_EQ(host->Cursor(), crHourGlass);
  EXPECT_EQ(cursorAt(16, 16), crHourGlass);
  EXPECT_EQ(cursorAt(55, 15), crHourGlass);
  EXPECT_EQ(cursorAt(15, 15), crHourGlass);
  // Once it ends, the control under the pointer has its own again.
  app->SetCursor(crDefault);
  EXPECT_EQ(w->Cursor(), crHandPoint);
  EXPECT_EQ(cursorAt(55, 15), crDefault);
}

}  // namespace
