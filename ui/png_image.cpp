#include "ui/png_image.h"

#include <cstring>

#include "platform/ansi_strings.h"
#include "platform/files.h"
#include "platform/system.h"

namespace ui {

bool IsPngSignature(const std::string& bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0;
}

bool TPngImage::LoadFromBytes(const std::string& bytes) {
  TPngPixels decoded;
  const bool ok = DecodePng(bytes, &decoded);
  if (ok) {
    px_ = std::move(decoded);
  } else {
    px_ = TPngPixels{};
    platform::OutputDebugStringA("[TPngImage.LoadFromBytes]" + decoded.error);
  }
  Changed();
  return ok;
}

std::unique_ptr<TGraphic> TPngImage::Clone() const {
  auto copy = std::make_unique<TPngImage>();
  copy->px_ = px_;
  return copy;
}

void TPngImage::Assign(const TPngImage* other) {
  px_ = other ? other->px_ : TPngPixels{};
  Changed();
}

void TPngImage::CreateBlank(TPngColorType colorType, int /*bitDepth*/, int width, int height) {
  px_ = TPngPixels{};
  px_.width = std::max(width, 0);
  px_.height = std::max(height, 0);
  px_.colorType = colorType;
  const size_t n = static_cast<size_t>(px_.width) * px_.height;
  px_.color.assign(n * BytesPerPixel(), 0);
  if (colorType == ctRGBAlpha || colorType == ctGrayscaleAlpha) px_.alpha.assign(n, 0);
  if (colorType == ctPalette) px_.palette.assign(256, 0);
  Changed();
}

void TPngImage::CreateAlpha() {
  const size_t n = static_cast<size_t>(px_.width) * px_.height;
  switch (px_.colorType) {
    case ctGrayscale:
    case ctRGB:
      // The transparent colour becomes alpha 0: what was transparent stays so.
      px_.alpha.assign(n, 255);
      if (px_.hasTransparentColor)
        for (int y = 0; y < px_.height; ++y)
          for (int x = 0; x < px_.width; ++x)
            if (PixelColor(x, y) == px_.transparentColor)
              px_.alpha[static_cast<size_t>(y) * px_.width + x] = 0;
      px_.colorType = px_.colorType == ctRGB ? ctRGBAlpha : ctGrayscaleAlpha;
      px_.hasTransparentColor = false;
      break;
    case ctPalette:
      if (!px_.paletteAlpha.empty()) return;  // its transparency table is its alpha
      px_.paletteAlpha.assign(256, 255);
      break;
    default:
      return;
  }
  Changed();
}

uint8_t* TPngImage::Scanline(int y) {
  return px_.color.data() + static_cast<size_t>(y) * px_.width * BytesPerPixel();
}
const uint8_t* TPngImage::Scanline(int y) const {
  return px_.color.data() + static_cast<size_t>(y) * px_.width * BytesPerPixel();
}
uint8_t* TPngImage::AlphaScanline(int y) {
  if (px_.alpha.empty()) return nullptr;
  return px_.alpha.data() + static_cast<size_t>(y) * px_.width;
}

TColor TPngImage::PixelColor(int x, int y) const {
  const size_t i = static_cast<size_t>(y) * px_.width + x;
  switch (px_.colorType) {
    case ctRGB:
    case ctRGBAlpha: {
      const uint8_t* p = px_.color.data() + i * 3;
      return RgbColor(p[2], p[1], p[0]);
    }
    case ctPalette: {
      const uint8_t idx = px_.color[i];
      return idx < px_.palette.size() ? px_.palette[idx] : 0;
    }
    default: {
      const uint8_t g = px_.color[i];
      return RgbColor(g, g, g);
    }
  }
}

unsigned TPngImage::PixelAlpha(int x, int y) const {
  const size_t i = static_cast<size_t>(y) * px_.width + x;
  if (!px_.alpha.empty()) return px_.alpha[i];
  if (px_.colorType == ctPalette) {
    const uint8_t idx = px_.color[i];
    return idx < px_.paletteAlpha.size() ? px_.paletteAlpha[idx] : 255;
  }
  if (px_.hasTransparentColor && PixelColor(x, y) == px_.transparentColor) return 0;
  return 255;
}

void TPngImage::Draw(TCanvas& canvas, const TRect& rect) const {
  if (Empty() || rect.IsEmpty()) return;
  const int64_t rw = rect.Width(), rh = rect.Height();
  // Only the part inside the clip is visited: a repaint of one control under a large
  // image costs that control's pixels, not the image's.
  const TRect area = rect.Intersect(canvas.ClipBox());
  if (area.IsEmpty()) return;
  std::vector<int> columns(static_cast<size_t>(area.Width()));
  for (int x = area.Left; x < area.Right; ++x)
    columns[x - area.Left] = ScaledSourceIndex(x - rect.Left, px_.width, rw);
  for (int dy = area.Top; dy < area.Bottom; ++dy) {
    const int sy = ScaledSourceIndex(dy - rect.Top, px_.height, rh);
    for (int dx = area.Left; dx < area.Right; ++dx) {
      const size_t i = static_cast<size_t>(dx - area.Left);
      if (!canvas.Visible(dx, dy)) continue;
      const unsigned a = PixelAlpha(columns[i], sy);
      if (a == 0) continue;
      canvas.BlendPixel(dx, dy, ColorToPixel(PixelColor(columns[i], sy)), a);
    }
  }
}

std::unique_ptr<TBitmap> TPngImage::ToBitmap() const {
  auto bmp = std::make_unique<TBitmap>(px_.width, px_.height, clBlack);
  for (int y = 0; y < px_.height; ++y)
    for (int x = 0; x < px_.width; ++x) bmp->Surface().Row(y)[x] = ColorToPixel(PixelColor(x, y));
  return bmp;
}

namespace {
bool g_registeredPng = false;

std::string PngTypeLine(const char* what) {
  const std::string exe = platform::ExtractFileName(platform::GetModuleFileNameA());
  return "[" + exe + "][pngimage]:" + what + " TPngImage";
}
}  // namespace

void RegisterPngImageFormat() {
  if (FindFileFormat("PNG")) return;
  platform::OutputDebugStringA(PngTypeLine("Register"));
  RegisterFileFormat({"PNG", "Portable Network Graphics", IsPngSignature,
                      [] { return std::make_unique<TPngImage>(); }});
  g_registeredPng = true;
}

void UnregisterPngImageFormat() {
  if (!g_registeredPng) return;
  platform::OutputDebugStringA(PngTypeLine("Unregister"));
  UnregisterFileFormat("PNG");
  g_registeredPng = false;
}

}  // namespace ui
