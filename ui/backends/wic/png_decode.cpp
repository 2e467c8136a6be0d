// PNG decoding on Windows through the Windows Imaging Component. The decoder's own pixel
// format tells the colour type: palette, grey and 24-bit colour are kept as such,
// everything with alpha (grey+alpha too) arrives as 8-bit RGBA.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstring>

#include "ui/png_image.h"

namespace ui {
namespace {

template <typename T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() { return p; }
};

IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* f = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(&f))))
      f = nullptr;
    return f;
  }();
  return factory;
}

bool Convert(IWICImagingFactory* f, IWICBitmapFrameDecode* frame, REFWICPixelFormatGUID to, UINT w,
             UINT h, UINT bpp, std::vector<uint8_t>* out) {
  Com<IWICFormatConverter> conv;
  if (FAILED(f->CreateFormatConverter(&conv))) return false;
  if (FAILED(conv->Initialize(frame, to, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom)))
    return false;
  const UINT stride = w * bpp;
  out->resize(static_cast<size_t>(stride) * h);
  return SUCCEEDED(conv->CopyPixels(nullptr, stride, static_cast<UINT>(out->size()), out->data()));
}

}  // namespace

bool DecodePng(const std::string& bytes, TPngPixels* out) {
  if (!IsPngSignature(bytes)) {
    out->error = "not a PNG image";
    return false;
  }
  IWICImagingFactory* f = Factory();
  if (!f) {
    out->error = "the imaging component is not available";
    return false;
  }
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  if (FAILED(f->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                          static_cast<DWORD>(bytes.size()))) ||
      FAILED(f->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                        &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame))) {
    out->error = "cannot decode";
    return false;
  }
  UINT w = 0, h = 0;
  WICPixelFormatGUID native;
  if (FAILED(frame->GetSize(&w, &h)) || FAILED(frame->GetPixelFormat(&native)) || w > 16384 ||
      h > 16384) {
    out->error = "cannot decode";
    return false;
  }
  TPngPixels px;
  px.width = static_cast<int>(w);
  px.height = static_cast<int>(h);
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> raw;
  bool ok = false;
  const bool indexed = IsEqualGUID(native, GUID_WICPixelFormat8bppIndexed) ||
                       IsEqualGUID(native, GUID_WICPixelFormat4bppIndexed) ||
                       IsEqualGUID(native, GUID_WICPixelFormat2bppIndexed) ||
                       IsEqualGUID(native, GUID_WICPixelFormat1bppIndexed);
  if (indexed) {
    UINT bits = IsEqualGUID(native, GUID_WICPixelFormat8bppIndexed)   ? 8
                : IsEqualGUID(native, GUID_WICPixelFormat4bppIndexed) ? 4
                : IsEqualGUID(native, GUID_WICPixelFormat2bppIndexed) ? 2
                                                                      : 1;
    const UINT stride = (w * bits + 7) / 8;
    raw.resize(static_cast<size_t>(stride) * h);
    Com<IWICPalette> palette;
    if (SUCCEEDED(frame->CopyPixels(nullptr, stride, static_cast<UINT>(raw.size()), raw.data())) &&
        SUCCEEDED(f->CreatePalette(&palette)) && SUCCEEDED(frame->CopyPalette(palette.p))) {
      UINT count = 0;
      palette->GetColorCount(&count);
      std::vector<WICColor> colors(count);
      palette->GetColors(count, colors.data(), &count);
      bool anyAlpha = false;
      for (WICColor c : colors) {
        px.palette.push_back(RgbColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        px.paletteAlpha.push_back(static_cast<uint8_t>(c >> 24));
        anyAlpha |= (c >> 24) != 0xFF;
      }
      if (!anyAlpha)
        px.paletteAlpha.clear();
      else
        px.paletteAlpha.resize(256, 255);
      px.colorType = ctPalette;
      px.color.resize(n);
      for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
          const uint8_t byte = raw[static_cast<size_t>(y) * stride + x * bits / 8];
          const UINT shift = 8 - bits - (x * bits) % 8;
          px.color[static_cast<size_t>(y) * w + x] =
              static_cast<uint8_t>((byte >> shift) & ((1u << bits) - 1));
        }
      ok = true;
    }
  } else if (IsEqualGUID(native, GUID_WICPixelFormatBlackWhite) ||
             IsEqualGUID(native, GUID_WICPixelFormat2bppGray) ||
             IsEqualGUID(native, GUID_WICPixelFormat4bppGray) ||
             IsEqualGUID(native, GUID_WICPixelFormat8bppGray) ||
             IsEqualGUID(native, GUID_WICPixelFormat16bppGray)) {
    px.colorType = ctGrayscale;
    ok = Convert(f, frame.p, GUID_WICPixelFormat8bppGray, w, h, 1, &px.color);
  } else if (IsEqualGUID(native, GUID_WICPixelFormat24bppBGR) ||
             IsEqualGUID(native, GUID_WICPixelFormat24bppRGB) ||
             IsEqualGUID(native, GUID_WICPixelFormat48bppRGB)) {
    px.colorType = ctRGB;
    ok = Convert(f, frame.p, GUID_WICPixelFormat24bppBGR, w, h, 3, &px.color);
  } else {
    px.colorType = ctRGBAlpha;
    ok = Convert(f, frame.p, GUID_WICPixelFormat32bppBGRA, w, h, 4, &raw);
    if (ok) {
      px.color.resize(n * 3);
      px.alpha.resize(n);
      for (size_t i = 0; i < n; ++i) {
        std::memcpy(&px.color[i * 3], &raw[i * 4], 3);
        px.alpha[i] = raw[i * 4 + 3];
      }
    }
  }
  if (!ok) {
    out->error = "cannot decode";
    return false;
  }
  *out = std::move(px);
  return true;
}

}  // namespace ui
