// The PNG image type over both decoders (libpng on Linux, the imaging component on
// Windows): colour types, transparency, failures, and the image operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/inject.h"
#include "ui/png_image.h"
#include "tests/ui/headless_fixture.h"

using namespace ui;
using ui_testing::PngFile;

namespace {

TEST(PngImage, DecodesTheColourTypesAndTheirTransparency) {
  // 2 x 1 images: every case has a pixel (0x11, 0x22, 0x33) and a second one.
  struct Case {
    const char* name;
    int colorType;
    std::string row, plte, trns;
    TColor first;
    unsigned firstAlpha, secondAlpha;
  };
  const Case cases[] = {
      {"rgba", 6, std::string("\x11\x22\x33\xFF\x44\x55\x66\x40", 8), "", "", 0x332211, 255, 0x40},
      {"rgb", 2, std::string("\x11\x22\x33\x44\x55\x66", 6), "", "", 0x332211, 255, 255},
      {"grey", 0, std::string("\x80\x10", 2), "", "", 0x808080, 255, 255},
      {"palette", 3, std::string("\x01\x00", 2), std::string("\x00\x00\x00\x11\x22\x33", 6),
       std::string("\x20\xFF", 2), 0x332211, 255, 0x20},
  };
  for (const Case& c : cases) {
    TPngImage image;
    ASSERT_TRUE(image.LoadFromBytes(PngFile(2, 1, c.colorType, {c.row}, c.plte, c.trns))) << c.name;
    EXPECT_EQ(image.Width(), 2) << c.name;
    EXPECT_EQ(image.Height(), 1) << c.name;
    EXPECT_EQ(image.PixelColor(0, 0), c.first) << c.name;
    EXPECT_EQ(image.PixelAlpha(0, 0), c.firstAlpha) << c.name;
    EXPECT_EQ(image.PixelAlpha(1, 0), c.secondAlpha) << c.name;
  }
  TPngImage rgba;
  ASSERT_TRUE(rgba.LoadFromBytes(PngFile(2, 1, 6, {cases[0].row})));
  EXPECT_EQ(rgba.ColorType(), ctRGBAlpha);
  EXPECT_EQ(rgba.Scanline(0)[0], 0x33);  // colour bytes B, G, R
  EXPECT_EQ(rgba.AlphaScanline(0)[1], 0x40);
}

TEST(PngImage, UndecodableBytesLeaveItEmptyAndAreReported) {
  platform::inject::ScopedServices services;
  std::vector<std::string> lines;
  services->debugOutput = [&](const std::string& line) { lines.push_back(line); };
  TPngImage image;
  ASSERT_TRUE(image.LoadFromBytes(PngFile(1, 1, 6, {std::string("\1\2\3\4", 4)})));
  int changes = 0;
  image.OnChange = [&](TGraphic*) { ++changes; };
  std::string truncated = PngFile(4, 4, 6, std::vector<std::string>(4, std::string(16, 'x')));
  truncated.resize(truncated.size() - 30);
  for (const std::string& bytes : {std::string("not a png"), truncated, std::string()}) {
    EXPECT_FALSE(image.LoadFromBytes(bytes));
    EXPECT_TRUE(image.Empty());
  }
  EXPECT_EQ(changes, 3);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].rfind("[TPngImage.LoadFromBytes]", 0), 0U) << lines[0];
}

TEST(PngImage, CreateAlphaAndBlankImages) {
  TPngImage grey;
  ASSERT_TRUE(grey.LoadFromBytes(PngFile(2, 1, 0, {std::string("\x10\x20", 2)})));
  grey.CreateAlpha();
  EXPECT_EQ(grey.ColorType(), ctGrayscaleAlpha);
  EXPECT_EQ(grey.PixelAlpha(1, 0), 255U);
  EXPECT_EQ(grey.PixelColor(1, 0), 0x202020U);

  TPngImage palette;
  ASSERT_TRUE(palette.LoadFromBytes(
      PngFile(1, 1, 3, {std::string("\0", 1)}, std::string("\x01\x02\x03", 3))));
  palette.CreateAlpha();
  EXPECT_EQ(palette.ColorType(), ctPalette);
  EXPECT_EQ(palette.Pixels().paletteAlpha, std::vector<uint8_t>(256, 255));

  TPngImage blank;
  blank.CreateBlank(ctRGBAlpha, 8, 3, 2);
  EXPECT_EQ(blank.Width(), 3);
  EXPECT_EQ(blank.PixelAlpha(2, 1), 0U);
  EXPECT_EQ(blank.PixelColor(2, 1), 0U);
  auto bmp = blank.ToBitmap();
  EXPECT_EQ(bmp->Width(), 3);
}

TEST(PngImage, RegistersThePictureFormatWithDebuggerLines) {
  platform::inject::ScopedServices services;
  std::vector<std::string> lines;
  services->debugOutput = [&](const std::string& line) { lines.push_back(line); };
  services->moduleFileName = [] { return std::string("C:\\setup\\Setup.exe"); };
  RegisterPngImageFormat();
  RegisterPngImageFormat();  // already there: nothing
  ASSERT_NE(FindFileFormat("PNG"), nullptr);
  EXPECT_EQ(FindFileFormat("PNG")->description, "Portable Network Graphics");
  TPicture picture;
  EXPECT_TRUE(picture.LoadFromBytes(PngFile(1, 1, 2, {std::string("\1\2\3", 3)})));
  EXPECT_NE(dynamic_cast<TPngImage*>(picture.Graphic()), nullptr);
  UnregisterPngImageFormat();
  UnregisterPngImageFormat();
  EXPECT_EQ(FindFileFormat("PNG"), nullptr);
  EXPECT_EQ(lines, (std::vector<std::string>{"[Setup.exe][pngimage]:Register TPngImage",
                                             "[Setup.exe][pngimage]:Unregister TPngImage"}));
}

}  // namespace
