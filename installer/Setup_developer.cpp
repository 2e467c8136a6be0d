// The developer build of the program: the shipped entry (Setup.cpp) plus what the demo
// and the benchmarks use, switched on by the environment.
//   INSTALLER_UI_HOST=headless  runs without a display;
//   INSTALLER_FIRST_PAINT=1     prints the wall-clock time of the first complete paint of
//                               the window (milliseconds since the epoch); with "exit"
//                               the program ends there;
//   INSTALLER_DESCRIBE=1        prints what the window shows once it is painted, then each
//                               caption an installation gives the main button
//                               ("install button: ...").
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "installer/Main.h"
#include "installer/Program.h"
#include "platform/console.h"
#include "platform/system.h"
#include "ui/controls.h"
#include "ui/headless_host.h"

namespace {

// What the window shows, control by control, in creation order.
void DescribeWindow(TForm1* form) {
  const ui::TRect b = form->HostWindow() ? form->HostWindow()->ScreenBounds() : form->BoundsRect();
  std::printf("window \"%s\": %dx%d at %d,%d, %s\n",
              platform::ConsoleText(form->Caption()).c_str(),
              b.Width(), b.Height(), b.Left, b.Top,
              form->BorderStyle == ui::bsNone ? "borderless" : "framed");
  for (int i = 0; i < form->ControlCount(); ++i) {
    ui::TControl* c = form->Controls(i);
    std::string what;
    if (auto* image = dynamic_cast<TPNGImageButton*>(c)) {
      what = "image " + std::to_string(image->PngImg()->Width()) + "x" +
             std::to_string(image->PngImg()->Height());
      if (!image->PngOver()->Empty()) what += ", hover image";
    } else if (dynamic_cast<ui::TLabel*>(c)) {
      what = "label \"" + platform::ConsoleText(c->Caption()) + "\"";
    } else if (auto* edit = dynamic_cast<ui::TCustomEdit*>(c)) {
      what = "edit \"" + platform::ConsoleText(edit->Text()) + "\"";
      if (edit->ReadOnly()) what += ", read-only";
    } else {
      what = "button \"" + platform::ConsoleText(c->Caption()) + "\"";
    }
    if (!c->Enabled()) what += ", disabled";
    std::printf("  %-11s %3d,%-3d %3dx%-3d %s\n", c->Name.c_str(), c->Left(), c->Top(), c->Width(),
                c->Height(), what.c_str());
  }
  std::printf("install folder: %s\n", form->InstallPath().empty()
                                          ? "(none found)"
                                          : platform::ConsoleText(form->InstallPath()).c_str());
  std::printf("archive: %s\n", platform::ConsoleText(form->SourceFile()).c_str());
  std::fflush(stdout);
}

std::unique_ptr<ui::THostSystem> DeveloperHost(std::string* error) {
  const char* hostName = std::getenv("INSTALLER_UI_HOST");
  if (hostName && std::strcmp(hostName, "headless") == 0)
    return std::make_unique<ui::THeadlessHost>();
  return ProgramHost(error);
}

void DeveloperHooks(ui::TApplication& app, TForm1* form) {
  const char* firstPaint = std::getenv("INSTALLER_FIRST_PAINT");
  const char* describe = std::getenv("INSTALLER_DESCRIBE");
  const bool report = firstPaint && *firstPaint;
  const bool exitThen = report && std::strcmp(firstPaint, "exit") == 0;
  const bool tell = describe && std::strcmp(describe, "1") == 0;
  if (tell) {
    form->OnInstallCaption = [](const std::string& caption) {
      std::printf("install button: %s\n", platform::ConsoleText(caption).c_str());
      std::fflush(stdout);
    };
  }
  if (!report && !tell) return;
  form->OnPainted = [&app, form, report, exitThen, tell] {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
    form->OnPainted = nullptr;
    if (report) std::printf("first paint at %lld\n", static_cast<long long>(ms.count()));
    if (tell) DescribeWindow(form);
    std::fflush(stdout);
    if (exitThen) app.Terminate();
  };
}

}  // namespace

int main() { return RunInstaller(DeveloperHost, DeveloperHooks); }
