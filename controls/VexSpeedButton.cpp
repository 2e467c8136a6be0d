#include "controls/VexSpeedButton.h"

#include "ui/definition.h"

using namespace ui;

namespace {

// Corner pixels, 4 x 4 (blue) and 3 x 3 (grey) per corner: [corner][row][column], rows
// and columns counted inward from the corner pixel; corners top-left, top-right,
// bottom-left, bottom-right.
const TColor kBlueCorners[4][4][4] = {
    {{0xFFFFFF, 0xFCF2EC, 0xE69C70, 0xDE7F44},
     {0xFCF2EC, 0xDE7E43, 0xDA7435, 0xDB7435},
     {0xE69C70, 0xDA7435, 0xDB7435, 0xDB7435},
     {0xDC793C, 0xDB7435, 0xDB7435, 0xDB7435}},
    {{0xFFFFFF, 0xF9E9DF, 0xE59868, 0xDE7F44},
     {0xF9E9DF, 0xDE7F46, 0xDA7435, 0xDB7435},
     {0xE18A54, 0xDB7435, 0xDB7435, 0xDB7435},
     {0xDB7435, 0xDB7435, 0xDB7435, 0xDB7435}},
    {{0xFFFFFF, 0xF5D8C6, 0xDD7C40, 0xDB7435},
     {0xF6DCCC, 0xDD7D41, 0xDB7435, 0xDB7435},
     {0xE28E5B, 0xDB7435, 0xDB7435, 0xDB7435},
     {0xDB7638, 0xDB7435, 0xDB7435, 0xDB7435}},
    {{0xFFFFFF, 0xF1CCB5, 0xDC793C, 0xDB7435},
     {0xF2D0BC, 0xDD7D41, 0xDB7435, 0xDB7435},
     {0xDE7F44, 0xDB7435, 0xDB7435, 0xDB7435},
     {0xDB7435, 0xDB7435, 0xDB7435, 0xDB7435}},
};
const TColor kGreyCorners[4][3][3] = {
    {{0xFFFFFF, 0xFBF9F9, 0xEBE8E7},
     {0xFBF9F9, 0xE9E6E4, 0xF0ECEB},
     {0xEBE8E7, 0xF0ECEB, 0xF5F2F0}},
    {{0xFFFFFF, 0xF8F8F6, 0xEBE7E6},
     {0xF8F8F6, 0xEBE6E4, 0xF1EDEC},
     {0xE9E6E4, 0xF2EFED, 0xF5F2F0}},
    {{0xFFFFFF, 0xF3F1F1, 0xE8E5E4},
     {0xF5F3F3, 0xEAE7E5, 0xF4F0EE},
     {0xEAE6E5, 0xF2EEED, 0xF5F2F0}},
    {{0xFFFFFF, 0xF2EEEE, 0xE9E5E4},
     {0xF3F0F0, 0xECE8E6, 0xF5F1EF},
     {0xE9E5E4, 0xF3F1EE, 0xF5F2F0}},
};

template <int N>
void PaintCorners(TCanvas& c, int w, int h, const TColor (&table)[4][N][N]) {
  for (int corner = 0; corner < 4; ++corner)
    for (int row = 0; row < N; ++row)
      for (int col = 0; col < N; ++col) {
        const int x = (corner == 0 || corner == 2) ? col : w - 1 - col;
        const int y = corner < 2 ? row : h - 1 - row;
        c.SetPixel(x, y, table[corner][row][col]);
      }
}

}  // namespace

TVexSpeedButton::TVexSpeedButton(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = (ControlStyle | csSetCaption) & ~csOpaque;
  SetBounds(Left(), Top(), 60, 32);
  SetColor(0xF48542);
  Font.Name = "\xce\xa2\xc8\xed\xd1\xc5\xba\xda";  // 微软雅黑
  Font.Height = -14;
  Font.Color = 0x333333;
  Font.Charset = kGb2312Charset;
  SetParentFont(false);
  TabStop = true;
}

void TVexSpeedButton::SetDown(bool v) {
  if (v == down_) return;
  if (GroupIndex != 0 && Parent())
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* other = dynamic_cast<TVexSpeedButton*>(Parent()->Controls(i));
      if (other && other != this && other->GroupIndex == GroupIndex) other->SetDown(false);
    }
  down_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetButtonSize(TVexSpeedButtonSize size) {
  if (size == buttonSize_) return;
  buttonSize_ = size;
  const int widths[] = {0, 60, 88, 144};
  if (size != bsCustom) SetWidth(widths[size]);
  RefreshButton();
}

void TVexSpeedButton::RefreshButton() {
  if (Transparent)
    Invalidate();
  else
    Repaint();
}

void TVexSpeedButton::Click() {
  if (CanFocus()) SetFocus();
  TCustomControl::Click();
}

void TVexSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (GroupIndex == 0 || !down_)
    SetDown(true);
  else if (AllowAllUp)
    SetDown(false);
}

void TVexSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (GroupIndex == 0) SetDown(false);
}

void TVexSpeedButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kCmMouseEnter:
      if (!Enabled()) return;
      mouseInside_ = true;
      RefreshButton();
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case kCmMouseLeave:
      if (!Enabled()) return;
      mouseInside_ = false;
      RefreshButton();
      if (OnMouseExit) OnMouseExit(this);
      return;
    case kWmSetFocus:
      Perform(kCmMouseEnter);
      TCustomControl::WndProc(m);
      return;
    case kWmKillFocus:
      TCustomControl::WndProc(m);
      Perform(kCmMouseLeave);
      return;
    case kWmKeyDown:
      TCustomControl::WndProc(m);
      if (m.WParam == kVkReturn || m.WParam == kVkSpace) {
        down_ = true;
        Click();
        RefreshButton();
      }
      return;
    case kWmKeyUp:
      if (m.WParam == kVkReturn || m.WParam == kVkSpace) {
        down_ = false;
        RefreshButton();
        return;
      }
      TCustomControl::WndProc(m);
      return;
    case kCmDialogChar: {
      // "&x" in the caption: x (any case) clicks the button.
      const std::string& cap = Caption();
      const size_t amp = cap.find('&');
      const char key = static_cast<char>(m.WParam);
      if (amp != std::string::npos && amp + 1 < cap.size() && cap[amp + 1] != '&' &&
          std::tolower(static_cast<unsigned char>(cap[amp + 1])) ==
              std::tolower(static_cast<unsigned char>(key)) &&
          Enabled() && Visible() && Parent() && Parent()->Showing()) {
        const bool was = down_;
        down_ = true;
        Repaint();
        Click();
        down_ = was;
        Repaint();
        m.Result = 1;
        return;
      }
      TCustomControl::WndProc(m);
      return;
    }
    case kCmEnabledChanged:
      TCustomControl::WndProc(m);
      RefreshButton();
      return;
    case kWmSize:
      if (buttonSize_ != bsCustom) {
        const int w = UnpackPoint(m.LParam).X;
        if (w != 60 && w != 88 && w != 144) buttonSize_ = bsCustom;
      }
      return;
    default:
      TCustomControl::WndProc(m);
  }
}

void TVexSpeedButton::Paint() {
  TCustomForm* form = GetParentForm();
  if (!form || IsLoading()) return;
  const int w = Width(), h = Height();
  const bool enabled = Enabled();
  const TColor face = enabled ? 0xDB7435 : 0xF5F2F0;
  const TColor border = enabled ? 0xDB7435 : 0xE8E4E3;
  const TColor text = enabled ? 0xFFFFFF : 0x999999;
  const bool down = enabled && down_;
  const int d = down && (Style == bsNormal || Style == bsModern) ? 1 : 0;
  TBitmap b(w, h, Parent() ? Parent()->Color() : clBtnFace);
  TCanvas& c = b.Canvas();
  if (!Transparent) {
    c.Pen.Style = psSolid;
    c.Pen.Color = border;
    c.Brush.Style = bsSolid;
    c.Brush.Color = face;
    c.Rectangle({0, 0, w, h});
  }
  if (border == 0xDB7435)
    PaintCorners(c, w, h, kBlueCorners);
  else if (border == 0xE8E4E3)
    PaintCorners(c, w, h, kGreyCorners);
  c.Font.Assign(Font);
  if (down && Style == bsEncarta) c.Font.Style |= fsBold;
  c.Font.Color = text;
  c.Brush.Style = bsClear;
  const TSize e = c.TextExtent(Caption());
  TRect r = Bounds((w - e.cx) / 2 + d, (h - e.cy) / 2 + d, e.cx, e.cy);
  c.DrawTextA(Caption(), r, kDtCenter | kDtVCenter);
  Canvas().Draw(0, 0, b);
}

bool TVexSpeedButton::SetProperty(const std::string& name, const TPropertyValue& v) {
  TColor col = 0;
  bool flag = false;
  if (name == "ColorWhenDown" && v.AsColor(&col)) return ColorWhenDown = col, true;
  if (name == "HotTrackColor" && v.AsColor(&col)) return HotTrackColor = col, true;
  if (name == "DisableFontColor" && v.AsColor(&col)) return DisableFontColor = col, true;
  if (name == "Transparent" && v.AsBool(&flag)) return Transparent = flag, true;
  if (name == "AllowAllUp" && v.AsBool(&flag)) return AllowAllUp = flag, true;
  if (name == "GroupIndex" && v.AsInt(&GroupIndex)) return true;
  if (name == "Down" && v.AsBool(&flag)) return SetDown(flag), true;
  if (name == "ButtonSize" && v.kind == TPropertyValue::kIdent) {
    const char* names[] = {"bsCustom", "bsSmall", "bsMedium", "bsLarge"};
    for (int i = 0; i < 4; ++i)
      if (v.text == names[i]) return SetButtonSize(static_cast<TVexSpeedButtonSize>(i)), true;
    return false;
  }
  if (name == "Style" && v.kind == TPropertyValue::kIdent) {
    const char* names[] = {"bsNormal", "bsEncarta", "bsModern"};
    for (int i = 0; i < 3; ++i)
      if (v.text == names[i]) return Style = static_cast<TVexSpeedButtonStyle>(i), true;
    return false;
  }
  return TCustomControl::SetProperty(name, v);
}

void RegisterVexSpeedButtonClasses() {
  RegisterControlClass("TVexSpeedButton", [](TComponent* o) { return new TVexSpeedButton(o); });
}
