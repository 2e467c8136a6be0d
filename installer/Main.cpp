#include "installer/Main.h"

#include <chrono>
#include <optional>
#include <stdexcept>

#include "installer/HostLookup.h"
#include "installer/f_FolderDialog.h"
#include "platform/ansi_strings.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "ui/definition.h"
#include "resources/resources.h"
#include "unzip/f_CompressUnit.h"

using namespace ui;

void RegisterInstallerControlClasses() {
  RegisterPimImageButtonClasses();
  RegisterVexSpeedButtonClasses();
  RegisterXPEditExClasses();
}

namespace {

// The window's texts (GBK).
const char kArchiveMissing[] =  // 2018版客户端成果文件丢失，无法安装！
    "2018\xB0\xE6\xBF\xCD\xBB\xA7\xB6\xCB\xB3\xC9\xB9\xFB\xCE\xC4\xBC\xFE\xB6\xAA"
    "\xCA\xA7\xA3\xAC\xCE\xDE\xB7\xA8\xB0\xB2\xD7\xB0\xA3\xA1";
const char kNoFolder[] =  // 请选择安装路径！
    "\xC7\xEB\xD1\xA1\xD4\xF1\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xA3\xA1";
const char kWrongFolder[] =  // 您选择的安装路径不正确，请重新选择！
    "\xC4\xFA\xD1\xA1\xD4\xF1\xB5\xC4\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6\xB2\xBB\xD5\xFD"
    "\xC8\xB7\xA3\xAC\xC7\xEB\xD6\xD8\xD0\xC2\xD1\xA1\xD4\xF1\xA3\xA1";
const char kHostRunning[] =  // Halvard客户端正在运行，请先关闭再继续操作！
    "Halvard\xBF\xCD\xBB\xA7\xB6\xCB\xD5\xFD\xD4\xDA\xD4\xCB\xD0\xD0\xA3\xAC\xC7\xEB"
    "\xCF\xC8\xB9\xD8\xB1\xD5\xD4\xD9\xBC\xCC\xD0\xF8\xB2\xD9\xD7\xF7\xA3\xA1";
const char kInstallFailed[] = "\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xA1";  // 安装失败！
const char kInstallCaption[] = "\xC1\xA2\xBC\xB4\xB0\xB2\xD7\xB0";           // 立即安装
const char kLaunchCaption[] = "\xC1\xA2\xBC\xB4\xCC\xE5\xD1\xE9";            // 立即体验
const char kChooseFolder[] = "\xD1\xA1\xD4\xF1\xB0\xB2\xD7\xB0\xC2\xB7\xBE\xB6";  // 选择安装路径
const char kProgressCaption[] = "\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0 ";         // 正在安装

// The host's files, below the install folder.
const char kHostProgram[] = "Lumoranew.exe";
const char kModuleFolder[] = "AppModules\\Pellix\\";
const char kDatabase[] = "AppModules\\Dunmar\\Data\\Data.db";
const char kDatabaseCopy[] = "AppModules\\Dunmar\\Data\\Data_tmp.db";
const char kModuleProgram[] = "Orvanta_QN.exe";

// Whether two files hold the same bytes.
bool SameContent(const std::string& a, const std::string& b) {
  using namespace platform;
  const Handle ha = CreateFileA(a, kGenericRead, kShareRead, kOpenExisting);
  const Handle hb = CreateFileA(b, kGenericRead, kShareRead, kOpenExisting);
  bool same = ha != kInvalidHandle && hb != kInvalidHandle;
  static constexpr uint32_t kChunk = 1 << 16;
  std::string x(kChunk, '\0'), y(kChunk, '\0');
  while (same) {
    uint32_t na = 0, nb = 0;
    if (!ReadFile(ha, x.data(), kChunk, &na) || !ReadFile(hb, y.data(), kChunk, &nb) || na != nb) {
      same = false;
      break;
    }
    if (na == 0) break;
    same = x.compare(0, na, y, 0, nb) == 0;
  }
  if (ha != kInvalidHandle) CloseHandle(ha);
  if (hb != kInvalidHandle) CloseHandle(hb);
  return same;
}

int64_t FileSize(const std::string& path) {
  using namespace platform;
  const Handle h = CreateFileA(path, kGenericRead, kShareRead | kShareWrite, kOpenExisting);
  if (h == kInvalidHandle) return -1;
  int64_t size = -1;
  if (!GetFileSizeEx(h, &size)) size = -1;
  CloseHandle(h);
  return size;
}

// Puts the copy back in the database's place in one step: the database is never
// missing, whenever the process stops.
void RestoreDatabase(const std::string& copy, const std::string& database) {
  const std::string restoring = database + ".restoring";
  platform::DeleteFileA(restoring);
  if (platform::CopyFileA(copy, restoring, true) &&
      platform::MoveFileExA(restoring, database, platform::kMoveFileReplaceExisting))
    return;
  platform::DeleteFileA(restoring);
}

// "安装程序所在文件夹的路径含有系统无法表示的字符，无法从该文件夹运行。请将安装程序移到
// 其他文件夹后再运行！" (the installer's folder has characters the system cannot spell;
// move the installer to another folder and run it again).
constexpr char kCannotRunFromThisFolder[] =
    "\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2\xCB\xF9\xD4\xDA\xCE\xC4\xBC\xFE\xBC\xD0\xB5\xC4"
    "\xC2\xB7\xBE\xB6\xBA\xAC\xD3\xD0\xCF\xB5\xCD\xB3\xCE\xDE\xB7\xA8\xB1\xED\xCA\xBE"
    "\xB5\xC4\xD7\xD6\xB7\xFB\xA3\xAC\xCE\xDE\xB7\xA8\xB4\xD3\xB8\xC3\xCE\xC4\xBC\xFE"
    "\xBC\xD0\xD4\xCB\xD0\xD0\xA1\xA3\xC7\xEB\xBD\xAB\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2"
    "\xD2\xC6\xB5\xBD\xC6\xE4\xCB\xFB\xCE\xC4\xBC\xFE\xBC\xD0\xBA\xF3\xD4\xD9\xD4\xCB"
    "\xD0\xD0\xA3\xA1";

template <typename T>
T* Control(TForm1* form, const char* name) {
  T* c = dynamic_cast<T*>(form->FindComponent(name));
  if (!c) throw EDefinitionError(std::string("window definition: no ") + name);
  return c;
}

}  // namespace

TForm1::TForm1(TComponent* owner) : TCustomForm(owner) {
  RegisterInstallerControlClasses();
  const std::string* definition = FindInstallerResource("Main.def");
  if (!definition) throw EDefinitionError("window definition: Main.def is missing");
  ReadFormDefinition(this, *definition, FindInstallerResource);
  btPgUp = Control<TPNGImageButton>(this, "btPgUp");
  btnPgDown = Control<TPNGImageButton>(this, "btnPgDown");
  sbtn_Close = Control<TPNGImageButtonEx>(this, "sbtn_Close");
  lblAZLJ = Control<TLabel>(this, "lblAZLJ");
  edtAZLJ = Control<TTolvaneEditEx>(this, "edtAZLJ");
  btnSetUp = Control<TVexSpeedButton>(this, "btnSetUp");
  btnSelect = Control<TVexSpeedButton>(this, "btnSelect");
}

bool TForm1::BindEvent(TComponent* component, const std::string& event,
                       const std::string& handler) {
  auto notify = [this](void (TForm1::*method)(TObject*)) {
    return [this, method](TObject* sender) { (this->*method)(sender); };
  };
  if (component == this && event == "OnShow" && handler == "FormShow") {
    OnShow = notify(&TForm1::FormShow);
    return true;
  }
  if (auto* image = dynamic_cast<TPNGImageButton*>(component)) {
    if (event == "OnClick" && handler == "sbtn_CloseClick") {
      image->OnClick = notify(&TForm1::sbtn_CloseClick);
      return true;
    }
    if (event == "OnMouseDown" && handler == "btPgUpMouseDown") {
      image->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btPgUpMouseDown(s, b, sh, x, y);
      };
      return true;
    }
  }
  if (auto* button = dynamic_cast<TVexSpeedButton*>(component)) {
    if (event == "OnClick" && handler == "btnSetUpClick") {
      button->OnClick = notify(&TForm1::btnSetUpClick);
      return true;
    }
    if (event == "OnClick" && handler == "btnSelectClick") {
      button->OnClick = notify(&TForm1::btnSelectClick);
      return true;
    }
  }
  return TCustomForm::BindEvent(component, event, handler);
}

void TForm1::FormShow(TObject* /*Sender*/) {
  FInstalled = false;
  // A lookup error leaves the edit and the archive path empty; the application's error
  // report shows it.
  FInstallPath = GetLumoraPathByRegedit();
  edtAZLJ->SetText(FInstallPath);
  // A folder whose name the ANSI code page cannot spell gives no path at all: neither the
  // archive nor Config.ini could be found from there, so the error report says so.
  const std::string module = platform::GetModuleFileNameA();
  if (module.empty()) throw std::runtime_error(kCannotRunFromThisFolder);
  FSourceFile = platform::ExtractFilePath(module) + "InstallSource.dat";
}

void TForm1::sbtn_CloseClick(TObject* /*Sender*/) { Close(); }

void TForm1::btPgUpMouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/,
                             int /*X*/, int /*Y*/) {
  // The background moves the borderless window: the system's move loop, as a press on a
  // caption bar would start it.
  ReleaseCapture();
  SendMessageA(this, kWmSysCommand, kScMove | kHtCaption, 0);
}

bool IsFileInUse(const std::string& Path) {
  if (!platform::FileExists(Path)) return false;
  const platform::Handle h = platform::CreateFileA(
      Path, platform::kGenericRead | platform::kGenericWrite, platform::kShareNone,
      platform::kOpenExisting, platform::kAttrNormal);
  if (h == platform::kInvalidHandle) return true;
  platform::CloseHandle(h);
  return false;
}

void TForm1::ShowMessage(const std::string& text) {
  Application->MessageBox(text, nullptr, platform::kMbOk);
}

void TForm1::btnSetUpClick(TObject* /*Sender*/) {
  if (!FInstalled) {
    Install();
    return;
  }
  platform::ShellExecuteA(0, "open", FInstallPath + kModuleProgram, "", "", platform::kSwShow);
  Close();
}

void TForm1::Install() {
  if (!platform::FileExists(FSourceFile)) return ShowMessage(kArchiveMissing);
  if (FInstallPath.empty()) return ShowMessage(kNoFolder);
  const std::string database = FInstallPath + kDatabase;
  const std::string copy = FInstallPath + kDatabaseCopy;
  if (!platform::DirectoryExists(FInstallPath) ||
      !platform::FileExists(FInstallPath + kHostProgram) ||
      !platform::DirectoryExists(FInstallPath + kModuleFolder))
    return ShowMessage(kWrongFolder);
  if (IsFileInUse(FInstallPath + kHostProgram)) return ShowMessage(kHostRunning);

  // The user's database is set aside, and only a copy made and checked now is put back.
  // The extraction never writes the database or its copy, so an installation stopped at
  // any moment leaves the database as it was, and the next run copies it again.
  bool saved = false;
  if (platform::FileExists(database)) {
    platform::DeleteFileA(copy);
    saved = platform::CopyFileA(database, copy, true) && SameContent(database, copy);
  }

  LockWindow();
  try {
    unzip::TExtractOptions options;
    options.Keep = {database, copy};
    // The engine reports each new percent; the caption follows at most every
    // ProgressRedrawInterval, so that a fast extraction does not pay for a hundred repaints.
    std::optional<std::chrono::steady_clock::time_point> shown;
    options.OnProgress = [this, &shown](int32_t percent) {
      const auto now = std::chrono::steady_clock::now();
      if (shown && percent < 100 && now - *shown < ProgressRedrawInterval) return;
      shown = now;
      ShowInstallCaption(kProgressCaption + std::to_string(percent) + "%");
    };
    // A file of no bytes is an interrupted download or copy, not an empty archive.
    const bool ok = FileSize(FSourceFile) > 0 &&
                    unzip::ExtractArchive(FSourceFile.c_str(), FInstallPath.c_str(), true, options);
    if (ok) {
      if (saved) RestoreDatabase(copy, database);
      ShowInstallCaption(kLaunchCaption);
      FInstalled = true;
    } else {
      ShowInstallCaption(kInstallCaption);
      ShowMessage(kInstallFailed);
    }
  } catch (...) {
    ShowInstallCaption(kInstallCaption);
    UnlockWindow();
    throw;
  }
  UnlockWindow();
}

void TForm1::ShowInstallCaption(const std::string& caption) {
  btnSetUp->SetCaption(caption);
  if (OnInstallCaption) OnInstallCaption(caption);
}

void TForm1::LockWindow() {
  Application->SetCursor(crHourGlass);
  btnSetUp->OnClick = nullptr;
  btnSelect->OnClick = nullptr;
  sbtn_Close->SetEnabled(false);
}

void TForm1::UnlockWindow() {
  sbtn_Close->SetEnabled(true);
  btnSelect->OnClick = [this](TObject* sender) { btnSelectClick(sender); };
  btnSetUp->OnClick = [this](TObject* sender) { btnSetUpClick(sender); };
  Application->SetCursor(crDefault);
}

void TForm1::btnSelectClick(TObject* /*Sender*/) {
  // The chooser opens on the current directory; the folder is checked only when the
  // install button is pressed.
  std::string chosen;
  if (!SelectFolder(kChooseFolder, kChooseFolder, chosen, {fdoNewDialogStyle}, fdpScreenCenter,
                    -1, -1))
    return;
  FInstallPath = platform::IncludeTrailingBackslash(chosen);
  edtAZLJ->SetText(chosen);
}
