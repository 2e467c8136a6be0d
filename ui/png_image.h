// The PNG image type: decoded by libpng on Linux and by the Windows Imaging Component on
// Windows, behind the same interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/graphics.h"

namespace ui {

enum TPngColorType : uint8_t {
  ctGrayscale = 0,
  ctRGB = 2,
  ctPalette = 3,
  ctGrayscaleAlpha = 4,
  ctRGBAlpha = 6,
};

// What a decoder delivers: 8 bits per sample, colour bytes B, G, R for the RGB types, one
// byte per pixel (grey level or palette index) otherwise, alpha apart.
struct TPngPixels {
  int width = 0;
  int height = 0;
  TPngColorType colorType = ctRGBAlpha;
  std::vector<uint8_t> color;
  std::vector<uint8_t> alpha;         // RGBA and grey+alpha only
  std::vector<TColor> palette;        // palette images
  std::vector<uint8_t> paletteAlpha;  // transparency table of a palette image
  bool hasTransparentColor = false;   // single transparent colour of RGB and grey images
  TColor transparentColor = 0;
  std::string error;  // why decoding failed
};
// The platform's decoder. False with pixels->error set when the bytes are not a PNG image
// it can decode.
bool DecodePng(const std::string& bytes, TPngPixels* pixels);
bool IsPngSignature(const std::string& bytes);
// Linux only (libpng): an 8-bit RGBA, non-interlaced PNG file of rgba (R, G, B, A per
// pixel, rows top down). Used by the skin generator and the screenshot tool.
bool EncodePngRgba(int width, int height, const std::vector<uint8_t>& rgba, std::string* file);

class TPngImage : public TGraphic {
 public:
  TPngImage() = default;
  int Width() const override { return px_.width; }
  int Height() const override { return px_.height; }
  bool Empty() const override { return px_.width <= 0 || px_.height <= 0; }
  // Scaled to rect (ScaledSourceIndex: sampled at pixel centres) and combined with what is
  // there: per-pixel alpha, a transparent colour or a plain copy.
  void Draw(TCanvas& canvas, const TRect& rect) const override;
  std::unique_ptr<TGraphic> Clone() const override;
  // An image that does not decode leaves this one empty and is reported to the debugger
  // output; the change notification runs either way.
  bool LoadFromBytes(const std::string& bytes) override;

  void Assign(const TPngImage* other);
  // A blank image: every byte zero (8 bits per sample).
  void CreateBlank(TPngColorType colorType, int bitDepth, int width, int height);
  TPngColorType ColorType() const { return px_.colorType; }
  bool HasAlpha() const { return !px_.alpha.empty(); }
  // Grey becomes grey+alpha, RGB becomes RGBA, with every alpha 255 except 0 for the
  // transparent colour; a palette image without a transparency table gets one of 256
  // entries, all 255. Images with alpha, or a palette image with its table, keep theirs.
  void CreateAlpha();
  // One row of colour bytes (3 per pixel for RGB and RGBA, in the order B, G, R).
  uint8_t* Scanline(int y);
  const uint8_t* Scanline(int y) const;
  // One row of alpha bytes; null without an alpha channel.
  uint8_t* AlphaScanline(int y);
  int BytesPerPixel() const {
    return (px_.colorType == ctRGB || px_.colorType == ctRGBAlpha) ? 3 : 1;
  }
  // The colour of a pixel (palette and grey resolved) and its alpha (255 when opaque).
  TColor PixelColor(int x, int y) const;
  unsigned PixelAlpha(int x, int y) const;
  // An opaque bitmap of the colours.
  std::unique_ptr<TBitmap> ToBitmap() const;
  const TPngPixels& Pixels() const { return px_; }
  // Callers that write through Scanline report it here.
  void Modified() { Changed(); }

 private:
  TPngPixels px_;
};

// The "PNG" picture format. Registering writes "[<exe name>][pngimage]:Register TPngImage"
// to the debugger output when no PNG format was registered yet, unregistering the
// matching line when this registration made it.
void RegisterPngImageFormat();
void UnregisterPngImageFormat();

}  // namespace ui
