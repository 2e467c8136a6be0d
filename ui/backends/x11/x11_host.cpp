// The X11 host: one Xlib window per form, without window-manager decorations for
// borderless forms, fixed in size, painted with XPutImage from the composed surface.
// A borderless form is moved through the window manager's move request
// (_NET_WM_MOVERESIZE) where the manager offers it, and by a pointer-following loop of
// our own where there is none (a bare X server such as Xvfb). Either starts only while
// the left button is held (the release of a quick click may already have been read) and
// ends at its release: the loop also ends when the server reports the button up, and a
// release that reaches the window after the manager was asked cancels the request.
// The framework's headers first: Xlib defines macros (KeyPress, None ...) that would clash.
#include "platform/system.h"
#include "ui/controls.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace ui {
namespace {

class TX11Host;

// The window manager is told the window's place and that its size is fixed.
void SetFixedSizeHints(Display* d, Window window, const TRect& screen) {
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PPosition | USPosition | PMinSize | PMaxSize;
  hints->x = screen.Left;
  hints->y = screen.Top;
  hints->min_width = hints->max_width = screen.Width();
  hints->min_height = hints->max_height = screen.Height();
  XSetWMNormalHints(d, window, hints);
  XFree(hints);
}

class TX11Window : public THostWindow {
 public:
  TX11Window(TX11Host* host, TCustomForm* form, const TRect& screen);
  ~TX11Window() override;
  void SetBounds(const TRect& screen) override;
  TRect ScreenBounds() const override { return bounds_; }
  void Show(bool visible) override;
  void SetTitle(const std::string& gbk) override;
  void Present(const TSurface& surface, const TRect& dirty) override;
  void SetCapture(bool) override {}  // the server's implicit grab holds during a press
  void SetCursor(TCursor cursor) override;
  void SystemCommand(uintptr_t command, intptr_t lParam) override;
  intptr_t NativeHandle() const override { return static_cast<intptr_t>(window_); }
  void Moved(int x, int y) { bounds_ = Bounds(x, y, bounds_.Width(), bounds_.Height()); }
  TCustomForm* Form() const { return form_; }
  // A button event of this window: a left release while the manager's move was asked
  // for means the manager never took the pointer, so the request is withdrawn.
  void ButtonSeen(bool press, unsigned button);

 private:
  void MoveLoop();
  void SendMoveResize(long direction, TPoint at);
  bool managerMoveAsked_ = false;
  TX11Host* host_;
  TCustomForm* form_;
  Window window_ = 0;
  GC gc_ = nullptr;
  TRect bounds_;
  std::vector<uint32_t> buffer_;
  XImage* image_ = nullptr;
};

class TX11Host : public THostSystem {
 public:
  explicit TX11Host(Display* display) : display_(display) {
    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDelete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    motifHints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    moveResize_ = XInternAtom(display_, "_NET_WM_MOVERESIZE", False);
    netName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8_ = XInternAtom(display_, "UTF8_STRING", False);
  }
  ~TX11Host() override {
    for (auto& [shape, cursor] : cursors_) XFreeCursor(display_, cursor);
    XCloseDisplay(display_);
  }
  std::string Name() const override { return "x11"; }
  std::unique_ptr<THostWindow> CreateHostWindow(TCustomForm* form, const TRect& screen) override {
    auto w = std::make_unique<TX11Window>(this, form, screen);
    windows_[static_cast<Window>(w->NativeHandle())] = w.get();
    return w;
  }
  void Forget(Window w) { windows_.erase(w); }
  void PollEvents() override {
    while (XPending(display_)) {
      XEvent e;
      XNextEvent(display_, &e);
      Translate(e);
    }
  }
  bool WaitEvents(int timeoutMs) override {
    if (!XPending(display_)) {
      pollfd p{ConnectionNumber(display_), POLLIN, 0};
      poll(&p, 1, timeoutMs);
    }
    PollEvents();
    return true;
  }
  TSize ScreenSize() const override {
    return {DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)};
  }
  TPoint CursorPos() const override { return QueryPointer(nullptr); }
  // The pointer's screen position and, in *mask, the server's button and key state now.
  TPoint QueryPointer(unsigned* mask) const {
    Window r, c;
    int rx = 0, ry = 0, wx, wy;
    unsigned m = 0;
    XQueryPointer(display_, root_, &r, &c, &rx, &ry, &wx, &wy, &m);
    if (mask) *mask = m;
    return {rx, ry};
  }
  void SetCursor(TCursor cursor) override {
    for (auto& [w, win] : windows_) win->SetCursor(cursor);
  }
  Cursor CursorFor(TCursor c) {
    const unsigned shape = c == crHandPoint   ? XC_hand2
                           : c == crHourGlass ? XC_watch
                           : c == crIBeam     ? XC_xterm
                           : c == crSizeAll   ? XC_fleur
                                              : XC_left_ptr;
    auto it = cursors_.find(shape);
    if (it != cursors_.end()) return it->second;
    return cursors_[shape] = XCreateFontCursor(display_, shape);
  }
  // Whether the window manager runs the move request for us.
  bool ManagerMoves() {
    const Atom supported = XInternAtom(display_, "_NET_SUPPORTED", False);
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display_, root_, supported, 0, 4096, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
      const Atom* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) found |= atoms[i] == moveResize_;
      XFree(data);
    }
    return found;
  }
  void Translate(XEvent& e);

  Display* display_;
  int screen_;
  Window root_;
  Atom wmProtocols_, wmDelete_, motifHints_, moveResize_, netName_, utf8_;
  std::map<Window, TX11Window*> windows_;
  std::map<unsigned, Cursor> cursors_;
};

TShiftState ShiftOf(unsigned state) {
  TShiftState s = 0;
  if (state & ShiftMask) s |= ssShift;
  if (state & ControlMask) s |= ssCtrl;
  if (state & Mod1Mask) s |= ssAlt;
  if (state & Button1Mask) s |= ssLeft;
  if (state & Button2Mask) s |= ssMiddle;
  if (state & Button3Mask) s |= ssRight;
  return s;
}

int VirtualKey(KeySym k) {
  if (k >= XK_a && k <= XK_z) return static_cast<int>(k - XK_a + 'A');
  if (k >= XK_A && k <= XK_Z) return static_cast<int>(k - XK_A + 'A');
  if (k >= XK_0 && k <= XK_9) return static_cast<int>(k - XK_0 + '0');
  switch (k) {
    case XK_Return:
    case XK_KP_Enter:
      return kVkReturn;
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return kVkTab;
    case XK_BackSpace:
      return kVkBack;
    case XK_Escape:
      return kVkEscape;
    case XK_space:
      return kVkSpace;
    case XK_Left:
      return kVkLeft;
    case XK_Right:
      return kVkRight;
    case XK_Up:
      return kVkUp;
    case XK_Down:
      return kVkDown;
    case XK_Home:
      return kVkHome;
    case XK_End:
      return kVkEnd;
    case XK_Delete:
      return kVkDelete;
    case XK_Shift_L:
    case XK_Shift_R:
      return kVkShift;
    case XK_Control_L:
    case XK_Control_R:
      return kVkControl;
    case XK_Alt_L:
    case XK_Alt_R:
      return kVkMenu;
    default:
      return 0;
  }
}

void TX11Host::Translate(XEvent& e) {
  auto it = windows_.find(e.xany.window);
  if (it == windows_.end() || !Application) return;
  TX11Window* w = it->second;
  THostEvent h;
  h.form = w->Form();
  switch (e.type) {
    case Expose:
      h.kind = THostEvent::kExpose;
      h.rect = Bounds(e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
      break;
    case ConfigureNotify:
      if (e.xconfigure.send_event || true) {
        Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(display_, e.xconfigure.window, root_, 0, 0, &x, &y, &child);
        w->Moved(x, y);
      }
      return;
    case ButtonPress:
    case ButtonRelease: {
      const unsigned b = e.xbutton.button;
      if (b < 1 || b > 3) return;  // wheel
      const bool press = e.type == ButtonPress;
      h.msg = b == 1   ? (press ? kWmLButtonDown : kWmLButtonUp)
              : b == 2 ? (press ? kWmMButtonDown : kWmMButtonUp)
                       : (press ? kWmRButtonDown : kWmRButtonUp);
      h.x = e.xbutton.x;
      h.y = e.xbutton.y;
      h.shift = ShiftOf(e.xbutton.state);
      if (press) h.shift |= b == 1 ? ssLeft : b == 2 ? ssMiddle : ssRight;
      w->ButtonSeen(press, b);
      break;
    }
    case MotionNotify:
      h.msg = kWmMouseMove;
      h.x = e.xmotion.x;
      h.y = e.xmotion.y;
      h.shift = ShiftOf(e.xmotion.state);
      break;
    case LeaveNotify:
      if (e.xcrossing.mode != NotifyNormal) return;
      h.msg = kCmMouseLeave;
      break;
    case KeyPress:
    case KeyRelease: {
      char buf[16] = {};
      KeySym sym = 0;
      const int n = XLookupString(&e.xkey, buf, sizeof buf - 1, &sym, nullptr);
      h.kind = THostEvent::kKey;
      h.msg = e.type == KeyPress ? kWmKeyDown : kWmKeyUp;
      h.key = VirtualKey(sym);
      h.shift = ShiftOf(e.xkey.state);
      if (h.key) Application->PostHostEvent(h);
      if (e.type == KeyPress)
        for (int i = 0; i < n; ++i) {
          const uint8_t c = static_cast<uint8_t>(buf[i]);
          if (c >= 0x80 || c == '\t') continue;  // Latin-1 is not GBK; Tab is a dialog key
          THostEvent ch = h;
          ch.kind = THostEvent::kChar;
          ch.ch = static_cast<char>(c);
          Application->PostHostEvent(ch);
        }
      return;
    }
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.message_type) == wmProtocols_ &&
          static_cast<Atom>(e.xclient.data.l[0]) == wmDelete_)
        h.kind = THostEvent::kClose;
      else
        return;
      break;
    default:
      return;
  }
  Application->PostHostEvent(h);
}

TX11Window::TX11Window(TX11Host* host, TCustomForm* form, const TRect& screen)
    : host_(host), form_(form), bounds_(screen) {
  Display* d = host_->display_;
  XSetWindowAttributes attrs = {};
  attrs.background_pixel = WhitePixel(d, host_->screen_);
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;
  window_ = XCreateWindow(d, host_->root_, screen.Left, screen.Top, std::max(screen.Width(), 1),
                          std::max(screen.Height(), 1), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixel | CWEventMask, &attrs);
  SetFixedSizeHints(d, window_, screen);
  XSetWMProtocols(d, window_, &host_->wmDelete_, 1);
  if (form->BorderStyle == bsNone) {
    // flags: decorations; decorations: none
    const long motif[5] = {2, 0, 0, 0, 0};
    XChangeProperty(d, window_, host_->motifHints_, host_->motifHints_, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
  }
  XClassHint* cls = XAllocClassHint();
  cls->res_name = const_cast<char*>("installer");
  cls->res_class = const_cast<char*>("Installer");
  XSetClassHint(d, window_, cls);
  XFree(cls);
  gc_ = XCreateGC(d, window_, 0, nullptr);
}

TX11Window::~TX11Window() {
  Display* d = host_->display_;
  if (image_) {
    image_->data = nullptr;  // the buffer is ours
    XDestroyImage(image_);
  }
  XFreeGC(d, gc_);
  XDestroyWindow(d, window_);
  XFlush(d);
  host_->Forget(window_);
}

void TX11Window::SetBounds(const TRect& screen) {
  bounds_ = screen;
  SetFixedSizeHints(host_->display_, window_, screen);
  XMoveResizeWindow(host_->display_, window_, screen.Left, screen.Top, std::max(screen.Width(), 1),
                    std::max(screen.Height(), 1));
}

void TX11Window::Show(bool visible) {
  if (visible) {
    XMapRaised(host_->display_, window_);
    XMoveWindow(host_->display_, window_, bounds_.Left, bounds_.Top);
  } else {
    XUnmapWindow(host_->display_, window_);
  }
  XFlush(host_->display_);
}

void TX11Window::SetTitle(const std::string& gbk) {
  const std::string utf8 = platform::AnsiToUtf8(gbk);
  XStoreName(host_->display_, window_, utf8.c_str());
  XChangeProperty(host_->display_, window_, host_->netName_, host_->utf8_, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
}

void TX11Window::Present(const TSurface& surface, const TRect& dirty) {
  Display* d = host_->display_;
  const int w = surface.Width(), h = surface.Height();
  if (w <= 0 || h <= 0) return;
  if (!image_ || image_->width != w || image_->height != h) {
    if (image_) {
      image_->data = nullptr;
      XDestroyImage(image_);
    }
    buffer_.assign(static_cast<size_t>(w) * h, 0);
    image_ = XCreateImage(d, DefaultVisual(d, host_->screen_), DefaultDepth(d, host_->screen_),
                          ZPixmap, 0, reinterpret_cast<char*>(buffer_.data()), w, h, 32, w * 4);
    if (!image_) return;
  }
  const TRect r = dirty.Intersect({0, 0, w, h});
  if (r.IsEmpty()) return;
  const bool direct = image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst &&
                      image_->red_mask == 0xFF0000 && image_->blue_mask == 0xFF;
  for (int y = r.Top; y < r.Bottom; ++y) {
    if (direct) {
      std::memcpy(&buffer_[static_cast<size_t>(y) * w + r.Left], surface.Row(y) + r.Left,
                  static_cast<size_t>(r.Width()) * 4);
    } else {
      for (int x = r.Left; x < r.Right; ++x) {
        const uint32_t p = surface.At(x, y);
        const unsigned long px =
            (((p >> 16) & 0xFF) * image_->red_mask / 0xFF & image_->red_mask) |
            (((p >> 8) & 0xFF) * image_->green_mask / 0xFF & image_->green_mask) |
            ((p & 0xFF) * image_->blue_mask / 0xFF & image_->blue_mask);
        XPutPixel(image_, x, y, px);
      }
    }
  }
  XPutImage(d, window_, gc_, image_, r.Left, r.Top, r.Left, r.Top, r.Width(), r.Height());
  XFlush(d);
}

void TX11Window::SetCursor(TCursor cursor) {
  XDefineCursor(host_->display_, window_, host_->CursorFor(cursor));
  XFlush(host_->display_);
}

void TX11Window::SystemCommand(uintptr_t command, intptr_t) {
  if ((command & 0xFFF0) != kScMove) return;
  unsigned mask = 0;
  const TPoint p = host_->QueryPointer(&mask);
  if (!(mask & Button1Mask)) return;  // released already: there is nothing to follow
  if (host_->ManagerMoves()) {
    XUngrabPointer(host_->display_, CurrentTime);
    SendMoveResize(8, p);  // move
    managerMoveAsked_ = true;
    return;
  }
  MoveLoop();
}

void TX11Window::SendMoveResize(long direction, TPoint at) {
  Display* d = host_->display_;
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = window_;
  e.xclient.message_type = host_->moveResize_;
  e.xclient.format = 32;
  e.xclient.data.l[0] = at.X;
  e.xclient.data.l[1] = at.Y;
  e.xclient.data.l[2] = direction;
  e.xclient.data.l[3] = 1;  // the left button
  e.xclient.data.l[4] = 1;  // asked by an application
  XSendEvent(d, host_->root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
}

void TX11Window::ButtonSeen(bool press, unsigned button) {
  if (!managerMoveAsked_ || button != 1) return;
  managerMoveAsked_ = false;
  if (!press) SendMoveResize(11, host_->CursorPos());  // _NET_WM_MOVERESIZE_CANCEL
}

// No window manager: follow the pointer until the left button is released. The release
// event ends it; so does the server's word that the button is up (a motion without the
// button, or a look every 100 ms), since that event may never come to this window.
void TX11Window::MoveLoop() {
  Display* d = host_->display_;
  const TPoint start = host_->CursorPos();
  const TRect origin = bounds_;
  XGrabPointer(d, window_, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
               GrabModeAsync, None, None, CurrentTime);
  auto follow = [&](int x, int y) {
    bounds_ = origin.Offset(x - start.X, y - start.Y);
    XMoveWindow(d, window_, bounds_.Left, bounds_.Top);
  };
  for (;;) {
    if (!XPending(d)) {
      pollfd p{ConnectionNumber(d), POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) {
        unsigned mask = 0;
        const TPoint now = host_->QueryPointer(&mask);
        if (!(mask & Button1Mask)) {
          follow(now.X, now.Y);
          break;
        }
        continue;
      }
    }
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == MotionNotify) {
      follow(e.xmotion.x_root, e.xmotion.y_root);
      if (!(e.xmotion.state & Button1Mask)) break;
    } else if (e.type == ButtonRelease) {
      follow(e.xbutton.x_root, e.xbutton.y_root);
      if (e.xbutton.button == 1) break;
    } else {
      host_->Translate(e);
    }
  }
  XUngrabPointer(d, CurrentTime);
  XFlush(d);
  form_->SetBounds(bounds_.Left, bounds_.Top, origin.Width(), origin.Height());
}

}  // namespace

std::unique_ptr<THostSystem> CreateNativeHost(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    *error =
        "no display: DISPLAY is not set. Run the program on a desktop, or under a virtual X "
        "server: xvfb-run -a ./Setup (Debian packages xvfb and xauth).";
    return nullptr;
  }
  Display* display = XOpenDisplay(name);
  if (!display) {
    *error = std::string("cannot open the X display \"") + name +
             "\". Check DISPLAY, or run under a virtual X server: xvfb-run -a ./Setup "
             "(Debian packages xvfb and xauth).";
    return nullptr;
  }
  return std::make_unique<TX11Host>(display);
}

}  // namespace ui
