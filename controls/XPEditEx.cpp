#include "controls/XPEditEx.h"

#include "ui/definition.h"

using namespace ui;

TTolvaneEditEx::TTolvaneEditEx(TComponent* owner) : TCustomEdit(owner) {
  ControlStyle =
      (ControlStyle | csCaptureMouse | csReplicatable) & ~(csFramed | csSetCaption | csOpaque);
  DoubleBuffered = true;
  savedColor_ = Color();
  SetBounds(Left(), Top(), 130, 25);
}

TColor TTolvaneEditEx::FrameColor() const {
  if (!Enabled() || ReadOnly()) return DisableColor;
  if (Focused()) return FocusBorderColor;
  if (mouseInside_) return BorderColor;
  return UnfocusedColor;
}

void TTolvaneEditEx::UpdateFormatRect() {
  if (!GetParentForm()) return;
  TRect r{1, 1, Width() - 1, Height() - 1};
  const int h = text_engine::Metrics(Font).height;
  const int d = (r.Height() - h) / 2;
  r.Top += d + TextTopOffset;
  r.Left += TextLeftSpace;
  r.Right -= TextRightSpace;
  r.Bottom += TextTopOffset;
  Perform(kEmSetRect, 0, reinterpret_cast<intptr_t>(&r));
}

void TTolvaneEditEx::Resized() {
  TCustomEdit::Resized();
  UpdateFormatRect();
  Invalidate();
}

void TTolvaneEditEx::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kCmColorChanged:
      if (Enabled()) savedColor_ = Color();
      break;
    case kCmMouseEnter:
      mouseInside_ = true;
      TCustomEdit::WndProc(m);
      Invalidate();
      if (OnMouseMoveIn) OnMouseMoveIn(this);
      return;
    case kCmMouseLeave:
      if (!Focused()) mouseInside_ = false;
      TCustomEdit::WndProc(m);
      Invalidate();
      if (OnMouseMoveOut) OnMouseMoveOut(this);
      return;
    case kWmSetFocus:
      mouseInside_ = true;
      break;
    case kWmKillFocus:
      mouseInside_ = false;
      break;
    case kCmFontChanged:
      TCustomEdit::WndProc(m);
      UpdateFormatRect();
      return;
    case kWmChar:
      // Enter never reaches the edit window: it moves the focus on.
      if (m.WParam == '\r') {
        if (TCustomForm* form = GetParentForm()) form->SelectNext(this, true, true);
        return;
      }
      break;
    default:
      break;
  }
  TCustomEdit::WndProc(m);
}

void TTolvaneEditEx::PaintSelf(TSurface* target, TPoint origin, const TRect& clip) {
  // The background follows the state; a colour set while disabled is not remembered.
  const TColor wanted = Enabled() ? savedColor_ : DisableBackGroundColor;
  if (Color() != wanted) {
    const TColor keep = savedColor_;
    SetColor(wanted);
    savedColor_ = keep;
  }
  TCustomEdit::PaintSelf(target, origin, clip);
  TCanvas& c = EditCanvas();
  c.Attach(target, origin, clip);
  c.Brush.Style = bsSolid;
  c.Brush.Color = FrameColor();
  c.FrameRect(ClientRect());
}

bool TTolvaneEditEx::SetProperty(const std::string& name, const TPropertyValue& v) {
  TColor col = 0;
  if (name == "BorderColor" && v.AsColor(&col)) return BorderColor = col, Invalidate(), true;
  if (name == "FocusBorderColor" && v.AsColor(&col)) return FocusBorderColor = col, true;
  if (name == "UnfocusedColor" && v.AsColor(&col)) return UnfocusedColor = col, Invalidate(), true;
  if (name == "DisableColor" && v.AsColor(&col)) return DisableColor = col, Invalidate(), true;
  if (name == "DisableBackGroundColor" && v.AsColor(&col))
    return DisableBackGroundColor = col, true;
  return TCustomEdit::SetProperty(name, v);
}

void RegisterXPEditExClasses() {
  RegisterControlClass("TTolvaneEditEx", [](TComponent* o) { return new TTolvaneEditEx(o); });
}
