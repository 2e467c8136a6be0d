// Drawing: 32-bit surfaces, the canvas with its clip and origin stack, fonts, pens,
// brushes, graphics and pictures.
//
// Every control paints through a TCanvas onto a TSurface. Pixel results are exact and
// identical on every host: the canvas does all rasterising itself, and only glyph
// coverage comes from the text engine of the platform (FreeType or GDI).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/types.h"

namespace ui {

// A top-down 32-bit surface; a pixel is 0x00RRGGBB (bytes B, G, R, unused in memory, the
// layout of a 32-bit DIB and of a 24-bit-depth X image).
class TSurface {
 public:
  TSurface() = default;
  TSurface(int width, int height, uint32_t pixel = 0) { SetSize(width, height, pixel); }
  void SetSize(int width, int height, uint32_t pixel = 0);
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t At(int x, int y) const { return Row(y)[x]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

inline uint32_t ColorToPixel(TColor c) {
  c = ColorToRGB(c);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline TColor PixelToColor(uint32_t p) {
  return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}
// (src * alpha + dst * (255 - alpha)) / 255, rounded, per channel.
uint32_t BlendPixel(uint32_t dst, uint32_t src, unsigned alpha);

// Scaling, the one rule of every scaled copy and draw (TCanvas::CopyRect, TBitmap::Draw,
// TPngImage::Draw): destination pixel i of dstSize takes the source pixel of srcSize
// under its centre, floor((2i + 1) * srcSize / (2 * dstSize)). Equal sizes copy 1:1;
// 4 columns into 2 take columns 1 and 3; 310 rows into 309 drop row 154 alone.
inline int ScaledSourceIndex(int64_t i, int64_t srcSize, int64_t dstSize) {
  return static_cast<int>(((2 * i + 1) * srcSize) / (2 * dstSize));
}

// A set of pixels as disjoint rectangles.
class TRegion {
 public:
  TRegion() = default;
  explicit TRegion(const TRect& r) {
    if (!r.IsEmpty()) rects_.push_back(r);
  }
  void Intersect(const TRect& r);
  void Subtract(const TRect& r);
  bool IsEmpty() const { return rects_.empty(); }
  bool Contains(int x, int y) const;
  TRect Bounds() const;

 private:
  std::vector<TRect> rects_;
};

// ---- Drawing tools -----------------------------------------------------------------------
enum TPenStyle { psSolid, psDash, psDot, psClear };
enum TBrushStyle { bsSolid, bsClear };
enum TFontStyle : uint32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

inline constexpr uint8_t kDefaultCharset = 1;
inline constexpr uint8_t kGb2312Charset = 134;

class TFont {
 public:
  std::string Name = "MS Sans Serif";  // GBK
  // Negative: character height in pixels; positive: cell height (as the platform's fonts).
  int Height = -11;
  uint8_t Charset = kDefaultCharset;
  TColor Color = clWindowText;
  uint32_t Style = 0;
  std::function<void()> OnChange;

  void Assign(const TFont& other);
  // Setting any of these runs OnChange.
  void SetName(const std::string& v) {
    Name = v;
    Changed();
  }
  void SetHeight(int v) {
    Height = v;
    Changed();
  }
  void SetCharset(uint8_t v) {
    Charset = v;
    Changed();
  }
  void SetColor(TColor v) {
    Color = v;
    Changed();
  }
  void SetStyle(uint32_t v) {
    Style = v;
    Changed();
  }
  // Size in points at 96 pixels per inch.
  void SetSize(int points);
  void Changed() {
    if (OnChange) OnChange();
  }
};

class TSurfaceGraphic;
struct TPen {
  TColor Color = clBlack;
  TPenStyle Style = psSolid;
};
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
  // A pattern brush when set: fills repeat it from the device's top-left corner.
  std::shared_ptr<const TSurface> Pattern;
};

class TCanvas;

// ---- Graphics ----------------------------------------------------------------------------
class TGraphic : public TObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  // Draws scaled to rect, combined with what is there (alpha, transparent colour or copy).
  virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  virtual bool LoadFromBytes(const std::string& bytes) = 0;
  std::function<void(TGraphic*)> OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

// An opaque 32-bit bitmap; Transparent leaves out the colour of its bottom-left pixel.
class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  TBitmap(int w, int h, TColor fill = clWhite);
  int Width() const override { return surface_->Width(); }
  int Height() const override { return surface_->Height(); }
  bool Empty() const override { return surface_->Width() == 0 || surface_->Height() == 0; }
  void Draw(TCanvas& canvas, const TRect& rect) const override;
  std::unique_ptr<TGraphic> Clone() const override;
  // Raw 32-bit BGRX: "BMX1", width, height (little-endian 32-bit), then the pixels.
  bool LoadFromBytes(const std::string& bytes) override;
  void SetSize(int w, int h);
  TSurface& Surface() { return *surface_; }
  const TSurface& Surface() const { return *surface_; }
  std::shared_ptr<const TSurface> SharedSurface() const { return surface_; }
  TCanvas& Canvas();
  bool Transparent = false;
  void Modified() { Changed(); }

 private:
  std::shared_ptr<TSurface> surface_ = std::make_shared<TSurface>();
  std::unique_ptr<TCanvas> canvas_;
};

// Holds any graphic; graphics are made from bytes through the registered formats.
class TPicture : public TObject {
 public:
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(const TGraphic* g);  // copies; null empties
  void Assign(const TPicture* other) { SetGraphic(other ? other->Graphic() : nullptr); }
  // Picks the format by the bytes' signature; false (and empty) when none decodes them.
  bool LoadFromBytes(const std::string& bytes);
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  bool Empty() const { return !graphic_ || graphic_->Empty(); }
  std::function<void(TObject*)> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  std::unique_ptr<TGraphic> graphic_;
};

// The picture formats: a signature test and a factory, registered by extension.
struct TGraphicFormat {
  std::string extension;    // "PNG"
  std::string description;  // "Portable Network Graphics"
  std::function<bool(const std::string& bytes)> accepts;
  std::function<std::unique_ptr<TGraphic>()> create;
};
void RegisterFileFormat(const TGraphicFormat& format);
void UnregisterFileFormat(const std::string& extension);
const TGraphicFormat* FindFileFormat(const std::string& extension);

// ---- Text engine ------------------------------------------------------------------------
struct TTextMetrics {
  int ascent = 0;
  int descent = 0;
  int height = 0;  // ascent + descent
};
// Implemented by FreeType + fontconfig (Linux) or GDI (Windows). Text is GBK.
namespace text_engine {
TTextMetrics Metrics(const TFont& font);
int TextWidth(const TFont& font, const std::string& text);
// Calls plot(x, y, coverage 1..255) for each covered pixel of the text whose cell's
// top-left corner is at (x, y).
void Render(const TFont& font, const std::string& text, int x, int y,
            const std::function<void(int, int, unsigned)>& plot);
}  // namespace text_engine

// ---- Canvas -------------------------------------------------------------------------------
class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(TSurface* target) { Attach(target); }
  // Paints onto target; logical (0, 0) is target's (origin.X, origin.Y) and nothing outside
  // bound (target coordinates) is touched. Resets the state stack, pen position and clip.
  void Attach(TSurface* target, TPoint origin = {}, TRect bound = {-1, -1, -1, -1});

  TPen Pen;
  TBrush Brush;
  TFont Font;

  // State stack (SaveDC / RestoreDC): clip, viewport origin, pen position.
  int SaveDC();
  // index > 0: back to the state SaveDC returned; -1: the last saved one.
  bool RestoreDC(int index = -1);
  // Clip operations in logical coordinates; they return whether the clip is non-empty.
  bool IntersectClipRect(const TRect& r);
  bool ExcludeClipRect(const TRect& r);
  TRect ClipBox() const;  // logical
  TPoint GetViewportOrg() const { return viewport_; }
  void SetViewportOrg(TPoint p) { viewport_ = p; }

  // Pixels (logical coordinates); reading outside the surface gives clNone.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  void MoveTo(int x, int y) { penPos_ = {x, y}; }
  // From the pen position to (x, y), not painting (x, y).
  void LineTo(int x, int y);
  TPoint PenPos() const { return penPos_; }
  void FillRect(const TRect& r);   // brush (colour or pattern)
  void FrameRect(const TRect& r);  // 1-pixel frame in the brush colour
  // Outline with the pen on the rectangle's outer pixels, inside filled by the brush;
  // with a clear pen the fill covers (Left, Top, Right - 1, Bottom - 1).
  void Rectangle(const TRect& r);
  // Copies src (source coordinates) into dst, scaled by ScaledSourceIndex when sizes differ.
  void CopyRect(const TRect& dst, const TSurface& src, const TRect& srcRect);
  void CopyRect(const TRect& dst, const TCanvas& src, const TRect& srcRect);
  void Draw(int x, int y, const TGraphic& g) { g.Draw(*this, Bounds(x, y, g.Width(), g.Height())); }
  void StretchDraw(const TRect& r, const TGraphic& g) { g.Draw(*this, r); }
  // Blends a colour over a logical pixel (used by graphics and text).
  void BlendPixel(int x, int y, uint32_t pixel, unsigned alpha);
  void PutPixelRaw(int x, int y, uint32_t pixel);
  uint32_t GetPixelRaw(int x, int y) const;
  bool Visible(int x, int y) const;  // logical point inside the clip

  // Text in Font; TextOut fills the cell with the brush unless its style is clear.
  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  void TextOut(int x, int y, const std::string& text);
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  // DT_LEFT/CENTER/RIGHT, DT_VCENTER and DT_BOTTOM (with DT_SINGLELINE), DT_CALCRECT,
  // DT_NOPREFIX, DT_NOCLIP; "&x" underlines x, "&&" is "&". Returns the text height.
  int DrawTextA(const std::string& text, TRect& r, uint32_t flags);

 private:
  void DrawTextRun(int x, int y, const std::string& text, const TRect* clip);
  void PlotLinePixel(int x, int y, int step);
  TSurface* target_ = nullptr;
  TPoint origin_;    // device position of logical (0, 0) before the viewport origin
  TPoint viewport_;  // SetViewportOrg
  TRegion clip_;     // device coordinates
  TPoint penPos_;
  struct Saved {
    TRegion clip;
    TPoint viewport;
    TPoint penPos;
  };
  std::vector<Saved> stack_;
  TPoint Dev(int x, int y) const {
    return {x + origin_.X + viewport_.X, y + origin_.Y + viewport_.Y};
  }
};

}  // namespace ui
