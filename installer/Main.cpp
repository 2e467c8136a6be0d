#include "installer/Main.h"

#include <stdexcept>

#include "installer/HostLookup.h"
#include "platform/ansi_strings.h"
#include "platform/files.h"
#include "platform/ui/definition.h"
#include "resources/resources.h"

using namespace ui;

void RegisterInstallerControlClasses() {
  RegisterPimImageButtonClasses();
  RegisterVexSpeedButtonClasses();
  RegisterXPEditExClasses();
}

namespace {

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

void TForm1::btnSetUpClick(TObject* /*Sender*/) {
  // The install command comes with its own issue.
}

void TForm1::btnSelectClick(TObject* /*Sender*/) {
  // The folder chooser comes with its own issue.
}
