// The PNG image buttons on the headless host: which image shows for enter, leave, press,
// release and disable; fitting, slicing and tiling; groups; the placeholder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/f_PimImageButton.h"
#include "platform/inject.h"
#include "tests/ui/headless_fixture.h"

using namespace ui;
using ui_testing::MakeImage;
using ui_testing::Solid;

namespace {

constexpr TColor kImg = 0x0000C0, kOver = 0x00C000, kDown = 0xC00000, kUp = 0xC0C000;

class ImageButton : public ui_testing::HeadlessApp {
 protected:
  void SetUp() override {
    HeadlessApp::SetUp();
    form = NewForm(200, 100);
  }
  TPNGImageButton* Button(int x, int y, bool over, bool down, bool up) {
    auto* b = new TPNGImageButton(form);
    b->SetParent(form);
    b->SetBounds(x, y, 20, 20);
    TPngImage img = Solid(20, 20, kImg);
    b->SetPngImg(&img);
    if (over) {
      TPngImage i = Solid(20, 20, kOver);
      b->SetPngOver(&i);
    }
    if (down) {
      TPngImage i = Solid(20, 20, kDown);
      b->SetPngDown(&i);
    }
    if (up) {
      TPngImage i = Solid(20, 20, kUp);
      b->SetPngUp(&i);
    }
    return b;
  }
  std::string Current(TPNGImageButton* b) {
    const TPngImage* c = b->CurrentImage();
    return c == b->PngImg()        ? "img"
           : c == b->PngOver()     ? "over"
           : c == b->PngDown()     ? "down"
           : c == b->PngUp()       ? "up"
           : c == b->PngDisabled() ? "disabled"
                                   : "none";
  }
  TForm* form = nullptr;
};

TEST_F(ImageButton, ImageFollowsEnterPressReleaseLeave) {
  struct Case {
    bool over, down, up;
    std::vector<std::string> images;  // after enter, press, release, leave
    std::vector<TColor> shown;
  };
  const Case cases[] = {
      {false, false, false, {"img", "img", "img", "img"}, {kImg, kImg, kImg, kImg}},
      // The installer's close button: the press keeps the hover image, the release shows
      // the normal one (no up image, and the hover image is already current).
      {true, false, false, {"over", "over", "img", "img"}, {kOver, kOver, kImg, kImg}},
      {true, true, true, {"over", "down", "up", "img"}, {kOver, kDown, kUp, kImg}},
      {true, true, false, {"over", "down", "over", "img"}, {kOver, kDown, kOver, kImg}},
  };
  for (const Case& c : cases) {
    TPNGImageButton* b = Button(10, 10, c.over, c.down, c.up);
    form->Show();
    app->ProcessMessages();
    std::vector<std::string> images;
    std::vector<TColor> shown;
    auto step = [&] {
      app->ProcessMessages();
      images.push_back(Current(b));
      shown.push_back(Shown(form, 15, 15));
    };
    host->MouseMove(15, 15);
    step();
    host->MouseDown(mbLeft, 15, 15);
    step();
    host->MouseUp(mbLeft, 15, 15);
    step();
    host->MouseMove(150, 80);
    step();
    EXPECT_EQ(images, c.images) << c.over << c.down << c.up;
    EXPECT_EQ(shown, c.shown) << c.over << c.down << c.up;
    delete b;
  }
}

TEST_F(ImageButton, EventsOnlyForTheLeftButtonWithTheMouseCaptured) {
  TPNGImageButton* b = Button(10, 10, true, true, false);
  form->Show();
  std::vector<std::string> log;
  b->OnMouseDown = [&](TObject*, TMouseButton button, TShiftState, int x, int y) {
    log.push_back("down" + std::to_string(button) + "@" + std::to_string(x) + "," +
                  std::to_string(y) + (b->MouseCapture() ? " captured" : ""));
  };
  b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
  b->OnClick = [&](TObject*) { log.push_back("click"); };
  b->OnMouseEnter = [&](TObject*) { log.push_back("enter"); };
  b->OnMouseLeave = [&](TObject*) { log.push_back("leave"); };
  int baseEvents = 0;
  b->TControl::OnClick = [&](TObject*) { ++baseEvents; };
  host->MouseMove(12, 12);
  host->MouseDown(mbRight, 12, 12);  // no event, no image change
  app->ProcessMessages();
  EXPECT_EQ(Current(b), "over");
  host->MouseUp(mbRight, 12, 12);
  host->MouseDown(mbLeft, 13, 14);
  host->MouseUp(mbLeft, 13, 14);
  host->MouseMove(100, 80);
  app->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "down0@3,4 captured", "click", "up", "leave"}));
  EXPECT_EQ(baseEvents, 0);  // the base control's event of that name never fires
}

TEST_F(ImageButton, DisabledShowsAThirdOfTheOpacityAndIgnoresTheMouse) {
  TPNGImageButton* b = Button(10, 10, true, false, false);
  form->Show();
  int enters = 0;
  b->OnMouseEnter = [&](TObject*) { ++enters; };
  b->SetEnabled(false);
  app->ProcessMessages();
  EXPECT_EQ(Current(b), "disabled");
  EXPECT_EQ(b->PngDisabled()->PixelAlpha(3, 3), 85U);  // 255 / 3
  EXPECT_EQ(ColorToPixel(Shown(form, 15, 15)),
            BlendPixel(ColorToPixel(clWhite), ColorToPixel(kImg), 85));
  host->MouseMove(15, 15);
  app->ProcessMessages();
  EXPECT_EQ(enters, 0);
  EXPECT_EQ(Current(b), "disabled");
  b->SetEnabled(true);
  EXPECT_EQ(Current(b), "img");
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 15, 15), kImg);

  // An image without alpha: the disabled copy has alpha 85 everywhere.
  TPngImage rgb;
  rgb.CreateBlank(ctRGB, 8, 2, 2);
  b->SetPngImg(&rgb);
  b->MakeDisabledImage();
  EXPECT_EQ(b->PngDisabled()->ColorType(), ctRGBAlpha);
  EXPECT_EQ(b->PngDisabled()->PixelAlpha(1, 1), 85U);
}

TEST_F(ImageButton, DisablingKeepsTransparentPixelsOfImagesWithoutAnAlphaChannel) {
  // 2 x 1 images whose first pixel is transparent and whose second is red: a palette image
  // with a transparency table (left as it is: a palette image is not faded) and an RGB
  // image with a transparent colour (faded to a third).
  struct Case {
    const char* what;
    std::string png;
    unsigned secondAlpha;
  };
  const Case cases[] = {
      {"palette", ui_testing::PngFile(2, 1, 3, {std::string("\0\1", 2)},
                                      std::string("\x00\xFF\x00\xFF\x00\x00", 6),
                                      std::string("\x00", 1)),
       255},
      {"rgb with a transparent colour",
       ui_testing::PngFile(2, 1, 2, {std::string("\x00\xFF\x00\xFF\x00\x00", 6)}, "",
                           std::string("\x00\x00\x00\xFF\x00\x00", 6)),
       85},
  };
  for (const Case& c : cases) {
    auto* b = new TPNGImageButton(form);
    b->SetParent(form);
    b->SetBounds(10, 10, 2, 1);
    TPngImage image;
    ASSERT_TRUE(image.LoadFromBytes(c.png)) << c.what;
    ASSERT_EQ(image.PixelAlpha(0, 0), 0U) << c.what;
    b->SetPngImg(&image);
    form->Show();
    b->SetEnabled(false);
    app->ProcessMessages();
    EXPECT_EQ(b->PngDisabled()->PixelAlpha(0, 0), 0U) << c.what;
    EXPECT_EQ(b->PngDisabled()->PixelAlpha(1, 0), c.secondAlpha) << c.what;
    EXPECT_EQ(Shown(form, 10, 10), clWhite) << c.what;  // the form beneath shows through
    EXPECT_EQ(ColorToPixel(Shown(form, 11, 10)),
              BlendPixel(ColorToPixel(clWhite), ColorToPixel(clRed), c.secondAlpha))
        << c.what;
    delete b;
  }
}

TEST_F(ImageButton, FittingSqueezesLargerAndCentresSmallerImages) {
  auto* b = new TPNGImageButton(form);
  b->SetParent(form);
  b->AutoSize = false;
  b->SetBounds(0, 0, 200, 99);
  // 100 rows for 99: the row indexes show which row was dropped.
  TPngImage tall = MakeImage(200, 100, [](int, int y) {
    return std::pair<TColor, unsigned>{RgbColor(static_cast<uint8_t>(y), 0, 0), 255u};
  });
  b->SetPngImg(&tall);
  form->Show();
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 7, 48), RgbColor(48, 0, 0));
  EXPECT_EQ(Shown(form, 7, 49), RgbColor(50, 0, 0));  // row 49 is the one left out
  EXPECT_EQ(Shown(form, 7, 98), RgbColor(99, 0, 0));

  // 90 wide in 100: starts at x = 5; 91 wide: the odd spare pixel goes left (5 again).
  for (int w : {90, 91}) {
    b->SetBounds(0, 0, 100, 20);
    TPngImage narrow = Solid(w, 20, kImg);
    b->SetPngImg(&narrow);
    b->SetBounds(0, 0, 100, 20);
    app->ProcessMessages();
    EXPECT_EQ(Shown(form, 4, 10), clWhite) << w;
    EXPECT_EQ(Shown(form, 5, 10), kImg) << w;
    EXPECT_EQ(Shown(form, 5 + w - 1, 10), kImg) << w;
    EXPECT_EQ(Shown(form, 5 + w, 10), clWhite) << w;
  }
}

TEST_F(ImageButton, ThreeSliceStretching) {
  auto* b = new TPNGImageButton(form);
  b->SetParent(form);
  b->AutoSize = false;
  TPngImage rows = MakeImage(4, 6, [](int, int y) {
    return std::pair<TColor, unsigned>{RgbColor(static_cast<uint8_t>(10 * y), 0, 0), 255u};
  });
  b->SetPngImg(&rows);
  b->SetBounds(0, 0, 4, 10);
  b->SetStretch(true);
  b->SetFixedHeight(2);
  form->Show();
  app->ProcessMessages();
  std::vector<int> shownRows;
  for (int y = 0; y < 10; ++y) shownRows.push_back(RedOf(Shown(form, 1, y)) / 10);
  // Top and bottom slices copied, the middle rows scaled by nearest row (ties to even).
  EXPECT_EQ(shownRows, (std::vector<int>{0, 1, 2, 2, 3, 3, 3, 4, 4, 5}));

  // FixedHeight 5 with a client height of 10: 10 is not more than 2 x 5, no slicing; the
  // image is scaled into the client area instead.
  b->SetFixedHeight(5);
  app->ProcessMessages();
  shownRows.clear();
  for (int y = 0; y < 10; ++y) shownRows.push_back(RedOf(Shown(form, 1, y)) / 10);
  EXPECT_EQ(shownRows, (std::vector<int>{0, 0, 1, 2, 2, 3, 3, 4, 5, 5}));

  b->SetFixedWidth(-4);
  EXPECT_EQ(b->FixedWidth(), 0);
  b->SetFixedHeight(-1);
  EXPECT_EQ(b->FixedHeight(), 0);
}

TEST_F(ImageButton, CopyScaledRegionIgnoresEmptyRectanglesAndStaysInside) {
  TPngImage src = Solid(4, 4, kImg, 200);
  TPngImage dst;
  dst.CreateBlank(ctRGBAlpha, 8, 4, 4);
  TPNGImageButton::CopyScaledRegion(&src, {0, 0, 0, 4}, &dst, {0, 0, 4, 4});
  TPNGImageButton::CopyScaledRegion(&src, {0, 0, 4, 4}, &dst, {2, 2, 2, 4});
  TPNGImageButton::CopyScaledRegion(&src, {0, 0, 4, 4}, nullptr, {0, 0, 4, 4});
  EXPECT_EQ(dst.PixelAlpha(0, 0), 0U);
  TPNGImageButton::CopyScaledRegion(&src, {0, 0, 4, 4}, &dst, {2, 2, 9, 9});  // clipped
  EXPECT_EQ(dst.PixelAlpha(1, 1), 0U);
  EXPECT_EQ(dst.PixelAlpha(3, 3), 200U);
  EXPECT_EQ(dst.PixelColor(3, 3), kImg);
  // A source without alpha gives alpha 255; a grey source its grey level.
  TPngImage grey;
  grey.CreateBlank(ctGrayscale, 8, 1, 1);
  grey.Scanline(0)[0] = 0x40;
  TPNGImageButton::CopyScaledRegion(&grey, {0, 0, 1, 1}, &dst, {0, 0, 1, 1});
  EXPECT_EQ(dst.PixelColor(0, 0), 0x404040U);
  EXPECT_EQ(dst.PixelAlpha(0, 0), 255U);
}

TEST_F(ImageButton, TileRepeatsTheOpaqueImage) {
  auto* b = new TPNGImageButton(form);
  b->SetParent(form);
  b->AutoSize = false;
  TPngImage two = MakeImage(2, 1, [](int x, int) {
    return std::pair<TColor, unsigned>{x ? kOver : kImg, 10u};  // alpha is not used
  });
  b->SetPngImg(&two);
  b->SetBounds(10, 0, 5, 2);
  b->SetTile(true);
  form->Show();
  app->ProcessMessages();
  const TColor expected[] = {kImg, kOver, kImg, kOver, kImg};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Shown(form, 10 + x, 1), expected[x]) << x;
}

TEST_F(ImageButton, EmptyImagePaintsTheDashedPlaceholder) {
  auto* b = new TPNGImageButton(form);
  b->SetParent(form);
  b->SetBounds(0, 0, 30, 10);
  form->Show();
  app->ProcessMessages();
  std::string top;
  for (int x = 0; x < 30; ++x) top += Shown(form, x, 0) == clBlack ? '#' : '.';
  EXPECT_EQ(top, std::string(18, '#') + std::string(6, '.') + std::string(6, '#'));
  EXPECT_EQ(Shown(form, 15, 5), clWhite);  // clear brush inside
  EXPECT_EQ(b->Canvas().Brush.Style, bsSolid);

  // An image that does not decode counts as empty.
  platform::inject::ScopedServices services;
  std::vector<std::string> debug;
  services->debugOutput = [&](const std::string& l) { debug.push_back(l); };
  TPngImage broken;
  broken.LoadFromBytes("\x89PNG\r\n\x1a\n garbage");
  b->SetPngImg(&broken);
  b->SetBounds(0, 0, 30, 10);
  app->ProcessMessages();
  EXPECT_EQ(Shown(form, 0, 0), clBlack);
  EXPECT_EQ(debug.size(), 1U);
}

TEST_F(ImageButton, AutoSizeFollowsTheNormalImageAndLargerOthers) {
  auto* b = new TPNGImageButton(form);
  EXPECT_EQ(b->Width(), 50);
  EXPECT_EQ(b->Height(), 50);
  b->SetParent(form);
  EXPECT_TRUE(form->DoubleBuffered);  // placing it switches the parent's buffering on
  TPngImage img = Solid(30, 20, kImg);
  b->SetPngImg(&img);
  EXPECT_EQ(b->BoundsRect(), Bounds(0, 0, 30, 20));
  TPngImage over = Solid(40, 10, kOver);
  b->SetPngOver(&over);
  EXPECT_EQ(b->BoundsRect(), Bounds(0, 0, 40, 20));
  int changes = 0;
  b->OnPictureChange = [&](TObject*) { ++changes; };
  b->SetPngDown(&img);
  EXPECT_EQ(changes, 1);
}

TEST_F(ImageButton, FocusControlIsClearedWhenItGoes) {
  auto* b = new TPNGImageButton(form);
  auto* other = new TPNGImageButton(form);
  b->SetFocusControl(other);
  delete other;
  EXPECT_EQ(b->FocusControl(), nullptr);
}

TEST_F(ImageButton, GroupMembersReleaseEachOther) {
  std::vector<TPNGImageButtonEx*> group;
  for (int i = 0; i < 2; ++i) {
    auto* b = new TPNGImageButtonEx(form);
    b->SetParent(form);
    b->SetBounds(10 + 30 * i, 10, 20, 20);
    TPngImage img = Solid(20, 20, kImg), down = Solid(20, 20, kDown);
    b->SetPngImg(&img);
    b->SetPngDown(&down);
    b->GroupIndex = 1;
    group.push_back(b);
  }
  form->Show();
  host->MouseDown(mbLeft, 15, 15);
  host->MouseUp(mbLeft, 15, 15);  // ignored while down: the pressed image stays
  app->ProcessMessages();
  EXPECT_TRUE(group[0]->Down());
  EXPECT_EQ(group[0]->CurrentImage(), group[0]->PngDown());
  host->MouseDown(mbLeft, 45, 15);
  host->MouseUp(mbLeft, 45, 15);
  host->MouseMove(150, 80);
  app->ProcessMessages();
  EXPECT_FALSE(group[0]->Down());
  EXPECT_TRUE(group[1]->Down());
  EXPECT_EQ(group[0]->CurrentImage(), group[0]->PngImg());
  EXPECT_EQ(Shown(form, 15, 15), kImg);
  EXPECT_EQ(Shown(form, 45, 15), kDown);  // a down member keeps its look on leave
  group[1]->SetDown(false);
  EXPECT_FALSE(group[1]->Down());
}

TEST_F(ImageButton, CaptionIsDrawnOverTheImage) {
  auto* b = new TPNGImageButtonEx(form);
  b->SetParent(form);
  TPngImage img = Solid(80, 30, clWhite);
  b->SetPngImg(&img);
  b->Font.Name = "\xce\xa2\xc8\xed\xd1\xc5\xba\xda";
  b->Font.Height = -14;
  b->Font.Charset = kGb2312Charset;
  b->Font.Color = clBlack;
  b->SetCaption("\xb9\xd8\xb1\xd5");  // two characters
  form->Show();
  app->ProcessMessages();
  int left = 80, right = -1;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x)
      if (Shown(form, x, y) != clWhite) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  ASSERT_LT(left, right);
  EXPECT_NEAR((left + right) / 2.0, 40, 3);  // centred
}

}  // namespace
