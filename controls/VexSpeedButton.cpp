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
  if (groupIndex_ != 0 && Parent())
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* other = dynamic_cast<TVexSpeedButton*>(Parent()->Controls(i));
      if (other && other != this && other->GroupIndex() == groupIndex_) other->SetDown(false);
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

const TButtonSkin* ButtonSkins(int row) {
  static const TButtonSkin kSkins[kButtonSkinCount] = {
      {0xCA8B41, 0xE19A4A, 0xAD7639, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0xE0B36F, 0xE2B571, 0xBA955D, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0x80B887, 0x87C591, 0x699871, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0x475BD2, 0x5166EA, 0x3C4EB3, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0x51B7FF, 0x2DA8FE, 0x0999FF, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0x87E1FF, 0x50D3FE, 0x19C6FE, false, false, 0x000000, 0xEEC477, 0x2B6890},
      {0xCCCCCC, 0xC1C1C1, 0xAAAAAA, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0xD9D3C8, 0xCEC9C0, 0xC3BEB5, false, false, 0x000000, 0xEEC477, 0xFFFFFF},
      {0xC2B9AB, 0xB7B0A1, 0xABA396, false, false, 0x000000, 0xEEC477, 0x838383},
      {0xFFFFFF, 0xF9F3EC, 0xF5E8D8, true, false, 0xCB8D41, 0xCB8D41, 0xCB8D41},
      {0xFFFFFF, 0xFDF7F0, 0xF9F0E2, true, false, 0xDEB46F, 0xDEB46F, 0xDEB46F},
      {0xFFFFFF, 0xF2F8F3, 0xE6F1E7, true, false, 0x81B988, 0x81B988, 0x81B988},
      {0xFFFFFF, 0xECEEF9, 0xDADEF6, true, false, 0x435DCF, 0x435DCF, 0x435DCF},
      {0xFFFFFF, 0xEDF9FF, 0xDCF1FF, true, false, 0x53B7FF, 0x53B7FF, 0x53B7FF},
      {0xFFFFFF, 0xF3FCFF, 0xE7FAFF, true, false, 0x8AE0FE, 0x8AE0FE, 0x447AA9},
      {0xFFFFFF, 0xF5F5F5, 0xECECEC, true, false, 0xF5F5F5, 0xF5F5F5, 0x363636},
      {0xF8F8F8, 0xEDEDED, 0xD8D8D8, true, false, 0xDBDBDB, 0xDBDBDB, 0x000000},
      {0xF8F8F8, 0xFAF8F7, 0xF4F1ED, true, false, 0xC7BCA8, 0xC7BCA8, 0x888888},
  };
  return row >= 0 && row < kButtonSkinCount ? &kSkins[row] : nullptr;
}

void TVexSpeedButton::SetSkinIndex(int v) {
  if (v == skinIndex_) return;
  skinIndex_ = v;
  ApplySkin();
}

void TVexSpeedButton::ApplySkin() {
  if (skinIndex_ < 0) return;
  // Painting waits until every colour of the row is in place, whatever happens.
  struct Locked {
    TVexSpeedButton* b;
    ~Locked() {
      b->paintLocked_ = false;
      if (b->Parent() && b->GetParentForm()) b->RefreshButton();
    }
  } locked{this};
  paintLocked_ = true;
  Style = bsNormal;
  const TButtonSkin* skin = ButtonSkins(skinIndex_);
  if (!skin) return;  // no such row: the colours stay
  const TButtonSkin& row = *skin;
  SetColor(row.color);
  colorWhenDown_ = row.colorWhenDown;
  hotTrackColor_ = row.hotTrackColor;
  borderFocusColor_ = row.borderFocusColor;
  Font.Color = row.fontColor;
  hasBorder_ = row.hasBorder;
  lightColor_ = shadowColor_ = row.lightAndShadow;
  boldFocusBorder_ = row.boldFocusBorder;
}

void TVexSpeedButton::SetGroupIndex(int v) {
  if (v == groupIndex_) return;
  groupIndex_ = v;
  RefreshButton();
}

void TVexSpeedButton::SetButtonKind(TModalButtonKind v) {
  buttonKind_ = v;
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
  if (transparent_)
    Invalidate();
  else
    Repaint();
}

void TVexSpeedButton::Click() {
  if (CanFocus()) SetFocus();
  if (PopupMenu()) {  // dropped at the button's lower-left corner
    const TPoint at = ClientToScreen({0, Height()});
    PopupMenu()->Popup(at.X, at.Y);
  }
  TCustomControl::Click();
}

void TVexSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (groupIndex_ == 0 || !down_)
    SetDown(true);
  else if (AllowAllUp)
    SetDown(false);
}

void TVexSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (groupIndex_ == 0) SetDown(false);
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
    case kCmTextChanged:  // a new caption shows at once
      TCustomControl::WndProc(m);
      RefreshButton();
      return;
    case kCmEnabledChanged:
      TCustomControl::WndProc(m);
      if (skinIndex_ >= 0) {
        if (!Enabled()) {
          savedSkinIndex_ = skinIndex_;
          SetSkinIndex(skinIndex_ < 9 ? 6 : 16);
        } else {
          SetSkinIndex(savedSkinIndex_);
        }
      }
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
  if (!GetParentForm() || paintLocked_ || IsLoading()) return;
  TButtonFaceState state;
  state.width = Width();
  state.height = Height();
  state.background = Parent() ? Parent()->Color() : clBtnFace;
  state.kind = buttonKind_;
  state.enabled = Enabled();
  state.mouseInside = mouseInside_;
  state.down = down_;
  state.transparent = transparent_;
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
  int skin = 0;
  if (name == "SkinIndex" && v.AsInt(&skin)) return SetSkinIndex(skin), true;
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
  if (name == "Transparent" && v.AsBool(&flag)) return SetTransparent(flag), true;
  if (name == "AllowAllUp" && v.AsBool(&flag)) return AllowAllUp = flag, true;
  int index = 0;
  if (name == "GroupIndex" && v.AsInt(&index)) return SetGroupIndex(index), true;
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
