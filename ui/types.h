// Basic types of the window framework: geometry, colours, messages, input codes.
//
// Names that <windows.h> defines as macros (WM_PAINT, DT_CENTER, VK_TAB ...) are spelt
// kWmPaint, kDtCenter, kVkTab here so that the Win32 host can include both.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/objects.h"

namespace ui {

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const TSize&) const = default;
};

// Right and bottom are exclusive, as everywhere in the framework.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Left >= Right || Top >= Bottom; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  TRect Intersect(const TRect& o) const {
    TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right),
            std::min(Bottom, o.Bottom)};
    if (r.IsEmpty()) return {};
    return r;
  }
  // Bounding box; an empty rectangle adds nothing.
  TRect Union(const TRect& o) const {
    if (IsEmpty()) return o;
    if (o.IsEmpty()) return *this;
    return {std::min(Left, o.Left), std::min(Top, o.Top), std::max(Right, o.Right),
            std::max(Bottom, o.Bottom)};
  }
  bool operator==(const TRect&) const = default;
};

inline TRect Rect(int l, int t, int r, int b) { return {l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return {l, t, l + w, t + h}; }

// ---- Colours ---------------------------------------------------------------------------
// 0x00BBGGRR; high byte 0xFF: a system colour whose index is the low byte.
using TColor = uint32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clBackground = 0xFF000001;  // desktop
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clGrayText = 0xFF000011;
inline constexpr TColor clBtnText = 0xFF000012;
inline constexpr TColor clHighlight = 0xFF00000D;
inline constexpr TColor clHighlightText = 0xFF00000E;
inline constexpr TColor clNone = 0x1FFFFFFF;

// A system colour becomes its RGB value (the running system's on Windows, fixed defaults
// elsewhere); other values keep their low three bytes.
TColor ColorToRGB(TColor color);
inline TColor RgbColor(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
inline uint8_t RedOf(TColor c) { return c & 0xFF; }
inline uint8_t GreenOf(TColor c) { return (c >> 8) & 0xFF; }
inline uint8_t BlueOf(TColor c) { return (c >> 16) & 0xFF; }

// ---- Messages ----------------------------------------------------------------------------
struct TMessage {
  uint32_t Msg = 0;
  intptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

// Window messages (the Windows numbers).
inline constexpr uint32_t kWmSize = 0x0005;
inline constexpr uint32_t kWmSetFocus = 0x0007;
inline constexpr uint32_t kWmKillFocus = 0x0008;
inline constexpr uint32_t kWmEnable = 0x000A;
inline constexpr uint32_t kWmSetText = 0x000C;
inline constexpr uint32_t kWmGetText = 0x000D;
inline constexpr uint32_t kWmGetTextLength = 0x000E;
inline constexpr uint32_t kWmPaint = 0x000F;
inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmContextMenu = 0x007B;
inline constexpr uint32_t kWmKeyDown = 0x0100;
inline constexpr uint32_t kWmKeyUp = 0x0101;
inline constexpr uint32_t kWmChar = 0x0102;
inline constexpr uint32_t kWmSysKeyDown = 0x0104;
inline constexpr uint32_t kWmSysChar = 0x0106;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uint32_t kWmMouseMove = 0x0200;
inline constexpr uint32_t kWmLButtonDown = 0x0201;
inline constexpr uint32_t kWmLButtonUp = 0x0202;
inline constexpr uint32_t kWmLButtonDblClk = 0x0203;
inline constexpr uint32_t kWmRButtonDown = 0x0204;
inline constexpr uint32_t kWmRButtonUp = 0x0205;
inline constexpr uint32_t kWmRButtonDblClk = 0x0206;
inline constexpr uint32_t kWmMButtonDown = 0x0207;
inline constexpr uint32_t kWmMButtonUp = 0x0208;
inline constexpr uint32_t kWmMButtonDblClk = 0x0209;
// Edit window messages.
inline constexpr uint32_t kEmGetSel = 0x00B0;
inline constexpr uint32_t kEmSetSel = 0x00B1;
inline constexpr uint32_t kEmGetRect = 0x00B2;
inline constexpr uint32_t kEmSetRect = 0x00B3;
inline constexpr uint32_t kEmScrollCaret = 0x00B7;
inline constexpr uint32_t kEmGetModify = 0x00B8;
inline constexpr uint32_t kEmSetModify = 0x00B9;
inline constexpr uint32_t kEmSetPasswordChar = 0x00CC;
inline constexpr uint32_t kEmSetReadOnly = 0x00CF;
inline constexpr uint32_t kEmLimitText = 0x00C5;
inline constexpr uint32_t kEnChange = 0x0300;
// The framework's own notifications.
inline constexpr uint32_t kCmBase = 0xB000;
inline constexpr uint32_t kCmMouseEnter = kCmBase + 1;
inline constexpr uint32_t kCmMouseLeave = kCmBase + 2;
inline constexpr uint32_t kCmEnabledChanged = kCmBase + 3;
inline constexpr uint32_t kCmVisibleChanged = kCmBase + 4;
inline constexpr uint32_t kCmDialogChar = kCmBase + 5;  // WParam: the character
inline constexpr uint32_t kCmDialogKey = kCmBase + 6;   // WParam: the key
inline constexpr uint32_t kCmTextChanged = kCmBase + 7;
inline constexpr uint32_t kCmFontChanged = kCmBase + 8;
inline constexpr uint32_t kCmColorChanged = kCmBase + 9;
inline constexpr uint32_t kCmEnter = kCmBase + 10;
inline constexpr uint32_t kCmExit = kCmBase + 11;
inline constexpr uint32_t kCmChanged = kCmBase + 12;
inline constexpr uint32_t kCmCommand = kCmBase + 13;  // a child's notification (EN_CHANGE)

// WM_SYSCOMMAND values.
inline constexpr uint32_t kScMove = 0xF010;
inline constexpr uint32_t kScClose = 0xF060;
inline constexpr uint32_t kHtCaption = 2;

// ---- Input ---------------------------------------------------------------------------------
enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = uint32_t;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;
inline constexpr TShiftState ssRight = 0x10;
inline constexpr TShiftState ssMiddle = 0x20;
inline constexpr TShiftState ssDouble = 0x40;

// Virtual key codes (the Windows numbers).
inline constexpr int kVkBack = 8;
inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;
inline constexpr int kVkMenu = 18;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkSpace = 32;
inline constexpr int kVkEnd = 35;
inline constexpr int kVkHome = 36;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkDelete = 46;

// Cursors.
using TCursor = int;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

// ---- Enumerations of the controls --------------------------------------------------------
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using TAnchors = uint32_t;
inline constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// DrawTextA flags.
inline constexpr uint32_t kDtLeft = 0x0000;
inline constexpr uint32_t kDtCenter = 0x0001;
inline constexpr uint32_t kDtRight = 0x0002;
inline constexpr uint32_t kDtVCenter = 0x0004;
inline constexpr uint32_t kDtBottom = 0x0008;
inline constexpr uint32_t kDtWordBreak = 0x0010;
inline constexpr uint32_t kDtSingleLine = 0x0020;
inline constexpr uint32_t kDtNoClip = 0x0100;
inline constexpr uint32_t kDtCalcRect = 0x0400;
inline constexpr uint32_t kDtNoPrefix = 0x0800;

using platform::TObject;

// Events: optional callbacks; the first argument is the component that raises them.
using TNotifyEvent = std::function<void(TObject* sender)>;
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, int& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

}  // namespace ui
