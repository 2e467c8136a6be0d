// The installer window for the X11 tests, run in a child process after fork(): shown on
// the native host, then handed to `shown` (which tells the parent what it needs through
// a pipe), then the message loop until the window closes or the parent kills the child.
#pragma once

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "installer/Main.h"
#include "ui/controls.h"

namespace x_session {

[[noreturn]] inline void RunInstallerWindow(
    const std::function<void(ui::TApplication& app, TForm1* form)>& shown) {
  std::string error;
  std::unique_ptr<ui::THostSystem> host = ui::CreateNativeHost(&error);
  if (!host) _exit(2);
  {
    ui::TApplication app(std::move(host));
    app.Initialize();
    TForm1* form = app.CreateForm<TForm1>();
    form->Show();
    app.ProcessMessages();
    shown(app, form);
    app.Run();
  }
  _exit(0);
}

}  // namespace x_session
