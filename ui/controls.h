// The control framework: components with owners, windowless and windowed controls, forms,
// the application object with its message loop, and the hosts that show forms.
//
// One dispatcher per control (WndProc) routes every message to typed handlers; subclasses
// override WndProc for the messages they care about and pass the rest on. Input from the
// host goes through the application's queue and the form: capture, enter and leave,
// click on release inside after a press inside, focus and tab order, dialog characters.
// Windowed controls lie above the windowless controls of the same parent; all of them
// are composed into the form's surface, which the host shows.
#pragma once

#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "platform/objects.h"
#include "ui/graphics.h"

namespace ui {

class TControl;
class TWinControl;
class TCustomForm;
class TApplication;
class THostSystem;
class THostWindow;
struct TPropertyValue;

// ---- Components ----------------------------------------------------------------------------
using platform::TComponent;
using platform::TOperation;
using platform::opInsert;
using platform::opRemove;
using platform::csDesigning;
using platform::csLoading;

// A popup menu as the controls hold it. This program defines no menu items: dropping the
// menu records where and raises OnPopup.
class TPopupMenu : public TComponent {
 public:
  using TComponent::TComponent;
  // Drops the menu with its top-left corner at a screen point.
  virtual void Popup(int x, int y) {
    PopupPoint = {x, y};
    if (OnPopup) OnPopup(this);
  }
  TPoint PopupPoint{};
  TNotifyEvent OnPopup;
};

// ---- Controls --------------------------------------------------------------------------------
// Control style.
inline constexpr uint32_t csAcceptsControls = 0x001;
inline constexpr uint32_t csCaptureMouse = 0x002;
inline constexpr uint32_t csClickEvents = 0x004;
inline constexpr uint32_t csFramed = 0x008;
inline constexpr uint32_t csSetCaption = 0x010;
inline constexpr uint32_t csOpaque = 0x020;
inline constexpr uint32_t csDoubleClicks = 0x040;
inline constexpr uint32_t csReplicatable = 0x080;
inline constexpr uint32_t csFixedHeight = 0x100;
inline constexpr uint32_t csFixedWidth = 0x200;
// Control state.
inline constexpr uint32_t cstClicked = 0x1;
inline constexpr uint32_t cstLButtonDown = 0x2;

// Mouse positions travel in LParam as two signed 16-bit halves, as on Windows.
inline intptr_t PackPoint(int x, int y) {
  return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(x)) |
                               (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline TPoint UnpackPoint(intptr_t l) {
  return {static_cast<int16_t>(l & 0xFFFF), static_cast<int16_t>((l >> 16) & 0xFFFF)};
}

// True when key (any case) is caption's accelerator: the character after the first "&"
// that is not part of "&&" ("&&" shows a literal "&").
bool IsAccel(char key, const std::string& caption);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // Geometry, relative to the parent's client area.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);
  TAnchors Anchors = akLeft | akTop;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  TCustomForm* GetParentForm() const;

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  // Visible itself and in every parent up to a shown form.
  bool Showing() const;

  uint32_t ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
  uint32_t ControlState = 0;

  TColor Color() const { return color_; }
  void SetColor(TColor c);
  bool ParentColor = false;
  TFont Font;
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  const std::string& Caption() const { return text_; }
  void SetCaption(const std::string& text);
  const std::string& Text() const { return text_; }
  virtual void SetText(const std::string& text) { SetCaption(text); }
  TCursor Cursor = crDefault;
  std::string Hint;
  bool ShowHint = false;
  bool ParentShowHint = true;
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  virtual void SetPopupMenu(TPopupMenu* menu);

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Sends a message to this control's dispatcher and returns its result.
  intptr_t Perform(uint32_t msg, intptr_t wParam = 0, intptr_t lParam = 0);
  virtual void WndProc(TMessage& message);

  // Marks the control's area for painting at the next idle moment.
  virtual void Invalidate();
  // Paints the control's area now.
  void Repaint();
  bool MouseCapture() const;
  void SetMouseCapture(bool on);
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  // The position of this control's client origin in its form.
  TPoint FormOrigin() const;
  virtual bool IsWindowed() const { return false; }

  // Paints into the form's surface: origin is the form position of the control's client
  // (0, 0), clip the form area it may touch.
  virtual void PaintControl(TSurface* /*target*/, TPoint /*origin*/, const TRect& /*clip*/) {}
  // A stored property of a definition (ui/definition.h); false when the name is not one
  // of this class or the value does not fit it.
  virtual bool SetProperty(const std::string& name, const TPropertyValue& value);

 protected:
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // Called after a size change (WM_SIZE is sent too).
  virtual void Resized() {}
  void ParentFontChanged();
  void ParentColorChanged();

 private:
  friend class TWinControl;
  void HandleMouseDown(TMessage& m, TMouseButton button, bool dbl);
  void HandleMouseUp(TMessage& m, TMouseButton button);
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TWinControl* parent_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  bool parentFont_ = true;
  bool settingParentFont_ = false;
  std::string text_;
  TPopupMenu* popupMenu_ = nullptr;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  bool IsWindowed() const override { return true; }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int i) const { return controls_[i]; }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  // The topmost child at a client point: windowed children above windowless ones, later
  // ones above earlier; invisible children never, disabled ones only when asked.
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWindowed = true) const;

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop = false;
  bool DoubleBuffered = false;
  // The window class the control's window stands for ("EDIT" for the edit base).
  std::string WindowClass;
  bool HandleAllocated() const;
  bool Focused() const;
  virtual bool CanFocus() const;
  void SetFocus();
  // Whether typed characters go to this control rather than to the dialog handling.
  virtual bool WantsChars() const { return false; }
  // The next windowed control in tab order after current (which may be null).
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
  void SelectNext(TWinControl* current, bool forward, bool checkTabStop);

  TNotifyEvent OnEnter, OnExit;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

  void WndProc(TMessage& message) override;
  // Places the children with an Align (top, bottom, left, right, client).
  virtual void AlignControls();
  // Paints this control's own face, then its windowless children, then its windowed ones.
  virtual void PaintWindow(TSurface* target, TPoint origin, const TRect& clip);
  void PaintControl(TSurface* target, TPoint origin, const TRect& clip) override {
    PaintWindow(target, origin, clip);
  }
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;

 protected:
  void Resized() override { AlignControls(); }
  virtual void KeyDown(int& key, TShiftState shift);
  virtual void KeyUp(int& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Paints the control's own face (children are painted after it).
  virtual void PaintSelf(TSurface* /*target*/, TPoint /*origin*/, const TRect& /*clip*/) {}

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  bool aligning_ = false;
};

// A windowless control with a canvas.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  TCanvas& Canvas() { return canvas_; }
  void PaintControl(TSurface* target, TPoint origin, const TRect& clip) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas canvas_;
};

// A windowed control with a canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  TCanvas& Canvas() { return canvas_; }

 protected:
  virtual void Paint() {}
  void PaintSelf(TSurface* target, TPoint origin, const TRect& clip) override;

 private:
  TCanvas canvas_;
};

// ---- Forms -------------------------------------------------------------------------------------
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TPosition { poDesigned, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree };
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  TFormBorderStyle BorderStyle = bsSizeable;
  TPosition Position = poDesigned;
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientSize(int w, int h) { SetBounds(Left(), Top(), w, h); }

  TNotifyEvent OnShow, OnCreate, OnDestroy;
  std::function<void(TObject*, TCloseAction&)> OnClose;
  // After a complete paint of the whole window has been handed to the host.
  std::function<void()> OnPainted;

  // Creates the host window when needed, runs OnShow and shows it.
  void Show();
  void Hide();
  // Asks the form to close: OnClose decides; closing the main form ends the program.
  void Close();
  bool FormVisible() const { return shown_; }
  int ShowModal();
  int ModalResult = mrNone;
  bool Modal() const { return modal_; }

  TWinControl* ActiveControl() const { return active_; }
  void SetActiveControl(TWinControl* c);
  // Moves the focus to c (null: to the form itself), with the exit and enter
  // notifications.
  void FocusControl(TWinControl* c);

  THostWindow* HostWindow() const { return host_.get(); }
  intptr_t Handle() const;
  const TSurface& Surface() const { return surface_; }
  // The surface area to compose and show at the next idle moment (form coordinates).
  void InvalidateRect(const TRect& r);
  void PaintPending();
  void PaintNow(const TRect& r);
  // Input from the host, in client coordinates.
  void HostMouse(uint32_t msg, int x, int y, TShiftState shift);
  void HostKey(uint32_t msg, int key, TShiftState shift);
  void HostChar(char c, TShiftState shift);
  // Key-down handling of the dialog: Tab moves the focus, other keys go to target.
  void DialogKeyDown(TWinControl* target, int key, TShiftState shift);
  // Shows the composed surface again (the host lost its copy).
  void PresentNow(const TRect& r);
  void CaptureChanged(TControl* c);
  TControl* CaptureControl() const { return capture_; }
  void SetCaptureControl(TControl* c);
  // A control that goes away must not stay referenced.
  void ControlRemoved(TControl* c);
  // Gives the host window the cursor that wins now: the application's while it is set
  // (not crDefault), else that of the control under the pointer or of its parents.
  void UpdateCursor();

  void WndProc(TMessage& message) override;
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  // Connects a definition's event to one of the form's handlers; false when unknown.
  virtual bool BindEvent(TComponent* component, const std::string& event,
                         const std::string& handler);

 protected:
  void PaintSelf(TSurface* target, TPoint origin, const TRect& clip) override;
  void Resized() override;

 private:
  void UpdateMouseControl(TControl* now);
  void DoClose();
  TCanvas formCanvas_;
  std::unique_ptr<THostWindow> host_;
  TSurface surface_;
  TRect invalid_;
  bool shown_ = false;
  bool modal_ = false;
  bool closing_ = false;
  TWinControl* active_ = nullptr;
  TControl* capture_ = nullptr;
  TControl* mouseControl_ = nullptr;
  TControl* pressed_ = nullptr;  // for double clicks
  uint32_t lastPressMsg_ = 0;
  int64_t lastPressTime_ = -100000;
  TPoint lastPressPos_;
};
using TForm = TCustomForm;

// ---- Hosts -------------------------------------------------------------------------------------
// One top-level window of a host.
class THostWindow {
 public:
  virtual ~THostWindow() = default;
  virtual void SetBounds(const TRect& screen) = 0;
  virtual TRect ScreenBounds() const = 0;
  virtual void Show(bool visible) = 0;
  virtual void SetTitle(const std::string& gbk) = 0;
  // Copies the dirty part of the composed surface to the screen.
  virtual void Present(const TSurface& surface, const TRect& dirty) = 0;
  virtual void SetCapture(bool on) = 0;
  virtual void SetCursor(TCursor cursor) = 0;
  // The system's command (WM_SYSCOMMAND): SC_MOVE | HTCAPTION runs the system's modal
  // move loop and returns when the button is released. The form asks for a move only
  // while no release of the left button waits in the application's queue; the host
  // starts none when the button is up by its own account either.
  virtual void SystemCommand(uintptr_t command, intptr_t lParam) = 0;
  virtual intptr_t NativeHandle() const = 0;
};

class THostSystem {
 public:
  virtual ~THostSystem() = default;
  virtual std::string Name() const = 0;
  virtual std::unique_ptr<THostWindow> CreateHostWindow(TCustomForm* form, const TRect& screen) = 0;
  // Moves waiting input into the application's queue without waiting.
  virtual void PollEvents() = 0;
  // Waits up to timeoutMs (-1: without limit) for input; false when none can ever come
  // (a headless host whose injected input is used up).
  virtual bool WaitEvents(int timeoutMs) = 0;
  virtual TSize ScreenSize() const = 0;
  virtual TPoint CursorPos() const = 0;
  virtual void SetCursor(TCursor cursor) = 0;
  // Message boxes are the system's own (Win32) rather than framework windows.
  virtual bool NativeMessageBoxes() const { return false; }
  // GetSystemMetrics for this host's screen; false lets the system answer. The virtual
  // screen is the whole screen of a host (an X screen spans every monitor).
  virtual bool SystemMetric(int index, int* value) const;
  virtual int NativeMessageBox(THostWindow* /*owner*/, const std::string& /*text*/,
                               const std::string& /*caption*/, uint32_t /*type*/) {
    return 0;
  }
};

// The host for the program: X11 or Win32; null with *error naming what is missing.
std::unique_ptr<THostSystem> CreateNativeHost(std::string* error);

// ---- Application ------------------------------------------------------------------------------
// Input for a form, queued by the host.
struct THostEvent {
  enum Kind { kMouse, kKey, kChar, kClose, kExpose } kind = kMouse;
  TCustomForm* form = nullptr;
  uint32_t msg = 0;  // kWmMouseMove, kWmLButtonDown ... / kWmKeyDown, kWmKeyUp
  int x = 0, y = 0;
  int key = 0;
  char ch = 0;
  TShiftState shift = 0;
  TRect rect;
};

class TApplication : public TComponent {
 public:
  explicit TApplication(std::unique_ptr<THostSystem> host);
  ~TApplication() override;

  // The title is the executable's file name without its extension unless set.
  std::string Title() const;
  void SetTitle(const std::string& title) { title_ = title; }
  void Initialize();
  // Creates a form owned by the application; the first becomes the main form.
  template <typename TFormClass, typename... Args>
  TFormClass* CreateForm(Args&&... args) {
    auto* form = new TFormClass(this, std::forward<Args>(args)...);
    if (!mainForm_) mainForm_ = form;
    return form;
  }
  TCustomForm* MainForm() const { return mainForm_; }
  // Shows the main form and runs the message loop until it closes.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every waiting message, then paints; true when the program is ending.
  bool ProcessMessages();
  // One message, or paints and waits when there is none; false when no input can come.
  bool HandleMessage();
  // The default error report: OnException, else a message box with the error's text.
  void HandleException(const std::exception& error);
  std::function<void(TObject*, const std::exception&)> OnException;
  // A modal box centred on the screen, titled with caption (the title when null).
  int MessageBox(const std::string& text, const char* caption, uint32_t type);

  // The application-wide cursor (crHourGlass while a long command runs): while it is not
  // crDefault it is shown over every form, whatever control lies under the pointer.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor c);
  THostSystem* Host() const { return host_.get(); }
  // The application's window: it has none of its own, so its main form's stands in
  // (the owner of dialogs that have no form as owner); 0 before the main form exists.
  intptr_t Handle() const;
  // While a dialog of the system (the folder browser) is open, no form takes input.
  void SystemDialogOpen(bool open);
  void PostMessage(TControl* target, uint32_t msg, intptr_t wParam, intptr_t lParam);
  void PostHostEvent(const THostEvent& e) { hostEvents_.push_back(e); }
  bool HostEventsPending() const { return !hostEvents_.empty(); }
  // Whether a left-button release for form waits in the queue: the press being handled
  // has ended already (hosts read all waiting input at once).
  bool LeftReleaseQueued(const TCustomForm* form) const;
  void FormCreated(TCustomForm* f);
  void FormDestroyed(TCustomForm* f);
  void ControlDestroyed(TControl* c);
  const std::vector<TCustomForm*>& Forms() const { return forms_; }
  // The time of the current input in milliseconds (double-click timing).
  int64_t Now() const;

 private:
  bool ProcessOne();
  void Dispatch(const THostEvent& e);
  void PaintAll();
  std::unique_ptr<THostSystem> host_;
  std::string title_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  TCursor cursor_ = crDefault;
  int systemDialogs_ = 0;
  struct Posted {
    TControl* target;
    TMessage message;
  };
  std::deque<Posted> posted_;
  std::deque<THostEvent> hostEvents_;
  std::vector<TCustomForm*> forms_;
};

// The running application, or null.
extern TApplication* Application;

// The platform calls the controls use.
void ReleaseCapture();
intptr_t SendMessageA(TWinControl* window, uint32_t msg, intptr_t wParam, intptr_t lParam);

}  // namespace ui
