#include "controls/f_PimImageButton.h"

#include <cmath>
#include <exception>

#include "platform/system.h"
#include "ui/definition.h"

using namespace ui;

// ---- TPNGImageButton ---------------------------------------------------------------------------
TPNGImageButton::TPNGImageButton(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle = (ControlStyle | csCaptureMouse | csReplicatable) & ~csOpaque;
  AutoSize = true;
  pngOver_ = NewImage();
  pngDown_ = NewImage();
  pngUp_ = NewImage();
  pngImg_ = NewImage();
  pngDisabled_ = NewImage();
  icon_ = std::make_unique<TPicture>();
  icon_->OnChange = [this](TObject*) { Invalidate(); };
  popupArrow_ = std::make_unique<TPicture>();
  popupArrow_->OnChange = [this](TObject*) { Invalidate(); };
  current_ = nullptr;
  SetBounds(Left(), Top(), 50, 50);
  Canvas().Brush.Color = clBtnFace;
  ShowHint = false;
}

std::unique_ptr<TPngImage> TPNGImageButton::NewImage() {
  auto image = std::make_unique<TPngImage>();
  image->OnChange = [this](TGraphic* g) { PictureChanged(static_cast<TPngImage*>(g)); };
  return image;
}

TPNGImageButton::~TPNGImageButton() {
  current_ = nullptr;
  try {
    pngOver_.reset();
    pngDown_.reset();
    pngUp_.reset();
    pngImg_.reset();
    pngDisabled_.reset();
    icon_.reset();
    popupArrow_.reset();
  } catch (const std::exception& e) {
    platform::OutputDebugStringA(std::string("[TPNGImageButton.Destroy]") + e.what());
  }
}

void TPNGImageButton::PictureChanged(TPngImage* image) {
  if ((image->Empty() || image->Width() <= 0) && image == current_) {
    current_ = nullptr;
  } else if (AutoSize) {
    if (image->Width() > Width() || image == pngImg_.get()) SetWidth(image->Width());
    if (image->Height() > Height() || image == pngImg_.get()) SetHeight(image->Height());
  }
  Invalidate();
  if (OnPictureChange) OnPictureChange(this);
}

void TPNGImageButton::SetPngOver(const TPngImage* image) {
  pngOver_->Assign(image);
  Invalidate();
}
void TPNGImageButton::SetPngDown(const TPngImage* image) {
  pngDown_->Assign(image);
  Invalidate();
}
void TPNGImageButton::SetPngUp(const TPngImage* image) {
  pngUp_->Assign(image);
  Invalidate();
}
void TPNGImageButton::SetPngDisabled(const TPngImage* image) {
  pngDisabled_->Assign(image);
  Invalidate();
}
void TPNGImageButton::SetPngImg(const TPngImage* image) {
  pngImg_->Assign(image);
  if (AutoSize && image) SetBounds(Left(), Top(), image->Width(), image->Height());
  Invalidate();
}

void TPNGImageButton::SetStretch(bool v) {
  if (v == stretch_) return;
  stretch_ = v;
  Invalidate();
}
void TPNGImageButton::SetTile(bool v) {
  if (v == tile_) return;
  tile_ = v;
  Invalidate();
}
void TPNGImageButton::SetInt(int* field, int v) {
  if (v == *field) return;
  *field = v;
  Invalidate();
}
void TPNGImageButton::SetFixedHeight(int v) { SetInt(&fixedHeight_, std::max(v, 0)); }
void TPNGImageButton::SetFixedWidth(int v) { SetInt(&fixedWidth_, std::max(v, 0)); }
void TPNGImageButton::SetIconOffsetX(int v) { SetInt(&iconOffsetX_, v); }
void TPNGImageButton::SetIconOffsetY(int v) { SetInt(&iconOffsetY_, v); }
void TPNGImageButton::SetPopupArrowOffsetX(int v) { SetInt(&popupArrowOffsetX_, v); }
void TPNGImageButton::SetPopupArrowOffsetY(int v) { SetInt(&popupArrowOffsetY_, v); }

void TPNGImageButton::SetPopupMenu(TPopupMenu* menu) {
  TGraphicControl::SetPopupMenu(menu);
  if (menu) Invalidate();
}

void TPNGImageButton::SetFocusControl(TControl* c) {
  focusControl_ = c;
  if (c) c->FreeNotification(this);
}

void TPNGImageButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TPNGImageButton::SetParent(TWinControl* parent) {
  TGraphicControl::SetParent(parent);
  if (parent) parent->DoubleBuffered = true;
}

void TPNGImageButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case kCmMouseEnter:
      MouseEnter();
      return;
    case kCmMouseLeave:
      MouseLeave();
      return;
    case kCmEnabledChanged:
      TGraphicControl::WndProc(m);
      EnabledChanged();
      return;
    default:
      TGraphicControl::WndProc(m);
  }
}

void TPNGImageButton::MouseEnter() {
  if (!Enabled()) return;
  if (IsDesigning()) {
    if (Usable(pngOver_.get()) && current_ != pngOver_.get()) {
      current_ = pngOver_.get();
      Invalidate();
    }
  } else if (!pngOver_->Empty()) {
    current_ = pngOver_.get();
    Invalidate();
  }
  if (OnMouseEnter) OnMouseEnter(this);
}

void TPNGImageButton::MouseLeave() {
  if (!Enabled()) return;
  if (pngImg_->Width() > 0 && current_ != pngImg_.get()) {
    current_ = pngImg_.get();
    Invalidate();
  }
  if (OnMouseLeave) OnMouseLeave(this);
}

void TPNGImageButton::ShowNormalImage() {
  if (pngImg_->Width() > 0 && current_ != pngImg_.get()) {
    current_ = pngImg_.get();
    Invalidate();
  }
}

void TPNGImageButton::EnabledChanged() {
  if (Enabled()) {
    if (Usable(pngImg_.get()) && current_ != pngImg_.get()) current_ = pngImg_.get();
  } else {
    if (pngDisabled_->Empty() || pngDisabled_->Width() < 1) MakeDisabledImage();
    current_ = pngDisabled_.get();
  }
  Invalidate();
  Repaint();
}

void TPNGImageButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != mbLeft || !Enabled()) return;
  if (!pngDown_->Empty() && current_ != pngDown_.get() && Enabled()) {
    current_ = pngDown_.get();
    Invalidate();
  }
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TPNGImageButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (!Enabled() || button != mbLeft) return;
  for (TPngImage* image : {pngUp_.get(), pngOver_.get(), pngImg_.get()})
    if (Usable(image) && image != current_) {
      current_ = image;
      Invalidate();
      break;
    }
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TPNGImageButton::Click() {
  if (Enabled() && OnClick) OnClick(this);
}

void TPNGImageButton::DblClick() {
  if (Enabled() && OnDblClick) OnDblClick(this);
}

void TPNGImageButton::MakeDisabledImage() {
  pngDisabled_->Assign(pngImg_.get());
  pngDisabled_->CreateAlpha();
  if (pngDisabled_->ColorType() == ctPalette) return;
  for (int y = 0; y < pngDisabled_->Height(); ++y) {
    uint8_t* alpha = pngDisabled_->AlphaScanline(y);
    if (!alpha) continue;
    for (int x = 0; x < pngDisabled_->Width(); ++x) alpha[x] = alpha[x] / 3;
  }
  pngDisabled_->Modified();
}

void TPNGImageButton::CopyScaledRegion(const TPngImage* src, const TRect& srcRect, TPngImage* dst,
                                       const TRect& dstRect) {
  if (!dst || !src || srcRect.IsEmpty() || dstRect.IsEmpty()) return;
  if (src->Width() <= 0 || src->Height() <= 0) return;
  const double fy = static_cast<double>(srcRect.Height()) / dstRect.Height();
  const double fx = static_cast<double>(srcRect.Width()) / dstRect.Width();
  const bool srcRgb = src->ColorType() == ctRGB || src->ColorType() == ctRGBAlpha;
  const bool dstRgb = dst->ColorType() == ctRGB || dst->ColorType() == ctRGBAlpha;
  if (!dstRgb) return;  // only the blank RGBA images of the slicing are written
  for (int y = std::max(dstRect.Top, 0); y < dstRect.Bottom && y < dst->Height(); ++y) {
    const int sy = srcRect.Top + static_cast<int>(std::nearbyint((y - dstRect.Top) * fy));
    if (sy < 0 || sy >= src->Height()) continue;
    uint8_t* to = dst->Scanline(y);
    uint8_t* toAlpha = dst->AlphaScanline(y);
    const uint8_t* from = src->Scanline(sy);
    for (int x = std::max(dstRect.Left, 0); x < dstRect.Right && x < dst->Width(); ++x) {
      const int sx = srcRect.Left + static_cast<int>(std::nearbyint((x - dstRect.Left) * fx));
      if (sx < 0 || sx >= src->Width()) continue;
      if (srcRgb) {
        to[x * 3] = from[sx * 3];
        to[x * 3 + 1] = from[sx * 3 + 1];
        to[x * 3 + 2] = from[sx * 3 + 2];
      } else {
        // Grey and palette sources have one byte per pixel: resolve the colour instead
        // of reading three bytes.
        const TColor c = src->PixelColor(sx, sy);
        to[x * 3] = BlueOf(c);
        to[x * 3 + 1] = GreenOf(c);
        to[x * 3 + 2] = RedOf(c);
      }
      if (toAlpha)
        toAlpha[x] = static_cast<uint8_t>(src->HasAlpha() ? src->PixelAlpha(sx, sy) : 255);
    }
  }
}

void TPNGImageButton::Paint() {
  if (painting_) return;
  painting_ = true;
  struct Clear {
    bool* flag;
    ~Clear() { *flag = false; }
  } clear{&painting_};

  if (!current_ || current_->Width() <= 0) current_ = pngImg_.get();
  const TPngImage* g =
      Enabled() ? current_ : (pngDisabled_->Width() != 0 ? pngDisabled_.get() : current_);
  TCanvas& canvas = Canvas();
  const int w = Width(), h = Height();
  if (g->Empty()) {
    canvas.Pen.Style = psDash;
    canvas.Pen.Color = clBlack;
    canvas.Brush.Style = bsClear;
    canvas.Rectangle({0, 0, w, h});
    canvas.Brush.Style = bsSolid;
    return;
  }
  TRect r{0, 0, w, h};
  if (!stretch_) {
    r.Left = std::max(w + 1 - g->Width(), 0) / 2;
    r.Top = std::max(h + 1 - g->Height(), 0) / 2;
    r.Right = std::min(r.Left + g->Width(), w);
    r.Bottom = std::min(r.Top + g->Height(), h);
  }
  TBitmap b(w, h);
  b.Canvas().CopyRect({0, 0, w, h}, canvas, {0, 0, w, h});
  if (tile_) {
    std::unique_ptr<TBitmap> pattern = g->ToBitmap();
    b.Canvas().Brush.Pattern = pattern->SharedSurface();
    b.Canvas().FillRect({0, 0, w, h});
    b.Canvas().Brush.Pattern.reset();
  } else if (stretch_) {
    TPngImage t1, t2;
    const TPngImage* src = g;
    const int rh = r.Height(), rw = r.Width();
    if (fixedHeight_ > 0 && 2 * fixedHeight_ < rh) {
      const int fh = fixedHeight_, gh = src->Height(), gw = src->Width();
      t1.CreateBlank(ctRGBAlpha, 8, gw, rh);
      CopyScaledRegion(src, {0, 0, gw, fh}, &t1, {0, 0, gw, fh});
      CopyScaledRegion(src, {0, fh, gw, gh - fh}, &t1, {0, fh, gw, rh - fh});
      CopyScaledRegion(src, {0, gh - fh, gw, gh}, &t1, {0, rh - fh, gw, rh});
      src = &t1;
    }
    if (fixedWidth_ > 0 && 2 * fixedWidth_ < rw) {
      const int fw = fixedWidth_, gh = src->Height(), gw = src->Width();
      t2.CreateBlank(ctRGBAlpha, 8, rw, gh);
      CopyScaledRegion(src, {0, 0, fw, gh}, &t2, {0, 0, fw, gh});
      CopyScaledRegion(src, {fw, 0, gw - fw, gh}, &t2, {fw, 0, rw - fw, gh});
      CopyScaledRegion(src, {gw - fw, 0, gw, gh}, &t2, {rw - fw, 0, rw, gh});
      src = &t2;
    }
    src->Draw(b.Canvas(), r);
  } else {
    g->Draw(b.Canvas(), r);
  }
  if (Enabled() && PopupMenu() && !popupArrow_->Empty()) {
    const TGraphic& a = *popupArrow_->Graphic();
    b.Canvas().Draw(w - a.Width() - 5 + popupArrowOffsetX_,
                    (h - a.Height()) / 2 + popupArrowOffsetY_, a);
  }
  if (!icon_->Empty()) {
    const TGraphic& i = *icon_->Graphic();
    b.Canvas().Draw((w - i.Width()) / 2 + iconOffsetX_, (h - i.Height()) / 2 + iconOffsetY_, i);
  }
  if (IsDesigning()) {
    b.Canvas().Pen.Style = psDash;
    b.Canvas().Pen.Color = clBlack;
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().Rectangle({0, 0, w, h});
  }
  canvas.Draw(0, 0, b);
}

namespace {

bool ReadImage(const TPropertyValue& v, TPngImage* image) {
  if (v.kind != TPropertyValue::kResource || !v.bytes) return false;
  image->LoadFromBytes(*v.bytes);  // an image that does not decode stays empty
  return true;
}

}  // namespace

bool TPNGImageButton::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  bool b = false;
  TPngImage image;
  if (name == "PngImg") return ReadImage(v, &image) && (SetPngImg(&image), true);
  if (name == "PngOver") return ReadImage(v, &image) && (SetPngOver(&image), true);
  if (name == "PngDown") return ReadImage(v, &image) && (SetPngDown(&image), true);
  if (name == "PngUp") return ReadImage(v, &image) && (SetPngUp(&image), true);
  if (name == "PngDisabled") return ReadImage(v, &image) && (SetPngDisabled(&image), true);
  if (name == "Icon" && v.kind == TPropertyValue::kResource && v.bytes) {
    TPicture p;
    p.LoadFromBytes(*v.bytes);
    SetIcon(&p);
    return true;
  }
  if (name == "PopupArrow" && v.kind == TPropertyValue::kResource && v.bytes) {
    TPicture p;
    p.LoadFromBytes(*v.bytes);
    SetPopupArrow(&p);
    return true;
  }
  if (name == "AutoSize" && v.AsBool(&b)) return AutoSize = b, true;
  if (name == "Stretch" && v.AsBool(&b)) return SetStretch(b), true;
  if (name == "Tile" && v.AsBool(&b)) return SetTile(b), true;
  if (name == "FixedHeight" && v.AsInt(&i)) return SetFixedHeight(i), true;
  if (name == "FixedWidth" && v.AsInt(&i)) return SetFixedWidth(i), true;
  if (name == "IconOffsetX" && v.AsInt(&i)) return SetIconOffsetX(i), true;
  if (name == "IconOffsetY" && v.AsInt(&i)) return SetIconOffsetY(i), true;
  if (name == "PopupArrowOffsetX" && v.AsInt(&i)) return SetPopupArrowOffsetX(i), true;
  if (name == "PopupArrowOffsetY" && v.AsInt(&i)) return SetPopupArrowOffsetY(i), true;
  return TGraphicControl::SetProperty(name, v);
}

// ---- TPNGImageButtonEx
// -----------------------------------------------------------------------------
TPNGImageButtonEx::TPNGImageButtonEx(TComponent* owner) : TPNGImageButton(owner) {
  GroupIndex = 0;
  down_ = false;
  alignment_ = taCenter;
  captionOffsetX_ = captionOffsetY_ = 0;
  fontSpace_ = 0;
}

void TPNGImageButtonEx::SetDown(bool v) {
  if (v == down_) return;
  down_ = v;
  Invalidate();
  if (GroupIndex != 0 && down_) ReleaseGroupMembers();
}

void TPNGImageButtonEx::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}
void TPNGImageButtonEx::SetCaptionOffsetX(int v) {
  if (v == captionOffsetX_) return;
  captionOffsetX_ = v;
  Invalidate();
}
void TPNGImageButtonEx::SetCaptionOffsetY(int v) {
  if (v == captionOffsetY_) return;
  captionOffsetY_ = v;
  Invalidate();
}
void TPNGImageButtonEx::SetFontSpace(int v) {
  if (v == fontSpace_) return;
  fontSpace_ = v;
  Invalidate();
}

void TPNGImageButtonEx::ReleaseGroupMembers() {
  if (!Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    auto* other = dynamic_cast<TPNGImageButtonEx*>(Parent()->Controls(i));
    if (other && other != this && other->GroupIndex == GroupIndex && GroupIndex != 0 && down_) {
      other->SetDown(false);
      other->ShowNormalImage();
    }
  }
}

void TPNGImageButtonEx::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TPNGImageButton::MouseDown(button, shift, x, y);
  if (button == mbLeft && Enabled() && Usable(PngDown()) && GroupIndex != 0 && !down_) {
    down_ = true;
    Invalidate();
    ReleaseGroupMembers();
  }
}

void TPNGImageButtonEx::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (down_) return;
  TPNGImageButton::MouseUp(button, shift, x, y);
}

void TPNGImageButtonEx::MouseEnter() {
  if (!Enabled()) return;
  if (!(down_ && GroupIndex != 0) && Usable(PngOver()) && CurrentImage() != PngOver()) {
    SetCurrent(PngOver());
    Invalidate();
  }
  if (OnMouseEnter) OnMouseEnter(this);
}

void TPNGImageButtonEx::MouseLeave() {
  if (!Enabled()) return;
  if (!(down_ && GroupIndex != 0) && Usable(PngImg()) && CurrentImage() != PngImg()) {
    SetCurrent(PngImg());
    Invalidate();
  }
  if (OnMouseLeave) OnMouseLeave(this);
}

void TPNGImageButtonEx::Paint() {
  TCanvas& c = Canvas();
  c.Font.Assign(Font);
  TPNGImageButton::Paint();
  if (Caption().empty()) return;
  const TSize e = c.TextExtent(Caption());
  int x = alignment_ == taLeftJustify    ? 2
          : alignment_ == taRightJustify ? Width() - e.cx - 2
                                         : (Width() - e.cx) / 2;
  int y = (Height() - e.cy) / 2;
  if (!Enabled()) c.Font.Color = clGrayText;
  c.Brush.Style = bsClear;
  x += captionOffsetX_;
  y += captionOffsetY_;
  c.TextRect(ClientRect(), x, y, Caption());
}

bool TPNGImageButtonEx::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  bool b = false;
  if (name == "GroupIndex" && v.AsInt(&i)) return GroupIndex = i, true;
  if (name == "Down" && v.AsBool(&b)) return SetDown(b), true;
  if (name == "CaptionOffsetX" && v.AsInt(&i)) return SetCaptionOffsetX(i), true;
  if (name == "CaptionOffsetY" && v.AsInt(&i)) return SetCaptionOffsetY(i), true;
  if (name == "FontSpace" && v.AsInt(&i)) return SetFontSpace(i), true;
  if (name == "Alignment" && v.kind == TPropertyValue::kIdent) {
    if (v.text == "taLeftJustify")
      SetAlignment(taLeftJustify);
    else if (v.text == "taRightJustify")
      SetAlignment(taRightJustify);
    else if (v.text == "taCenter")
      SetAlignment(taCenter);
    else
      return false;
    return true;
  }
  return TPNGImageButton::SetProperty(name, v);
}

void RegisterPimImageButtonClasses() {
  RegisterControlClass("TPNGImageButton", [](TComponent* o) { return new TPNGImageButton(o); });
  RegisterControlClass("TPNGImageButtonEx", [](TComponent* o) { return new TPNGImageButtonEx(o); });
}
