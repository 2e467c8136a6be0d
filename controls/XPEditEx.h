// The framed edit: a single-line text box without a system border whose frame colour
// follows its state (disabled or read-only, focused, pointer over it, idle).
//
// This first version draws one frame ring on all four sides and keeps the text area
// inside it; the numeric input styles, the ring steps and the margin-aware base come
// with the complete edit.
#pragma once

#include <string>

#include "ui/stdctrls.h"

class TTolvaneEditEx : public ui::TCustomEdit {
 public:
  explicit TTolvaneEditEx(ui::TComponent* owner);

  ui::TColor BorderColor = 0x008080;
  ui::TColor FocusBorderColor = 0x008080;
  ui::TColor DisableColor = ui::clBackground;
  ui::TColor DisableBackGroundColor = ui::clWindow;
  ui::TColor UnfocusedColor = ui::clBackground;
  int TextLeftSpace = 4;
  int TextRightSpace = 4;
  int TextTopOffset = 0;
  bool MouseInside() const { return mouseInside_; }
  // The frame colour of the current state.
  ui::TColor FrameColor() const;
  ui::TNotifyEvent OnMouseMoveIn, OnMouseMoveOut;

  void WndProc(ui::TMessage& m) override;
  bool SetProperty(const std::string& name, const ui::TPropertyValue& value) override;
  void UpdateFormatRect();

 protected:
  void PaintSelf(ui::TSurface* target, ui::TPoint origin, const ui::TRect& clip) override;
  void Resized() override;

 private:
  bool mouseInside_ = false;
  ui::TColor savedColor_ = ui::clWindow;
};

void RegisterXPEditExClasses();
