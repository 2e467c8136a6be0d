#include "ui/stdctrls.h"

#include "platform/ansi_strings.h"
#include "platform/dialogs.h"
#include "ui/definition.h"

namespace ui {


// ---- TLabel
// -----------------------------------------------------------------------------------------
TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle |= csReplicatable | csOpaque;
  SetBounds(0, 0, 65, 17);
}

void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  if (v)
    ControlStyle &= ~csOpaque;
  else
    ControlStyle |= csOpaque;
  Invalidate();
}

void TLabel::AdjustBounds() {
  if (!AutoSize || IsLoading() || WordWrap) return;
  Canvas().Font.Assign(Font);
  TRect r{0, 0, 0, 0};
  Canvas().DrawTextA(Caption().empty() ? std::string(" ") : Caption(), r,
                     kDtCalcRect | (ShowAccelChar ? 0 : kDtNoPrefix));
  SetBounds(Left(), Top(), r.Width(), r.Height());
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::WndProc(TMessage& m) {
  TGraphicControl::WndProc(m);
  if (m.Msg == kCmTextChanged || m.Msg == kCmFontChanged) AdjustBounds();
}

void TLabel::Paint() {
  TCanvas& c = Canvas();
  if (!transparent_) {
    c.Brush.Color = Color();
    c.Brush.Style = bsSolid;
    c.FillRect(ClientRect());
  }
  c.Brush.Style = bsClear;
  c.Font.Assign(Font);
  if (!Enabled()) c.Font.Color = clGrayText;
  TRect r = ClientRect();
  uint32_t flags = Alignment == taCenter         ? kDtCenter
                   : Alignment == taRightJustify ? kDtRight
                                                 : kDtLeft;
  if (!ShowAccelChar) flags |= kDtNoPrefix;
  if (WordWrap) flags |= kDtWordBreak;
  c.DrawTextA(Caption(), r, flags);
}

bool TLabel::SetProperty(const std::string& name, const TPropertyValue& v) {
  bool b = false;
  if (name == "Transparent" && v.AsBool(&b)) return SetTransparent(b), true;
  if (name == "AutoSize" && v.AsBool(&b)) return AutoSize = b, true;
  if (name == "ShowAccelChar" && v.AsBool(&b)) return ShowAccelChar = b, true;
  if (name == "WordWrap" && v.AsBool(&b)) return WordWrap = b, true;
  return TGraphicControl::SetProperty(name, v);
}

// ---- TButton
// ----------------------------------------------------------------------------------------
TButton::TButton(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 75, 23);
  TabStop = true;
  ControlStyle |= csOpaque;
}

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TCustomForm* form = GetParentForm()) form->ModalResult = ModalResult;
  TCustomControl::Click();
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    down_ = true;
    if (CanFocus()) SetFocus();
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    down_ = false;
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TButton::WndProc(TMessage& m) {
  if (m.Msg == kWmKeyDown && (m.WParam == kVkReturn || m.WParam == kVkSpace)) {
    TCustomControl::WndProc(m);
    Click();
    return;
  }
  if (m.Msg == kCmDialogChar && Enabled() && Visible()) {
    // Enter presses the default button, Escape the cancel button.
    if ((m.WParam == '\r' && Default) || (m.WParam == 27 && Cancel)) {
      Click();
      m.Result = 1;
      return;
    }
  }
  TCustomControl::WndProc(m);
}

void TButton::Paint() {
  TCanvas& c = Canvas();
  const TRect r = ClientRect();
  c.Brush.Style = bsSolid;
  c.Brush.Color = clBtnFace;
  c.Pen.Style = psSolid;
  c.Pen.Color = Focused() || Default ? clBlack : clBtnShadow;
  c.Rectangle(r);
  if (down_) {
    c.Brush.Color = clBtnShadow;
    c.FrameRect({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
  }
  c.Font.Assign(Font);
  if (!Enabled()) c.Font.Color = clGrayText;
  c.Brush.Style = bsClear;
  TRect t = r.Offset(down_ ? 1 : 0, down_ ? 1 : 0);
  c.DrawTextA(Caption(), t, kDtCenter | kDtVCenter | kDtSingleLine);
  if (Focused()) {
    c.Pen.Style = psDot;
    c.Pen.Color = clBlack;
    c.Brush.Style = bsClear;
    c.Rectangle({r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 3});
  }
}

// ---- TCustomEdit
// --------------------------------------------------------------------------------------
TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  WindowClass = "EDIT";
  TabStop = true;
  Cursor = crIBeam;
  SetColor(clWindow);
  ControlStyle = (ControlStyle | csCaptureMouse | csClickEvents | csDoubleClicks) & ~csSetCaption;
  SetBounds(0, 0, 121, 21);
}

void TCustomEdit::Resized() {
  if (!formatRectSet_) formatRect_ = ClientRect();
  TWinControl::Resized();
}

void TCustomEdit::SetText(const std::string& text) {
  if (text == Text()) return;
  TControl::SetCaption(text);
  selStart_ = selEnd_ = 0;
  scroll_ = 0;
}

int TCustomEdit::CharStart(int at) const {
  const std::string& t = Text();
  int i = 0;
  while (i < at) {
    const bool pair = platform::IsLeadByte(t[i]) && i + 1 < static_cast<int>(t.size());
    const int next = i + (pair ? 2 : 1);
    if (next > at) return i;
    i = next;
  }
  return i;
}
int TCustomEdit::NextChar(int at) const {
  const std::string& t = Text();
  if (at >= static_cast<int>(t.size())) return static_cast<int>(t.size());
  return at + ((platform::IsLeadByte(t[at]) && at + 1 < static_cast<int>(t.size())) ? 2 : 1);
}
int TCustomEdit::PrevChar(int at) const { return at <= 0 ? 0 : CharStart(at - 1); }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::Insert(const std::string& bytes) {
  std::string t = Text();
  const int a = SelStart(), n = SelLength();
  const int room = maxLength_ > 0 ? maxLength_ - (static_cast<int>(t.size()) - n) : 1 << 30;
  if (static_cast<int>(bytes.size()) > room) return;  // the typing limit
  t.replace(a, n, bytes);
  TControl::SetCaption(t);
  selStart_ = selEnd_ = a + static_cast<int>(bytes.size());
  modified_ = true;
  KeepCaretVisible();
}

int TCustomEdit::HitChar(int x) {
  canvas_.Font.Assign(Font);
  const std::string& t = Text();
  int best = 0;
  for (int i = 0; i <= static_cast<int>(t.size()); i = NextChar(i)) {
    const int w = canvas_.TextWidth(t.substr(0, i));
    if (formatRect_.Left + w - scroll_ <= x) best = i;
    if (i == static_cast<int>(t.size())) break;
  }
  return best;
}

void TCustomEdit::KeepCaretVisible() {
  canvas_.Font.Assign(Font);
  const int caret = canvas_.TextWidth(Text().substr(0, selEnd_));
  const int w = formatRect_.Width();
  if (caret - scroll_ > w - 1) scroll_ = caret - w + 1;
  if (caret < scroll_) scroll_ = caret;
  if (scroll_ < 0) scroll_ = 0;
  Invalidate();
}

void TCustomEdit::WndProc(TMessage& m) {
  const int len = static_cast<int>(Text().size());
  switch (m.Msg) {
    case kEmLimitText:
      maxLength_ = static_cast<int>(m.WParam);
      return;
    case kEmSetReadOnly:
      readOnly_ = m.WParam != 0;
      Invalidate();
      return;
    case kEmSetPasswordChar:
      passwordChar_ = static_cast<char>(m.WParam);
      Invalidate();
      return;
    case kEmGetModify:
      m.Result = modified_;
      return;
    case kEmSetModify:
      modified_ = m.WParam != 0;
      return;
    case kEmGetSel:
      if (m.WParam) *reinterpret_cast<uint32_t*>(m.WParam) = SelStart();
      if (m.LParam) *reinterpret_cast<uint32_t*>(m.LParam) = SelStart() + SelLength();
      m.Result = SelStart() | ((SelStart() + SelLength()) << 16);
      return;
    case kEmSetSel: {
      int a = static_cast<int>(m.WParam), b = static_cast<int>(m.LParam);
      if (a < 0) {
        selStart_ = selEnd_;
      } else {
        if (b < 0 || b > len) b = len;
        a = std::min(a, len);
        selStart_ = CharStart(a);
        selEnd_ = CharStart(b);
      }
      Invalidate();
      return;
    }
    case kEmScrollCaret:
      KeepCaretVisible();
      return;
    case kEmSetRect:
      if (m.LParam) {
        formatRect_ = *reinterpret_cast<const TRect*>(m.LParam);
        formatRectSet_ = true;
        Invalidate();
      }
      return;
    case kEmGetRect:
      if (m.LParam) *reinterpret_cast<TRect*>(m.LParam) = formatRect_;
      return;
    case kWmSetText:
      if (m.LParam) SetText(reinterpret_cast<const char*>(m.LParam));
      m.Result = 1;
      return;
    case kCmTextChanged:
      Invalidate();
      Change();
      return;
    case kWmLButtonDown:
    case kWmLButtonDblClk:
      if (CanFocus() && !Focused()) SetFocus();
      if (m.Msg == kWmLButtonDblClk) {
        selStart_ = 0;
        selEnd_ = len;
      } else {
        selStart_ = selEnd_ = HitChar(UnpackPoint(m.LParam).X);
      }
      Invalidate();
      break;
    case kWmMouseMove:
      if (MouseCapture()) {
        selEnd_ = HitChar(UnpackPoint(m.LParam).X);
        KeepCaretVisible();
      }
      break;
    case kWmKeyDown: {
      TWinControl::WndProc(m);
      if (m.Result) return;  // the key was taken by OnKeyDown
      const bool shift = m.LParam & ssShift;
      int caret = selEnd_;
      switch (m.WParam) {
        case kVkLeft:
          caret = PrevChar(caret);
          break;
        case kVkRight:
          caret = NextChar(caret);
          break;
        case kVkHome:
          caret = 0;
          break;
        case kVkEnd:
          caret = len;
          break;
        case kVkDelete:
          if (!readOnly_) {
            if (SelLength() == 0) selEnd_ = NextChar(selEnd_);
            if (SelLength() > 0) Insert("");
          }
          return;
        default:
          return;
      }
      selEnd_ = caret;
      if (!shift) selStart_ = caret;
      KeepCaretVisible();
      return;
    }
    case kWmChar: {
      TWinControl::WndProc(m);
      const char c = static_cast<char>(m.Result);
      if (c == 0 || readOnly_) return;
      if (pendingLead_) {
        const std::string pair{pendingLead_, c};
        pendingLead_ = 0;
        Insert(pair);
        return;
      }
      if (platform::IsLeadByte(c)) {
        pendingLead_ = c;
        return;
      }
      if (c == '\b') {
        if (SelLength() == 0) selStart_ = PrevChar(selEnd_);
        if (SelLength() > 0) Insert("");
        return;
      }
      if (c == 1) {  // Ctrl+A
        SelectAll();
        return;
      }
      if (static_cast<uint8_t>(c) < 0x20) return;
      Insert(std::string(1, c));  // the text's change notification reports it
      return;
    }
    default:
      break;
  }
  TWinControl::WndProc(m);
}

void TCustomEdit::PaintSelf(TSurface* target, TPoint origin, const TRect& clip) {
  TCanvas& c = canvas_;
  c.Attach(target, origin, clip);
  c.Brush.Style = bsSolid;
  c.Brush.Color = Color();
  c.FillRect(ClientRect());
  c.Font.Assign(Font);
  if (!Enabled()) c.Font.Color = clGrayText;
  std::string shown = Text();
  if (passwordChar_) shown.assign(shown.size(), passwordChar_);
  c.SaveDC();
  c.IntersectClipRect(formatRect_);
  const int x = formatRect_.Left - scroll_;
  const int y = formatRect_.Top;
  const int a = SelStart(), n = SelLength();
  c.Brush.Style = bsClear;
  if (Focused() && n > 0) {
    c.TextOut(x, y, shown.substr(0, a));
    const int sx = x + c.TextWidth(shown.substr(0, a));
    c.Brush.Style = bsSolid;
    c.Brush.Color = clHighlight;
    const TColor saved = c.Font.Color;
    c.Font.Color = clHighlightText;
    c.TextOut(sx, y, shown.substr(a, n));
    c.Font.Color = saved;
    c.Brush.Style = bsClear;
    c.TextOut(sx + c.TextWidth(shown.substr(a, n)), y, shown.substr(a + n));
  } else {
    c.TextOut(x, y, shown);
  }
  if (Focused() && !readOnly_) {
    const int cx = x + c.TextWidth(shown.substr(0, selEnd_));
    const int h = c.TextHeight("Ag");
    c.Pen.Color = Font.Color;
    c.Pen.Style = psSolid;
    c.MoveTo(cx, y);
    c.LineTo(cx, y + h);
  }
  c.RestoreDC();
}

bool TCustomEdit::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  bool b = false;
  if (name == "MaxLength" && v.AsInt(&i)) return SetMaxLength(i), true;
  if (name == "ReadOnly" && v.AsBool(&b)) return SetReadOnly(b), true;
  return TWinControl::SetProperty(name, v);
}

// ---- Classes of the definitions ------------------------------------------------------------
// Registered when the program starts; the framework's message box uses the label and the
// button, so every program with an application object links them.
namespace {
[[maybe_unused]] const bool kRegistered = [] {
  RegisterControlClass("TLabel", [](TComponent* o) -> TControl* { return new TLabel(o); });
  RegisterControlClass("TButton", [](TComponent* o) -> TControl* { return new TButton(o); });
  RegisterControlClass("TCustomEdit",
                       [](TComponent* o) -> TControl* { return new TCustomEdit(o); });
  return true;
}();
}  // namespace

}  // namespace ui
