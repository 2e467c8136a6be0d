// The install command on the headless host, on a real sandbox: a host folder, its
// database, an upgrade archive made by the tests' zip writer, and the window's buttons.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <thread>

#include <string>
#include <vector>

#include "installer/Main.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "platform/shell.h"
#include "tests/support/registry_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/headless_fixture.h"
#include "tests/zip_writer/zip_writer.h"

using namespace ui;
using testing_support::ReadFileBytes;
using testing_support::RegistryFixture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using zip_writer::Entry;

namespace {

const std::string kArchiveMissing =  // 2018版客户端成果文件丢失，无法安装！
    "2018\xB0\xE6\xBF\xCD\xBB\xA7\xB6\xCB\xB3\xC9\xB9\xFB\xCE\xC4\xBC\xFE\xB6\xAA\xCA\xA7\xA3\xAC"
    "\xCE\xDE\xB7\xA8\xB0\xB2\xD7\xB0\xA3\xA1";
const std::string kNoFolder = "\xC7\xEB\xD1\xA1\xD4\xF1\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xA3\xA1";
const std::string kWrongFolder =  // 您选择的安装路径不正确，请重新选择！
    "\xC4\xFA\xD1\xA1\xD4\xF1\xB5\xC4\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xB2\xBB\xD5\xFD\xC8\xB7\xA3"
    "\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xD1\xA1\xD4\xF1\xA3\xA1";
const std::string kHostRunning =  // Halvard客户端正在运行，请先关闭再继续操作！
    "Halvard\xBF\xCD\xBB\xA7\xB6\xCB\xD5\xFD\xD4\xDA\xD4\xCB\xD0\xD0\xA3\xAC\xC7\xEB\xCF\xC8\xB9\xD8"
    "\xB1\xD5\xD4\xD9\xBC\xCC\xD0\xF8\xB2\xD9\xD7\xF7\xA3\xA1";
const std::string kFailed = "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xA1";  // 安装失败！
const std::string kInstall = "\xC1\xA2\xBC\xB4\xB0\xB2\xD7\xB0";         // 立即安装
const std::string kLaunch = "\xC1\xA2\xBC\xB4\xCC\xE5\xD1\xE9";          // 立即体验
const std::string kProgress = "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0 ";       // 正在安装

const char kDb[] = "AppModules\\Dunmar\\Data\\Data.db";
const char kCopy[] = "AppModules\\Dunmar\\Data\\Data_tmp.db";

class Install : public ui_testing::HeadlessApp {
 protected:
  void SetUp() override {
    HeadlessApp::SetUp();
    services->moduleFileName = [this] { return dir / "setup\\Setup.exe"; };
    services->messageBox = [this](const std::string& text, const char*, uint32_t) {
      boxes.push_back(text);
      return platform::kIdOk;
    };
    // The engine's message pump: what the window looks like while it extracts.
    services->pumpMessages = [this] {
      if (!form->btnSetUp->OnClick && !form->btnSelect->OnClick && !form->sbtn_Close->Enabled() &&
          app->Cursor() == crHourGlass)
        ++lockedPumps;
      else
        ++unlockedPumps;
      if (captions.empty() || captions.back() != form->btnSetUp->Caption())
        captions.push_back(form->btnSetUp->Caption());
      return false;
    };
    services->shellExecute = [this](const std::string& op, const std::string& file,
                                    const std::string&, const std::string&) {
      started.push_back(op + " " + file);
      return intptr_t{42};
    };
    host = dir / "host\\\xC9\xFD\xBC\xB6";  // 升级
    ASSERT_TRUE(WriteFileBytes(host + "\\Lumoranew.exe", "MZ old"));
    ASSERT_TRUE(platform::CreateDirectoryA(host + "\\AppModules"));
    ASSERT_TRUE(platform::CreateDirectoryA(host + "\\AppModules\\Pellix"));
    ASSERT_TRUE(WriteFileBytes(host + "\\" + kDb, "user data"));
    ASSERT_TRUE(WriteFileBytes(host + "\\AppModules\\Pellix\\x.dll", "old dll"));
    registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", host);
    form = app->CreateForm<TForm1>();
    form->Show();
    ASSERT_EQ(form->InstallPath(), host + "\\");
  }
  void Archive(const std::vector<Entry>& entries) { ArchiveBytes(zip_writer::Build(entries)); }
  void ArchiveBytes(const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(dir / "setup\\InstallSource.dat", bytes));
  }
  static std::vector<Entry> Upgrade() {
    return {{.name = "Lumoranew.exe", .data = "MZ new", .method = 8},
            {.name = "AppModules/Pellix/x.dll", .data = std::string(200000, 'n'), .method = 8},
            {.name = "AppModules/Pellix/y.dll", .data = std::string(100000, 'y')},
            // The archive's own database never replaces the user's.
            {.name = "AppModules/Dunmar/Data/Data.db", .data = "archive's empty database"}};
  }
  void Press() {
    ASSERT_TRUE(form->btnSetUp->OnClick) << "the button has its handler";
    form->btnSetUp->OnClick(form->btnSetUp);
  }
  // The window is usable again and still installs.
  void ExpectInstallModeUnlocked() {
    EXPECT_FALSE(form->Installed());
    EXPECT_EQ(form->btnSetUp->Caption(), kInstall);
    EXPECT_TRUE(form->btnSetUp->OnClick);
    EXPECT_TRUE(form->btnSelect->OnClick);
    EXPECT_TRUE(form->sbtn_Close->Enabled());
    EXPECT_EQ(app->Cursor(), crDefault);
  }

  platform::inject::ScopedServices services;
  TempDir dir;
  RegistryFixture registry{"SOFTWARE\\Norvell"};
  std::string host;
  TForm1* form = nullptr;
  std::vector<std::string> boxes, captions, started;
  int lockedPumps = 0, unlockedPumps = 0;
};

TEST_F(Install, ASuccessfulInstallationKeepsTheDatabaseAndSwitchesToLaunch) {
  ASSERT_TRUE(WriteFileBytes(host + "\\" + kCopy, "stale copy"));
  Archive(Upgrade());
  form->ProgressRedrawInterval = std::chrono::milliseconds(0);  // every percent shows
  Press();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(ReadFileBytes(host + "\\Lumoranew.exe"), "MZ new");
  EXPECT_EQ(ReadFileBytes(host + "\\AppModules\\Pellix\\x.dll"), std::string(200000, 'n'));
  EXPECT_EQ(ReadFileBytes(host + "\\AppModules\\Pellix\\y.dll"), std::string(100000, 'y'));
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  EXPECT_EQ(ReadFileBytes(host + "\\" + kCopy), "user data") << "a fresh copy";
  EXPECT_TRUE(form->Installed());
  EXPECT_EQ(form->btnSetUp->Caption(), kLaunch);
  EXPECT_EQ(app->Cursor(), crDefault);
  EXPECT_TRUE(form->sbtn_Close->Enabled());
  // Locked for the whole extraction, with the progress in the caption.
  EXPECT_GT(lockedPumps, 0);
  EXPECT_EQ(unlockedPumps, 0);
  ASSERT_GE(captions.size(), 3u);
  EXPECT_EQ(captions.front(), kInstall);
  // The last block's progress comes after the last pump.
  for (size_t i = 1; i < captions.size(); ++i) {
    ASSERT_EQ(captions[i].rfind(kProgress, 0), 0u);
    if (i > 1) {
      EXPECT_GT(std::stoi(captions[i].substr(kProgress.size())),
                std::stoi(captions[i - 1].substr(kProgress.size())));
    }
  }

  // Launch mode: the module program starts and the window closes.
  Press();
  EXPECT_EQ(started, std::vector<std::string>{"open " + host + "\\Orvanta_QN.exe"});
  EXPECT_FALSE(form->FormVisible());
}

TEST_F(Install, TheProgressCaptionIsRedrawnAtMostOncePerInterval) {
  Archive(Upgrade());
  form->ProgressRedrawInterval = std::chrono::hours(1);
  std::vector<std::string> shown;
  form->OnInstallCaption = [&shown](const std::string& caption) { shown.push_back(caption); };
  Press();
  // The first percent, then nothing until the end: 100 % and the launch caption.
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].rfind(kProgress, 0), 0u);
  EXPECT_EQ(shown[1], kProgress + "100%");
  EXPECT_EQ(shown[2], kLaunch);
}

TEST_F(Install, DuringTheExtractionClicksDoNothingAndTheWindowStillMoves) {
  Archive(Upgrade());
  int browses = 0;
  services->browseForFolder = [&browses](platform::BrowseInfoA*) {
    ++browses;
    return platform::ItemIdList();
  };
  ui::THeadlessHost* screen = HeadlessApp::host;  // host is the install folder here
  ui::THeadlessWindow* window = screen->WindowOf(form);
  const ui::TRect before = window->ScreenBounds();
  // The headless host's pointer is in the window's client coordinates.
  auto middle = [](ui::TControl* c) {
    return ui::TPoint{c->Left() + c->Width() / 2, c->Top() + c->Height() / 2};
  };
  const auto pump = services->pumpMessages;
  bool pressed = false;
  services->pumpMessages = [&] {
    if (!pressed) {
      pressed = true;
      for (ui::TControl* c : {static_cast<ui::TControl*>(form->btnSetUp),
                              static_cast<ui::TControl*>(form->btnSelect),
                              static_cast<ui::TControl*>(form->sbtn_Close)}) {
        const ui::TPoint p = middle(c);
        screen->Click(p.X, p.Y);
      }
      // A drag on the background.
      const int x = 100, y = 100;
      screen->MouseMove(x, y);
      screen->MouseDown(ui::mbLeft, x, y);
      screen->MouseMove(x + 30, y + 20);
      screen->MouseUp(ui::mbLeft, x + 30, y + 20);
      app->ProcessMessages();
    }
    return pump();
  };
  Press();
  ASSERT_TRUE(pressed);
  EXPECT_TRUE(boxes.empty()) << "no second installation started";
  EXPECT_EQ(browses, 0) << "the folder chooser stayed closed";
  EXPECT_TRUE(form->FormVisible()) << "the close button was disabled";
  EXPECT_TRUE(form->Installed());
  const ui::TRect after = window->ScreenBounds();
  EXPECT_EQ(after.Left - before.Left, 30);
  EXPECT_EQ(after.Top - before.Top, 20);
}

TEST_F(Install, EachFailedCheckShowsItsMessageAndChangesNothing) {
  const std::string pellix = host + "\\AppModules\\Pellix";
  struct Case {
    const char* what;
    std::function<void()> arrange, undo;
    std::string message;
    bool lookUpAgain;  // the registry changed; otherwise the folder changed after the lookup
  } cases[] = {
      {"archive missing and no folder",
       [&] {
         services->moduleFileName = [this] { return dir / "none\\Setup.exe"; };
         registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", "");
       },
       [&] {
         services->moduleFileName = [this] { return dir / "setup\\Setup.exe"; };
         registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", host);
       },
       kArchiveMissing, true},
      {"no folder", [&] { registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", ""); },
       [&] { registry.SetString("SOFTWARE\\Norvell\\Lumora3.0", "InstalledPath", host); }, kNoFolder,
       true},
      {"a folder that is gone",
       [&] { platform::MoveFileA(host, host + "x"); }, [&] { platform::MoveFileA(host + "x", host); },
       kWrongFolder, false},
      {"no host program", [&] { platform::DeleteFileA(host + "\\Lumoranew.exe"); },
       [&] { WriteFileBytes(host + "\\Lumoranew.exe", "MZ old"); }, kWrongFolder, false},
      {"no module folder",
       [&] { platform::MoveFileA(pellix, host + "\\AppModules\\Other"); },
       [&] { platform::MoveFileA(host + "\\AppModules\\Other", pellix); }, kWrongFolder, false},
  };
  Archive(Upgrade());
  for (const Case& c : cases) {
    c.arrange();
    if (c.lookUpAgain) form->FormShow(form);
    boxes.clear();
    Press();
    EXPECT_EQ(boxes, std::vector<std::string>{c.message}) << c.what;
    c.undo();
    if (c.lookUpAgain) form->FormShow(form);
    EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data") << c.what;
    EXPECT_FALSE(platform::FileExists(host + "\\" + kCopy)) << c.what;
    EXPECT_EQ(lockedPumps, 0) << c.what;
    ExpectInstallModeUnlocked();
  }
  EXPECT_EQ(ReadFileBytes(host + "\\AppModules\\Pellix\\x.dll"), "old dll");
}

TEST_F(Install, ARunningHostIsNotTouched) {
  Archive(Upgrade());
  const platform::Handle running = platform::CreateFileA(
      host + "\\Lumoranew.exe", platform::kGenericRead, platform::kShareRead, platform::kOpenExisting);
  ASSERT_NE(running, platform::kInvalidHandle);
  Press();
  platform::CloseHandle(running);
  EXPECT_EQ(boxes, std::vector<std::string>{kHostRunning});
  EXPECT_EQ(ReadFileBytes(host + "\\Lumoranew.exe"), "MZ old");
  EXPECT_FALSE(platform::FileExists(host + "\\" + kCopy));
  ExpectInstallModeUnlocked();
  EXPECT_FALSE(IsFileInUse(host + "\\Lumoranew.exe")) << "once the host has ended";
  EXPECT_FALSE(IsFileInUse(host + "\\missing.exe"));
}

// A read-only main program reads as a running host. A read-only target, or one another
// program holds without write sharing, fails the extraction: "安装失败！", that file as
// it was, the database kept.
TEST_F(Install, ReadOnlyAndHeldFilesStopTheInstallation) {
  Archive(Upgrade());
  const std::string program = host + "\\Lumoranew.exe";
  const std::string target = host + "\\AppModules\\Pellix\\x.dll";
  ASSERT_TRUE(platform::SetFileAttributesA(program, platform::kAttrReadOnly));
  // Wine maps the attribute to permission bits, which do not stop root.
  const bool enforced = IsFileInUse(program) || !testing_support::RunningUnderWine();
  if (enforced) {
    Press();
    EXPECT_EQ(boxes, std::vector<std::string>{kHostRunning});
    EXPECT_EQ(ReadFileBytes(program), "MZ old");
    ExpectInstallModeUnlocked();
  }
  ASSERT_TRUE(platform::SetFileAttributesA(program, platform::kAttrNormal));

  if (enforced) {
    ASSERT_TRUE(platform::SetFileAttributesA(target, platform::kAttrReadOnly));
    boxes.clear();
    Press();
    EXPECT_EQ(boxes, std::vector<std::string>{kFailed}) << "read-only target";
    EXPECT_EQ(ReadFileBytes(target), "old dll");
    EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
    ExpectInstallModeUnlocked();
    ASSERT_TRUE(platform::SetFileAttributesA(target, platform::kAttrNormal));
  }

  const platform::Handle held = platform::CreateFileA(target, platform::kGenericRead,
                                                      platform::kShareRead, platform::kOpenExisting);
  ASSERT_NE(held, platform::kInvalidHandle);
  boxes.clear();
  Press();
  platform::CloseHandle(held);
  EXPECT_EQ(boxes, std::vector<std::string>{kFailed}) << "held target";
  EXPECT_EQ(ReadFileBytes(target), "old dll");
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  ExpectInstallModeUnlocked();
  if (!enforced) GTEST_SKIP() << "Wine running as root does not enforce the read-only attribute";
}

// Archives that cannot install: the failure message, the window usable again, the
// database as it was.
TEST_F(Install, AFailedExtractionSaysSoAndKeepsTheDatabase) {
  const std::string good = zip_writer::Build(Upgrade());
  std::vector<Entry> badLast = Upgrade();
  badLast.push_back({.name = "AppModules/Pellix/last.dll", .data = "last", .crc = 5});
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"not a zip", "this is not an archive at all"},
      {"no bytes", ""},
      {"cut inside an entry", good.substr(0, 120)},
      {"cut inside the central directory", good.substr(0, good.size() - 40)},
      {"crc error in the last entry", zip_writer::Build(badLast)},
  };
  for (const Case& c : cases) {
    ArchiveBytes(c.bytes);
    boxes.clear();
    Press();
    EXPECT_EQ(boxes, std::vector<std::string>{kFailed}) << c.what;
    EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data") << c.what;
    ExpectInstallModeUnlocked();
  }
}

TEST_F(Install, WithoutADatabaseNothingIsCopiedOrRestored) {
  platform::DeleteFileA(host + "\\" + kDb);
  Archive({{.name = "new.txt", .data = "n"}});
  Press();
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(form->Installed());
  EXPECT_FALSE(platform::FileExists(host + "\\" + kDb));
  EXPECT_FALSE(platform::FileExists(host + "\\" + kCopy));
}

TEST_F(Install, AnArchiveWithoutEntriesInstalls) {
  Archive({});
  Press();
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(form->Installed());
  EXPECT_EQ(form->btnSetUp->Caption(), kLaunch);
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
}

// A run that stopped after part of the extraction, then another: the database is the
// user's all along, and the second run installs.
TEST_F(Install, AnUnfinishedRunThenAnotherKeepTheUsersDatabase) {
  const std::string good = zip_writer::Build(Upgrade());
  ArchiveBytes(good.substr(0, good.size() / 2));
  Press();
  EXPECT_EQ(boxes, std::vector<std::string>{kFailed});
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  boxes.clear();
  ArchiveBytes(good);
  Press();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  EXPECT_EQ(ReadFileBytes(host + "\\" + kCopy), "user data");
}

#ifndef _WIN32
TEST_F(Install, AnInstallationKilledDuringTheExtractionThenAnotherKeepTheUsersDatabase) {
  // Enough entries, each after a slow pump, to kill the extraction in the middle.
  std::vector<Entry> entries = Upgrade();
  for (int i = 0; i < 300; ++i)
    entries.push_back({.name = "AppModules/Pellix/part" + std::to_string(i) + ".bin",
                       .data = std::string(2000, 'p')});
  Archive(entries);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "the first run, killed" : "a second run, killed too");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      services->pumpMessages = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
      };
      form->btnSetUp->OnClick(form->btnSetUp);
      _exit(0);
    }
    // Killed once the extraction is under way.
    const std::string under_way = host + "\\AppModules\\Pellix\\part5.bin";
    for (int i = 0; i < 1000 && !platform::FileExists(under_way); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the installation ended before it was killed";
    EXPECT_TRUE(platform::FileExists(under_way));
    EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  }
  Press();
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(form->Installed());
  EXPECT_EQ(ReadFileBytes(host + "\\" + kDb), "user data");
  EXPECT_EQ(ReadFileBytes(host + "\\Lumoranew.exe"), "MZ new");
}
#endif

TEST_F(Install, LaunchModeClosesTheWindowEvenWhenTheProgramIsMissing) {
  Archive({});
  Press();
  ASSERT_TRUE(form->Installed());
  services->shellExecute = [this](const std::string&, const std::string& file,
                                  const std::string&, const std::string&) {
    started.push_back(file);
    return platform::kShellFileNotFound;
  };
  Press();
  EXPECT_EQ(started, std::vector<std::string>{host + "\\Orvanta_QN.exe"});
  EXPECT_FALSE(form->FormVisible());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
