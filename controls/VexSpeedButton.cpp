#include "controls/VexSpeedButton.h"

#include "ui/definition.h"

using namespace ui;

TVexSpeedButton::TVexSpeedButton(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = (ControlStyle | csSetCaption) & ~csOpaque;
  SetBounds(Left(), Top(), 60, 32);
  SetColor(0xF48542);
  SetDefaultButtonFont(Font);
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

void TVexSpeedButton::SetBorderFocusColor(TColor v) {
  if (v == borderFocusColor_) return;
  borderFocusColor_ = v;
  skinIndex_ = -1;
  if (Focused()) RefreshButton();
}

void TVexSpeedButton::SetDisableFontColor(TColor v) {
  if (v == disableFontColor_) return;
  disableFontColor_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetBoldFocusBorder(bool v) {
  if (v == boldFocusBorder_) return;
  boldFocusBorder_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetColorStyle(TModalColorStyle preset) {
  const TColorPreset* p = ColorPreset(preset);
  if (!p) return;
  SetColor(p->color);
  lightColor_ = p->lightColor;
  shadowColor_ = p->shadowColor;
  colorWhenDown_ = p->colorWhenDown;
  hotTrackColor_ = p->hotTrackColor;
  flat_ = p->flat;
  Style = p->style;
  skinIndex_ = -1;
  RefreshButton();
}

void TVexSpeedButton::SetStyle(TVexSpeedButtonStyle v) {
  Style = v;
  if (v == bsModern) alignment_ = taCenter;
  RefreshButton();
}

void TVexSpeedButton::SetGlyph(const TBitmap* glyph) {
  if (glyph) {
    glyph_.Surface() = glyph->Surface();
    numGlyphs_ = glyph->Height() > 0 ? glyph->Width() / glyph->Height() : 0;
  } else {
    glyph_.SetSize(0, 0);
    numGlyphs_ = 0;
  }
  RefreshButton();
}

void TVexSpeedButton::SetNumGlyphs(int v) {
  numGlyphs_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetLayout(TButtonLayout v) {
  layout_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetAlignment(TAlignment v) {
  alignment_ = v;
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
      // The caption's accelerator (any case) clicks the button.
      if (IsAccel(static_cast<char>(m.WParam), Caption()) &&
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
  if (!GetParentForm() || IsLoading()) return;
  TButtonFaceState state;
  state.width = Width();
  state.height = Height();
  state.background = Parent() ? Parent()->Color() : clBtnFace;
  state.kind = ButtonKind;
  state.enabled = Enabled();
  state.mouseInside = mouseInside_;
  state.down = down_;
  state.transparent = Transparent;
  state.style = Style;
  state.caption = Caption();
  state.font = &Font;
  state.glyph = &glyph_;
  state.numGlyphs = numGlyphs_;
  state.layout = layout_;
  state.alignment = alignment_;
  DrawButtonFace(Canvas(), state);
}

bool TVexSpeedButton::SetProperty(const std::string& name, const TPropertyValue& v) {
  TColor col = 0;
  bool flag = false;
  if (name == "ColorWhenDown" && v.AsColor(&col)) return SetColorWhenDown(col), true;
  if (name == "HotTrackColor" && v.AsColor(&col)) return SetHotTrackColor(col), true;
  if (name == "DisableFontColor" && v.AsColor(&col)) return SetDisableFontColor(col), true;
  if (name == "LightColor" && v.AsColor(&col)) return SetLightColor(col), true;
  if (name == "ShadowColor" && v.AsColor(&col)) return SetShadowColor(col), true;
  if (name == "BorderFocusColor" && v.AsColor(&col)) return SetBorderFocusColor(col), true;
  if (name == "Flat" && v.AsBool(&flag)) return SetFlat(flag), true;
  if (name == "HasBorder" && v.AsBool(&flag)) return SetHasBorder(flag), true;
  if (name == "BoldFocusBorder" && v.AsBool(&flag)) return SetBoldFocusBorder(flag), true;
  if (name == "ExtraTag" && v.AsInt(&ExtraTag)) return true;
  int number = 0;
  if (name == "NumGlyphs" && v.AsInt(&number)) return SetNumGlyphs(number), true;
  if (name == "Layout") {
    TButtonLayout layout = blGlyphLeft;
    if (!v.AsEnum<TButtonLayout>({{"blGlyphLeft", blGlyphLeft},
                                  {"blGlyphRight", blGlyphRight},
                                  {"blGlyphTop", blGlyphTop},
                                  {"blGlyphBottom", blGlyphBottom}},
                                 &layout))
      return false;
    return SetLayout(layout), true;
  }
  if (name == "Alignment") {
    TAlignment alignment = taCenter;
    if (!v.AsEnum<TAlignment>(
            {{"taLeftJustify", taLeftJustify}, {"taRightJustify", taRightJustify},
             {"taCenter", taCenter}},
            &alignment))
      return false;
    return SetAlignment(alignment), true;
  }
  if (name == "ColorStyle") {
    TModalColorStyle preset = lcsCustom;
    if (!v.AsEnum<TModalColorStyle>({{"lcsCustom", lcsCustom},
                                     {"lcsGold", lcsGold},
                                     {"lcsChrome", lcsChrome},
                                     {"lcsBlue", lcsBlue},
                                     {"lcsRed", lcsRed},
                                     {"lcsUltraFlat1", lcsUltraFlat1},
                                     {"lcsUltraFlat2", lcsUltraFlat2},
                                     {"lcsAqua", lcsAqua}},
                                    &preset))
      return false;
    SetColorStyle(preset);
    return true;
  }
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
      if (v.text == names[i]) return SetStyle(static_cast<TVexSpeedButtonStyle>(i)), true;
    return false;
  }
  return TCustomControl::SetProperty(name, v);
}

void RegisterVexSpeedButtonClasses() {
  RegisterControlClass("TVexSpeedButton", [](TComponent* o) { return new TVexSpeedButton(o); });
}
