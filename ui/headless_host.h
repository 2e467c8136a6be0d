// The headless host: no display. Tests inject mouse, keys and close requests, and read
// back what each window shows, where it is and what the host was asked to do.
//
// Injected input waits in the host until the application takes it, one event at a time,
// so an event is delivered to the window that is on top at that moment (a message box
// opened meanwhile gets it). With DeliverAllAtOnce, the application gets every waiting
// event at its next look, as the X11 and Win32 hosts read all pending input before the
// first is handled. Positions are client coordinates of that window. The modal move loop
// (SC_MOVE | HTCAPTION) consumes the injected pointer moves up to the next left-button
// release and moves the window by the pointer's travel, as the system's loop does; input
// injected later goes to it until that release comes.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include "ui/controls.h"

namespace ui {

class THeadlessHost;

class THeadlessWindow : public THostWindow {
 public:
  THeadlessWindow(THeadlessHost* host, TCustomForm* form, const TRect& screen)
      : host_(host), form_(form), bounds_(screen) {}
  ~THeadlessWindow() override;
  void SetBounds(const TRect& screen) override { bounds_ = screen; }
  TRect ScreenBounds() const override { return bounds_; }
  void Show(bool visible) override { visible_ = visible; }
  void SetTitle(const std::string& gbk) override { title_ = gbk; }
  void Present(const TSurface& surface, const TRect& dirty) override;
  void SetCapture(bool on) override { captured_ = on; }
  void SetCursor(TCursor cursor) override { cursor_ = cursor; }
  void SystemCommand(uintptr_t command, intptr_t lParam) override;
  intptr_t NativeHandle() const override { return reinterpret_cast<intptr_t>(this); }

  TCustomForm* Form() const { return form_; }
  bool Visible() const { return visible_; }
  const std::string& Title() const { return title_; }
  // What the window shows: the presented pixels.
  const TSurface& Screen() const { return screen_; }
  bool Captured() const { return captured_; }
  TCursor Cursor() const { return cursor_; }
  int MoveLoops() const { return moveLoops_; }
  std::vector<uintptr_t> SystemCommands;

 private:
  THeadlessHost* host_;
  TCustomForm* form_;
  TRect bounds_;
  bool visible_ = false;
  std::string title_;
  TSurface screen_;
  bool captured_ = false;
  TCursor cursor_ = crDefault;
  int moveLoops_ = 0;
};

class THeadlessHost : public THostSystem {
 public:
  explicit THeadlessHost(TSize screen = {1366, 768}) : screen_(screen) {}
  std::string Name() const override { return "headless"; }
  std::unique_ptr<THostWindow> CreateHostWindow(TCustomForm* form, const TRect& screen) override;
  void PollEvents() override;
  bool WaitEvents(int timeoutMs) override;
  TSize ScreenSize() const override { return screen_; }
  TPoint CursorPos() const override { return pointer_; }
  void SetCursor(TCursor cursor) override { cursor_ = cursor; }

  // ---- Injection ----
  void MouseMove(int x, int y, TShiftState shift = 0);
  void MouseDown(TMouseButton button, int x, int y, TShiftState shift = 0);
  void MouseUp(TMouseButton button, int x, int y, TShiftState shift = 0);
  void Click(int x, int y);  // move, left press, left release
  void MouseLeaveWindow();
  void KeyDown(int key, TShiftState shift = 0);
  void KeyUp(int key, TShiftState shift = 0);
  void Char(char c, TShiftState shift = 0);
  // Key down, its character where it has one (Enter, Space, Tab excluded), key up.
  void PressKey(int key, TShiftState shift = 0);
  void Type(const std::string& gbk);
  void RequestClose();
  size_t PendingInput() const { return input_.size(); }
  bool DeliverAllAtOnce = false;

  // ---- Reading back ----
  THeadlessWindow* WindowOf(const TCustomForm* form) const;
  // The visible window on top (the last shown).
  THeadlessWindow* TopWindow() const;
  const std::vector<THeadlessWindow*>& Windows() const { return windows_; }
  TCursor Cursor() const { return cursor_; }

 private:
  friend class THeadlessWindow;
  struct Input {
    THostEvent event;
  };
  void Push(THostEvent e) { input_.push_back({e}); }
  void PushKey(uint32_t msg, int key, TShiftState shift);
  void Deliver(THostEvent e);
  void RunMoveLoop(THeadlessWindow* w);
  // Follows the waiting pointer input; false while the release has not come yet.
  bool ContinueMove();
  struct Move {
    THeadlessWindow* window = nullptr;
    TRect start;
    TPoint press;
  } move_;
  TSize screen_;
  TPoint pointer_;
  TCursor cursor_ = crDefault;
  std::deque<Input> input_;
  std::vector<THeadlessWindow*> windows_;
};

}  // namespace ui
