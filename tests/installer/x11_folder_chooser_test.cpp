// The "..." button on the real X11 host opens the desktop's folder chooser (the GTK helper
// program) under a private Xvfb; xdotool types a folder into it and confirms, and the
// installer window's edit then shows that folder, as the installer spells it.
//
// The window runs in a child process that reports the edit's text through a pipe when
// the button's handler returns; every wait has a limit.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "installer/Main.h"
#include "platform/dialogs.h"
#include "platform/inject.h"
#include "platform/posix/native.h"
#include "ui/controls.h"
#include "tests/installer/window_child.h"
#include "tests/installer/x_session.h"
#include "tests/support/temp_dir.h"
// Xlib last: its macros (None, Bool ...) would clash with the framework's names.
#include <X11/Xlib.h>

namespace {

// What the child reports first: its X window and the middle of the "..." button.
struct WindowReport {
  uint64_t window = 0;
  int32_t buttonX = 0, buttonY = 0;
};

// Reads exactly n bytes within timeoutMs.
bool ReadAll(int fd, void* data, size_t n, int timeoutMs) {
  auto* p = static_cast<char*>(data);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (n > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    pollfd pfd{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) != 1) return false;
    const ssize_t got = read(fd, p, n);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

// The installer window in a child process: reports where it is, then the edit's text
// each time the "..." button's handler has returned.
class ChooserWindowProcess {
 public:
  ChooserWindowProcess() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      RunChild(fds[1]);
    }
    close(fds[1]);
    from_ = fds[0];
  }
  ~ChooserWindowProcess() {
    if (from_ >= 0) close(from_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      x_session::WaitOrKill(pid_, 5000);
    }
  }
  ChooserWindowProcess(const ChooserWindowProcess&) = delete;
  ChooserWindowProcess& operator=(const ChooserWindowProcess&) = delete;

  bool ReadReport(WindowReport* report, int timeoutMs) {
    return pid_ > 0 && ReadAll(from_, report, sizeof *report, timeoutMs);
  }
  bool ReadEditText(std::string* text, int timeoutMs) {
    uint32_t size = 0;
    if (!ReadAll(from_, &size, sizeof size, timeoutMs) || size > 4096) return false;
    text->resize(size);
    return ReadAll(from_, text->data(), size, 1000);
  }

 private:
  static void RunChild(int to) {
    x_session::RunInstallerWindow([to](ui::TApplication&, TForm1* form) {
      const WindowReport report{static_cast<uint64_t>(form->Handle()),
                                form->btnSelect->Left() + form->btnSelect->Width() / 2,
                                form->btnSelect->Top() + form->btnSelect->Height() / 2};
      if (write(to, &report, sizeof report) != sizeof report) _exit(3);
      const auto pressed = form->btnSelect->OnClick;
      form->btnSelect->OnClick = [form, pressed, to](ui::TObject* sender) {
        pressed(sender);
        const std::string text = form->edtAZLJ->Text();
        const uint32_t size = static_cast<uint32_t>(text.size());
        if (write(to, &size, sizeof size) != sizeof size ||
            write(to, text.data(), size) != static_cast<ssize_t>(size))
          _exit(3);
      };
    });
  }

  pid_t pid_ = -1;
  int from_ = -1;
};

TEST(X11FolderChooser, AFolderTypedAndConfirmedBecomesTheEditsText) {
  x_session::PrivateXServer server("1280x1024x24");
  if (server.display().empty()) GTEST_SKIP() << "Xvfb could not be started (Debian package xvfb)";
  if (!x_session::OnPath("xdotool")) GTEST_SKIP() << "no xdotool (Debian package xdotool)";
  Display* display = XOpenDisplay(server.display().c_str());
  if (!display) GTEST_SKIP() << "the private X server does not answer";

  platform::inject::ScopedServices services;
  services->messageBox = [](const std::string&, const char*, uint32_t) { return platform::kIdOk; };
  testing_support::TempDir dir;
  services->moduleFileName = [&dir] { return dir / "Setup.exe"; };
  // A folder name with a space: the chooser must hand it back whole.
  const std::string wanted = dir / "upgrade target";
  ASSERT_TRUE(testing_support::MakeFolders(wanted));
  const std::optional<std::string> typed = platform::posix::ToNativePath(wanted);
  ASSERT_TRUE(typed);
  x_session::ScopedDisplay scopedDisplay(server.display());
  setenv("INSTALLER_FOLDER_CHOOSER", FOLDER_CHOOSER_PROGRAM, 1);

  ChooserWindowProcess child;
  WindowReport report;
  ASSERT_TRUE(child.ReadReport(&report, 10000)) << "the window did not come up";
  int x = 0, y = 0;
  Window unused;
  ASSERT_TRUE(XTranslateCoordinates(display, static_cast<Window>(report.window),
                                    DefaultRootWindow(display), report.buttonX, report.buttonY,
                                    &x, &y, &unused));
  XCloseDisplay(display);

  const std::string& d = server.display();
  ASSERT_TRUE(x_session::Run(
      {"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", "1"}, d));
  // The chooser's title is the caption the button asks for: 选择安装路径.
  ASSERT_TRUE(x_session::Run({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                              "\xE9\x80\x89\xE6\x8B\xA9\xE5\xAE\x89\xE8\xA3\x85\xE8\xB7\xAF\xE5\xBE\x84",
                              "windowfocus", "--sync", "%1", "sleep", "0.5", "key", "ctrl+l",
                              "sleep", "0.3", "type", "--delay", "10", *typed},
                             d, 20000))
      << "the folder chooser did not open";
  // A command of its own: "type" takes every word after it as text.
  ASSERT_TRUE(x_session::Run({"xdotool", "sleep", "0.3", "key", "Return"}, d));
  std::string text;
  ASSERT_TRUE(child.ReadEditText(&text, 15000)) << "the chooser did not come back";
  EXPECT_EQ(text, wanted);
}

}  // namespace
