// The canvas: exact pixels of lines, rectangles, clipping with the state stack, copies
// and alpha-blended scaled drawing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/graphics.h"
#include "ui/png_image.h"
#include "tests/ui/headless_fixture.h"

using namespace ui;
using ui_testing::MakeImage;
using ui_testing::Solid;

namespace {

constexpr TColor W = clWhite;
constexpr TColor K = clBlack;
constexpr TColor R = 0x0000FF;

// The surface as rows of '.' (white), '#' (black) and '?' (anything else).
std::vector<std::string> Picture(const TSurface& s) {
  std::vector<std::string> rows;
  for (int y = 0; y < s.Height(); ++y) {
    std::string row;
    for (int x = 0; x < s.Width(); ++x) {
      const TColor c = PixelToColor(s.At(x, y));
      row += c == W ? '.' : c == K ? '#' : '?';
    }
    rows.push_back(row);
  }
  return rows;
}

struct Fresh {
  TSurface surface;
  TCanvas canvas;
  Fresh(int w, int h) : surface(w, h, ColorToPixel(W)), canvas(&surface) {}
};

TEST(Canvas, LinesLeaveOutTheirEndPoint) {
  struct Case {
    TPoint from, to;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{1, 1}, {5, 1}, {"......", ".####.", "......", "......"}},
      {{4, 3}, {0, 3}, {"......", "......", "......", ".####."}},
      {{2, 0}, {2, 3}, {"..#...", "..#...", "..#...", "......"}},
      {{0, 0}, {3, 3}, {"#.....", ".#....", "..#...", "......"}},
      {{5, 0}, {2, 3}, {".....#", "....#.", "...#..", "......"}},
      {{3, 2}, {3, 2}, {"......", "......", "......", "......"}},  // nothing at all
  };
  for (const Case& c : cases) {
    Fresh f(6, 4);
    f.canvas.Pen.Color = K;
    f.canvas.MoveTo(c.from.X, c.from.Y);
    f.canvas.LineTo(c.to.X, c.to.Y);
    EXPECT_EQ(Picture(f.surface), c.expected)
        << c.from.X << "," << c.from.Y << " -> " << c.to.X << "," << c.to.Y;
    EXPECT_EQ(f.canvas.PenPos(), c.to);
  }
}

TEST(Canvas, RectangleOutlineFillAndFrames) {
  Fresh f(7, 6);
  f.canvas.Pen.Color = K;
  f.canvas.Brush.Color = R;
  f.canvas.Rectangle({1, 1, 6, 5});
  EXPECT_EQ(Picture(f.surface), (std::vector<std::string>{".......", ".#####.", ".#???#.",
                                                          ".#???#.", ".#####.", "......."}));
  EXPECT_EQ(PixelToColor(f.surface.At(3, 2)), R);

  // A clear pen: the fill covers one pixel less on the right and at the bottom.
  Fresh g(5, 4);
  g.canvas.Pen.Style = psClear;
  g.canvas.Brush.Color = K;
  g.canvas.Rectangle({0, 0, 4, 3});
  EXPECT_EQ(Picture(g.surface), (std::vector<std::string>{"###..", "###..", ".....", "....."}));

  Fresh h(5, 4);
  h.canvas.Brush.Color = K;
  h.canvas.FrameRect({0, 0, 5, 4});
  h.canvas.Brush.Color = W;
  h.canvas.FillRect({2, 1, 3, 3});  // right and bottom exclusive: one column
  EXPECT_EQ(Picture(h.surface), (std::vector<std::string>{"#####", "#...#", "#...#", "#####"}));
}

TEST(Canvas, DashedOutlineRunsEighteenOnSixOff) {
  Fresh f(40, 3);
  f.canvas.Pen.Style = psDash;
  f.canvas.Pen.Color = K;
  f.canvas.Brush.Style = bsClear;
  f.canvas.Rectangle({0, 0, 40, 3});
  const std::string top = Picture(f.surface)[0];
  EXPECT_EQ(top, std::string(18, '#') + std::string(6, '.') + std::string(16, '#'));
  EXPECT_EQ(Picture(f.surface)[1][20], '.');  // clear brush: the inside stays
}

TEST(Canvas, ClipRectanglesAndTheStateStack) {
  Fresh f(6, 4);
  f.canvas.Brush.Color = K;
  const int saved = f.canvas.SaveDC();
  EXPECT_TRUE(f.canvas.IntersectClipRect({1, 1, 5, 4}));
  EXPECT_TRUE(f.canvas.ExcludeClipRect({2, 2, 4, 3}));
  f.canvas.FillRect({0, 0, 6, 4});
  EXPECT_EQ(Picture(f.surface), (std::vector<std::string>{"......", ".####.", ".#..#.", ".####."}));
  EXPECT_TRUE(f.canvas.RestoreDC(saved));
  f.canvas.SetPixel(0, 0, K);  // the clip is whole again
  EXPECT_EQ(PixelToColor(f.surface.At(0, 0)), K);
  EXPECT_FALSE(f.canvas.RestoreDC());  // nothing left to restore

  // Nested saves: RestoreDC(-1) goes back one level, RestoreDC(1) to the first.
  Fresh g(4, 1);
  g.canvas.Brush.Color = K;
  g.canvas.SaveDC();
  g.canvas.IntersectClipRect({0, 0, 3, 1});
  g.canvas.SaveDC();
  EXPECT_FALSE(g.canvas.IntersectClipRect({3, 0, 4, 1}));  // empty now
  g.canvas.FillRect({0, 0, 4, 1});
  EXPECT_EQ(Picture(g.surface)[0], "....");
  g.canvas.RestoreDC(-1);
  g.canvas.FillRect({0, 0, 4, 1});
  EXPECT_EQ(Picture(g.surface)[0], "###.");
  g.canvas.RestoreDC(1);
  g.canvas.FillRect({0, 0, 4, 1});
  EXPECT_EQ(Picture(g.surface)[0], "####");
}

TEST(Canvas, ViewportOriginMovesDrawingButNotAnEarlierClip) {
  // The glyph-cell technique: clip to a cell, shift the origin left, draw the whole strip.
  Fresh f(8, 1);
  TSurface strip(8, 1);
  for (int x = 0; x < 8; ++x) strip.Row(0)[x] = ColorToPixel(x < 4 ? W : K);
  TBitmap bmp(8, 1);
  bmp.Surface() = strip;
  f.canvas.SaveDC();
  f.canvas.IntersectClipRect({2, 0, 6, 1});
  const TPoint org = f.canvas.GetViewportOrg();
  f.canvas.SetViewportOrg({org.X - 4, org.Y});
  f.canvas.Draw(2, 0, bmp);  // cell 1 (columns 4..7) lands on 2..5
  f.canvas.RestoreDC();
  EXPECT_EQ(Picture(f.surface)[0], "..####..");
  EXPECT_EQ(f.canvas.GetViewportOrg(), org);
}

TEST(Canvas, AttachedCanvasStaysInsideItsBound) {
  TSurface s(6, 3, ColorToPixel(W));
  TCanvas c;
  c.Attach(&s, {2, 1}, {2, 1, 4, 3});
  c.Brush.Color = K;
  c.FillRect({-5, -5, 50, 50});
  EXPECT_EQ(Picture(s), (std::vector<std::string>{"......", "..##..", "..##.."}));
  EXPECT_EQ(c.GetPixel(0, 0), K);  // logical (0, 0) is surface (2, 1)
  EXPECT_EQ(c.ClipBox(), (TRect{0, 0, 2, 2}));
}

TEST(Canvas, AlphaBlendingIsExactPerChannel) {
  EXPECT_EQ(BlendPixel(0xFFFFFF, 0x000000, 128), 0x7F7F7FU);  // (255 * 127 + 127) / 255
  EXPECT_EQ(BlendPixel(0x102030, 0xF0E0D0, 0), 0x102030U);
  EXPECT_EQ(BlendPixel(0x102030, 0xF0E0D0, 255), 0xF0E0D0U);
  EXPECT_EQ(BlendPixel(0x000000, 0xFF0000, 85), 0x550000U);
}

TEST(Canvas, ScaledImageDrawingSamplesPixelCentresAndBlends) {
  // Column x of the image has red = 10 * x, alpha 255 except column 1 (alpha 0) and
  // column 2 (alpha 51).
  TPngImage image = MakeImage(4, 2, [](int x, int) {
    return std::pair<TColor, unsigned>{RgbColor(static_cast<uint8_t>(10 * x), 0, 0), x == 1 ? 0u
                                                                                     : x == 2
                                                                                         ? 51u
                                                                                         : 255u};
  });
  Fresh f(8, 2);
  f.canvas.StretchDraw({0, 0, 8, 2}, image);  // every column twice
  const uint32_t white = ColorToPixel(W);
  const uint32_t expected[8] = {ColorToPixel(RgbColor(0, 0, 0)),
                                ColorToPixel(RgbColor(0, 0, 0)),
                                white,
                                white,
                                BlendPixel(white, ColorToPixel(RgbColor(20, 0, 0)), 51),
                                BlendPixel(white, ColorToPixel(RgbColor(20, 0, 0)), 51),
                                ColorToPixel(RgbColor(30, 0, 0)),
                                ColorToPixel(RgbColor(30, 0, 0))};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(f.surface.At(x, 0), expected[x]) << "column " << x;

  // Squeezed by one row: 310 rows into 309 drop exactly one row, row 154.
  TPngImage tall = MakeImage(1, 310, [](int, int y) {
    return std::pair<TColor, unsigned>{static_cast<TColor>(y), 255u};
  });
  TSurface s(1, 309);
  TCanvas c(&s);
  c.StretchDraw({0, 0, 1, 309}, tall);
  std::vector<int> rows;
  for (int y = 0; y < 309; ++y) rows.push_back(static_cast<int>(PixelToColor(s.At(0, y))));
  std::vector<int> expectedRows;
  for (int y = 0; y < 310; ++y)
    if (y != 154) expectedRows.push_back(y);
  EXPECT_EQ(rows, expectedRows);
}

TEST(Canvas, EveryScaledCopyTakesThePixelUnderEachCentre) {
  // A 4 x 4 source whose pixel (x, y) is the colour 16 * y + x + 1, drawn into n x n
  // squares by the three ways of scaling.
  TSurface source(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) source.Row(y)[x] = ColorToPixel(static_cast<TColor>(16 * y + x + 1));
  TBitmap bitmap(4, 4);
  bitmap.Surface() = source;
  const TPngImage png = MakeImage(4, 4, [](int x, int y) {
    return std::pair<TColor, unsigned>{static_cast<TColor>(16 * y + x + 1), 255u};
  });
  using Way = std::function<void(TCanvas&, const TRect&)>;
  const std::pair<const char*, Way> ways[] = {
      {"CopyRect", [&](TCanvas& c, const TRect& r) { c.CopyRect(r, source, {0, 0, 4, 4}); }},
      {"TBitmap::Draw", [&](TCanvas& c, const TRect& r) { c.StretchDraw(r, bitmap); }},
      {"TPngImage::Draw", [&](TCanvas& c, const TRect& r) { c.StretchDraw(r, png); }},
  };
  // The source column (and row) each destination column (and row) takes.
  const std::vector<std::vector<int>> taken = {
      {2}, {1, 3}, {0, 2, 3}, {0, 1, 2, 3}, {0, 0, 1, 1, 2, 2, 3, 3}};
  for (const auto& [name, draw] : ways)
    for (const std::vector<int>& cols : taken) {
      const int n = static_cast<int>(cols.size());
      TSurface s(n + 2, n + 2, ColorToPixel(W));
      TCanvas c(&s);
      draw(c, Bounds(1, 1, n, n));
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
          EXPECT_EQ(PixelToColor(s.At(1 + i, 1 + j)), static_cast<TColor>(16 * cols[j] + cols[i] + 1))
              << name << " into " << n << "x" << n << " at " << i << "," << j;
      EXPECT_EQ(PixelToColor(s.At(0, 0)), W) << name;  // nothing outside the rectangle
      EXPECT_EQ(PixelToColor(s.At(n + 1, n + 1)), W) << name;
    }
}

TEST(Canvas, PatternBrushRepeatsFromTheTopLeftCorner) {
  auto pattern = std::make_shared<TSurface>(2, 1);
  pattern->Row(0)[0] = ColorToPixel(K);
  pattern->Row(0)[1] = ColorToPixel(W);
  Fresh f(5, 2);
  f.canvas.Brush.Pattern = pattern;
  f.canvas.FillRect({1, 0, 5, 2});
  EXPECT_EQ(Picture(f.surface), (std::vector<std::string>{"..#.#", "..#.#"}));
}

TEST(Canvas, CopyRectTakesWhatIsBeneath) {
  Fresh src(3, 1);
  src.canvas.SetPixel(1, 0, R);
  Fresh dst(3, 1);
  dst.canvas.CopyRect({0, 0, 3, 1}, src.canvas, {0, 0, 3, 1});
  EXPECT_EQ(PixelToColor(dst.surface.At(1, 0)), R);
  EXPECT_EQ(PixelToColor(dst.surface.At(0, 0)), W);
}

TEST(Canvas, TextMeasuresAndDrawsInsideItsRectangle) {
  Fresh f(120, 40);
  f.canvas.Font.Name = "\xce\xa2\xc8\xed\xd1\xc5\xba\xda";  // a GBK face name
  f.canvas.Font.Height = -14;
  f.canvas.Font.Charset = kGb2312Charset;
  f.canvas.Font.Color = K;
  const std::string text = "\xb0\xb2\xd7\xb0";  // two Chinese characters
  const TSize e = f.canvas.TextExtent(text);
  EXPECT_GT(e.cx, 14);
  EXPECT_GE(e.cy, 14);
  EXPECT_EQ(f.canvas.TextWidth(text + text), 2 * e.cx);
  TRect r = Bounds(10, 5, e.cx, e.cy);
  f.canvas.Brush.Style = bsClear;
  f.canvas.DrawTextA(text, r, kDtCenter | kDtVCenter);
  int inked = 0, outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (f.surface.At(x, y) != ColorToPixel(W)) (r.Contains({x, y}) ? inked : outside)++;
  EXPECT_GT(inked, 20);  // the glyphs exist in the chosen face
  EXPECT_EQ(outside, 0);

  // "&x" underlines x and is measured without the "&".
  TRect calc{0, 0, 0, 0};
  f.canvas.DrawTextA("&Ab", calc, kDtCalcRect);
  EXPECT_EQ(calc.Width(), f.canvas.TextWidth("Ab"));
}

}  // namespace
