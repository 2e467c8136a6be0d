// The program entry (see Program.h).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "installer/Main.h"
#include "installer/Program.h"
#include "log/f_Log.h"
#include "platform/console.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "ui/controls.h"
#include "ui/png_image.h"

std::unique_ptr<ui::THostSystem> ProgramHost(std::string* error) {
  return ui::CreateNativeHost(error);
}

int RunInstaller(const THostFactory& makeHost, const TStartHook& started) {
  daemon_log::LogModuleStartup();
  ui::RegisterPngImageFormat();
  int status = 0;
  {
    std::string error;
    std::unique_ptr<ui::THostSystem> host = makeHost(&error);
    if (!host) {
      platform::ReportStartFailure("Setup", error);
      status = 1;
    } else {
      ui::TApplication app(std::move(host));
      app.Initialize();
      try {
        TForm1* form = app.CreateForm<TForm1>();
        if (started) started(app, form);
        app.Run();
      } catch (const std::exception& e) {
        platform::ReportStartFailure("Setup", e.what());
        status = 1;
      }
    }
  }
  ui::UnregisterPngImageFormat();
  daemon_log::LogModuleShutdown();
  return status;
}
