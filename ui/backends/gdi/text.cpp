// Text on Windows: GDI measures and rasterises (greyscale anti-aliasing) into a scratch
// DIB whose coverage the canvas then blends, so all other drawing stays the framework's.
#include <windows.h>

#include <map>
#include <tuple>

#include "ui/graphics.h"

namespace ui::text_engine {
namespace {

struct Gdi {
  HDC dc = nullptr;
  std::map<std::tuple<std::string, int, int, uint32_t>, HFONT> fonts;
  Gdi() { dc = ::CreateCompatibleDC(nullptr); }
  HFONT FontOf(const TFont& f) {
    auto key = std::make_tuple(f.Name, f.Height, static_cast<int>(f.Charset), f.Style);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    HFONT h = ::CreateFontA(f.Height, 0, 0, 0, (f.Style & fsBold) ? FW_BOLD : FW_NORMAL,
                            (f.Style & fsItalic) ? TRUE : FALSE, FALSE, FALSE, f.Charset,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, f.Name.c_str());
    fonts[key] = h;
    return h;
  }
  void Select(const TFont& f) { ::SelectObject(dc, FontOf(f)); }
};

Gdi& TheGdi() {
  static Gdi* gdi = new Gdi;
  return *gdi;
}

}  // namespace

TTextMetrics Metrics(const TFont& font) {
  Gdi& g = TheGdi();
  g.Select(font);
  TEXTMETRICA tm = {};
  ::GetTextMetricsA(g.dc, &tm);
  return {static_cast<int>(tm.tmAscent), static_cast<int>(tm.tmDescent),
          static_cast<int>(tm.tmHeight)};
}

int TextWidth(const TFont& font, const std::string& text) {
  if (text.empty()) return 0;
  Gdi& g = TheGdi();
  g.Select(font);
  SIZE s = {};
  ::GetTextExtentPoint32A(g.dc, text.c_str(), static_cast<int>(text.size()), &s);
  return s.cx;
}

void Render(const TFont& font, const std::string& text, int x, int y,
            const std::function<void(int, int, unsigned)>& plot) {
  if (text.empty()) return;
  Gdi& g = TheGdi();
  g.Select(font);
  SIZE s = {};
  ::GetTextExtentPoint32A(g.dc, text.c_str(), static_cast<int>(text.size()), &s);
  TEXTMETRICA tm = {};
  ::GetTextMetricsA(g.dc, &tm);
  // Room for overhangs of italic and wide glyphs.
  const int pad = tm.tmHeight / 2 + 2;
  const int w = s.cx + 2 * pad, h = tm.tmHeight + 2;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(g.dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return;
  HGDIOBJ old = ::SelectObject(g.dc, dib);
  ::SetBkMode(g.dc, TRANSPARENT);
  ::SetTextColor(g.dc, RGB(255, 255, 255));
  ::TextOutA(g.dc, pad, 0, text.c_str(), static_cast<int>(text.size()));
  ::GdiFlush();
  const uint32_t* px = static_cast<const uint32_t*>(bits);
  for (int yy = 0; yy < h; ++yy)
    for (int xx = 0; xx < w; ++xx) {
      const uint32_t p = px[static_cast<size_t>(yy) * w + xx];
      const unsigned v = std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF});
      if (v) plot(x + xx - pad, y + yy, v);
    }
  ::SelectObject(g.dc, old);
  ::DeleteObject(dib);
}

}  // namespace ui::text_engine
