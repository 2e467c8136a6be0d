// PNG image buttons: windowless controls that draw one of their PNG images (normal,
// hover, pressed, released, disabled) with its alpha over whatever their parent has
// painted beneath them. TPNGImageButtonEx adds a caption, a latched down state and groups
// in which one button at a time is down.
#pragma once

#include <memory>
#include <string>

#include "ui/controls.h"
#include "ui/png_image.h"

class TPNGImageButton : public ui::TGraphicControl {
 public:
  explicit TPNGImageButton(ui::TComponent* owner);
  ~TPNGImageButton() override;

  // Setters copy the given image into the owned one (null empties it) and repaint.
  ui::TPngImage* PngOver() const { return pngOver_.get(); }
  ui::TPngImage* PngDown() const { return pngDown_.get(); }
  ui::TPngImage* PngUp() const { return pngUp_.get(); }
  ui::TPngImage* PngImg() const { return pngImg_.get(); }
  ui::TPngImage* PngDisabled() const { return pngDisabled_.get(); }
  void SetPngOver(const ui::TPngImage* image);
  void SetPngDown(const ui::TPngImage* image);
  void SetPngUp(const ui::TPngImage* image);
  void SetPngDisabled(const ui::TPngImage* image);
  // Also sizes the control to the image under AutoSize.
  void SetPngImg(const ui::TPngImage* image);
  ui::TPngImage* CurrentImage() const { return current_; }

  ui::TPicture* Icon() const { return icon_.get(); }
  void SetIcon(const ui::TPicture* picture) { icon_->Assign(picture); }
  ui::TPicture* PopupArrow() const { return popupArrow_.get(); }
  void SetPopupArrow(const ui::TPicture* picture) { popupArrow_->Assign(picture); }

  bool AutoSize = true;
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool Tile() const { return tile_; }
  void SetTile(bool v);
  int FixedHeight() const { return fixedHeight_; }
  void SetFixedHeight(int v);  // negative values are stored as 0
  int FixedWidth() const { return fixedWidth_; }
  void SetFixedWidth(int v);
  int IconOffsetX() const { return iconOffsetX_; }
  void SetIconOffsetX(int v);
  int IconOffsetY() const { return iconOffsetY_; }
  void SetIconOffsetY(int v);
  int PopupArrowOffsetX() const { return popupArrowOffsetX_; }
  void SetPopupArrowOffsetX(int v);
  int PopupArrowOffsetY() const { return popupArrowOffsetY_; }
  void SetPopupArrowOffsetY(int v);
  void SetPopupMenu(ui::TPopupMenu* menu) override;
  ui::TControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(ui::TControl* c);

  // The control's own events; those of the base control of the same names never fire.
  ui::TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave, OnPictureChange;
  ui::TMouseEvent OnMouseDown, OnMouseUp;

  // Copies the pixels of srcRect of src onto dstRect of dst, scaled by nearest pixel.
  static void CopyScaledRegion(const ui::TPngImage* src, const ui::TRect& srcRect,
                               ui::TPngImage* dst, const ui::TRect& dstRect);
  // PngDisabled := PngImg at a third of its opacity (palette images unchanged).
  void MakeDisabledImage();

  void SetParent(ui::TWinControl* parent) override;
  void WndProc(ui::TMessage& m) override;
  void Notification(ui::TComponent* component, ui::TOperation operation) override;
  bool SetProperty(const std::string& name, const ui::TPropertyValue& value) override;

 protected:
  void Paint() override;
  void Click() override;
  void DblClick() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void EnabledChanged();
  static bool Usable(const ui::TPngImage* image) {
    return image && !image->Empty() && image->Width() > 0;
  }
  void SetCurrent(ui::TPngImage* image) { current_ = image; }
  void ShowNormalImage();

 private:
  void PictureChanged(ui::TPngImage* image);
  std::unique_ptr<ui::TPngImage> NewImage();
  void SetInt(int* field, int v);
  std::unique_ptr<ui::TPngImage> pngOver_, pngDown_, pngUp_, pngImg_;
  ui::TPngImage* current_ = nullptr;
  std::unique_ptr<ui::TPngImage> pngDisabled_;
  bool stretch_ = false;
  bool tile_ = false;
  ui::TControl* focusControl_ = nullptr;
  bool painting_ = false;
  int fixedHeight_ = 0;
  int fixedWidth_ = 0;
  std::unique_ptr<ui::TPicture> icon_;
  int iconOffsetX_ = 0, iconOffsetY_ = 0;
  int popupArrowOffsetY_ = 0, popupArrowOffsetX_ = 0;
  std::unique_ptr<ui::TPicture> popupArrow_;
  friend class TPNGImageButtonEx;
};

class TPNGImageButtonEx : public TPNGImageButton {
 public:
  explicit TPNGImageButtonEx(ui::TComponent* owner);

  int GroupIndex = 0;
  bool Down() const { return down_; }
  void SetDown(bool v);
  ui::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(ui::TAlignment v);
  int CaptionOffsetX() const { return captionOffsetX_; }
  void SetCaptionOffsetX(int v);
  int CaptionOffsetY() const { return captionOffsetY_; }
  void SetCaptionOffsetY(int v);
  // Stored with the control; drawing does not use it.
  int FontSpace() const { return fontSpace_; }
  void SetFontSpace(int v);
  bool SetProperty(const std::string& name, const ui::TPropertyValue& value) override;

 protected:
  void Paint() override;
  void MouseDown(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseUp(ui::TMouseButton button, ui::TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;

 private:
  void ReleaseGroupMembers();
  bool down_ = false;
  ui::TAlignment alignment_ = ui::taCenter;
  int captionOffsetX_ = 0, captionOffsetY_ = 0;
  int fontSpace_ = 0;
};

// Makes the classes of this module known to window definitions.
void RegisterPimImageButtonClasses();
