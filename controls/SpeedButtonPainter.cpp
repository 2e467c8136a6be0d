#include "controls/SpeedButtonPainter.h"

using namespace ui;
using namespace speed_button_colors;

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

// The pixel (col, row) counted inward from corner 0..3 of r.
TPoint Inward(const TRect& r, int corner, int col, int row) {
  const int x = (corner == 0 || corner == 2) ? r.Left + col : r.Right - 1 - col;
  const int y = corner < 2 ? r.Top + row : r.Bottom - 1 - row;
  return {x, y};
}

template <int N>
void DrawPattern(TCanvas& c, const TRect& r, const TColor (&table)[4][N][N]) {
  for (int corner = 0; corner < 4; ++corner)
    for (int row = 0; row < N; ++row)
      for (int col = 0; col < N; ++col) {
        const TPoint p = Inward(r, corner, col, row);
        c.SetPixel(p.X, p.Y, table[corner][row][col]);
      }
}

// A closed ring of lines from (l, t) to (r, b), inclusive; lines leave out their end point.
void Ring(TCanvas& c, int l, int t, int r, int b) {
  c.MoveTo(l, t);
  c.LineTo(r + 1, t);
  c.MoveTo(l, t);
  c.LineTo(l, b + 1);
  c.MoveTo(r, b);
  c.LineTo(l - 1, b);
  c.MoveTo(r, b);
  c.LineTo(r, t - 1);
}

void DrawGenericCorners(TCanvas& c, const TRect& rect, const TButtonPalette& p) {
  const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
  c.Pen.Style = psSolid;
  c.Pen.Color = p.cornerTone;
  Ring(c, l, t, r, b);
  c.Pen.Color = p.border;
  Ring(c, l + 1, t + 1, r - 1, b - 1);
  struct Dot {
    int col, row;
    TColor color;
  };
  const Dot dots[] = {{0, 0, kWhite},        {1, 0, kWhite},        {2, 0, kWhite},
                      {0, 1, kWhite},        {1, 1, kWhite},        {0, 2, kWhite},
                      {2, 1, p.cornerTone},  {1, 2, p.cornerTone},  {3, 2, p.cornerTone},
                      {2, 3, p.cornerTone},  {2, 2, p.border}};
  for (int corner = 0; corner < 4; ++corner)
    for (const Dot& d : dots) {
      const TPoint at = Inward(rect, corner, d.col, d.row);
      c.SetPixel(at.X, at.Y, d.color);
    }
}

}  // namespace

TButtonPalette ChoosePalette(TModalButtonKind kind, bool enabled, bool mouseInside) {
  if (!enabled) return {kDisabledFace, kDisabledBorder, kDisabledText, kCornerTone};
  const TColor tone = mouseInside ? kCornerToneHot : kCornerTone;
  switch (kind) {
    case mbkCancel:
      return {mouseInside ? kCancelHotFace : kWhite, kCancelOrange, kCancelOrange, tone};
    case mbkClose:
      return mouseInside ? TButtonPalette{kCloseHotFace, kCloseHotBorder, kDarkText, tone}
                         : TButtonPalette{kWhite, kCloseBorder, kDarkText, tone};
    case mbkNext:
      return {mouseInside ? kNextHotFace : kWhite, kNextBlue, kNextBlue, tone};
    default:
      return {kBlue, kBlue, kWhite, tone};
  }
}

void DrawButtonCorners(TCanvas& canvas, const TRect& rect, const TButtonPalette& palette,
                       TModalButtonKind kind, bool enabled) {
  if (enabled && (kind == mbkCancel || kind == mbkClose || kind == mbkNext))
    DrawGenericCorners(canvas, rect, palette);
  else if (palette.border == kBlue)
    DrawPattern(canvas, rect, kBlueCorners);
  else if (palette.border == kDisabledBorder)
    DrawPattern(canvas, rect, kGreyCorners);
}

void DrawGlyphCell(TCanvas& canvas, const TBitmap& glyph, const TRect& cell, int sourceX) {
  canvas.SaveDC();
  canvas.IntersectClipRect(cell);
  const TPoint origin = canvas.GetViewportOrg();
  canvas.SetViewportOrg({origin.X - sourceX, origin.Y});
  canvas.Draw(cell.Left, cell.Top, glyph);
  canvas.RestoreDC(-1);
}

TFacePlacement PlaceFace(int w, int h, int tw, int th, int gw, int gh, TButtonLayout layout,
                         TAlignment alignment, int d) {
  TFacePlacement p{};
  const bool side = layout == blGlyphLeft || layout == blGlyphRight;
  if (side) {
    p.textY = (h - th) / 2;
    p.glyphY = (h - gh) / 2;
  } else if (layout == blGlyphTop) {
    p.glyphY = (h - th - gh) / 2;
    p.textY = p.glyphY + gh;
  } else {
    p.textY = (h - th - gh) / 2;
    p.glyphY = p.textY + th;
  }
  const int q = (w - tw - gw) / 2;
  switch (alignment) {
    case taLeftJustify:
      if (layout == blGlyphLeft) p.glyphX = 4, p.textX = 4 + gw;
      else if (layout == blGlyphRight) p.textX = 4, p.glyphX = 4 + tw;
      else p.textX = p.glyphX = 4;
      break;
    case taRightJustify:
      if (layout == blGlyphLeft) p.textX = w - 4 - tw, p.glyphX = w - 4 - tw - gw;
      else if (layout == blGlyphRight) p.textX = w - 4 - tw - gw, p.glyphX = w - 4 - gw;
      else p.textX = w - 4 - tw, p.glyphX = w - 4 - gw;
      break;
    case taCenter:
      if (layout == blGlyphLeft) p.glyphX = q, p.textX = q + gw;
      else if (layout == blGlyphRight) p.textX = q, p.glyphX = q + tw;
      else p.textX = (w - tw) / 2, p.glyphX = (w - gw) / 2;
      break;
  }
  p.textX += d, p.textY += d, p.glyphX += d, p.glyphY += d;
  return p;
}

void DrawButtonFace(TCanvas& canvas, const TButtonFaceState& s) {
  const int w = s.width, h = s.height;
  TBitmap image(w, h, s.background);
  TCanvas& c = image.Canvas();
  TBitmap glyph;
  const bool hasGlyph = s.glyph && !s.glyph->Empty();
  if (hasGlyph) {
    glyph.Surface() = s.glyph->Surface();
    glyph.Transparent = true;  // its bottom-left colour is not drawn
  }
  const TButtonPalette palette = ChoosePalette(s.kind, s.enabled, s.mouseInside);
  const bool down = s.enabled && s.down;
  const int d = down && (s.style == bsNormal || s.style == bsModern) ? 1 : 0;
  if (!s.transparent) {
    c.Pen.Style = psSolid;
    c.Pen.Color = palette.border;
    c.Brush.Style = bsSolid;
    c.Brush.Color = palette.face;
    c.Rectangle({0, 0, w, h});
  }
  DrawButtonCorners(c, {0, 0, w, h}, palette, s.kind, s.enabled);
  if (s.font) c.Font.Assign(*s.font);
  if (down && s.style == bsEncarta) c.Font.Style |= fsBold;
  c.Font.Color = palette.text;
  c.Brush.Style = bsClear;
  std::string text = s.caption;
  if (hasGlyph) text = s.layout == blGlyphLeft ? " " + text : text + " ";
  if (text == " ") text.clear();
  const TSize extent = text.empty() ? TSize{0, 0} : c.TextExtent(text);
  const int gh = hasGlyph ? glyph.Height() : 0;
  const int gw = hasGlyph && s.numGlyphs > 0 ? glyph.Width() / s.numGlyphs : 0;
  int sourceX = 0;
  if (!s.enabled && s.numGlyphs > 1) {
    sourceX = gw;
  } else {
    if (s.mouseInside && s.numGlyphs > 3) sourceX = 3 * gw;
    if (down && s.numGlyphs > 2) sourceX = 2 * gw;
  }
  const TFacePlacement at =
      PlaceFace(w, h, extent.cx, extent.cy, gw, gh, s.layout, s.alignment, d);
  if (!text.empty()) {
    TRect r = Bounds(at.textX, at.textY, extent.cx, extent.cy);
    c.DrawTextA(text, r, kDtCenter | kDtVCenter);
  }
  if (hasGlyph && gw > 0)
    DrawGlyphCell(c, glyph, Bounds(at.glyphX, at.glyphY, gw, gh), sourceX);
  if (s.popupArrow && !s.popupArrow->Empty())
    c.Draw(w - s.popupArrow->Width() - 5, (h - s.popupArrow->Height()) / 2, *s.popupArrow);
  canvas.Draw(0, 0, image);
}

const TColorPreset* ColorPreset(TModalColorStyle preset) {
  constexpr TColor kNone = 0x1FFFFFFF;
  static const TColorPreset kPresets[] = {
      {0x00C0C0, 0x00FFFF, 0x008080, kNone, 0x00DFDF, false, bsModern},      // lcsGold
      {0xC0C0C0, 0xFFFFFF, 0x808080, kNone, kNone, false, bsModern},         // lcsChrome
      {0xFF8000, 0xFFFF00, 0xFF0000, kNone, kNone, false, bsModern},         // lcsBlue
      {0x0000FF, 0xC0C0FF, 0x0000C0, kNone, kNone, false, bsModern},         // lcsRed
      {clBtnFace, 0xB59284, 0xB59284, 0xB59284, 0xDED3D6, true, bsNormal},   // lcsUltraFlat1
      {clBtnFace, 0x000000, 0x000000, 0x24DABC, 0x8CF6E4, true, bsNormal},   // lcsUltraFlat2
      {0xECCE94, 0xFCE6D4, 0x000000, kNone, kNone, false, bsModern},         // lcsAqua
  };
  if (preset <= lcsCustom || preset > lcsAqua) return nullptr;
  return &kPresets[preset - 1];
}

void SetDefaultButtonFont(TFont& font) {
  font.Name = "\xce\xa2\xc8\xed\xd1\xc5\xba\xda";  // 微软雅黑
  font.SetSize(11);
  font.Height = -14;  // the height wins over the size
  font.Color = kDarkText;
  font.Charset = kGb2312Charset;
}
