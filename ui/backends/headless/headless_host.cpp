#include "ui/headless_host.h"

#include <algorithm>

namespace ui {

THeadlessWindow::~THeadlessWindow() {
  if (host_->move_.window == this) host_->move_ = {};
  auto& w = host_->windows_;
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
}

void THeadlessWindow::Present(const TSurface& surface, const TRect& dirty) {
  if (screen_.Width() != surface.Width() || screen_.Height() != surface.Height()) screen_ = surface;
  for (int y = std::max(dirty.Top, 0); y < std::min(dirty.Bottom, surface.Height()); ++y)
    for (int x = std::max(dirty.Left, 0); x < std::min(dirty.Right, surface.Width()); ++x)
      screen_.Row(y)[x] = surface.At(x, y);
}

void THeadlessWindow::SystemCommand(uintptr_t command, intptr_t /*lParam*/) {
  SystemCommands.push_back(command);
  if ((command & 0xFFF0) == kScMove) {
    ++moveLoops_;
    host_->RunMoveLoop(this);
  }
}

std::unique_ptr<THostWindow> THeadlessHost::CreateHostWindow(TCustomForm* form,
                                                             const TRect& screen) {
  auto w = std::make_unique<THeadlessWindow>(this, form, screen);
  windows_.push_back(w.get());
  return w;
}

THeadlessWindow* THeadlessHost::WindowOf(const TCustomForm* form) const {
  for (THeadlessWindow* w : windows_)
    if (w->Form() == form) return w;
  return nullptr;
}

THeadlessWindow* THeadlessHost::TopWindow() const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if ((*it)->Visible()) return *it;
  return nullptr;
}

void THeadlessHost::Deliver(THostEvent e) {
  THeadlessWindow* w = TopWindow();
  if (!w || !Application) return;
  e.form = w->Form();
  if (e.kind == THostEvent::kMouse && e.msg != kCmMouseLeave) {
    const TRect b = w->ScreenBounds();
    pointer_ = {b.Left + e.x, b.Top + e.y};
  }
  Application->PostHostEvent(e);
}

// One event at a time, and only when the application has taken the previous one (or all
// of them at once). A move loop that waits for its release takes the input first.
void THeadlessHost::PollEvents() {
  if (move_.window && !ContinueMove()) return;
  if (!Application || input_.empty()) return;
  if (DeliverAllAtOnce) {
    while (!input_.empty()) {
      THostEvent e = input_.front().event;
      input_.pop_front();
      Deliver(e);
    }
    return;
  }
  if (Application->HostEventsPending()) return;
  THostEvent e = input_.front().event;
  input_.pop_front();
  Deliver(e);
}

bool THeadlessHost::WaitEvents(int) {
  if (input_.empty()) return false;
  PollEvents();
  return true;
}

void THeadlessHost::RunMoveLoop(THeadlessWindow* w) {
  move_ = {w, w->ScreenBounds(), pointer_};
  ContinueMove();
}

bool THeadlessHost::ContinueMove() {
  THeadlessWindow* w = move_.window;
  while (!input_.empty()) {
    const THostEvent e = input_.front().event;
    if (e.kind != THostEvent::kMouse) break;
    input_.pop_front();
    if (e.msg == kCmMouseLeave) continue;  // no position
    // Positions are read in the window's frame at the start of the loop.
    pointer_ = {move_.start.Left + e.x, move_.start.Top + e.y};
    const int dx = pointer_.X - move_.press.X, dy = pointer_.Y - move_.press.Y;
    w->SetBounds(move_.start.Offset(dx, dy));
    if (w->Form())
      w->Form()->SetBounds(move_.start.Left + dx, move_.start.Top + dy, move_.start.Width(),
                           move_.start.Height());
    if (e.msg == kWmLButtonUp) {
      move_ = {};
      return true;
    }
  }
  if (!input_.empty()) {  // other input ends the loop, as a key does the system's
    move_ = {};
    return true;
  }
  return false;
}

namespace {
THostEvent Mouse(uint32_t msg, int x, int y, TShiftState shift) {
  THostEvent e;
  e.kind = THostEvent::kMouse;
  e.msg = msg;
  e.x = x;
  e.y = y;
  e.shift = shift;
  return e;
}
uint32_t DownMsg(TMouseButton b) {
  return b == mbLeft ? kWmLButtonDown : b == mbRight ? kWmRButtonDown : kWmMButtonDown;
}
uint32_t UpMsg(TMouseButton b) {
  return b == mbLeft ? kWmLButtonUp : b == mbRight ? kWmRButtonUp : kWmMButtonUp;
}
TShiftState ButtonState(TMouseButton b) {
  return b == mbLeft ? ssLeft : b == mbRight ? ssRight : ssMiddle;
}
}  // namespace

void THeadlessHost::MouseMove(int x, int y, TShiftState shift) {
  Push(Mouse(kWmMouseMove, x, y, shift));
}
void THeadlessHost::MouseDown(TMouseButton b, int x, int y, TShiftState shift) {
  Push(Mouse(DownMsg(b), x, y, shift | ButtonState(b)));
}
void THeadlessHost::MouseUp(TMouseButton b, int x, int y, TShiftState shift) {
  Push(Mouse(UpMsg(b), x, y, shift));
}
void THeadlessHost::Click(int x, int y) {
  MouseMove(x, y);
  MouseDown(mbLeft, x, y);
  MouseUp(mbLeft, x, y);
}
void THeadlessHost::MouseLeaveWindow() { Push(Mouse(kCmMouseLeave, 0, 0, 0)); }

void THeadlessHost::KeyDown(int key, TShiftState shift) { PushKey(kWmKeyDown, key, shift); }
void THeadlessHost::KeyUp(int key, TShiftState shift) { PushKey(kWmKeyUp, key, shift); }
void THeadlessHost::PushKey(uint32_t msg, int key, TShiftState shift) {
  THostEvent e;
  e.kind = THostEvent::kKey;
  e.msg = msg;
  e.key = key;
  e.shift = shift;
  Push(e);
}
void THeadlessHost::Char(char c, TShiftState shift) {
  THostEvent e;
  e.kind = THostEvent::kChar;
  e.ch = c;
  e.shift = shift;
  Push(e);
}
void THeadlessHost::PressKey(int key, TShiftState shift) {
  KeyDown(key, shift);
  if (key == kVkBack)
    Char('\b', shift);
  else if (key == kVkEscape)
    Char(27, shift);
  else if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    Char(static_cast<char>((shift & ssShift) || key <= '9' ? key : key + 32), shift);
  KeyUp(key, shift);
}
void THeadlessHost::Type(const std::string& gbk) {
  for (char c : gbk) Char(c);
}
void THeadlessHost::RequestClose() {
  THostEvent e;
  e.kind = THostEvent::kClose;
  Push(e);
}

}  // namespace ui
