// How a speed button looks, as a function of its state: the palette of its kind, the face
// rendered off-screen and copied in one step, the corner treatments, the glyph cell and
// the placement of caption and glyph. The painter reads a button's state and never
// changes the button.
#pragma once

#include <string>

#include "ui/graphics.h"

enum TVexSpeedButtonStyle { bsNormal, bsEncarta, bsModern };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TModalButtonKind {
  mbkCustom,
  mbkNormal,
  mbkCancel,
  mbkOK,
  mbkYes,
  mbkNo,
  mbkIgnore,
  mbkSearch,
  mbkReset,
  mbkPrint,
  mbkPreview,
  mbkImport,
  mbkExport,
  mbkClose,
  mbkInsert,
  mbkDelete,
  mbkModify,
  mbkNext
};

enum TModalColorStyle {
  lcsCustom,
  lcsGold,
  lcsChrome,
  lcsBlue,
  lcsRed,
  lcsUltraFlat1,
  lcsUltraFlat2,
  lcsAqua
};

namespace speed_button_colors {
// 0x00BBGGRR.
inline constexpr ui::TColor kWhite = 0xFFFFFF;
inline constexpr ui::TColor kBlue = 0xDB7435;          // the default kind's face and border
inline constexpr ui::TColor kDarkText = 0x333333;
inline constexpr ui::TColor kCancelOrange = 0xF48542;  // the cancel kind's border and text
inline constexpr ui::TColor kCancelHotFace = 0xFFF4EA;
inline constexpr ui::TColor kCloseBorder = 0xD9D9D9;
inline constexpr ui::TColor kCloseHotFace = 0xF9F6F4;
inline constexpr ui::TColor kCloseHotBorder = 0xD8D3D1;
inline constexpr ui::TColor kNextBlue = 0x086BFF;
inline constexpr ui::TColor kNextHotFace = 0xE6F0FF;
inline constexpr ui::TColor kDisabledFace = 0xF5F2F0;
inline constexpr ui::TColor kDisabledBorder = 0xE8E4E3;  // selects the grey corner pattern
inline constexpr ui::TColor kDisabledText = 0x999999;
inline constexpr ui::TColor kCornerTone = 0xF9F8F8;       // generic corners, pointer outside
inline constexpr ui::TColor kCornerToneHot = 0xFBD3BB;    // generic corners, pointer inside
}  // namespace speed_button_colors

struct TButtonPalette {
  ui::TColor face, border, text;
  ui::TColor cornerTone;  // used by the generic corners only
};

// The four colours of a button by kind and state; Down never changes them.
TButtonPalette ChoosePalette(TModalButtonKind kind, bool enabled, bool mouseInside);

// The corners: the generic rings for an enabled cancel, close or next button; otherwise
// the pattern of the border colour (blue 4 x 4, grey 3 x 3), or nothing for another one.
void DrawButtonCorners(ui::TCanvas& canvas, const ui::TRect& rect, const TButtonPalette& palette,
                       TModalButtonKind kind, bool enabled);

// Draws cell sourceX of a glyph strip into cell (only the cell is touched).
void DrawGlyphCell(ui::TCanvas& canvas, const ui::TBitmap& glyph, const ui::TRect& cell,
                   int sourceX);

// Where the caption (its left and top) and the glyph go on a w x h button, with the press
// offset d already added.
struct TFacePlacement {
  int textX, textY, glyphX, glyphY;
};
TFacePlacement PlaceFace(int w, int h, int textWidth, int textHeight, int glyphWidth,
                         int glyphHeight, TButtonLayout layout, ui::TAlignment alignment, int d);

// Everything the picture depends on.
struct TButtonFaceState {
  int width = 0, height = 0;
  ui::TColor background = ui::clBtnFace;  // the parent's colour
  TModalButtonKind kind = mbkNormal;
  bool enabled = true, mouseInside = false, down = false, transparent = false;
  TVexSpeedButtonStyle style = bsModern;
  std::string caption;
  const ui::TFont* font = nullptr;
  const ui::TBitmap* glyph = nullptr;  // the glyph strip (GlyphNew's when it has one)
  int numGlyphs = 1;
  TButtonLayout layout = blGlyphLeft;
  ui::TAlignment alignment = ui::taCenter;
  const ui::TBitmap* popupArrow = nullptr;  // drawn when the button has a popup menu
};

// Renders the whole button off-screen and copies it onto canvas at (0, 0).
void DrawButtonFace(ui::TCanvas& canvas, const TButtonFaceState& state);

// The colours and style a ColorStyle preset writes; none is the no-colour value
// 1FFFFFFF, "button face" the system colour. lcsCustom has no preset.
struct TColorPreset {
  ui::TColor color, lightColor, shadowColor, colorWhenDown, hotTrackColor;
  bool flat;
  TVexSpeedButtonStyle style;
};
const TColorPreset* ColorPreset(TModalColorStyle preset);

// The button's default font: 微软雅黑, height -14, colour 333333, GB2312.
void SetDefaultButtonFont(ui::TFont& font);
