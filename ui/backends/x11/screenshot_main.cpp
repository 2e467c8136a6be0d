// ui-screenshot [--title NAME] [--wait MS] OUT.png   saves the X window called NAME (or
//                                                   the whole screen) as a PNG file
// ui-screenshot --close NAME                        asks the window called NAME to close
// ui-screenshot --check                             exit status 0 when $DISPLAY works
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/screenshot.h"

int main(int argc, char** argv) {
  std::string title, out;
  int wait = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--check") return ui::X11DisplayWorks(nullptr) ? 0 : 1;
    if (a == "--close" && i + 1 < argc) {
      std::string error;
      if (ui::CloseX11Window(nullptr, argv[i + 1], &error)) return 0;
      std::fprintf(stderr, "ui-screenshot: %s\n", error.c_str());
      return 1;
    }
    if (a == "--title" && i + 1 < argc)
      title = argv[++i];
    else if (a == "--wait" && i + 1 < argc)
      wait = std::atoi(argv[++i]);
    else
      out = a;
  }
  if (out.empty()) {
    std::fprintf(stderr, "usage: ui-screenshot [--title NAME] [--wait MS] OUT.png\n");
    return 2;
  }
  std::string error;
  if (!ui::SaveX11Screenshot(nullptr, title, wait, out, &error)) {
    std::fprintf(stderr, "ui-screenshot: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
