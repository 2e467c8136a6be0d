#include "ui/controls.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>

#include "platform/ansi_strings.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/inject.h"
#include "ui/message_box.h"
#include "ui/properties.h"

namespace ui {

TApplication* Application = nullptr;

namespace {

bool IsWithin(const TControl* x, const TControl* ancestor) {
  for (; x; x = x->Parent())
    if (x == ancestor) return true;
  return false;
}

// The deepest control at a client point of container, or null.
TControl* HitTest(const TWinControl* container, TPoint p, bool allowDisabled) {
  TControl* c = container->ControlAtPos(p, allowDisabled);
  if (!c) return nullptr;
  if (c->IsWindowed()) {
    auto* w = static_cast<TWinControl*>(c);
    if (TControl* deeper = HitTest(w, {p.X - c->Left(), p.Y - c->Top()}, allowDisabled))
      return deeper;
  }
  return c;
}

}  // namespace

bool IsAccel(char key, const std::string& caption) {
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (caption[i + 1] == '&') {
        ++i;  // a literal "&"
        continue;
      }
      return lower(caption[i + 1]) == lower(key);
    }
    if (platform::IsLeadByte(caption[i])) ++i;  // its trail byte is no "&"
  }
  return false;
}

// ---- TControl ------------------------------------------------------------------------------
TControl::TControl(TComponent* owner) : TComponent(owner) {
  Font.OnChange = [this] {
    if (!settingParentFont_) parentFont_ = false;
    Perform(kCmFontChanged);
  };
}

TControl::~TControl() {
  if (Application) Application->ControlDestroyed(this);
  SetParent(nullptr);
  Font.OnChange = nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool sized = width != width_ || height != height_;
  Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
  if (sized) {
    Perform(kWmSize, 0, PackPoint(width, height));
    Resized();
  }
  if (parent_ && align_ != alNone) parent_->AlignControls();
}

void TControl::SetAlign(TAlign a) {
  if (a == align_) return;
  align_ = a;
  if (parent_) parent_->AlignControls();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

TCustomForm* TControl::GetParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  if (!v) Invalidate();
  visible_ = v;
  if (v) Invalidate();
  Perform(kCmVisibleChanged, v);
  if (parent_ && align_ != alNone) parent_->AlignControls();
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Perform(kCmEnabledChanged);
}

bool TControl::Showing() const {
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  const auto* form = dynamic_cast<const TCustomForm*>(this);
  return form && form->FormVisible();
}

void TControl::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  ParentColor = false;
  Perform(kCmColorChanged);
}

void TControl::SetParentFont(bool v) {
  parentFont_ = v;
  if (v) ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  settingParentFont_ = true;
  Font.Assign(parent_->Font);
  settingParentFont_ = false;
}

void TControl::ParentColorChanged() {
  if (!ParentColor || !parent_) return;
  color_ = parent_->Color();
  Perform(kCmColorChanged);
}

void TControl::SetCaption(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  Perform(kCmTextChanged);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  if (menu) menu->FreeNotification(this);
}

intptr_t TControl::Perform(uint32_t msg, intptr_t wParam, intptr_t lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::HandleMouseDown(TMessage& m, TMouseButton button, bool dbl) {
  const TPoint p = UnpackPoint(m.LParam);
  TShiftState shift = static_cast<TShiftState>(m.WParam);
  if (ControlStyle & csCaptureMouse) SetMouseCapture(true);
  if (dbl) {
    if ((ControlStyle & csDoubleClicks) && button == mbLeft) DblClick();
    shift |= ssDouble;
  } else if (button == mbLeft && (ControlStyle & csClickEvents)) {
    ControlState |= cstClicked;
  }
  MouseDown(button, shift, p.X, p.Y);
}

void TControl::HandleMouseUp(TMessage& m, TMouseButton button) {
  const TPoint p = UnpackPoint(m.LParam);
  if (MouseCapture()) SetMouseCapture(false);
  if (button == mbLeft && (ControlState & cstClicked)) {
    ControlState &= ~cstClicked;
    if (ClientRect().Contains(p)) Click();
  }
  MouseUp(button, static_cast<TShiftState>(m.WParam), p.X, p.Y);
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kWmLButtonDown:
      HandleMouseDown(m, mbLeft, false);
      break;
    case kWmRButtonDown:
      HandleMouseDown(m, mbRight, false);
      break;
    case kWmMButtonDown:
      HandleMouseDown(m, mbMiddle, false);
      break;
    case kWmLButtonDblClk:
      HandleMouseDown(m, mbLeft, true);
      break;
    case kWmRButtonDblClk:
      HandleMouseDown(m, mbRight, true);
      break;
    case kWmMButtonDblClk:
      HandleMouseDown(m, mbMiddle, true);
      break;
    case kWmLButtonUp:
      HandleMouseUp(m, mbLeft);
      break;
    case kWmRButtonUp:
      HandleMouseUp(m, mbRight);
      break;
    case kWmMButtonUp:
      HandleMouseUp(m, mbMiddle);
      break;
    case kWmMouseMove: {
      const TPoint p = UnpackPoint(m.LParam);
      MouseMove(static_cast<TShiftState>(m.WParam), p.X, p.Y);
      break;
    }
    case kCmMouseEnter:
      if (OnMouseEnter) OnMouseEnter(this);
      break;
    case kCmMouseLeave:
      if (OnMouseLeave) OnMouseLeave(this);
      break;
    case kCmEnabledChanged:
    case kCmTextChanged:
    case kCmColorChanged:
    case kCmFontChanged:
      Invalidate();
      break;
    default:
      break;
  }
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

TPoint TControl::FormOrigin() const {
  TPoint p;
  for (const TControl* c = this; c->parent_; c = c->parent_) {
    p.X += c->left_;
    p.Y += c->top_;
  }
  return p;
}

void TControl::Invalidate() {
  if (!visible_ || !parent_) {
    if (auto* form = dynamic_cast<TCustomForm*>(this)) form->InvalidateRect(ClientRect());
    return;
  }
  TCustomForm* form = GetParentForm();
  if (!form) return;
  const TPoint o = FormOrigin();
  TRect r = Bounds(o.X, o.Y, width_, height_);
  for (const TControl* c = parent_; c && c->parent_; c = c->parent_) {
    const TPoint po = c->FormOrigin();
    r = r.Intersect(Bounds(po.X, po.Y, c->width_, c->height_));
  }
  form->InvalidateRect(r);
}

void TControl::Repaint() {
  TCustomForm* form = GetParentForm();
  if (!form || !form->FormVisible()) return;
  const TPoint o = FormOrigin();
  form->PaintNow(Bounds(o.X, o.Y, width_, height_));
}

bool TControl::MouseCapture() const {
  TCustomForm* form = GetParentForm();
  return form && form->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool on) {
  TCustomForm* form = GetParentForm();
  if (!form) return;
  if (on)
    form->SetCaptureControl(this);
  else if (form->CaptureControl() == this)
    form->SetCaptureControl(nullptr);
}

TPoint TControl::ClientToScreen(TPoint p) const {
  const TCustomForm* form = GetParentForm();
  const TPoint o = FormOrigin();
  TPoint base = form ? TPoint{form->Left(), form->Top()} : TPoint{};
  if (form && form->HostWindow()) {
    const TRect b = form->HostWindow()->ScreenBounds();
    base = {b.Left, b.Top};
  }
  return {p.X + o.X + base.X, p.Y + o.Y + base.Y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint zero = ClientToScreen({0, 0});
  return {p.X - zero.X, p.Y - zero.Y};
}

bool TControl::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  bool b = false;
  TColor c = 0;
  uint32_t flags = 0;
  if (name == "Left" && v.AsInt(&i)) return SetLeft(i), true;
  if (name == "Top" && v.AsInt(&i)) return SetTop(i), true;
  if (name == "Width" && v.AsInt(&i)) return SetWidth(i), true;
  if (name == "Height" && v.AsInt(&i)) return SetHeight(i), true;
  if (name == "Align") {
    TAlign a = alNone;
    if (!v.AsEnum<TAlign>({{"alNone", alNone},
                           {"alTop", alTop},
                           {"alBottom", alBottom},
                           {"alLeft", alLeft},
                           {"alRight", alRight},
                           {"alClient", alClient},
                           {"alCustom", alCustom}},
                          &a))
      return false;
    SetAlign(a);
    return true;
  }
  if (name == "Anchors")
    return v.AsFlags({{"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight},
                      {"akBottom", akBottom}},
                     &Anchors);
  if (name == "Visible" && v.AsBool(&b)) return SetVisible(b), true;
  if (name == "Enabled" && v.AsBool(&b)) return SetEnabled(b), true;
  if (name == "Color" && v.AsColor(&c)) return SetColor(c), true;
  if (name == "ParentColor" && v.AsBool(&b)) {
    ParentColor = b;
    if (b) ParentColorChanged();
    return true;
  }
  if (name == "ParentFont" && v.AsBool(&b)) return SetParentFont(b), true;
  if (name == "Font.Name" && v.kind == TPropertyValue::kString) return Font.SetName(v.text), true;
  if (name == "Font.Height" && v.AsInt(&i)) return Font.SetHeight(i), true;
  if (name == "Font.Color" && v.AsColor(&c)) return Font.SetColor(c), true;
  if (name == "Font.Charset") {
    uint8_t charset = 0;
    if (!v.AsCharset(&charset)) return false;
    Font.SetCharset(charset);
    return true;
  }
  if (name == "Font.Style") {
    if (!v.AsFlags({{"fsBold", fsBold},
                    {"fsItalic", fsItalic},
                    {"fsUnderline", fsUnderline},
                    {"fsStrikeOut", fsStrikeOut}},
                   &flags))
      return false;
    Font.SetStyle(flags);
    return true;
  }
  if ((name == "Caption" || name == "Text") && v.kind == TPropertyValue::kString)
    return SetText(v.text), true;
  if (name == "Cursor")
    return v.AsEnum<TCursor>({{"crDefault", crDefault},
                              {"crArrow", crArrow},
                              {"crIBeam", crIBeam},
                              {"crHourGlass", crHourGlass},
                              {"crHandPoint", crHandPoint},
                              {"crSizeAll", crSizeAll}},
                             &Cursor);
  if (name == "Hint" && v.kind == TPropertyValue::kString) return Hint = v.text, true;
  if (name == "ShowHint" && v.AsBool(&b)) return ShowHint = b, true;
  if (name == "ParentShowHint" && v.AsBool(&b)) return ParentShowHint = b, true;
  if (name == "Tag") return v.AsInt(&Tag);
  return false;
}

// ---- TWinControl --------------------------------------------------------------------------------
TWinControl::TWinControl(TComponent* owner) : TControl(owner) { ControlStyle |= csAcceptsControls; }

TWinControl::~TWinControl() {
  DestroyComponents();
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

void TWinControl::InsertControl(TControl* c) {
  c->parent_ = this;
  controls_.push_back(c);
  if (c->IsWindowed()) tabList_.push_back(static_cast<TWinControl*>(c));
  c->ParentFontChanged();
  c->ParentColorChanged();
  if (c->align_ != alNone) AlignControls();
  c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  c->Invalidate();
  if (TCustomForm* form = GetParentForm()) form->ControlRemoved(c);
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), c), tabList_.end());
  c->parent_ = nullptr;
  if (c->align_ != alNone) AlignControls();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWindowed) const {
  auto usable = [&](const TControl* c) {
    return c->Visible() && (allowDisabled || c->Enabled()) && c->BoundsRect().Contains(p);
  };
  if (allowWindowed)
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
      if ((*it)->IsWindowed() && usable(*it)) return *it;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (!(*it)->IsWindowed() && usable(*it)) return *it;
  return nullptr;
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!Parent()) return;
  auto& list = Parent()->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
}

bool TWinControl::HandleAllocated() const { return GetParentForm() != nullptr; }

bool TWinControl::Focused() const {
  const TCustomForm* form = GetParentForm();
  return form && form->ActiveControl() == this;
}

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return GetParentForm() != nullptr;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm()) form->FocusControl(this == form ? nullptr : this);
}

namespace {
void CollectTabOrder(const std::vector<TWinControl*>& list, std::vector<TWinControl*>* out) {
  for (TWinControl* c : list) {
    out->push_back(c);
    std::vector<TWinControl*> inner;
    for (int i = 0; i < c->ControlCount(); ++i)
      if (c->Controls(i)->IsWindowed()) inner.push_back(static_cast<TWinControl*>(c->Controls(i)));
    std::stable_sort(inner.begin(), inner.end(),
                     [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
    CollectTabOrder(inner, out);
  }
}
}  // namespace

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward,
                                          bool checkTabStop) const {
  std::vector<TWinControl*> order;
  CollectTabOrder(tabList_, &order);
  if (order.empty()) return nullptr;
  const int n = static_cast<int>(order.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (order[i] == current) start = i;
  for (int k = 1; k <= n; ++k) {
    int i = start < 0 ? (forward ? k - 1 : n - k) : ((start + (forward ? k : -k)) % n + n) % n;
    TWinControl* c = order[i];
    if (c != current && c->CanFocus() && (!checkTabStop || c->TabStop)) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, forward, checkTabStop)) next->SetFocus();
}

void TWinControl::KeyDown(int& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(int& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kWmKeyDown: {
      int key = static_cast<int>(m.WParam);
      KeyDown(key, static_cast<TShiftState>(m.LParam));
      m.Result = key == 0;
      break;
    }
    case kWmKeyUp: {
      int key = static_cast<int>(m.WParam);
      KeyUp(key, static_cast<TShiftState>(m.LParam));
      m.Result = key == 0;
      break;
    }
    case kWmChar: {
      char c = static_cast<char>(m.WParam);
      KeyPress(c);
      m.Result = static_cast<uint8_t>(c);
      break;
    }
    case kWmSetFocus:
    case kWmKillFocus:
      Invalidate();
      break;
    case kCmEnter:
      if (OnEnter) OnEnter(this);
      break;
    case kCmExit:
      if (OnExit) OnExit(this);
      break;
    case kCmEnabledChanged:
      if (!Enabled() && Focused()) GetParentForm()->FocusControl(nullptr);
      Invalidate();
      break;
    case kCmDialogChar: {
      const std::vector<TControl*> children = controls_;
      for (TControl* c : children)
        if (c->Perform(kCmDialogChar, m.WParam, m.LParam) != 0) {
          m.Result = 1;
          break;
        }
      break;
    }
    case kCmFontChanged:
      for (TControl* c : controls_) c->ParentFontChanged();
      Invalidate();
      break;
    case kCmColorChanged:
      for (TControl* c : controls_) c->ParentColorChanged();
      Invalidate();
      break;
    default:
      TControl::WndProc(m);
  }
}

void TWinControl::AlignControls() {
  if (aligning_) return;
  aligning_ = true;
  TRect r = ClientRect();
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : controls_) {
      if (c->Align() != a || !c->Visible()) continue;
      auto before = [&](TControl* e) {
        switch (a) {
          case alTop:
            return c->Top() < e->Top();
          case alBottom:
            return c->Top() + c->Height() >= e->Top() + e->Height();
          case alLeft:
            return c->Left() < e->Left();
          case alRight:
            return c->Left() + c->Width() >= e->Left() + e->Width();
          default:
            return false;
        }
      };
      auto at = std::find_if(list.begin(), list.end(), before);
      list.insert(at, c);
    }
    for (TControl* c : list) {
      const int w = c->Width(), h = c->Height();
      switch (a) {
        case alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), h);
          r.Top += h;
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - h, r.Width(), h);
          r.Bottom -= h;
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, w, r.Height());
          r.Left += w;
          break;
        case alRight:
          c->SetBounds(r.Right - w, r.Top, w, r.Height());
          r.Right -= w;
          break;
        default:
          c->SetBounds(r.Left, r.Top, std::max(r.Width(), 0), std::max(r.Height(), 0));
      }
    }
  }
  aligning_ = false;
}

void TWinControl::PaintWindow(TSurface* target, TPoint origin, const TRect& clip) {
  PaintSelf(target, origin, clip);
  for (int pass = 0; pass < 2; ++pass)
    for (TControl* c : controls_) {
      if (!c->Visible() || c->IsWindowed() != (pass == 1)) continue;
      const TRect r = Bounds(origin.X + c->Left(), origin.Y + c->Top(), c->Width(), c->Height());
      const TRect cc = r.Intersect(clip);
      if (cc.IsEmpty()) continue;
      c->PaintControl(target, {r.Left, r.Top}, cc);
    }
}

bool TWinControl::SetProperty(const std::string& name, const TPropertyValue& v) {
  if (name == "TabOrder") {
    int order = 0;
    if (!v.AsInt(&order)) return false;
    SetTabOrder(order);
    return true;
  }
  if (name == "TabStop") return v.AsBool(&TabStop);
  if (name == "DoubleBuffered") return v.AsBool(&DoubleBuffered);
  return TControl::SetProperty(name, v);
}

// ---- Graphic and custom controls -------------------------------------------------------------
TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

void TGraphicControl::PaintControl(TSurface* target, TPoint origin, const TRect& clip) {
  canvas_.Attach(target, origin, clip);
  Paint();
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::PaintSelf(TSurface* target, TPoint origin, const TRect& clip) {
  canvas_.Attach(target, origin, clip);
  if (!(ControlStyle & csOpaque)) {
    TBrush saved = canvas_.Brush;
    canvas_.Brush.Color = Color();
    canvas_.Brush.Style = bsSolid;
    canvas_.Brush.Pattern.reset();
    canvas_.FillRect(ClientRect());
    canvas_.Brush = saved;
  }
  Paint();
}

// ---- TCustomForm
// ----------------------------------------------------------------------------------
TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisible(false);
  SetBounds(0, 0, 320, 240);
  if (Application) Application->FormCreated(this);
}

TCustomForm::~TCustomForm() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
    }
  }
  DestroyComponents();
  if (Application) Application->FormDestroyed(this);
  host_.reset();
}

intptr_t TCustomForm::Handle() const { return host_ ? host_->NativeHandle() : 0; }

void TCustomForm::Resized() {
  surface_.SetSize(Width(), Height(), ColorToPixel(Color()));
  if (host_) {
    const TRect b = host_->ScreenBounds();
    host_->SetBounds(Bounds(b.Left, b.Top, Width(), Height()));
  }
  TWinControl::Resized();
  InvalidateRect(ClientRect());
}

void TCustomForm::Show() {
  if (shown_) return;
  if (surface_.Width() != Width() || surface_.Height() != Height())
    surface_.SetSize(Width(), Height(), ColorToPixel(Color()));
  if (!host_ && Application && Application->Host()) {
    TRect screen = Bounds(Left(), Top(), Width(), Height());
    if (Position == poScreenCenter) {
      const TSize s = Application->Host()->ScreenSize();
      screen = Bounds((s.cx - Width()) / 2, (s.cy - Height()) / 2, Width(), Height());
    }
    host_ = Application->Host()->CreateHostWindow(this, screen);
    host_->SetTitle(Caption());
  }
  shown_ = true;
  SetVisible(true);
  try {
    if (OnShow) OnShow(this);
  } catch (const std::exception& e) {
    if (Application) Application->HandleException(e);
  }
  InvalidateRect(ClientRect());
  if (host_ && shown_) host_->Show(true);
  if (!active_) {
    if (TWinControl* first = FindNextControl(nullptr, true, true)) FocusControl(first);
  }
}

void TCustomForm::Hide() {
  if (!shown_) return;
  shown_ = false;
  if (capture_) SetCaptureControl(nullptr);
  if (host_) host_->Show(false);
  SetVisible(false);
}

void TCustomForm::Close() {
  if (closing_) return;
  closing_ = true;
  DoClose();
  closing_ = false;
}

void TCustomForm::DoClose() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  Hide();
  if (Application && Application->MainForm() == this) Application->Terminate();
}

int TCustomForm::ShowModal() {
  modal_ = true;
  ModalResult = mrNone;
  Show();
  while (ModalResult == mrNone && Application && !Application->Terminated())
    if (!Application->HandleMessage()) break;
  modal_ = false;
  Hide();
  return ModalResult;
}

void TCustomForm::SetActiveControl(TWinControl* c) { FocusControl(c); }

void TCustomForm::FocusControl(TWinControl* c) {
  if (c == active_ || c == this) return;
  if (c && !c->CanFocus()) return;
  TWinControl* old = active_;
  active_ = c;
  if (old) {
    old->Perform(kCmExit);
    old->Perform(kWmKillFocus, reinterpret_cast<intptr_t>(c));
  }
  if (c && active_ == c) {
    c->Perform(kWmSetFocus, reinterpret_cast<intptr_t>(old));
    c->Perform(kCmEnter);
  }
}

void TCustomForm::InvalidateRect(const TRect& r) {
  invalid_ = invalid_.Union(r.Intersect(ClientRect()));
}

void TCustomForm::PaintNow(const TRect& r) {
  const TRect area = r.Intersect(ClientRect());
  if (area.IsEmpty() || surface_.Width() != Width() || surface_.Height() != Height()) return;
  PaintWindow(&surface_, {0, 0}, area);
  if (host_ && shown_) host_->Present(surface_, area);
  if (!invalid_.IsEmpty() && area.Intersect(invalid_) == invalid_) invalid_ = {};
}

void TCustomForm::PaintPending() {
  if (invalid_.IsEmpty() || !shown_) return;
  const TRect area = invalid_;
  invalid_ = {};
  PaintWindow(&surface_, {0, 0}, area);
  if (host_) host_->Present(surface_, area);
  if (OnPainted && area == ClientRect()) {
    const std::function<void()> painted = OnPainted;  // it may replace itself
    painted();
  }
}

void TCustomForm::PresentNow(const TRect& r) {
  if (host_ && shown_) host_->Present(surface_, r.Intersect(ClientRect()));
}

void TCustomForm::PaintSelf(TSurface* target, TPoint origin, const TRect& clip) {
  formCanvas_.Attach(target, origin, clip);
  formCanvas_.Brush.Color = Color();
  formCanvas_.Brush.Style = bsSolid;
  formCanvas_.FillRect(ClientRect());
}

void TCustomForm::SetCaptureControl(TControl* c) {
  capture_ = c;
  if (host_) host_->SetCapture(c != nullptr);
}

void TCustomForm::CaptureChanged(TControl* c) { capture_ = c; }

void TCustomForm::ControlRemoved(TControl* c) {
  if (IsWithin(capture_, c)) SetCaptureControl(nullptr);
  if (IsWithin(mouseControl_, c)) mouseControl_ = nullptr;
  if (IsWithin(pressed_, c)) pressed_ = nullptr;
  if (IsWithin(active_, c)) active_ = nullptr;
}

void TCustomForm::UpdateMouseControl(TControl* now) {
  if (now == mouseControl_) return;
  TControl* old = mouseControl_;
  mouseControl_ = now;
  if (old) old->Perform(kCmMouseLeave, 0, reinterpret_cast<intptr_t>(old));
  if (now && mouseControl_ == now) now->Perform(kCmMouseEnter, 0, reinterpret_cast<intptr_t>(now));
  UpdateCursor();
}

void TCustomForm::UpdateCursor() {
  if (!host_ || !Application) return;
  TCursor c = Application->Cursor();
  for (const TControl* x = mouseControl_; c == crDefault && x; x = x->Parent()) c = x->Cursor;
  host_->SetCursor(c);
}

void TCustomForm::HostMouse(uint32_t msg, int x, int y, TShiftState shift) {
  const TPoint p{x, y};
  if (msg == kCmMouseLeave) {  // the pointer left the window
    UpdateMouseControl(nullptr);
    return;
  }
  TControl* over = HitTest(this, p, true);
  UpdateMouseControl(over ? over : this);
  TControl* target = capture_;
  if (!target) {
    target = HitTest(this, p, false);
    if (!target) target = this;
  }
  uint32_t m = msg;
  const bool press = msg == kWmLButtonDown || msg == kWmRButtonDown || msg == kWmMButtonDown;
  if (press) {
    const int64_t now = Application ? Application->Now() : 0;
    if (msg == lastPressMsg_ && target == pressed_ && now - lastPressTime_ < 500 &&
        std::abs(p.X - lastPressPos_.X) <= 2 && std::abs(p.Y - lastPressPos_.Y) <= 2 &&
        (target->ControlStyle & csDoubleClicks)) {
      m = msg + 2;  // the matching double-click message
      lastPressTime_ = -100000;
    } else {
      lastPressTime_ = now;
    }
    lastPressMsg_ = msg;
    lastPressPos_ = p;
    pressed_ = target;
  }
  const TPoint o = target == this ? TPoint{} : target->FormOrigin();
  target->Perform(m, shift, PackPoint(p.X - o.X, p.Y - o.Y));
}

void TCustomForm::DialogKeyDown(TWinControl* target, int key, TShiftState shift) {
  if (key == kVkTab && !(shift & (ssCtrl | ssAlt))) {
    SelectNext(active_, !(shift & ssShift), true);
    return;
  }
  (target ? target : this)->Perform(kWmKeyDown, key, shift);
}

void TCustomForm::HostKey(uint32_t msg, int key, TShiftState shift) {
  if (msg == kWmKeyDown)
    DialogKeyDown(active_, key, shift);
  else
    (active_ ? active_ : static_cast<TWinControl*>(this))->Perform(kWmKeyUp, key, shift);
}

void TCustomForm::HostChar(char c, TShiftState shift) {
  const intptr_t ch = static_cast<uint8_t>(c);
  if (shift & ssAlt) {
    Perform(kCmDialogChar, ch, shift);
    return;
  }
  if (active_ && active_->WantsChars()) {
    active_->Perform(kWmChar, ch, shift);
    return;
  }
  if (active_) active_->Perform(kWmChar, ch, shift);
  Perform(kCmDialogChar, ch, shift);
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kWmSysCommand: {
      const uintptr_t command = static_cast<uintptr_t>(m.WParam) & 0xFFF0;
      if (command == kScClose)
        Close();
      else if (command == kScMove && Application && Application->LeftReleaseQueued(this))
        break;  // a quick click: the button is up already, and a move would wait for it
      else if (host_)
        host_->SystemCommand(static_cast<uintptr_t>(m.WParam), m.LParam);
      break;
    }
    case kWmClose:
      Close();
      break;
    case kCmTextChanged:
      if (host_) host_->SetTitle(Caption());
      break;
    default:
      TWinControl::WndProc(m);
  }
}

bool TCustomForm::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  if (name == "BorderStyle")
    return v.AsEnum<TFormBorderStyle>({{"bsNone", bsNone},
                                       {"bsSingle", bsSingle},
                                       {"bsSizeable", bsSizeable},
                                       {"bsDialog", bsDialog}},
                                      &BorderStyle);
  if (name == "Position")
    return v.AsEnum<TPosition>({{"poDesigned", poDesigned}, {"poScreenCenter", poScreenCenter}},
                               &Position);
  if (name == "ClientWidth" && v.AsInt(&i)) return SetClientSize(i, ClientHeight()), true;
  if (name == "ClientHeight" && v.AsInt(&i)) return SetClientSize(ClientWidth(), i), true;
  return TWinControl::SetProperty(name, v);
}

bool TCustomForm::BindEvent(TComponent*, const std::string&, const std::string&) { return false; }

// ---- TApplication -------------------------------------------------------------------------------
TApplication::TApplication(std::unique_ptr<THostSystem> host)
    : TComponent(nullptr), host_(std::move(host)) {
  Application = this;
}

TApplication::~TApplication() {
  DestroyComponents();
  if (Application == this) platform::inject::framework() = {};
  host_.reset();
  if (Application == this) Application = nullptr;
}

// From here on platform/ shows this framework's message boxes (unless the host shows the
// system's), runs its message loop, and answers for its windows and its screen.
void TApplication::Initialize() {
  platform::inject::Services& services = platform::inject::framework();
  if (!host_->NativeMessageBoxes())
    services.messageBox = [this](const std::string& text, const char* caption, uint32_t type) {
      return MessageBox(text, caption, type);
    };
  services.pumpMessages = [this] { return ProcessMessages(); };
  services.windowRect = [this](platform::Hwnd window,
                               platform::WindowRect* rect) -> std::optional<bool> {
    if (window == 0) return std::nullopt;
    for (TCustomForm* form : forms_) {
      if (form->Handle() != window || !form->HostWindow()) continue;
      const TRect r = form->HostWindow()->ScreenBounds();
      *rect = {r.Left, r.Top, r.Right, r.Bottom};
      return true;
    }
    return std::nullopt;
  };
  services.systemMetrics = [this](int index) -> std::optional<int> {
    int value = 0;
    if (host_ && host_->SystemMetric(index, &value)) return value;
    return std::nullopt;
  };
  services.enableWindow = [this](platform::Hwnd, bool enable) { SystemDialogOpen(!enable); };
}

intptr_t TApplication::Handle() const { return mainForm_ ? mainForm_->Handle() : 0; }

void TApplication::SystemDialogOpen(bool open) {
  if (open) ++systemDialogs_;
  else if (systemDialogs_ > 0) --systemDialogs_;
}

bool THostSystem::SystemMetric(int index, int* value) const {
  if (index != platform::kSmCxVirtualScreen && index != platform::kSmCyVirtualScreen) return false;
  const TSize screen = ScreenSize();
  *value = index == platform::kSmCxVirtualScreen ? screen.cx : screen.cy;
  return true;
}

std::string TApplication::Title() const {
  if (!title_.empty()) return title_;
  return platform::ChangeFileExt(platform::ExtractFileName(platform::GetModuleFileNameA()), "");
}

void TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  while (!terminated_)
    if (!HandleMessage()) break;
  PaintAll();
}

void TApplication::Terminate() { terminated_ = true; }

int64_t TApplication::Now() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TApplication::SetCursor(TCursor c) {
  cursor_ = c;
  if (host_) host_->SetCursor(c);
  // Each window keeps the cursor it shows (the Win32 host applies it again on every
  // WM_SETCURSOR): give them the one that wins now, also when the setting ends.
  const std::vector<TCustomForm*> forms = forms_;
  for (TCustomForm* f : forms) f->UpdateCursor();
}

void TApplication::PostMessage(TControl* target, uint32_t msg, intptr_t wParam, intptr_t lParam) {
  posted_.push_back({target, {msg, wParam, lParam, 0}});
}

bool TApplication::LeftReleaseQueued(const TCustomForm* form) const {
  return std::any_of(hostEvents_.begin(), hostEvents_.end(), [form](const THostEvent& e) {
    return e.form == form && e.kind == THostEvent::kMouse && e.msg == kWmLButtonUp;
  });
}

void TApplication::FormCreated(TCustomForm* f) { forms_.push_back(f); }

void TApplication::FormDestroyed(TCustomForm* f) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), f), forms_.end());
  if (mainForm_ == f) mainForm_ = nullptr;
  for (auto it = hostEvents_.begin(); it != hostEvents_.end();)
    it = it->form == f ? hostEvents_.erase(it) : it + 1;
}

void TApplication::ControlDestroyed(TControl* c) {
  for (auto it = posted_.begin(); it != posted_.end();)
    it = it->target == c ? posted_.erase(it) : it + 1;
}

void TApplication::Dispatch(const THostEvent& e) {
  if (std::find(forms_.begin(), forms_.end(), e.form) == forms_.end()) return;
  // While a modal form runs, other forms take no input.
  const bool modalRunning = std::any_of(
      forms_.begin(), forms_.end(), [](TCustomForm* f) { return f->Modal() && f->FormVisible(); });
  const bool input = e.kind == THostEvent::kMouse || e.kind == THostEvent::kKey ||
                     e.kind == THostEvent::kChar || e.kind == THostEvent::kClose;
  if (modalRunning && input && !e.form->Modal()) return;
  // Nor while a dialog of the system is open over them.
  if (systemDialogs_ > 0 && input) return;
  switch (e.kind) {
    case THostEvent::kMouse:
      e.form->HostMouse(e.msg, e.x, e.y, e.shift);
      break;
    case THostEvent::kKey:
      e.form->HostKey(e.msg, e.key, e.shift);
      break;
    case THostEvent::kChar:
      e.form->HostChar(e.ch, e.shift);
      break;
    case THostEvent::kClose:
      e.form->Close();
      break;
    case THostEvent::kExpose:
      e.form->PresentNow(e.rect);
      break;
  }
}

bool TApplication::ProcessOne() {
  if (host_) host_->PollEvents();
  try {
    if (!posted_.empty()) {
      Posted p = posted_.front();
      posted_.pop_front();
      auto* win = dynamic_cast<TWinControl*>(p.target);
      TCustomForm* form = win ? win->GetParentForm() : nullptr;
      if (p.message.Msg == kWmKeyDown && form)
        form->DialogKeyDown(win, static_cast<int>(p.message.WParam),
                            static_cast<TShiftState>(p.message.LParam));
      else
        p.target->Perform(p.message.Msg, p.message.WParam, p.message.LParam);
      return true;
    }
    if (!hostEvents_.empty()) {
      THostEvent e = hostEvents_.front();
      hostEvents_.pop_front();
      Dispatch(e);
      return true;
    }
  } catch (const std::exception& error) {
    HandleException(error);
    return true;
  }
  return false;
}

void TApplication::PaintAll() {
  const std::vector<TCustomForm*> forms = forms_;
  for (TCustomForm* f : forms) f->PaintPending();
}

bool TApplication::ProcessMessages() {
  while (!terminated_ && ProcessOne()) {
  }
  PaintAll();
  return terminated_;
}

bool TApplication::HandleMessage() {
  if (ProcessOne()) return true;
  PaintAll();
  if (terminated_) return true;
  if (!host_ || !host_->WaitEvents(-1)) return ProcessOne();
  return true;
}

void TApplication::HandleException(const std::exception& error) {
  if (OnException) {
    OnException(this, error);
    return;
  }
  MessageBox(error.what(), nullptr, platform::kMbOk);
}


int TApplication::MessageBox(const std::string& text, const char* caption, uint32_t type) {
  const std::string title = caption ? std::string(caption) : Title();
  // A test's scripted answer comes first (the framework's own slot would lead back here).
  if (const auto& scripted = platform::inject::services().messageBox)
    if (auto answer = scripted(text, title.c_str(), type)) return *answer;
  if (host_ && host_->NativeMessageBoxes()) {
    THostWindow* owner = mainForm_ ? mainForm_->HostWindow() : nullptr;
    return host_->NativeMessageBox(owner, text, title, type);
  }
  return ShowFrameworkMessageBox(text, title, type);
}

// ---- Platform calls
// -------------------------------------------------------------------------------
void ReleaseCapture() {
  if (!Application) return;
  for (TCustomForm* f : Application->Forms())
    if (f->CaptureControl()) f->SetCaptureControl(nullptr);
}

intptr_t SendMessageA(TWinControl* window, uint32_t msg, intptr_t wParam, intptr_t lParam) {
  return window ? window->Perform(msg, wParam, lParam) : 0;
}

}  // namespace ui
