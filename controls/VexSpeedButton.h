// The push button of the installer window: a windowed control that takes the focus,
// paints a flat face with rounded corners from a fixed palette, shows a caption, reacts
// to the left button and to Enter and Space, and can form radio groups.
//
// Its picture comes from the painter (SpeedButtonPainter.h): the palette of its kind and
// state, the corner patterns, the caption one pixel right and down while pressed. Glyph
// properties, popup menus, skins and colour presets come with the complete button.
#pragma once

#include <string>

#include "controls/SpeedButtonPainter.h"
#include "ui/controls.h"

enum TVexSpeedButtonSize { bsCustom, bsSmall, bsMedium, bsLarge };

class TVexSpeedButton : public ui::TCustomControl {
 public:
  explicit TVexSpeedButton(ui::TComponent* owner);

  bool Down() const { return down_; }
  void SetDown(bool v);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool AllowAllUp = false;
  TVexSpeedButtonStyle Style = bsModern;  // SetStyle keeps the alignment rule
  void SetStyle(TVexSpeedButtonStyle v);
  // The glyph strip: NumGlyphs cells side by side. Assigning sets NumGlyphs to its width
  // divided by its height (0 when the height is 0); nothing empties it.
  const ui::TBitmap& Glyph() const { return glyph_; }
  void SetGlyph(const ui::TBitmap* glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout v);
  ui::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(ui::TAlignment v);
  TModalButtonKind ButtonKind() const { return buttonKind_; }
  void SetButtonKind(TModalButtonKind v);
  TVexSpeedButtonSize ButtonSize() const { return buttonSize_; }
  void SetButtonSize(TVexSpeedButtonSize size);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { SetSkinned(transparent_, v); }

  // Colours and looks the button stores; the picture comes from the palette of its kind.
  // A new value of most of them forgets the skin (SkinIndex -1) without applying one.
  ui::TColor ColorWhenDown() const { return colorWhenDown_; }
  void SetColorWhenDown(ui::TColor v) { SetSkinned(colorWhenDown_, v); }
  ui::TColor HotTrackColor() const { return hotTrackColor_; }
  void SetHotTrackColor(ui::TColor v) { SetSkinned(hotTrackColor_, v); }
  ui::TColor LightColor() const { return lightColor_; }
  void SetLightColor(ui::TColor v) { SetSkinned(lightColor_, v); }
  ui::TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(ui::TColor v) { SetSkinned(shadowColor_, v); }
  bool Flat() const { return flat_; }
  void SetFlat(bool v) { SetSkinned(flat_, v); }
  bool HasBorder() const { return hasBorder_; }
  void SetHasBorder(bool v) { SetSkinned(hasBorder_, v); }
  ui::TColor BorderFocusColor() const { return borderFocusColor_; }
  void SetBorderFocusColor(ui::TColor v);
  ui::TColor DisableFontColor() const { return disableFontColor_; }
  void SetDisableFontColor(ui::TColor v);
  bool BoldFocusBorder() const { return boldFocusBorder_; }
  void SetBoldFocusBorder(bool v);
  // A row of ButtonSkins (0..17) applied to the colours, or -1 for none. While disabled a
  // skinned button shows row 6 (rows below 9) or 16, and its own row again when enabled.
  int SkinIndex() const { return skinIndex_; }
  void SetSkinIndex(int v);
  int SavedSkinIndex() const { return savedSkinIndex_; }
  bool PaintLocked() const { return paintLocked_; }
  void ApplySkin();
  int ExtraTag = 0;
  // Writing a preset applies its colours and style; reading gives lcsCustom.
  TModalColorStyle ColorStyle() const { return lcsCustom; }
  void SetColorStyle(TModalColorStyle preset);
  bool MouseInside() const { return mouseInside_; }
  ui::TNotifyEvent OnMouseExit;  // OnMouseEnter is the base control's

  // Repaints at once (invalidates when transparent).
  void RefreshButton();
  void Click() override;
  void WndProc(ui::TMessage& m) override;
  bool SetProperty(const std::string& name, const ui::TPropertyValue& value) override;

 protected:
  void Paint() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;

 private:
  template <typename T>
  void SetSkinned(T& field, T value) {
    if (field == value) return;
    field = value;
    skinIndex_ = -1;
    RefreshButton();
  }

  bool down_ = false;
  int groupIndex_ = 0;
  TModalButtonKind buttonKind_ = mbkNormal;
  bool transparent_ = false;
  bool mouseInside_ = false;
  ui::TColor colorWhenDown_ = 0xDB7435;
  ui::TColor hotTrackColor_ = 0xF48542;
  ui::TColor lightColor_ = 0xFFFFFF;
  ui::TColor shadowColor_ = 0xBC8263;
  ui::TColor borderFocusColor_ = 0xEEC477;
  ui::TColor disableFontColor_ = 0x878787;
  bool flat_ = false;
  bool hasBorder_ = true;
  bool boldFocusBorder_ = false;
  int skinIndex_ = -1;
  int savedSkinIndex_ = -1;
  bool paintLocked_ = false;
  ui::TBitmap glyph_;
  int numGlyphs_ = 0;
  TButtonLayout layout_ = blGlyphLeft;
  ui::TAlignment alignment_ = ui::taCenter;
  TVexSpeedButtonSize buttonSize_ = bsCustom;
};

// One row of the button skins.
struct TButtonSkin {
  ui::TColor color, hotTrackColor, colorWhenDown;
  bool hasBorder, boldFocusBorder;
  ui::TColor lightAndShadow, borderFocusColor, fontColor;
};
inline constexpr int kButtonSkinCount = 18;
// The row, or null outside 0..17.
const TButtonSkin* ButtonSkins(int row);

void RegisterVexSpeedButtonClasses();
