// The speed button and its painter on the headless host: palettes by kind and state, the
// corner patterns pixel by pixel, caption and glyph placement, glyph cells per state, the
// press offset and the accelerator.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "controls/SpeedButtonPainter.h"
#include "controls/VexSpeedButton.h"
#include "tests/ui/headless_fixture.h"
#include "ui/properties.h"

using namespace ui;

namespace {

// 立即安装
const char kInstall[] = "\xc1\xa2\xbc\xb4\xb0\xb2\xd7\xb0";

// Renders a face onto a fresh w x h bitmap.
TBitmap Render(const TButtonFaceState& state) {
  TBitmap out(state.width, state.height, 0x123456);
  DrawButtonFace(out.Canvas(), state);
  return out;
}

TButtonFaceState Face(int w, int h, TModalButtonKind kind, bool enabled, bool inside) {
  TButtonFaceState s;
  s.width = w;
  s.height = h;
  s.kind = kind;
  s.enabled = enabled;
  s.mouseInside = inside;
  return s;
}

TColor At(const TBitmap& b, int x, int y) { return PixelToColor(b.Surface().At(x, y)); }

// "FFFFFF FCF2EC ..." -> colours.
std::vector<TColor> Row(const std::string& text) {
  std::istringstream in(text);
  std::vector<TColor> out;
  std::string word;
  while (in >> word) out.push_back(static_cast<TColor>(std::stoul(word, nullptr, 16)));
  return out;
}

struct CornerRows {
  const char* corner;
  std::vector<const char*> rows;  // counted inward from the edge row
};

void ExpectCorners(const TBitmap& b, const std::vector<CornerRows>& corners) {
  const int w = b.Width(), h = b.Height();
  for (size_t k = 0; k < corners.size(); ++k)
    for (size_t row = 0; row < corners[k].rows.size(); ++row) {
      const std::vector<TColor> want = Row(corners[k].rows[row]);
      for (size_t col = 0; col < want.size(); ++col) {
        const int x = (k == 0 || k == 2) ? static_cast<int>(col) : w - 1 - static_cast<int>(col);
        const int y = k < 2 ? static_cast<int>(row) : h - 1 - static_cast<int>(row);
        EXPECT_EQ(At(b, x, y), want[col]) << corners[k].corner << " row " << row << " col " << col;
      }
    }
}

TEST(SpeedButtonPainter, BlueAndGreyCornerPatternsOfTheInstallButton) {
  const TBitmap enabled = Render(Face(211, 42, mbkNormal, true, false));
  ExpectCorners(enabled,
                {{"top-left",
                  {"FFFFFF FCF2EC E69C70 DE7F44", "FCF2EC DE7E43 DA7435 DB7435",
                   "E69C70 DA7435 DB7435 DB7435", "DC793C DB7435 DB7435 DB7435"}},
                 {"top-right",
                  {"FFFFFF F9E9DF E59868 DE7F44", "F9E9DF DE7F46 DA7435 DB7435",
                   "E18A54 DB7435 DB7435 DB7435", "DB7435 DB7435 DB7435 DB7435"}},
                 {"bottom-left",
                  {"FFFFFF F5D8C6 DD7C40 DB7435", "F6DCCC DD7D41 DB7435 DB7435",
                   "E28E5B DB7435 DB7435 DB7435", "DB7638 DB7435 DB7435 DB7435"}},
                 {"bottom-right",
                  {"FFFFFF F1CCB5 DC793C DB7435", "F2D0BC DD7D41 DB7435 DB7435",
                   "DE7F44 DB7435 DB7435 DB7435", "DB7435 DB7435 DB7435 DB7435"}}});
  const TBitmap disabled = Render(Face(211, 42, mbkNormal, false, false));
  ExpectCorners(disabled, {{"top-left", {"FFFFFF FBF9F9 EBE8E7", "FBF9F9 E9E6E4 F0ECEB",
                                         "EBE8E7 F0ECEB F5F2F0"}},
                           {"top-right", {"FFFFFF F8F8F6 EBE7E6", "F8F8F6 EBE6E4 F1EDEC",
                                          "E9E6E4 F2EFED F5F2F0"}},
                           {"bottom-left", {"FFFFFF F3F1F1 E8E5E4", "F5F3F3 EAE7E5 F4F0EE",
                                            "EAE6E5 F2EEED F5F2F0"}},
                           {"bottom-right", {"FFFFFF F2EEEE E9E5E4", "F3F0F0 ECE8E6 F5F1EF",
                                             "E9E5E4 F3F1EE F5F2F0"}}});
  // Past the patterns the edges are the border and the inside the face.
  EXPECT_EQ(At(enabled, 4, 0), 0xDB7435u);
  EXPECT_EQ(At(disabled, 3, 0), 0xE8E4E3u);
  EXPECT_EQ(At(disabled, 3, 3), 0xF5F2F0u);
}

TEST(SpeedButtonPainter, FaceBorderAndTextColoursByKindAndState) {
  struct Case {
    TModalButtonKind kind;
    bool enabled, inside;
    TColor face, border, text;
  };
  const Case cases[] = {
      {mbkCancel, true, false, 0xFFFFFF, 0xF48542, 0xF48542},
      {mbkClose, true, false, 0xFFFFFF, 0xD9D9D9, 0x333333},
      {mbkNext, true, false, 0xFFFFFF, 0x086BFF, 0x086BFF},
      {mbkNormal, true, false, 0xDB7435, 0xDB7435, 0xFFFFFF},
      {mbkOK, true, false, 0xDB7435, 0xDB7435, 0xFFFFFF},
      {mbkCancel, true, true, 0xFFF4EA, 0xF48542, 0xF48542},
      {mbkClose, true, true, 0xF9F6F4, 0xD8D3D1, 0x333333},
      {mbkNext, true, true, 0xE6F0FF, 0x086BFF, 0x086BFF},
      {mbkNormal, true, true, 0xDB7435, 0xDB7435, 0xFFFFFF},
      {mbkNormal, false, false, 0xF5F2F0, 0xE8E4E3, 0x999999},
      {mbkCancel, false, true, 0xF5F2F0, 0xE8E4E3, 0x999999},
  };
  for (const Case& c : cases) {
    const TButtonPalette p = ChoosePalette(c.kind, c.enabled, c.inside);
    EXPECT_EQ(p.face, c.face) << c.kind << c.enabled << c.inside;
    EXPECT_EQ(p.border, c.border) << c.kind << c.enabled << c.inside;
    EXPECT_EQ(p.text, c.text) << c.kind << c.enabled << c.inside;
    // The picture shows them: the border mid-edge, the face in an empty middle.
    const TBitmap b = Render(Face(100, 40, c.kind, c.enabled, c.inside));
    EXPECT_EQ(At(b, 50, 1), c.kind == mbkNormal || c.kind == mbkOK || !c.enabled ? c.face
                                                                                   : c.border);
    EXPECT_EQ(At(b, 50, 20), c.face);
  }
}

TEST(SpeedButtonPainter, GenericCornersOfTheCancelKind) {
  for (const bool inside : {false, true}) {
    const TColor tone = inside ? 0xFBD3BB : 0xF9F8F8, border = 0xF48542;
    const TBitmap b = Render(Face(80, 30, mbkCancel, true, inside));
    const int w = 80, h = 30;
    // The outer ring in the corner tone, the second ring in the border colour.
    EXPECT_EQ(At(b, 40, 0), tone);
    EXPECT_EQ(At(b, 0, 15), tone);
    EXPECT_EQ(At(b, 40, h - 1), tone);
    EXPECT_EQ(At(b, w - 1, 15), tone);
    EXPECT_EQ(At(b, 40, 1), border);
    EXPECT_EQ(At(b, w - 2, 15), border);
    // Each corner: white (0,0) (1,0) (2,0) (0,1) (1,1) (0,2); tone (2,1) (1,2) (3,2) (2,3);
    // border (2,2), counted inward.
    const int xs[4][2] = {{0, 1}, {w - 1, -1}, {0, 1}, {w - 1, -1}};
    const int ys[4][2] = {{0, 1}, {0, 1}, {h - 1, -1}, {h - 1, -1}};
    for (int k = 0; k < 4; ++k) {
      const auto px = [&](int col, int row) {
        return At(b, xs[k][0] + xs[k][1] * col, ys[k][0] + ys[k][1] * row);
      };
      for (auto [col, row] : {std::pair{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}})
        EXPECT_EQ(px(col, row), 0xFFFFFFu) << k << " " << col << "," << row;
      for (auto [col, row] : {std::pair{2, 1}, {1, 2}, {3, 2}, {2, 3}})
        EXPECT_EQ(px(col, row), tone) << k << " " << col << "," << row;
      EXPECT_EQ(px(2, 2), border) << k;
    }
  }
}

TEST(SpeedButtonPainter, PlacementForEveryLayoutAndAlignment) {
  // w 100, h 40, text 30 x 14, glyph cell 16 x 16.
  struct Case {
    TButtonLayout layout;
    TAlignment alignment;
    TFacePlacement want;  // text x, y; glyph x, y
  };
  const int q = (100 - 30 - 16) / 2;  // 27
  const Case cases[] = {
      {blGlyphLeft, taLeftJustify, {20, 13, 4, 12}},
      {blGlyphLeft, taRightJustify, {66, 13, 50, 12}},
      {blGlyphLeft, taCenter, {q + 16, 13, q, 12}},
      {blGlyphRight, taLeftJustify, {4, 13, 34, 12}},
      {blGlyphRight, taRightJustify, {50, 13, 80, 12}},
      {blGlyphRight, taCenter, {q, 13, q + 30, 12}},
      {blGlyphTop, taLeftJustify, {4, 21, 4, 5}},
      {blGlyphTop, taRightJustify, {66, 21, 80, 5}},
      {blGlyphTop, taCenter, {35, 21, 42, 5}},
      {blGlyphBottom, taLeftJustify, {4, 5, 4, 19}},
      {blGlyphBottom, taRightJustify, {66, 5, 80, 19}},
      {blGlyphBottom, taCenter, {35, 5, 42, 19}},
  };
  for (const Case& c : cases)
    for (const int d : {0, 1}) {
      const TFacePlacement p = PlaceFace(100, 40, 30, 14, 16, 16, c.layout, c.alignment, d);
      EXPECT_EQ(p.textX, c.want.textX + d) << c.layout << "/" << c.alignment;
      EXPECT_EQ(p.textY, c.want.textY + d) << c.layout << "/" << c.alignment;
      EXPECT_EQ(p.glyphX, c.want.glyphX + d) << c.layout << "/" << c.alignment;
      EXPECT_EQ(p.glyphY, c.want.glyphY + d) << c.layout << "/" << c.alignment;
    }
  // Odd differences truncate toward zero.
  EXPECT_EQ(PlaceFace(10, 10, 13, 13, 0, 0, blGlyphLeft, taCenter, 0).textX, -1);
}

TEST(SpeedButtonPainter, GlyphCellFollowsTheState) {
  // A strip of four 16 x 16 cells in four colours; its bottom-left pixel (magenta) is the
  // transparent colour.
  const TColor cells[4] = {0x0000C0, 0x00C000, 0xC00000, 0x00C0C0};
  TBitmap strip(64, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) strip.Canvas().SetPixel(x, y, cells[x / 16]);
  strip.Canvas().SetPixel(0, 15, 0xFF00FF);
  struct Case {
    const char* what;
    bool enabled, down, inside;
    int cell;
  };
  const Case cases[] = {{"normal", true, false, false, 0},
                        {"disabled", false, false, false, 1},
                        {"disabled and down", false, true, true, 1},
                        {"down", true, true, false, 2},
                        {"hot", true, false, true, 3},
                        {"down and hot", true, true, true, 2}};
  for (const Case& c : cases) {
    TButtonFaceState s = Face(60, 32, mbkNormal, c.enabled, c.inside);
    s.down = c.down;
    s.style = bsEncarta;  // no press offset
    s.glyph = &strip;
    s.numGlyphs = 4;
    const TBitmap b = Render(s);
    // Empty caption: the cell is centred, (60 - 16) / 2 = 22, (32 - 16) / 2 = 8.
    EXPECT_EQ(At(b, 30, 16), cells[c.cell]) << c.what;
    EXPECT_EQ(At(b, 21, 16), s.enabled ? 0xDB7435u : 0xF5F2F0u) << c.what << ": outside the cell";
  }
  // The transparent pixel shows the face.
  TButtonFaceState s = Face(60, 32, mbkNormal, true, false);
  s.glyph = &strip;
  s.numGlyphs = 4;
  EXPECT_EQ(At(Render(s), 22, 23), 0xDB7435u);
}

// ---- The button ----------------------------------------------------------------------------
class SpeedButton : public ui_testing::HeadlessApp {
 protected:
  void SetUp() override {
    HeadlessApp::SetUp();
    form = NewForm(300, 100);
    button = new TVexSpeedButton(form);
    button->SetParent(form);
    button->SetBounds(10, 10, 211, 42);
    button->SetCaption(kInstall);
    form->Show();
    app->ProcessMessages();
  }
  // The bounding box of the white caption pixels on the shown button.
  TRect CaptionBox() {
    button->Repaint();
    app->ProcessMessages();
    TRect box{1000, 1000, -1, -1};
    for (int y = 14; y < 48; ++y)
      for (int x = 14; x < 217; ++x)
        if (Shown(form, x, y) == 0xFFFFFF) {
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    return box;
  }
  TForm* form = nullptr;
  TVexSpeedButton* button = nullptr;
};

TEST_F(SpeedButton, ANewButtonHasTheDefaultLook) {
  TVexSpeedButton fresh(nullptr);
  EXPECT_EQ(fresh.Width(), 60);
  EXPECT_EQ(fresh.Height(), 32);
  EXPECT_EQ(fresh.Font.Height, -14);
  EXPECT_EQ(fresh.Font.Name, "\xce\xa2\xc8\xed\xd1\xc5\xba\xda");
  EXPECT_EQ(fresh.Font.Color, 0x333333u);
  EXPECT_EQ(fresh.Font.Charset, kGb2312Charset);
  EXPECT_EQ(fresh.Style, bsModern);
  EXPECT_EQ(fresh.ButtonKind(), mbkNormal);
  EXPECT_TRUE(fresh.TabStop);
}

TEST_F(SpeedButton, PressedTheCaptionMovesOnePixelRightAndDown) {
  const TRect up = CaptionBox();
  ASSERT_LT(up.Left, up.Right) << "caption drawn";
  button->SetDown(true);
  const TRect down = CaptionBox();
  EXPECT_EQ(down.Left, up.Left + 1);
  EXPECT_EQ(down.Top, up.Top + 1);
  EXPECT_EQ(down.Width(), up.Width());
  EXPECT_EQ(down.Height(), up.Height());
  // The caption is centred: (211 - width) / 2 from the button's left.
  button->SetDown(false);
  EXPECT_EQ(Shown(form, 10 + 105, 10 + 1), 0xDB7435u);
}

TEST_F(SpeedButton, ColourPropertiesDoNotChangeThePicture) {
  const auto picture = [&] {
    button->Repaint();
    app->ProcessMessages();
    std::vector<TColor> pixels;
    for (int y = 10; y < 52; ++y)
      for (int x = 10; x < 221; ++x) pixels.push_back(Shown(form, x, y));
    return pixels;
  };
  for (const bool enabled : {true, false}) {
    button->SetEnabled(enabled);
    const std::vector<TColor> before = picture();
    button->SetColorWhenDown(0x00FF00);
    button->SetHotTrackColor(0x0000FF);
    button->SetDisableFontColor(0xFF00FF);
    button->SetLightColor(0x0000FF);
    button->SetShadowColor(0x00FF00);
    button->SetBorderFocusColor(0xFF0000);
    button->SetFlat(!button->Flat());
    button->SetHasBorder(!button->HasBorder());
    button->SetBoldFocusBorder(!button->BoldFocusBorder());
    button->SetColor(0x00FF00);
    button->Font.Color = 0x00FFFF;
    EXPECT_EQ(picture(), before) << (enabled ? "enabled" : "disabled");
  }
}

TEST_F(SpeedButton, TheAcceleratorIsTheCharacterAfterASingleAmpersand) {
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  struct Case {
    const char* caption;
    char key;
    bool clicks;
  };
  const Case cases[] = {{"&&a &b", 'b', true}, {"&&a &b", 'B', true}, {"&&a &b", 'a', false},
                        {"&Go", 'g', true},    {"Go&", 'g', false},   {"a&&b", 'b', false},
                        {"no accel", 'n', false}};
  for (const Case& c : cases) {
    clicks = 0;
    button->SetCaption(c.caption);
    TMessage m{kCmDialogChar, static_cast<intptr_t>(c.key), 0, 0};
    button->WndProc(m);
    EXPECT_EQ(clicks, c.clicks ? 1 : 0) << c.caption << " / " << c.key;
    EXPECT_EQ(m.Result != 0, c.clicks) << c.caption << " / " << c.key;
  }
  EXPECT_TRUE(IsAccel('x', "\xb0\x26&x")) << "a trail byte 0x26 is no ampersand";
}

TEST_F(SpeedButton, ColorStylePresetsWriteTheirColoursAndReadBackCustom) {
  struct Case {
    TModalColorStyle preset;
    TColor color, light, shadow, down, hot;
    bool flat;
    TVexSpeedButtonStyle style;
  };
  constexpr TColor kNone = 0x1FFFFFFF;
  const Case cases[] = {
      {lcsGold, 0x00C0C0, 0x00FFFF, 0x008080, kNone, 0x00DFDF, false, bsModern},
      {lcsChrome, 0xC0C0C0, 0xFFFFFF, 0x808080, kNone, kNone, false, bsModern},
      {lcsBlue, 0xFF8000, 0xFFFF00, 0xFF0000, kNone, kNone, false, bsModern},
      {lcsRed, 0x0000FF, 0xC0C0FF, 0x0000C0, kNone, kNone, false, bsModern},
      {lcsUltraFlat1, clBtnFace, 0xB59284, 0xB59284, 0xB59284, 0xDED3D6, true, bsNormal},
      {lcsUltraFlat2, clBtnFace, 0x000000, 0x000000, 0x24DABC, 0x8CF6E4, true, bsNormal},
      {lcsAqua, 0xECCE94, 0xFCE6D4, 0x000000, kNone, kNone, false, bsModern},
  };
  for (const Case& c : cases) {
    button->SetColorStyle(c.preset);
    EXPECT_EQ(button->ColorStyle(), lcsCustom);
    EXPECT_EQ(button->Color(), c.color) << c.preset;
    EXPECT_EQ(button->LightColor(), c.light) << c.preset;
    EXPECT_EQ(button->ShadowColor(), c.shadow) << c.preset;
    EXPECT_EQ(button->ColorWhenDown(), c.down) << c.preset;
    EXPECT_EQ(button->HotTrackColor(), c.hot) << c.preset;
    EXPECT_EQ(button->Flat(), c.flat) << c.preset;
    EXPECT_EQ(button->Style, c.style) << c.preset;
    EXPECT_EQ(button->SkinIndex(), -1);
  }
  // lcsCustom changes nothing.
  button->SetColorStyle(lcsCustom);
  EXPECT_EQ(button->Color(), 0xECCE94u);
  // The new button's colours, and a definition's preset.
  TVexSpeedButton fresh(nullptr);
  EXPECT_EQ(fresh.Color(), 0xF48542u);
  EXPECT_EQ(fresh.ColorWhenDown(), 0xDB7435u);
  EXPECT_EQ(fresh.HotTrackColor(), 0xF48542u);
  EXPECT_EQ(fresh.LightColor(), 0xFFFFFFu);
  EXPECT_EQ(fresh.ShadowColor(), 0xBC8263u);
  EXPECT_EQ(fresh.DisableFontColor(), 0x878787u);
  EXPECT_EQ(fresh.BorderFocusColor(), 0xEEC477u);
  EXPECT_TRUE(fresh.HasBorder());
  EXPECT_FALSE(fresh.BoldFocusBorder());
  EXPECT_FALSE(fresh.Flat());
  TPropertyValue blue;
  blue.kind = TPropertyValue::kIdent;
  blue.text = "lcsBlue";
  EXPECT_TRUE(fresh.SetProperty("ColorStyle", blue));
  EXPECT_EQ(fresh.Color(), 0xFF8000u);
  blue.text = "lcsPurple";
  EXPECT_FALSE(fresh.SetProperty("ColorStyle", blue));
}

TEST_F(SpeedButton, AGlyphStripSetsNumGlyphsAndIsPlacedByLayoutAndAlignment) {
  TBitmap strip(64, 16, 0x0000C0);
  button->SetGlyph(&strip);
  EXPECT_EQ(button->NumGlyphs(), 4);
  TBitmap tall(16, 40);
  button->SetGlyph(&tall);
  EXPECT_EQ(button->NumGlyphs(), 0) << "narrower than high";
  TBitmap flat(16, 0);
  button->SetGlyph(&flat);
  EXPECT_EQ(button->NumGlyphs(), 0) << "no height";
  button->SetGlyph(nullptr);
  EXPECT_TRUE(button->Glyph().Empty());
  // One 16 x 16 red cell, no caption, left justified on the left: x 4 .. 19 of the button.
  TBitmap one(16, 16, 0x0000C0);
  button->SetCaption("");
  button->SetGlyph(&one);
  button->SetStyle(bsNormal);
  button->SetAlignment(taLeftJustify);
  button->SetLayout(blGlyphLeft);
  app->ProcessMessages();
  const int top = 10 + (42 - 16) / 2;
  // The strip's only colour is its bottom-left one, the transparent colour: nothing shows.
  EXPECT_EQ(Shown(form, 10 + 4, top + 8), 0xDB7435u);
  one.Canvas().SetPixel(0, 15, 0x00FF00);
  button->SetGlyph(&one);
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 10 + 4, top + 8), 0x0000C0u);
  EXPECT_EQ(Shown(form, 10 + 3, top + 8), 0xDB7435u);
  button->SetAlignment(taRightJustify);
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 10 + 211 - 4 - 16, top + 8), 0x0000C0u);
  // bsModern takes the centre again.
  button->SetStyle(bsModern);
  EXPECT_EQ(button->Alignment(), taCenter);
}

TEST_F(SpeedButton, SkinsApplyTheirRowAndSwapWhileDisabled) {
  button->SetSkinIndex(3);
  EXPECT_EQ(button->Color(), 0x475BD2u);
  EXPECT_EQ(button->HotTrackColor(), 0x5166EAu);
  EXPECT_EQ(button->ColorWhenDown(), 0x3C4EB3u);
  EXPECT_EQ(button->LightColor(), 0x000000u);
  EXPECT_EQ(button->ShadowColor(), 0x000000u);
  EXPECT_EQ(button->Font.Color, 0xFFFFFFu);
  EXPECT_FALSE(button->HasBorder());
  EXPECT_EQ(button->Style, bsNormal);
  EXPECT_FALSE(button->PaintLocked());
  struct Case {
    int skin, disabledSkin;
  };
  for (const Case c : {Case{3, 6}, Case{12, 16}, Case{8, 6}, Case{9, 16}}) {
    button->SetSkinIndex(c.skin);
    button->SetEnabled(false);
    EXPECT_EQ(button->SkinIndex(), c.disabledSkin) << c.skin;
    EXPECT_EQ(button->SavedSkinIndex(), c.skin);
    EXPECT_EQ(button->Color(), ButtonSkins(c.disabledSkin)->color);
    button->SetEnabled(true);
    EXPECT_EQ(button->SkinIndex(), c.skin);
    EXPECT_EQ(button->Color(), ButtonSkins(c.skin)->color);
  }
  // A new colour forgets the skin and keeps the others; Color and DisableFontColor do not.
  button->SetSkinIndex(12);
  button->SetColor(0x010203);
  button->SetDisableFontColor(0x040506);
  EXPECT_EQ(button->SkinIndex(), 12);
  button->SetHotTrackColor(0x0A0B0C);
  EXPECT_EQ(button->SkinIndex(), -1);
  EXPECT_EQ(button->ColorWhenDown(), 0xDADEF6u);
  // Without a skin, disabling swaps nothing.
  button->SetEnabled(false);
  EXPECT_EQ(button->SkinIndex(), -1);
  button->SetEnabled(true);
  // No such row: nothing changes and painting is not left locked.
  button->SetSkinIndex(40);
  EXPECT_EQ(button->HotTrackColor(), 0x0A0B0Cu);
  EXPECT_FALSE(button->PaintLocked());
  button->SetTransparent(true);
  EXPECT_TRUE(button->Transparent());
  button->SetSkinIndex(12);
  button->SetTransparent(false);
  EXPECT_EQ(button->SkinIndex(), -1) << "Transparent forgets the skin too";
  // Skins change no pixel of the default kind's picture.
  EXPECT_EQ(Shown(form, 10 + 105, 10 + 1), 0xDB7435u);
}

TEST_F(SpeedButton, TheButtonPaintsWithThePaletteOfItsKind) {
  button->SetCaption("");
  for (const TModalButtonKind kind : {mbkCancel, mbkClose, mbkNext, mbkNormal, mbkOK})
    for (const bool enabled : {true, false}) {
      button->SetButtonKind(kind);
      button->SetEnabled(enabled);
      app->ProcessMessages();
      // The focused button is hot.
      const TButtonPalette p = ChoosePalette(kind, enabled, button->MouseInside());
      EXPECT_EQ(Shown(form, 10 + 105, 10 + 20), p.face) << kind << " " << enabled;
      EXPECT_EQ(Shown(form, 10 + 105, 10 + 1), kind == mbkNormal || kind == mbkOK || !enabled
                                                   ? p.face
                                                   : p.border)
          << kind << " " << enabled;
    }
  // The cancel kind is white (FFF4EA when hot) with an orange border, not the default blue.
  button->SetButtonKind(mbkCancel);
  button->SetEnabled(true);
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 10 + 105, 10 + 20), button->MouseInside() ? 0xFFF4EAu : 0xFFFFFFu);
  EXPECT_EQ(Shown(form, 10 + 105, 10 + 1), 0xF48542u);
}

TEST_F(SpeedButton, AClickDropsThePopupMenuAtTheLowerLeftCornerBeforeOnClick) {
  TPopupMenu menu(form);
  std::vector<std::string> order;
  menu.OnPopup = [&](TObject*) { order.push_back("popup"); };
  button->OnClick = [&](TObject*) { order.push_back("click"); };
  button->SetPopupMenu(&menu);
  button->Click();
  EXPECT_EQ(order, (std::vector<std::string>{"popup", "click"}));
  const TPoint corner = button->ClientToScreen({0, 42});
  EXPECT_EQ(menu.PopupPoint.X, corner.X);
  EXPECT_EQ(menu.PopupPoint.Y, corner.Y);
  // Without a menu only the click.
  button->SetPopupMenu(nullptr);
  order.clear();
  button->Click();
  EXPECT_EQ(order, (std::vector<std::string>{"click"}));
}

}  // namespace
