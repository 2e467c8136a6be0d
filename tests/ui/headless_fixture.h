// A headless application for one test, and small helpers the UI suites share.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/headless_host.h"
#include "ui/png_image.h"

namespace ui_testing {

class HeadlessApp : public ::testing::Test {
 protected:
  void SetUp() override {
    auto h = std::make_unique<ui::THeadlessHost>();
    host = h.get();
    app = std::make_unique<ui::TApplication>(std::move(h));
    app->Initialize();
  }
  void TearDown() override { app.reset(); }
  // A shown form of the given size at (0, 0).
  ui::TForm* NewForm(int w, int h, ui::TColor color = ui::clWhite) {
    auto* f = app->CreateForm<ui::TForm>();
    f->BorderStyle = ui::bsNone;
    f->SetBounds(0, 0, w, h);
    f->SetColor(color);
    return f;
  }
  // The colour a window shows at a point.
  ui::TColor Shown(ui::TForm* f, int x, int y) {
    return ui::PixelToColor(host->WindowOf(f)->Screen().At(x, y));
  }
  ui::THeadlessHost* host = nullptr;
  std::unique_ptr<ui::TApplication> app;
};

// An 8-bit image filled from a function of the pixel: colour 0x00BBGGRR and alpha.
template <typename F>
ui::TPngImage MakeImage(int w, int h, F pixel) {
  ui::TPngImage image;
  image.CreateBlank(ui::ctRGBAlpha, 8, w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* c = image.Scanline(y);
    uint8_t* a = image.AlphaScanline(y);
    for (int x = 0; x < w; ++x) {
      const auto [color, alpha] = pixel(x, y);
      c[x * 3] = ui::BlueOf(color);
      c[x * 3 + 1] = ui::GreenOf(color);
      c[x * 3 + 2] = ui::RedOf(color);
      a[x] = static_cast<uint8_t>(alpha);
    }
  }
  return image;
}

inline ui::TPngImage Solid(int w, int h, ui::TColor color, unsigned alpha = 255) {
  return MakeImage(w, h, [&](int, int) { return std::pair<ui::TColor, unsigned>{color, alpha}; });
}

// PNG file bytes written with zlib: 8-bit samples of the given colour type, rows of raw
// sample bytes (filter 0), optional PLTE and tRNS payloads.
std::string PngFile(int w, int h, int colorType, const std::vector<std::string>& rows,
                    const std::string& plte = "", const std::string& trns = "");

}  // namespace ui_testing
