// The push button of the installer window: a windowed control that takes the focus,
// paints a flat face with rounded corners from a fixed palette, shows a caption, reacts
// to the left button and to Enter and Space, and can form radio groups.
//
// Its picture comes from the painter (SpeedButtonPainter.h): the palette of its kind and
// state, the corner patterns, the caption one pixel right and down while pressed. Glyph
// properties, popup menus, skins and colour presets come with the complete button.
#pragma once

#include <string>

#include "controls/SpeedButtonPainter.h"
#include "ui/controls.h"

enum TVexSpeedButtonSize { bsCustom, bsSmall, bsMedium, bsLarge };

class TVexSpeedButton : public ui::TCustomControl {
 public:
  explicit TVexSpeedButton(ui::TComponent* owner);

  bool Down() const { return down_; }
  void SetDown(bool v);
  int GroupIndex = 0;
  bool AllowAllUp = false;
  TVexSpeedButtonStyle Style = bsModern;
  TModalButtonKind ButtonKind = mbkNormal;
  TVexSpeedButtonSize ButtonSize() const { return buttonSize_; }
  void SetButtonSize(TVexSpeedButtonSize size);
  bool Transparent = false;
  // Stored; the picture comes from the palette of the kind.
  ui::TColor ColorWhenDown = 0xDB7435;
  ui::TColor HotTrackColor = 0xF48542;
  ui::TColor DisableFontColor = 0x878787;
  bool MouseInside() const { return mouseInside_; }
  ui::TNotifyEvent OnMouseExit;  // OnMouseEnter is the base control's

  // Repaints at once (invalidates when transparent).
  void RefreshButton();
  void Click() override;
  void WndProc(ui::TMessage& m) override;
  bool SetProperty(const std::string& name, const ui::TPropertyValue& value) override;

 protected:
  void Paint() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;

 private:
  bool down_ = false;
  bool mouseInside_ = false;
  TVexSpeedButtonSize buttonSize_ = bsCustom;
};

void RegisterVexSpeedButtonClasses();
