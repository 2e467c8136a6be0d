#include "ui/screenshot.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "ui/png_image.h"

namespace ui {
namespace {

// Depth-first search for a viewable window called title.
Window FindWindow(Display* d, Window w, const std::string& title) {
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    const bool match = title == name;
    XFree(name);
    XWindowAttributes a;
    if (match && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) return w;
  }
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && !found; ++i) found = FindWindow(d, children[i], title);
  if (children) XFree(children);
  return found;
}

}  // namespace

bool SaveX11Screenshot(const char* display, const std::string& title, int waitMs,
                       const std::string& pngPath, std::string* error) {
  Display* d = XOpenDisplay(display);
  if (!d) {
    *error = "cannot open the X display";
    return false;
  }
  const Window root = DefaultRootWindow(d);
  Window target = root;
  if (!title.empty()) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!(target = FindWindow(d, root, title)) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!target) {
      *error = "no window called \"" + title + "\"";
      XCloseDisplay(d);
      return false;
    }
  }
  XWindowAttributes a;
  XGetWindowAttributes(d, target, &a);
  XImage* img = XGetImage(d, target, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!img) {
    *error = "cannot read the window's pixels";
    XCloseDisplay(d);
    return false;
  }
  std::vector<uint8_t> rgba(static_cast<size_t>(a.width) * a.height * 4);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(img, x, y);
      uint8_t* o = &rgba[(static_cast<size_t>(y) * a.width + x) * 4];
      auto channel = [&](unsigned long mask) {
        if (!mask) return uint8_t{0};
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const unsigned long max = mask >> shift;
        return static_cast<uint8_t>(((p & mask) >> shift) * 255 / max);
      };
      o[0] = channel(img->red_mask);
      o[1] = channel(img->green_mask);
      o[2] = channel(img->blue_mask);
      o[3] = 255;
    }
  const int w = a.width, h = a.height;
  XDestroyImage(img);
  XCloseDisplay(d);
  std::string file;
  if (!EncodePngRgba(w, h, rgba, &file)) {
    *error = "cannot encode the PNG file";
    return false;
  }
  FILE* f = std::fopen(pngPath.c_str(), "wb");
  if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size()) {
    if (f) std::fclose(f);
    *error = "cannot write " + pngPath;
    return false;
  }
  std::fclose(f);
  return true;
}

bool CloseX11Window(const char* display, const std::string& title, std::string* error) {
  Display* d = XOpenDisplay(display);
  if (!d) {
    *error = "cannot open the X display";
    return false;
  }
  const Window w = FindWindow(d, DefaultRootWindow(d), title);
  if (!w) {
    *error = "no window called \"" + title + "\"";
    XCloseDisplay(d);
    return false;
  }
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
  XCloseDisplay(d);
  return true;
}

bool X11DisplayWorks(const char* display) {
  Display* d = XOpenDisplay(display);
  if (d) XCloseDisplay(d);
  return d != nullptr;
}

}  // namespace ui
