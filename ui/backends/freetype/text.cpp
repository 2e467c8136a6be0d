// Text on Linux: fontconfig chooses the faces, FreeType renders the glyphs.
//
// A font's face is asked for with the language of its character set (GB2312: zh-cn), since
// a bare family name that is not installed answers a face without Chinese glyphs. Glyphs
// that the chosen face lacks come from the next face of fontconfig's sorted list that has
// them. Text arrives as GBK and is converted here only.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "platform/system.h"
#include "ui/graphics.h"

namespace ui::text_engine {
namespace {

struct Glyph {
  int left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<uint8_t> coverage;
};

struct FontSet {
  FT_Face primary = nullptr;
  FcFontSet* sorted = nullptr;  // fallbacks, loaded lazily
  std::map<uint32_t, FT_Face> fallbackFor;
  int pixelSize = 0;
  TTextMetrics metrics;
};

class Engine {
 public:
  Engine() { ok_ = FT_Init_FreeType(&library_) == 0 && FcInit(); }
  FontSet* Get(const TFont& font);
  const Glyph* GlyphOf(FontSet* set, uint32_t cp);

 private:
  FT_Face OpenFace(const std::string& file, int index);
  FT_Face FaceFromPattern(FcPattern* p);
  bool ok_ = false;
  FT_Library library_ = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> faces_;
  std::map<std::tuple<std::string, int, int, uint32_t>, std::unique_ptr<FontSet>> sets_;
  std::map<std::tuple<FT_Face, int, uint32_t>, Glyph> glyphs_;
};

Engine& TheEngine() {
  static Engine* engine = new Engine;  // lives for the process: faces are shared by all fonts
  return *engine;
}

FT_Face Engine::OpenFace(const std::string& file, int index) {
  auto key = std::make_pair(file, index);
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second;
  FT_Face face = nullptr;
  if (FT_New_Face(library_, file.c_str(), index, &face) != 0) face = nullptr;
  faces_[key] = face;
  return face;
}

FT_Face Engine::FaceFromPattern(FcPattern* p) {
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) return nullptr;
  FcPatternGetInteger(p, FC_INDEX, 0, &index);
  return OpenFace(reinterpret_cast<const char*>(file), index);
}

// The em size in pixels: a negative height is the character height, a positive one the
// cell height (ascent + descent).
int PixelSize(FT_Face face, int height) {
  if (height < 0) return -height;
  if (height == 0) return 13;
  const int cell = face->ascender - face->descender;
  if (cell <= 0) return height;
  return std::max(
      1, static_cast<int>(std::lround(static_cast<double>(height) * face->units_per_EM / cell)));
}

FontSet* Engine::Get(const TFont& font) {
  if (!ok_) return nullptr;
  auto key = std::make_tuple(font.Name, font.Height, static_cast<int>(font.Charset), font.Style);
  auto it = sets_.find(key);
  if (it != sets_.end()) return it->second.get();
  auto set = std::make_unique<FontSet>();
  FcPattern* pattern = FcPatternCreate();
  const std::string family = platform::AnsiToUtf8(font.Name);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  if (font.Charset == kGb2312Charset)
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  if (font.Style & fsBold) FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  if (font.Style & fsItalic) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    set->primary = FaceFromPattern(match);
    FcPatternDestroy(match);
  }
  set->sorted = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
  FcPatternDestroy(pattern);
  if (set->primary) {
    set->pixelSize = PixelSize(set->primary, font.Height);
    FT_Set_Pixel_Sizes(set->primary, 0, set->pixelSize);
    const FT_Size_Metrics& m = set->primary->size->metrics;
    set->metrics.ascent = static_cast<int>((m.ascender + 63) >> 6);
    set->metrics.descent = static_cast<int>((-m.descender + 63) >> 6);
    set->metrics.height = set->metrics.ascent + set->metrics.descent;
  }
  FontSet* raw = set.get();
  sets_[key] = std::move(set);
  return raw;
}

const Glyph* Engine::GlyphOf(FontSet* set, uint32_t cp) {
  FT_Face face = set->primary;
  if (face && FT_Get_Char_Index(face, cp) == 0 && cp > 0x20) {
    auto f = set->fallbackFor.find(cp);
    if (f != set->fallbackFor.end()) {
      face = f->second;
    } else {
      FT_Face found = nullptr;
      for (int i = 0; set->sorted && i < set->sorted->nfont && !found; ++i) {
        FcCharSet* cs = nullptr;
        if (FcPatternGetCharSet(set->sorted->fonts[i], FC_CHARSET, 0, &cs) == FcResultMatch &&
            FcCharSetHasChar(cs, cp))
          found = FaceFromPattern(set->sorted->fonts[i]);
      }
      set->fallbackFor[cp] = found;
      if (found) face = found;
    }
  }
  if (!face) return nullptr;
  auto key = std::make_tuple(face, set->pixelSize, cp);
  auto it = glyphs_.find(key);
  if (it != glyphs_.end()) return &it->second;
  Glyph g;
  FT_Set_Pixel_Sizes(face, 0, set->pixelSize);
  if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
      for (int x = 0; x < g.width; ++x) {
        const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        uint8_t v = 0;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
          v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
          v = row[x];
        g.coverage[static_cast<size_t>(y) * g.width + x] = v;
      }
  }
  return &(glyphs_[key] = std::move(g));
}

// GBK to code points, through UTF-8.
std::vector<uint32_t> CodePoints(const std::string& gbk) {
  const std::string u = platform::AnsiToUtf8(gbk);
  std::vector<uint32_t> out;
  for (size_t i = 0; i < u.size();) {
    const uint8_t c = static_cast<uint8_t>(u[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n && i + k < u.size(); ++k) cp = (cp << 6) | (u[i + k] & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

}  // namespace

TTextMetrics Metrics(const TFont& font) {
  FontSet* set = TheEngine().Get(font);
  return set ? set->metrics : TTextMetrics{};
}

int TextWidth(const TFont& font, const std::string& text) {
  FontSet* set = TheEngine().Get(font);
  if (!set) return 0;
  int w = 0;
  for (uint32_t cp : CodePoints(text))
    if (const Glyph* g = TheEngine().GlyphOf(set, cp)) w += g->advance;
  return w;
}

void Render(const TFont& font, const std::string& text, int x, int y,
            const std::function<void(int, int, unsigned)>& plot) {
  FontSet* set = TheEngine().Get(font);
  if (!set) return;
  const int baseline = y + set->metrics.ascent;
  int pen = x;
  for (uint32_t cp : CodePoints(text)) {
    const Glyph* g = TheEngine().GlyphOf(set, cp);
    if (!g) continue;
    for (int gy = 0; gy < g->rows; ++gy)
      for (int gx = 0; gx < g->width; ++gx) {
        const unsigned v = g->coverage[static_cast<size_t>(gy) * g->width + gx];
        if (v) plot(pen + g->left + gx, baseline - g->top + gy, v);
      }
    pen += g->advance;
  }
}

}  // namespace ui::text_engine

// fontconfig keeps parts of its configuration for the life of the process, which the
// leak checker of sanitizer builds would report on every run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
