// The installer window on the real X11 host, under a private Xvfb server: a screenshot of
// the window has its size and shows the skins where they belong.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "installer/Main.h"
#include "platform/dialogs.h"
#include "platform/inject.h"
#include "ui/png_image.h"
#include "ui/screenshot.h"
#include "resources/resources.h"
#include "tests/installer/x_session.h"
#include "tests/support/temp_dir.h"

using namespace ui;

namespace {

TEST(X11Smoke, TheWindowShowsOnAnXServer) {
  x_session::PrivateXServer server;
  if (server.display().empty()) GTEST_SKIP() << "Xvfb could not be started (Debian package xvfb)";
  x_session::ScopedDisplay display(server.display());
  platform::inject::ScopedServices services;
  services->messageBox = [](const std::string&, const char*, uint32_t) { return platform::kIdOk; };
  testing_support::TempDir dir;
  services->moduleFileName = [&dir] { return dir / "Setup.exe"; };

  std::string error;
  std::unique_ptr<THostSystem> host = CreateNativeHost(&error);
  ASSERT_TRUE(host) << error;
  EXPECT_EQ(host->Name(), "x11");
  const char* tmp = std::getenv("TMPDIR");
  const std::string nativeShot =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/x11_smoke_" + std::to_string(getpid()) + ".png";
  {
    TApplication app(std::move(host));
    app.Initialize();
    TForm1* form = app.CreateForm<TForm1>();
    form->Show();
    TPngImage background, footer, image;
    background.LoadFromBytes(*FindInstallerResource("background.png"));
    footer.LoadFromBytes(*FindInstallerResource("footer.png"));
    bool seen = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!seen && std::chrono::steady_clock::now() < until) {
      app.Host()->WaitEvents(50);
      app.ProcessMessages();
      if (!SaveX11Screenshot(server.display().c_str(), "Form1", 100, nativeShot, &error)) continue;
      std::string bytes;
      if (FILE* f = std::fopen(nativeShot.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        std::fclose(f);
      }
      seen = image.LoadFromBytes(bytes) && image.PixelColor(5, 5) == background.PixelColor(5, 5);
    }
    ASSERT_TRUE(seen) << error;
    EXPECT_EQ(image.Width(), 598);
    EXPECT_EQ(image.Height(), 366);
    EXPECT_EQ(image.PixelColor(300, 100), background.PixelColor(300, 100));
    EXPECT_EQ(image.PixelColor(50, 340), footer.PixelColor(50, 31));
    EXPECT_EQ(image.PixelColor(200, 250), 0xDB7435U);  // the install button's face
    form->Close();
    EXPECT_TRUE(app.Terminated());
  }
  std::remove(nativeShot.c_str());
}

}  // namespace
