// Moving the installer window by its background on the real X11 host, driven by xdotool
// under a private Xvfb: on the bare server (our own move loop) and under openbox (the
// window manager's move). A quick click leaves the window where it is; a drag moves it
// by the pointer's travel and ends at the release.
//
// The window runs in a child process, so that a move loop that never ends shows as a
// failure here, not as a test that hangs; every wait has a limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "installer/Main.h"
#include "platform/dialogs.h"
#include "platform/inject.h"
#include "ui/controls.h"
#include "tests/installer/window_child.h"
#include "tests/installer/x_session.h"
#include "tests/support/temp_dir.h"
// Xlib last: its macros (None, Bool ...) would clash with the framework's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using x_session::PrivateXServer;
using x_session::Run;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The installer window in a child process: its X window id comes back through a pipe.
class WindowProcess {
 public:
  explicit WindowProcess(int timeoutMs) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      x_session::RunInstallerWindow([to = fds[1]](ui::TApplication&, TForm1* form) {
        const uint64_t id = static_cast<uint64_t>(form->Handle());
        if (write(to, &id, sizeof id) != sizeof id) _exit(3);
      });
    }
    close(fds[1]);
    if (pid_ > 0) {
      pollfd p{fds[0], POLLIN, 0};
      uint64_t id = 0;
      if (poll(&p, 1, timeoutMs) == 1 && read(fds[0], &id, sizeof id) == sizeof id)
        window_ = static_cast<Window>(id);
    }
    close(fds[0]);
  }
  ~WindowProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      x_session::WaitOrKill(pid_, 5000);
    }
  }
  WindowProcess(const WindowProcess&) = delete;
  WindowProcess& operator=(const WindowProcess&) = delete;
  Window window() const { return window_; }

 private:
  pid_t pid_ = -1;
  Window window_ = 0;
};

struct Place {
  int x = 0, y = 0;
  bool operator==(const Place&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Place& p) { return os << p.x << "," << p.y; }

// Where the window's client area is on the screen, once it has stayed put for 200 ms.
std::optional<Place> StablePlace(Display* d, Window w) {
  std::optional<Place> last;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    XWindowAttributes a;
    Place now;
    Window child;
    if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable &&
        XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &now.x, &now.y, &child)) {
      if (last && *last == now) return now;
      last = now;
    }
    Sleep(200);
  }
  return std::nullopt;
}

std::string Num(int v) { return std::to_string(v); }

// A window manager of its own on the display, running until the object goes.
class Openbox {
 public:
  Openbox(const std::string& display, Display* d) {
    if (!x_session::OnPath("openbox")) return;
    pid_ = x_session::Spawn({"openbox", "--sm-disable"}, display);
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && !running_ && std::chrono::steady_clock::now() < until) {
      Atom type;
      int format;
      unsigned long count = 0, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type,
                             &format, &count, &after, &data) == Success &&
          data) {
        running_ = count == 1;
        XFree(data);
      }
      if (!running_) Sleep(100);
    }
  }
  ~Openbox() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      x_session::WaitOrKill(pid_, 5000);
    }
  }
  Openbox(const Openbox&) = delete;
  Openbox& operator=(const Openbox&) = delete;
  bool running() const { return running_; }

 private:
  pid_t pid_ = -1;
  bool running_ = false;
};

void QuickClickAndDrag(const std::string& display, Display* d) {
  platform::inject::ScopedServices services;
  services->messageBox = [](const std::string&, const char*, uint32_t) { return platform::kIdOk; };
  testing_support::TempDir dir;
  services->moduleFileName = [&dir] { return dir / "Setup.exe"; };
  x_session::ScopedDisplay scoped(display);

  WindowProcess child(10000);
  ASSERT_NE(child.window(), 0U) << "the window did not come up";
  const std::optional<Place> start = StablePlace(d, child.window());
  ASSERT_TRUE(start) << "the window was not shown";
  const int x = start->x + 100, y = start->y + 100;  // on the background image

  // A quick click: press and release reach the program together.
  ASSERT_TRUE(Run({"xdotool", "mousemove", Num(x), Num(y), "click", "1"}, display));
  Sleep(400);
  ASSERT_TRUE(Run({"xdotool", "mousemove", Num(x - 60), Num(y - 40)}, display));
  EXPECT_EQ(StablePlace(d, child.window()), start) << "the window followed the pointer";

  // A drag: the window follows while the button is down, and stays after the release.
  ASSERT_TRUE(Run({"xdotool", "mousemove", Num(x), Num(y), "mousedown", "1", "sleep", "0.5",
                   "mousemove", Num(x - 30), Num(y - 20), "sleep", "0.2", "mousemove",
                   Num(x - 60), Num(y - 40), "sleep", "0.5", "mouseup", "1"},
                  display));
  Sleep(400);
  ASSERT_TRUE(Run({"xdotool", "mousemove", Num(x - 120), Num(y - 90)}, display));
  const Place moved{start->x - 60, start->y - 40};
  EXPECT_EQ(StablePlace(d, child.window()), moved);
}

class X11Move : public ::testing::Test {
 protected:
  void SetUp() override {
    if (server_.display().empty())
      GTEST_SKIP() << "Xvfb could not be started (Debian package xvfb)";
    if (!x_session::OnPath("xdotool")) GTEST_SKIP() << "no xdotool (Debian package xdotool)";
    display_ = XOpenDisplay(server_.display().c_str());
    if (!display_) GTEST_SKIP() << "the private X server does not answer";
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }
  PrivateXServer server_{"1280x1024x24"};
  Display* display_ = nullptr;
};

TEST_F(X11Move, OnABareServerOurLoopEndsAtTheRelease) {
  QuickClickAndDrag(server_.display(), display_);
}

TEST_F(X11Move, UnderAWindowManagerItsMoveEndsAtTheRelease) {
  Openbox wm(server_.display(), display_);
  if (!wm.running()) GTEST_SKIP() << "openbox did not start (Debian package openbox)";
  QuickClickAndDrag(server_.display(), display_);
}

}  // namespace
