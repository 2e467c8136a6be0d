#include "ui/graphics.h"

#include <cstring>
#include <map>

#include "platform/ansi_strings.h"

namespace ui {

// ---- Surface and pixels ------------------------------------------------------------------
void TSurface::SetSize(int width, int height, uint32_t pixel) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * height_, pixel);
}

uint32_t BlendPixel(uint32_t dst, uint32_t src, unsigned alpha) {
  if (alpha >= 255) return src & 0xFFFFFF;
  if (alpha == 0) return dst;
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned s = (src >> shift) & 0xFF;
    const unsigned d = (dst >> shift) & 0xFF;
    const unsigned v = (s * alpha + d * (255 - alpha) + 127) / 255;
    out |= v << shift;
  }
  return out;
}

// ---- Region ---------------------------------------------------------------------------------
void TRegion::Intersect(const TRect& r) {
  std::vector<TRect> out;
  for (const TRect& x : rects_) {
    TRect i = x.Intersect(r);
    if (!i.IsEmpty()) out.push_back(i);
  }
  rects_.swap(out);
}

void TRegion::Subtract(const TRect& r) {
  std::vector<TRect> out;
  for (const TRect& x : rects_) {
    const TRect i = x.Intersect(r);
    if (i.IsEmpty()) {
      out.push_back(x);
      continue;
    }
    // Up to four pieces: above, below, left and right of the hole.
    if (x.Top < i.Top) out.push_back({x.Left, x.Top, x.Right, i.Top});
    if (i.Bottom < x.Bottom) out.push_back({x.Left, i.Bottom, x.Right, x.Bottom});
    if (x.Left < i.Left) out.push_back({x.Left, i.Top, i.Left, i.Bottom});
    if (i.Right < x.Right) out.push_back({i.Right, i.Top, x.Right, i.Bottom});
  }
  rects_.swap(out);
}

bool TRegion::Contains(int x, int y) const {
  for (const TRect& r : rects_)
    if (r.Contains({x, y})) return true;
  return false;
}

TRect TRegion::Bounds() const {
  TRect b;
  for (const TRect& r : rects_) b = b.Union(r);
  return b;
}

// ---- Font -----------------------------------------------------------------------------------
void TFont::Assign(const TFont& other) {
  Name = other.Name;
  Height = other.Height;
  Charset = other.Charset;
  Color = other.Color;
  Style = other.Style;
  Changed();
}

void TFont::SetSize(int points) {
  Height = -((points * 96 + 36) / 72);
  Changed();
}

// ---- Bitmap ---------------------------------------------------------------------------------
TBitmap::TBitmap(int w, int h, TColor fill) { surface_->SetSize(w, h, ColorToPixel(fill)); }

void TBitmap::SetSize(int w, int h) {
  surface_ = std::make_shared<TSurface>(w, h, 0xFFFFFF);
  canvas_.reset();
  Changed();
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(surface_.get());
  return *canvas_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) const {
  if (Empty() || rect.IsEmpty()) return;
  const TSurface& s = *surface_;
  const uint32_t key = s.At(0, s.Height() - 1);
  const TRect area = rect.Intersect(canvas.ClipBox());  // only what the clip shows
  for (int y = area.Top; y < area.Bottom; ++y) {
    const int sy = ScaledSourceIndex(y - rect.Top, s.Height(), rect.Height());
    for (int x = area.Left; x < area.Right; ++x) {
      const int sx = ScaledSourceIndex(x - rect.Left, s.Width(), rect.Width());
      const uint32_t p = s.At(sx, sy);
      if (Transparent && p == key) continue;
      canvas.PutPixelRaw(x, y, p);
    }
  }
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  *copy->surface_ = *surface_;
  copy->Transparent = Transparent;
  return copy;
}

bool TBitmap::LoadFromBytes(const std::string& bytes) {
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
  };
  if (bytes.size() < 12 || bytes.compare(0, 4, "BMX1") != 0) return false;
  const uint32_t w = u32(4), h = u32(8);
  if (w > 16384 || h > 16384 || bytes.size() != 12 + static_cast<size_t>(w) * h * 4) return false;
  surface_ = std::make_shared<TSurface>(static_cast<int>(w), static_cast<int>(h));
  std::memcpy(surface_->Row(0), bytes.data() + 12, static_cast<size_t>(w) * h * 4);
  canvas_.reset();
  Changed();
  return true;
}

// ---- Picture and formats ----------------------------------------------------------------
namespace {
std::vector<TGraphicFormat>& Formats() {
  static std::vector<TGraphicFormat> formats;
  return formats;
}
}  // namespace

void RegisterFileFormat(const TGraphicFormat& format) {
  UnregisterFileFormat(format.extension);
  Formats().push_back(format);
}

void UnregisterFileFormat(const std::string& extension) {
  auto& f = Formats();
  for (auto it = f.begin(); it != f.end(); ++it)
    if (it->extension == extension) {
      f.erase(it);
      return;
    }
}

const TGraphicFormat* FindFileFormat(const std::string& extension) {
  for (const auto& f : Formats())
    if (f.extension == extension) return &f;
  return nullptr;
}

void TPicture::SetGraphic(const TGraphic* g) {
  graphic_ = g ? g->Clone() : nullptr;
  if (graphic_) graphic_->OnChange = [this](TGraphic*) { Changed(); };
  Changed();
}

bool TPicture::LoadFromBytes(const std::string& bytes) {
  graphic_.reset();
  std::unique_ptr<TGraphic> g;
  for (const auto& f : Formats())
    if (f.accepts(bytes)) {
      g = f.create();
      break;
    }
  if (!g) {
    auto bmp = std::make_unique<TBitmap>();
    if (bmp->LoadFromBytes(bytes)) g = std::move(bmp);
  } else if (!g->LoadFromBytes(bytes)) {
    g.reset();
  }
  graphic_ = std::move(g);
  if (graphic_) graphic_->OnChange = [this](TGraphic*) { Changed(); };
  Changed();
  return graphic_ != nullptr;
}

// ---- Canvas ---------------------------------------------------------------------------------
void TCanvas::Attach(TSurface* target, TPoint origin, TRect bound) {
  target_ = target;
  origin_ = origin;
  viewport_ = {};
  penPos_ = {};
  stack_.clear();
  TRect all = target ? TRect{0, 0, target->Width(), target->Height()} : TRect{};
  if (bound.Left != -1 || bound.Right != -1) all = all.Intersect(bound);
  clip_ = TRegion(all);
}

int TCanvas::SaveDC() {
  stack_.push_back({clip_, viewport_, penPos_});
  return static_cast<int>(stack_.size());
}

bool TCanvas::RestoreDC(int index) {
  if (stack_.empty()) return false;
  size_t at = index < 0 ? stack_.size() + index : static_cast<size_t>(index) - 1;
  if (index == 0 || at >= stack_.size()) return false;
  clip_ = stack_[at].clip;
  viewport_ = stack_[at].viewport;
  penPos_ = stack_[at].penPos;
  stack_.resize(at);
  return true;
}

bool TCanvas::IntersectClipRect(const TRect& r) {
  const TPoint d = Dev(r.Left, r.Top);
  clip_.Intersect(Bounds(d.X, d.Y, r.Width(), r.Height()));
  return !clip_.IsEmpty();
}

bool TCanvas::ExcludeClipRect(const TRect& r) {
  const TPoint d = Dev(r.Left, r.Top);
  clip_.Subtract(Bounds(d.X, d.Y, r.Width(), r.Height()));
  return !clip_.IsEmpty();
}

TRect TCanvas::ClipBox() const {
  const TRect b = clip_.Bounds();
  const TPoint o = Dev(0, 0);
  return b.Offset(-o.X, -o.Y);
}

bool TCanvas::Visible(int x, int y) const {
  const TPoint d = Dev(x, y);
  return target_ && clip_.Contains(d.X, d.Y);
}

void TCanvas::PutPixelRaw(int x, int y, uint32_t pixel) {
  const TPoint d = Dev(x, y);
  if (target_ && clip_.Contains(d.X, d.Y)) target_->Row(d.Y)[d.X] = pixel & 0xFFFFFF;
}

uint32_t TCanvas::GetPixelRaw(int x, int y) const {
  const TPoint d = Dev(x, y);
  if (!target_ || d.X < 0 || d.Y < 0 || d.X >= target_->Width() || d.Y >= target_->Height())
    return 0;
  return target_->At(d.X, d.Y);
}

void TCanvas::BlendPixel(int x, int y, uint32_t pixel, unsigned alpha) {
  if (alpha == 0) return;
  const TPoint d = Dev(x, y);
  if (!target_ || !clip_.Contains(d.X, d.Y)) return;
  uint32_t& p = target_->Row(d.Y)[d.X];
  p = ui::BlendPixel(p, pixel, alpha);
}

TColor TCanvas::GetPixel(int x, int y) const {
  const TPoint d = Dev(x, y);
  if (!target_ || d.X < 0 || d.Y < 0 || d.X >= target_->Width() || d.Y >= target_->Height())
    return clNone;
  return PixelToColor(target_->At(d.X, d.Y));
}

void TCanvas::SetPixel(int x, int y, TColor color) { PutPixelRaw(x, y, ColorToPixel(color)); }

// The pen's on/off pattern, counted in pixels along the lines of one call.
void TCanvas::PlotLinePixel(int x, int y, int step) {
  switch (Pen.Style) {
    case psClear:
      return;
    case psDash:
      if (step % 24 >= 18) return;
      break;
    case psDot:
      if (step % 6 >= 3) return;
      break;
    case psSolid:
      break;
  }
  PutPixelRaw(x, y, ColorToPixel(Pen.Color));
}

void TCanvas::LineTo(int x1, int y1) {
  int x = penPos_.X, y = penPos_.Y;
  const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
  const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  int step = 0;
  while (!(x == x1 && y == y1)) {
    PlotLinePixel(x, y, step++);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  penPos_ = {x1, y1};
}

void TCanvas::FillRect(const TRect& r) {
  if (Brush.Style == bsClear && !Brush.Pattern) return;
  const uint32_t p = ColorToPixel(Brush.Color);
  const TRect area = r.Intersect(ClipBox());  // pixels outside the clip are never visited
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      if (Brush.Pattern && Brush.Pattern->Width() > 0 && Brush.Pattern->Height() > 0) {
        // Brush origin: the device's top-left corner.
        const TPoint d = Dev(x, y);
        const TSurface& pat = *Brush.Pattern;
        const int px = ((d.X % pat.Width()) + pat.Width()) % pat.Width();
        const int py = ((d.Y % pat.Height()) + pat.Height()) % pat.Height();
        PutPixelRaw(x, y, pat.At(px, py));
      } else {
        PutPixelRaw(x, y, p);
      }
    }
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty()) return;
  const uint32_t p = ColorToPixel(Brush.Color);
  for (int x = r.Left; x < r.Right; ++x) {
    PutPixelRaw(x, r.Top, p);
    PutPixelRaw(x, r.Bottom - 1, p);
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    PutPixelRaw(r.Left, y, p);
    PutPixelRaw(r.Right - 1, y, p);
  }
}

void TCanvas::Rectangle(const TRect& r) {
  if (r.IsEmpty()) return;
  if (Pen.Style == psClear) {
    FillRect({r.Left, r.Top, r.Right - 1, r.Bottom - 1});
    return;
  }
  FillRect({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
  // The outline clockwise from the top-left pixel, the pen pattern running through.
  int step = 0;
  for (int x = r.Left; x < r.Right - 1; ++x) PlotLinePixel(x, r.Top, step++);
  for (int y = r.Top; y < r.Bottom - 1; ++y) PlotLinePixel(r.Right - 1, y, step++);
  for (int x = r.Right - 1; x > r.Left; --x) PlotLinePixel(x, r.Bottom - 1, step++);
  for (int y = r.Bottom - 1; y > r.Top; --y) PlotLinePixel(r.Left, y, step++);
  if (r.Width() == 1 || r.Height() == 1) PlotLinePixel(r.Right - 1, r.Bottom - 1, 0);
}

void TCanvas::CopyRect(const TRect& dst, const TSurface& src, const TRect& srcRect) {
  if (dst.IsEmpty() || srcRect.IsEmpty()) return;
  const TRect area = dst.Intersect(ClipBox());
  for (int y = area.Top; y < area.Bottom; ++y) {
    const int sy = srcRect.Top + ScaledSourceIndex(y - dst.Top, srcRect.Height(), dst.Height());
    if (sy < 0 || sy >= src.Height()) continue;
    for (int x = area.Left; x < area.Right; ++x) {
      const int sx = srcRect.Left + ScaledSourceIndex(x - dst.Left, srcRect.Width(), dst.Width());
      if (sx < 0 || sx >= src.Width()) continue;
      PutPixelRaw(x, y, src.At(sx, sy));
    }
  }
}

void TCanvas::CopyRect(const TRect& dst, const TCanvas& src, const TRect& srcRect) {
  if (!src.target_) return;
  const TPoint o = src.Dev(0, 0);
  CopyRect(dst, *src.target_, srcRect.Offset(o.X, o.Y));
}

// ---- Text -----------------------------------------------------------------------------------
TSize TCanvas::TextExtent(const std::string& text) {
  return {text_engine::TextWidth(Font, text), text_engine::Metrics(Font).height};
}

void TCanvas::DrawTextRun(int x, int y, const std::string& text, const TRect* clip) {
  const uint32_t color = ColorToPixel(Font.Color);
  text_engine::Render(Font, text, x, y, [&](int px, int py, unsigned coverage) {
    if (clip && !clip->Contains({px, py})) return;
    BlendPixel(px, py, color, coverage);
  });
  if (Font.Style & fsUnderline) {
    const TTextMetrics m = text_engine::Metrics(Font);
    const int w = text_engine::TextWidth(Font, text);
    for (int i = 0; i < w; ++i)
      if (!clip || clip->Contains({x + i, y + m.ascent + 1}))
        PutPixelRaw(x + i, y + m.ascent + 1, color);
  }
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  const TSize e = TextExtent(text);
  if (Brush.Style != bsClear) FillRect(Bounds(x, y, e.cx, e.cy));
  DrawTextRun(x, y, text, nullptr);
  penPos_ = {x + e.cx, y};
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  const TSize e = TextExtent(text);
  if (Brush.Style != bsClear) FillRect(Bounds(x, y, e.cx, e.cy).Intersect(r));
  DrawTextRun(x, y, text, &r);
}

namespace {

// A line without its prefix characters, and the byte range of the underlined character.
struct PrefixedLine {
  std::string text;
  size_t underlineAt = std::string::npos;
  size_t underlineLen = 0;
};

PrefixedLine StripPrefix(const std::string& line, bool noPrefix) {
  PrefixedLine out;
  if (noPrefix) {
    out.text = line;
    return out;
  }
  for (size_t i = 0; i < line.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(line[i]);
    if (c == '&') {
      if (i + 1 >= line.size()) continue;  // a lone trailing "&" shows nothing
      ++i;
      if (line[i] == '&') {
        out.text += '&';
        continue;
      }
      const size_t len = (platform::IsLeadByte(line[i]) && i + 1 < line.size()) ? 2 : 1;
      if (out.underlineAt == std::string::npos) {
        out.underlineAt = out.text.size();
        out.underlineLen = len;
      }
      out.text.append(line, i, len);
      i += len - 1;
      continue;
    }
    const size_t len = (platform::IsLeadByte(line[i]) && i + 1 < line.size()) ? 2 : 1;
    out.text.append(line, i, len);
    i += len - 1;
  }
  return out;
}

}  // namespace

int TCanvas::DrawTextA(const std::string& text, TRect& r, uint32_t flags) {
  const TTextMetrics m = text_engine::Metrics(Font);
  std::vector<std::string> lines;
  if (flags & kDtSingleLine) {
    std::string one;
    for (char c : text)
      if (c != '\r' && c != '\n') one += c;
    lines.push_back(one);
  } else {
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r') continue;
      if (text[i] == '\n') {
        lines.push_back(cur);
        cur.clear();
      } else {
        cur += text[i];
      }
    }
    lines.push_back(cur);
  }
  std::vector<PrefixedLine> parts;
  int maxWidth = 0;
  for (const auto& l : lines) {
    parts.push_back(StripPrefix(l, flags & kDtNoPrefix));
    maxWidth = std::max(maxWidth, text_engine::TextWidth(Font, parts.back().text));
  }
  const int total = m.height * static_cast<int>(parts.size());
  if (flags & kDtCalcRect) {
    r.Right = r.Left + maxWidth;
    r.Bottom = r.Top + total;
    return total;
  }
  int y = r.Top;
  if (flags & kDtSingleLine) {
    if (flags & kDtVCenter)
      y = r.Top + (r.Height() - m.height) / 2;
    else if (flags & kDtBottom)
      y = r.Bottom - m.height;
  }
  const uint32_t color = ColorToPixel(Font.Color);
  const TRect* clip = (flags & kDtNoClip) ? nullptr : &r;
  for (const auto& p : parts) {
    const int w = text_engine::TextWidth(Font, p.text);
    int x = r.Left;
    if (flags & kDtCenter)
      x = r.Left + (r.Width() - w) / 2;
    else if (flags & kDtRight)
      x = r.Right - w;
    DrawTextRun(x, y, p.text, clip);
    if (p.underlineAt != std::string::npos) {
      const int ux = x + text_engine::TextWidth(Font, p.text.substr(0, p.underlineAt));
      const int uw = text_engine::TextWidth(Font, p.text.substr(p.underlineAt, p.underlineLen));
      for (int i = 0; i < uw; ++i)
        if (!clip || clip->Contains({ux + i, y + m.ascent + 1}))
          PutPixelRaw(ux + i, y + m.ascent + 1, color);
    }
    y += m.height;
  }
  return total;
}

}  // namespace ui
