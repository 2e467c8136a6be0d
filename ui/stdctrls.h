// The framework's standard controls: the text label, the push button of the message
// boxes and the edit window class ("EDIT") on which the edit controls are built.
#pragma once

#include <string>

#include "ui/controls.h"

namespace ui {

// A windowless text label. Transparent: no background, the text drawn over what lies
// beneath. The caption's "&x" underlines x unless ShowAccelChar is off.
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AutoSize = true;
  bool ShowAccelChar = true;
  bool WordWrap = false;
  TAlignment Alignment = taLeftJustify;
  void WndProc(TMessage& m) override;
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;
  void Loaded() override;

 protected:
  void Paint() override;

 private:
  void AdjustBounds();
  bool transparent_ = false;
};

// A push button: caption, focus, click by the left button and by Enter or Space while
// focused. A ModalResult other than mrNone closes a modal form with that result.
class TButton : public TCustomControl {
 public:
  explicit TButton(TComponent* owner);
  int ModalResult = mrNone;
  bool Default = false;
  bool Cancel = false;
  void WndProc(TMessage& m) override;
  void Click() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool down_ = false;
};

// The edit window class: one line of GBK text, a caret, a selection, a typing limit, a
// read-only switch, a password character and a formatting rectangle (EM_SETRECT).
// Setting the text (SetText, WM_SETTEXT) shows it whole whatever the typing limit says.
class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  void SetText(const std::string& text) override;
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v) { Perform(kEmLimitText, v); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { Perform(kEmSetReadOnly, v); }
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c) { Perform(kEmSetPasswordChar, static_cast<uint8_t>(c)); }
  bool Modified() const { return modified_; }
  void SetModified(bool v) { modified_ = v; }
  int SelStart() const { return std::min(selStart_, selEnd_); }
  int SelLength() const { return std::abs(selEnd_ - selStart_); }
  void SetSel(int start, int end) { Perform(kEmSetSel, start, end); }
  void SelectAll() { SetSel(0, -1); }
  std::string SelText() const { return Text().substr(SelStart(), SelLength()); }
  // The text area inside the control (client coordinates).
  TRect FormatRect() const { return formatRect_; }
  TNotifyEvent OnChange;

  bool WantsChars() const override { return true; }
  void WndProc(TMessage& m) override;
  bool SetProperty(const std::string& name, const TPropertyValue& value) override;

 protected:
  virtual void Change();
  // Background, text, selection and caret (the edit window's own painting).
  void PaintSelf(TSurface* target, TPoint origin, const TRect& clip) override;
  TCanvas& EditCanvas() { return canvas_; }
  void Resized() override;

 private:
  void Insert(const std::string& bytes);
  int CharStart(int at) const;  // start of the character that holds byte at
  int NextChar(int at) const;
  int PrevChar(int at) const;
  int HitChar(int x);
  void KeepCaretVisible();
  TCanvas canvas_;
  int maxLength_ = 0;
  bool readOnly_ = false;
  char passwordChar_ = 0;
  bool modified_ = false;
  bool formatRectSet_ = false;
  int selStart_ = 0, selEnd_ = 0;  // selEnd_ is the caret
  int scroll_ = 0;
  char pendingLead_ = 0;
  TRect formatRect_;
};

}  // namespace ui
