// PNG decoding on Linux through libpng. The colour type of the file is kept; samples are
// reduced or expanded to 8 bits.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "ui/png_image.h"

namespace ui {
namespace {

struct Reader {
  const std::string* bytes;
  size_t at = 0;
  std::string error;
};

void ReadData(png_structp png, png_bytep out, png_size_t length) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->at + length > r->bytes->size()) png_error(png, "unexpected end of data");
  std::memcpy(out, r->bytes->data() + r->at, length);
  r->at += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* r = static_cast<Reader*>(png_get_error_ptr(png));
  r->error = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

}  // namespace

bool DecodePng(const std::string& bytes, TPngPixels* out) {
  if (!IsPngSignature(bytes)) {
    out->error = "not a PNG image";
    return false;
  }
  Reader reader{&bytes, 0, {}};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, OnError, OnWarning);
  if (!png) {
    out->error = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  // Everything the jump may cross is kept outside this frame's automatic variables.
  std::vector<uint8_t>* rows = new std::vector<uint8_t>;
  TPngPixels* px = new TPngPixels;
  std::vector<png_bytep>* pointers = new std::vector<png_bytep>;
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0 && info) {
    png_set_read_fn(png, &reader, ReadData);
    png_set_user_limits(png, 16384, 16384);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    px->width = static_cast<int>(png_get_image_width(png, info));
    px->height = static_cast<int>(png_get_image_height(png, info));
    px->colorType = static_cast<TPngColorType>(colorType);
    if (bitDepth == 16) png_set_strip_16(png);
    if (bitDepth < 8) {
      if (colorType == PNG_COLOR_TYPE_GRAY)
        png_set_expand_gray_1_2_4_to_8(png);
      else
        png_set_packing(png);
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
      png_colorp palette = nullptr;
      int n = 0;
      if (png_get_PLTE(png, info, &palette, &n))
        for (int i = 0; i < n; ++i)
          px->palette.push_back(RgbColor(palette[i].red, palette[i].green, palette[i].blue));
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
      png_bytep trans = nullptr;
      int n = 0;
      png_color_16p key = nullptr;
      png_get_tRNS(png, info, &trans, &n, &key);
      if (colorType == PNG_COLOR_TYPE_PALETTE) {
        px->paletteAlpha.assign(256, 255);
        for (int i = 0; i < n && i < 256; ++i) px->paletteAlpha[i] = trans[i];
      } else if (key) {
        px->hasTransparentColor = true;
        const int shift = bitDepth == 16 ? 8 : 0;
        const int scale = bitDepth < 8 ? 255 / ((1 << bitDepth) - 1) : 1;
        if (colorType == PNG_COLOR_TYPE_GRAY) {
          const uint8_t g = static_cast<uint8_t>((key->gray >> shift) * scale);
          px->transparentColor = RgbColor(g, g, g);
        } else {
          px->transparentColor = RgbColor(static_cast<uint8_t>(key->red >> shift),
                                          static_cast<uint8_t>(key->green >> shift),
                                          static_cast<uint8_t>(key->blue >> shift));
        }
      }
    }
    if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    rows->resize(rowBytes * px->height);
    pointers->resize(px->height);
    for (int y = 0; y < px->height; ++y) (*pointers)[y] = rows->data() + rowBytes * y;
    png_read_image(png, pointers->data());
    png_read_end(png, nullptr);
    // Split the interleaved samples into colour and alpha.
    const size_t n = static_cast<size_t>(px->width) * px->height;
    const int channels = png_get_channels(png, info);
    const bool hasAlpha = colorType & PNG_COLOR_MASK_ALPHA;
    const int colorBytes = hasAlpha ? channels - 1 : channels;
    px->color.resize(n * colorBytes);
    if (hasAlpha) px->alpha.resize(n);
    for (int y = 0; y < px->height; ++y) {
      const uint8_t* src = rows->data() + rowBytes * y;
      for (int x = 0; x < px->width; ++x) {
        const size_t i = static_cast<size_t>(y) * px->width + x;
        std::memcpy(&px->color[i * colorBytes], src + x * channels, colorBytes);
        if (hasAlpha) px->alpha[i] = src[x * channels + colorBytes];
      }
    }
    ok = true;
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (ok)
    *out = std::move(*px);
  else
    out->error = reader.error.empty() ? "cannot decode" : reader.error;
  delete px;
  delete rows;
  delete pointers;
  return ok;
}

namespace {
void WriteData(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}
void FlushData(png_structp) {}
}  // namespace

bool EncodePngRgba(int width, int height, const std::vector<uint8_t>& rgba, std::string* file) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return false;
  Reader sink{nullptr, 0, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnError, OnWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  std::string* out = new std::string;
  std::vector<png_bytep>* rows = new std::vector<png_bytep>(height);
  volatile bool ok = false;
  if (info && setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, out, WriteData, FlushData);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    for (int y = 0; y < height; ++y)
      (*rows)[y] = const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4);
    png_write_info(png, info);
    png_write_image(png, rows->data());
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (ok) *file = *out;
  delete out;
  delete rows;
  return ok;
}

}  // namespace ui
