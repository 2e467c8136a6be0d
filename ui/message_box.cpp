#include "ui/message_box.h"

#include <algorithm>
#include <vector>

#include "platform/dialogs.h"
#include "ui/stdctrls.h"

namespace ui {

int ShowFrameworkMessageBox(const std::string& text, const std::string& caption, uint32_t type) {
  if (!Application) return 0;
  struct Choice {
    const char* caption;
    int id;
  };
  static const std::vector<Choice> kSets[7] = {
      {{"OK", platform::kIdOk}},
      {{"OK", platform::kIdOk}, {"Cancel", platform::kIdCancel}},
      {{"&Abort", platform::kIdAbort},
       {"&Retry", platform::kIdRetry},
       {"&Ignore", platform::kIdIgnore}},
      {{"&Yes", platform::kIdYes}, {"&No", platform::kIdNo}, {"Cancel", platform::kIdCancel}},
      {{"&Yes", platform::kIdYes}, {"&No", platform::kIdNo}},
      {{"&Retry", platform::kIdRetry}, {"Cancel", platform::kIdCancel}},
      {{"Cancel", platform::kIdCancel},
       {"&Try Again", platform::kIdTryAgain},
       {"&Continue", platform::kIdContinue}},
  };
  const uint32_t set = (type & 0xF) <= 6 ? (type & 0xF) : 0;
  const std::vector<Choice>& choices = kSets[set];
  const int defaultId = platform::DefaultButtonAnswer(type);

  TCustomForm box(Application);
  box.BorderStyle = bsDialog;
  box.Position = poScreenCenter;
  box.SetCaption(caption);
  box.Font.Name = "SimSun";
  box.Font.Height = -12;
  box.Font.Charset = kGb2312Charset;
  auto* label = new TLabel(&box);
  label->SetParent(&box);
  label->SetCaption(text);
  TCanvas measure;
  TSurface scratch(1, 1);
  measure.Attach(&scratch);
  measure.Font.Assign(box.Font);
  TRect tr{0, 0, 0, 0};
  measure.DrawTextA(text.empty() ? std::string(" ") : text, tr, kDtCalcRect | kDtNoPrefix);
  const int buttonsWidth = static_cast<int>(choices.size()) * 83 - 8;
  const int w = std::max(tr.Width() + 48, buttonsWidth + 48);
  const int h = tr.Height() + 24 + 20 + 23 + 16;
  box.SetClientSize(w, h);
  label->ShowAccelChar = false;
  label->SetBounds(24, 24, tr.Width(), tr.Height());
  int x = (w - buttonsWidth) / 2;
  TButton* focus = nullptr;
  for (const Choice& ch : choices) {
    auto* b = new TButton(&box);
    b->SetParent(&box);
    b->SetCaption(ch.caption);
    b->ModalResult = ch.id;
    b->SetBounds(x, h - 16 - 23, 75, 23);
    b->Default = ch.id == defaultId;
    b->Cancel = ch.id == platform::kIdCancel || choices.size() == 1;
    if (b->Default) focus = b;
    x += 83;
  }
  box.OnShow = [focus](TObject*) {
    if (focus) focus->SetFocus();
  };
  const int result = box.ShowModal();
  // A host that can give no more input (headless, input used up) takes the default.
  return result == mrNone ? defaultId : result;
}

}  // namespace ui
