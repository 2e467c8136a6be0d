// The program entry as main() runs it, on a headless host: module start-up, the window,
// the message loop until the close button ends it, module shut-down, each in its turn,
// with the log lines and the debugger lines of the run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "installer/Program.h"
#include "log/f_Log.h"
#include "platform/dialogs.h"
#include "platform/inject.h"
#include "platform/system.h"
#include "ui/controls.h"
#include "ui/graphics.h"
#include "ui/headless_host.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"

using namespace ui;
using testing_support::ReadFileBytes;
using testing_support::RegistryFixture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// A headless host that tells, when the application frees it, how much input was left.
class RecordingHost : public THeadlessHost {
 public:
  explicit RecordingHost(size_t* leftAtEnd) : leftAtEnd_(leftAtEnd) {}
  ~RecordingHost() override { *leftAtEnd_ = PendingInput(); }

 private:
  size_t* leftAtEnd_;
};

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Program, StartsShowsTheWindowRunsUntilClosedAndShutsDownInOrder) {
  TempDir dir;
  const std::string hostFolder = dir / "Lumora\\";
  ASSERT_TRUE(WriteFileBytes(hostFolder + "Lumoranew.exe", "MZ"));
  ASSERT_TRUE(WriteFileBytes(dir / "setup\\Config.ini", "[system]\r\ndebug=1\r\n"));
  RegistryFixture registry("SOFTWARE\\Norvell");
  registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", dir / "Lumora");

  platform::inject::ScopedServices services;
  platform::SystemTime now;
  now.year = 2024;
  now.month = 5;
  now.day = 6;
  now.hour = 7;
  now.minute = 8;
  now.second = 9;
  now.milliseconds = 10;
  services->localTime = [&] { return now; };
  services->moduleFileName = [&] { return dir / "setup\\Setup.exe"; };
  const std::string logFile = dir / "setup\\log\\Setup_202405.log";
  std::vector<std::string> boxes;
  services->messageBox = [&](const std::string& text, const char*, uint32_t) {
    boxes.push_back(text);
    return platform::kIdOk;
  };
  // Each step says what had happened by then: whether the log's switch was read, the
  // application object exists, the PNG type is registered, and how many log lines exist.
  std::vector<std::string> steps;
  auto state = [&] {
    const std::string log = ReadFileBytes(logFile);
    return std::string(daemon_log::DebugEnabled ? " log on" : " log off") +
           (Application ? ", application" : ", no application") +
           (FindFileFormat("PNG") ? ", png" : ", no png") + ", " +
           std::to_string(Count(log, "\r\n")) + " log lines";
  };
  services->debugOutput = [&](const std::string& line) { steps.push_back(line + state()); };
  // The host lookup reads the registry while the window is being shown (its first read).
  bool read = false;
  services->regQueryValue = [&](platform::HKey, const std::string& name, uint32_t*, uint8_t*,
                                uint32_t*) -> std::optional<long> {
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (!read)
      steps.push_back("registry " + name + state() +
                      (main && main->Name == "Form1" ? ", Form1" : ", no window"));
    read = true;
    return std::nullopt;
  };

  daemon_log::DebugEnabled = false;
  size_t leftAtEnd = 99;
  bool made = false;
  const int status = RunInstaller([&](std::string*) {
    made = true;
    auto host = std::make_unique<RecordingHost>(&leftAtEnd);
    host->MouseMove(585, 13);  // the close button
    host->MouseDown(mbLeft, 585, 13);
    host->MouseUp(mbLeft, 585, 13);
    host->MouseMove(300, 100);  // never delivered: the close ends the loop
    return host;
  });

  EXPECT_EQ(status, 0);
  EXPECT_TRUE(made);
  EXPECT_EQ(leftAtEnd, 1U);
  EXPECT_TRUE(boxes.empty()) << boxes[0];
  EXPECT_EQ(Application, nullptr);
  EXPECT_EQ(FindFileFormat("PNG"), nullptr);
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "[Setup.exe][pngimage]:Register TPngImage log on, no application, no png, "
                       "0 log lines",
                       "registry InstalledPath log on, application, png, 1 log lines, Form1",
                       "[Setup.exe][pngimage]:Unregister TPngImage log on, no application, png, "
                       "2 log lines",
                   }));
  EXPECT_EQ(ReadFileBytes(logFile),
            "\xA1\xBE" "2024-05-06 07:08:09.010\xA1\xBF"
            "LogEnter[TMorrowInvoker.GetLumoraPathByRegedit]\r\n"
            "\xA1\xBE" "2024-05-06 07:08:09.010\xA1\xBF"
            "LogLeave[TMorrowInvoker.GetLumoraPathByRegedit]\r\n");
}

TEST(Program, WithoutAHostItReportsAndStillShutsDown) {
  TempDir dir;
  platform::inject::ScopedServices services;
  services->moduleFileName = [&] { return dir / "Setup.exe"; };
  std::vector<std::string> lines;
  services->debugOutput = [&](const std::string& line) { lines.push_back(line); };
  std::vector<std::string> boxes;
  services->messageBox = [&](const std::string& text, const char*, uint32_t) {
    boxes.push_back(text);
    return platform::kIdOk;
  };
  const int status = RunInstaller([](std::string* error) {
    *error = "no display";
    return std::unique_ptr<THostSystem>();
  });
  EXPECT_EQ(status, 1);
#ifdef _WIN32
  EXPECT_EQ(boxes, (std::vector<std::string>{"no display"}));
#else
  EXPECT_TRUE(boxes.empty());  // stderr instead
#endif
  EXPECT_EQ(lines, (std::vector<std::string>{"[Setup.exe][pngimage]:Register TPngImage",
                                             "[Setup.exe][pngimage]:Unregister TPngImage"}));
  EXPECT_EQ(FindFileFormat("PNG"), nullptr);
}

}  // namespace
