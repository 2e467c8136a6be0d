// The Win32 host: a real window per form (borderless popups for borderless forms),
// painted from the composed surface with SetDIBitsToDevice. Input arrives through the
// window procedure and goes to the application's queue; WM_SYSCOMMAND goes to the
// system's own handling, so SC_MOVE | HTCAPTION runs the system's modal move loop (only
// while the left button is still down). Each window shows the cursor the framework last
// gave it (TCustomForm::UpdateCursor), again on every WM_SETCURSOR.
#include <windows.h>
#include <windowsx.h>

#include "ui/controls.h"

namespace ui {
namespace {

const char kClassName[] = "InstallerFrameworkForm";

class TWin32Window : public THostWindow {
 public:
  TWin32Window(TCustomForm* form, const TRect& screen);
  ~TWin32Window() override {
    if (hwnd_) {
      ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      ::DestroyWindow(hwnd_);
    }
  }
  void SetBounds(const TRect& screen) override {
    bounds_ = screen;
    ::SetWindowPos(hwnd_, nullptr, screen.Left, screen.Top, screen.Width(), screen.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  TRect ScreenBounds() const override { return bounds_; }
  void Show(bool visible) override {
    ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
    if (visible) ::UpdateWindow(hwnd_);
  }
  void SetTitle(const std::string& gbk) override { ::SetWindowTextA(hwnd_, gbk.c_str()); }
  void Present(const TSurface& surface, const TRect& dirty) override {
    HDC dc = ::GetDC(hwnd_);
    Blit(dc, surface, dirty);
    ::ReleaseDC(hwnd_, dc);
  }
  void SetCapture(bool on) override {
    if (on)
      ::SetCapture(hwnd_);
    else if (::GetCapture() == hwnd_)
      ::ReleaseCapture();
  }
  void SetCursor(TCursor cursor) override {
    cursor_ = cursor;
    POINT p;
    RECT r;
    if (::GetCursorPos(&p) && ::GetWindowRect(hwnd_, &r) && ::PtInRect(&r, p)) ApplyCursor();
  }
  void SystemCommand(uintptr_t command, intptr_t lParam) override {
    // The move loop waits for a WM_LBUTTONUP: with the release of a quick click read
    // from the queue already (GetKeyState follows what has been read), it would wait
    // for one that never comes.
    const int left = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    if ((command & 0xFFF0) == SC_MOVE && ::GetKeyState(left) >= 0) return;
    // Synchronously, to the window's own procedure, as SendMessageA does.
    ::SendMessageA(hwnd_, WM_SYSCOMMAND, command, lParam);
  }
  intptr_t NativeHandle() const override { return reinterpret_cast<intptr_t>(hwnd_); }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l);

 private:
  void ApplyCursor() {
    LPCSTR id = cursor_ == crHandPoint   ? IDC_HAND
                : cursor_ == crHourGlass ? IDC_WAIT
                : cursor_ == crIBeam     ? IDC_IBEAM
                : cursor_ == crSizeAll   ? IDC_SIZEALL
                                         : IDC_ARROW;
    ::SetCursor(::LoadCursorA(nullptr, id));
  }
  static void Blit(HDC dc, const TSurface& s, const TRect& dirty) {
    if (s.Width() <= 0 || s.Height() <= 0 || dirty.IsEmpty()) return;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.Width();
    bi.bmiHeader.biHeight = -s.Height();  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, dirty.Left, dirty.Top, dirty.Right, dirty.Bottom);
    ::SetDIBitsToDevice(dc, 0, 0, s.Width(), s.Height(), 0, 0, 0, s.Height(), s.Row(0), &bi,
                        DIB_RGB_COLORS);
    ::RestoreDC(dc, saved);
  }
  void Post(THostEvent e) {
    e.form = form_;
    if (Application) Application->PostHostEvent(e);
  }
  LRESULT Handle(UINT msg, WPARAM w, LPARAM l);

  TCustomForm* form_;
  HWND hwnd_ = nullptr;
  TRect bounds_;
  TCursor cursor_ = crDefault;
  bool tracking_ = false;
};

TShiftState KeyShift() {
  TShiftState s = 0;
  if (::GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (::GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (::GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState MouseShift(WPARAM w) {
  TShiftState s = KeyShift();
  if (w & MK_LBUTTON) s |= ssLeft;
  if (w & MK_RBUTTON) s |= ssRight;
  if (w & MK_MBUTTON) s |= ssMiddle;
  return s;
}

LRESULT CALLBACK TWin32Window::Proc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<TWin32Window*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcA(hwnd, msg, w, l);
  return self->Handle(msg, w, l);
}

LRESULT TWin32Window::Handle(UINT msg, WPARAM w, LPARAM l) {
  THostEvent e;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd_, &ps);
      form_->PaintPending();
      Blit(dc, form_->Surface(),
           {ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOVE: {
      RECT r;
      ::GetWindowRect(hwnd_, &r);
      bounds_ = {r.left, r.top, r.right, r.bottom};
      break;
    }
    case WM_SETCURSOR:
      if (LOWORD(l) == HTCLIENT) {
        ApplyCursor();
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, hwnd_, 0};
        tracking_ = ::TrackMouseEvent(&t);
      }
      [[fallthrough]];
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      e.kind = THostEvent::kMouse;
      e.msg = msg;
      e.x = GET_X_LPARAM(l);
      e.y = GET_Y_LPARAM(l);
      e.shift = MouseShift(w);
      Post(e);
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      e.kind = THostEvent::kMouse;
      e.msg = kCmMouseLeave;
      Post(e);
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      e.kind = THostEvent::kKey;
      e.msg = (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) ? kWmKeyDown : kWmKeyUp;
      e.key = static_cast<int>(w);
      e.shift = KeyShift();
      Post(e);
      if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) break;  // Alt+F4 and the like
      return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
      if (w == '\t') return 0;  // Tab is a dialog key, handled on key-down
      e.kind = THostEvent::kChar;
      e.ch = static_cast<char>(w);
      e.shift = KeyShift() | (msg == WM_SYSCHAR ? ssAlt : 0);
      Post(e);
      return 0;
    case WM_CLOSE:
      e.kind = THostEvent::kClose;
      Post(e);
      return 0;
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_CLOSE) {
        e.kind = THostEvent::kClose;
        Post(e);
        return 0;
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcA(hwnd_, msg, w, l);
}

TWin32Window::TWin32Window(TCustomForm* form, const TRect& screen) : form_(form), bounds_(screen) {
  [[maybe_unused]] static const bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TWin32Window::Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return ::RegisterClassA(&wc) != 0;
  }();
  const DWORD style = form->BorderStyle == bsNone ? WS_POPUP : (WS_POPUP | WS_CAPTION | WS_SYSMENU);
  RECT r = {screen.Left, screen.Top, screen.Right, screen.Bottom};
  ::AdjustWindowRect(&r, style, FALSE);
  if (form->BorderStyle != bsNone) {
    // Keep the client area centred where it was asked for.
    const int dx = (r.right - r.left - screen.Width()) / 2;
    const int dy = (r.bottom - r.top - screen.Height()) / 2;
    r = {screen.Left - dx, screen.Top - dy, screen.Left - dx + (r.right - r.left),
         screen.Top - dy + (r.bottom - r.top)};
  }
  hwnd_ =
      ::CreateWindowExA(0, kClassName, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  ::SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

class TWin32Host : public THostSystem {
 public:
  std::string Name() const override { return "win32"; }
  std::unique_ptr<THostWindow> CreateHostWindow(TCustomForm* form, const TRect& screen) override {
    return std::make_unique<TWin32Window>(form, screen);
  }
  void PollEvents() override {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        if (Application) Application->Terminate();
        return;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  bool WaitEvents(int timeoutMs) override {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs < 0 ? INFINITE : timeoutMs,
                                QS_ALLINPUT);
    PollEvents();
    return true;
  }
  TSize ScreenSize() const override {
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  TPoint CursorPos() const override {
    POINT p = {};
    ::GetCursorPos(&p);
    return {p.x, p.y};
  }
  void SetCursor(TCursor cursor) override {
    LPCSTR id = cursor == crHourGlass ? IDC_WAIT : IDC_ARROW;
    if (cursor != crDefault) ::SetCursor(::LoadCursorA(nullptr, id));
  }
  // The system's own metrics.
  bool SystemMetric(int /*index*/, int* /*value*/) const override { return false; }
  bool NativeMessageBoxes() const override { return true; }
  int NativeMessageBox(THostWindow* owner, const std::string& text, const std::string& caption,
                       uint32_t type) override {
    HWND hwnd = owner ? reinterpret_cast<HWND>(owner->NativeHandle()) : nullptr;
    return ::MessageBoxA(hwnd, text.c_str(), caption.c_str(), type);
  }
};

}  // namespace

std::unique_ptr<THostSystem> CreateNativeHost(std::string* /*error*/) {
  return std::make_unique<TWin32Host>();
}

}  // namespace ui
