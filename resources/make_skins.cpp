// Draws the four skin images of the installer window and writes them as 8-bit RGBA PNG
// files: make_skins OUTPUT_FOLDER. The artwork is ours: a light background with the
// product's name, a footer band, a close glyph and its hover state. Text is drawn with
// the window framework's canvas (FreeType), everything else by hand, with coverage-based
// anti-aliasing.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system.h"
#include "ui/graphics.h"
#include "ui/png_image.h"

namespace {

struct Image {
  int w, h;
  std::vector<float> r, g, b, a;  // straight (not premultiplied) colour, 0..1
  Image(int width, int height) : w(width), h(height), r(w * h), g(w * h), b(w * h), a(w * h) {}
  // Paints colour (0xRRGGBB) with coverage cov over the pixel.
  void Over(int x, int y, uint32_t rgb, float cov) {
    if (x < 0 || y < 0 || x >= w || y >= h || cov <= 0) return;
    const size_t i = static_cast<size_t>(y) * w + x;
    const float sr = ((rgb >> 16) & 0xFF) / 255.f, sg = ((rgb >> 8) & 0xFF) / 255.f,
                sb = (rgb & 0xFF) / 255.f;
    const float oa = cov + a[i] * (1 - cov);
    if (oa <= 0) return;
    r[i] = (sr * cov + r[i] * a[i] * (1 - cov)) / oa;
    g[i] = (sg * cov + g[i] * a[i] * (1 - cov)) / oa;
    b[i] = (sb * cov + b[i] * a[i] * (1 - cov)) / oa;
    a[i] = oa;
  }
  bool Save(const std::string& path) const {
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
      rgba[i * 4] = static_cast<uint8_t>(std::lround(r[i] * 255));
      rgba[i * 4 + 1] = static_cast<uint8_t>(std::lround(g[i] * 255));
      rgba[i * 4 + 2] = static_cast<uint8_t>(std::lround(b[i] * 255));
      rgba[i * 4 + 3] = static_cast<uint8_t>(std::lround(a[i] * 255));
    }
    std::string file;
    if (!ui::EncodePngRgba(w, h, rgba, &file)) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    std::fclose(f);
    std::printf("%s: %dx%d, %zu bytes\n", path.c_str(), w, h, file.size());
    return ok;
  }
};

uint32_t Mix(uint32_t c1, uint32_t c2, float t) {
  auto ch = [&](int s) {
    const float v = ((c1 >> s) & 0xFF) * (1 - t) + ((c2 >> s) & 0xFF) * t;
    return static_cast<uint32_t>(std::lround(v)) << s;
  };
  return ch(16) | ch(8) | ch(0);
}

// Coverage of a round-capped segment of half-width hw at a pixel, by 4x4 supersampling.
float SegmentCoverage(float px, float py, float x0, float y0, float x1, float y1, float hw) {
  int inside = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      const float x = px + (sx + 0.5f) / 4, y = py + (sy + 0.5f) / 4;
      const float dx = x1 - x0, dy = y1 - y0;
      float t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
      t = std::fmax(0, std::fmin(1, t));
      const float ex = x0 + t * dx - x, ey = y0 + t * dy - y;
      if (ex * ex + ey * ey <= hw * hw) ++inside;
    }
  return inside / 16.f;
}

float RoundRectCoverage(float px, float py, float l, float t, float r, float b, float rad) {
  int inside = 0;
  for (int sy = 0; sy < 4; ++sy)
    for (int sx = 0; sx < 4; ++sx) {
      const float x = px + (sx + 0.5f) / 4, y = py + (sy + 0.5f) / 4;
      if (x < l || x > r || y < t || y > b) continue;
      const float cx = std::fmax(l + rad, std::fmin(r - rad, x));
      const float cy = std::fmax(t + rad, std::fmin(b - rad, y));
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad) ++inside;
    }
  return inside / 16.f;
}

// Text through the framework: white on black gives the coverage.
void Text(Image& img, const std::string& utf8, const char* faceUtf8, int height, uint32_t style,
          int centreX, int top, uint32_t rgb) {
  ui::TSurface s(img.w, img.h, 0);
  ui::TCanvas c(&s);
  c.Font.Name = *platform::Utf8ToAnsi(faceUtf8);
  c.Font.Height = height;
  c.Font.Charset = ui::kGb2312Charset;
  c.Font.Color = ui::clWhite;
  c.Font.Style = style;
  c.Brush.Style = ui::bsClear;
  const std::string gbk = *platform::Utf8ToAnsi(utf8);
  const int w = c.TextWidth(gbk);
  c.TextOut(centreX - w / 2, top, gbk);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.Over(x, y, rgb, (s.At(x, y) & 0xFF) / 255.f);
}

Image Background() {
  Image img(598, 310);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.Over(x, y, Mix(0xF9FBFE, 0xE6EEF8, y / 309.f), 1);
  // Soft circles in the corners.
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const float d1 = std::hypot(x - 560.f, y + 40.f), d2 = std::hypot(x + 30.f, y - 300.f);
      if (d1 < 190) img.Over(x, y, 0xD6E4F5, 0.35f * std::fmin(1, (190 - d1) / 3));
      if (d2 < 150) img.Over(x, y, 0xDCE8F6, 0.30f * std::fmin(1, (150 - d2) / 3));
    }
  // The product's mark: a rounded square with an "L".
  for (int y = 52; y < 112; ++y)
    for (int x = 150; x < 210; ++x) {
      const float cov = RoundRectCoverage(x, y, 152, 54, 208, 110, 12);
      img.Over(x, y, Mix(0x4285F4, 0x3574DB, (y - 54) / 56.f), cov);
    }
  for (int y = 54; y < 110; ++y)
    for (int x = 152; x < 208; ++x) {
      img.Over(x, y, 0xFFFFFF, SegmentCoverage(x, y, 170, 66, 170, 96, 4));
      img.Over(x, y, 0xFFFFFF, SegmentCoverage(x, y, 170, 96, 190, 96, 4));
    }
  Text(img, "Lumora", "DejaVu Sans", -44, ui::fsBold, 330, 52, 0x24477F);
  Text(img, "升级安装程序", "微软雅黑", -20, 0, 330, 118, 0x5A6478);
  for (int x = 150; x < 448; ++x) img.Over(x, 168, 0xC9D6E8, 1);
  Text(img, "一键升级到最新版本，您的数据将被保留", "微软雅黑", -14, 0, 299, 182, 0x7A8599);
  return img;
}

Image Footer() {
  Image img(598, 57);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.Over(x, y, Mix(0xF3F6FA, 0xEBEFF5, y / 56.f), 1);
  for (int x = 0; x < img.w; ++x) img.Over(x, 0, 0xD5DEEA, 1);
  return img;
}

Image Close(bool hover) {
  Image img(26, 26);
  if (hover)
    for (int y = 0; y < 26; ++y)
      for (int x = 0; x < 26; ++x)
        img.Over(x, y, 0xE81123, RoundRectCoverage(x, y, 1, 1, 25, 25, 4));
  const uint32_t glyph = hover ? 0xFFFFFF : 0x7D8594;
  for (int y = 0; y < 26; ++y)
    for (int x = 0; x < 26; ++x) {
      img.Over(x, y, glyph, SegmentCoverage(x, y, 8.5f, 8.5f, 17.5f, 17.5f, 1.1f));
      img.Over(x, y, glyph, SegmentCoverage(x, y, 17.5f, 8.5f, 8.5f, 17.5f, 1.1f));
    }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : ".";
  bool ok = Background().Save(dir + "/background.png");
  ok &= Footer().Save(dir + "/footer.png");
  ok &= Close(false).Save(dir + "/close.png");
  ok &= Close(true).Save(dir + "/close_hover.png");
  return ok ? 0 : 1;
}
