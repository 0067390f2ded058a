#include "platform/sdl/FreeTypeFonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestro::platform {

namespace {

// What fontconfig chose for a request: the file and face, its family, and whether bold or italic
// must be made from the regular outlines.
struct RMatch {
  std::string file, family;
  int index = 0;
  bool embolden = false, slant = false;
};

bool Match(const std::string& name, bool bold, bool italic, RMatch& out) {
  if (!FcInit()) return false;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  // The name is a family, never parsed as a pattern: a typeface name may hold ':' or '-'.
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* m = FcFontMatch(nullptr, pat, &result);
  FcPatternDestroy(pat);
  if (!m) return false;
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  bool ok = FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    out.file = reinterpret_cast<const char*>(file);
    // A face may carry several family names; the asked-for one, when it is among them, is no stand-in.
    for (int i = 0; FcPatternGetString(m, FC_FAMILY, i, &family) == FcResultMatch && family; ++i) {
      const char* f = reinterpret_cast<const char*>(family);
      if (i == 0 || strcasecmp(f, name.c_str()) == 0) out.family = f;
    }
    FcPatternGetInteger(m, FC_INDEX, 0, &out.index);
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(m, FC_SLANT, 0, &slant);
    out.embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
    out.slant = italic && slant == FC_SLANT_ROMAN;
  }
  FcPatternDestroy(m);
  return ok;
}

class CFreeTypeFace final : public ITypeface {
 public:
  CFreeTypeFace(FT_Face face, const RMatch& match) : face_(face), match_(match) {
    const FT_Size_Metrics& sm = face_->size->metrics;
    metrics_.ascent = int(std::ceil(double(sm.ascender) / 64));
    int descent = int(std::ceil(double(-sm.descender) / 64));
    metrics_.height = metrics_.ascent + std::max(descent, 0);
    metrics_.maxCharWidth = int(std::lround(double(sm.max_advance) / 64));
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (os2 && face_->units_per_EM > 0)
      metrics_.avgCharWidth = int(std::lround(double(os2->xAvgCharWidth) * sm.x_ppem / face_->units_per_EM));
    else
      metrics_.avgCharWidth = metrics_.maxCharWidth / 2;
    if (match_.slant) {
      // A face without an italic of its own is slanted, as the desktop's font mapper did.
      FT_Matrix shear{0x10000, 0x3800, 0, 0x10000};
      FT_Set_Transform(face_, &shear, nullptr);
    }
  }
  ~CFreeTypeFace() override { FT_Done_Face(face_); }
  CFreeTypeFace(const CFreeTypeFace&) = delete;
  CFreeTypeFace& operator=(const CFreeTypeFace&) = delete;

  const RTypefaceMetrics& Metrics() const override { return metrics_; }

  bool Glyph(int code, RGlyphImage& out) override {
    out = RGlyphImage{};
    // Codes are Unicode code points (0..255: Latin-1). A character the face lacks has no glyph,
    // rather than the face's box for missing characters.
    if (code < 0 || FT_Get_Char_Index(face_, FT_ULong(code)) == 0) return false;
    if (FT_Load_Char(face_, FT_ULong(code), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP)) return false;
    FT_GlyphSlot slot = face_->glyph;
    if (match_.embolden) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL)) return false;
    const FT_Bitmap& bm = slot->bitmap;
    out.advance = int(std::lround(double(slot->advance.x) / 64));
    out.ox = slot->bitmap_left;
    out.oy = slot->bitmap_top;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0 || !bm.buffer) return true;
    out.bw = int(bm.width);
    out.bh = int(bm.rows);
    out.levels.resize(size_t(out.bw) * size_t(out.bh));
    int grays = std::max(int(bm.num_grays) - 1, 1);
    for (int y = 0; y < out.bh; ++y) {
      const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
      for (int x = 0; x < out.bw; ++x)
        out.levels[size_t(y) * size_t(out.bw) + size_t(x)] = uint8_t((row[x] * 64 + grays / 2) / grays);
    }
    return true;
  }

 private:
  FT_Face face_;
  RMatch match_;
  RTypefaceMetrics metrics_;
};

}  // namespace

FreeTypeRasterizer::~FreeTypeRasterizer() {
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

std::string FreeTypeRasterizer::MatchFamily(const std::string& name, bool bold, bool italic) {
  RMatch m;
  return Match(name, bold, italic, m) ? m.family : std::string();
}

std::unique_ptr<ITypeface> FreeTypeRasterizer::Open(const std::string& name, int pixels, bool bold, bool italic) {
  if (!library_) {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) return nullptr;
    library_ = lib;
  }
  RMatch m;
  if (!Match(name, bold, italic, m)) return nullptr;
  if (TypefaceNotes() && strcasecmp(m.family.c_str(), name.c_str()) != 0 && noted_.insert(name).second)
    std::fprintf(stderr, "Typeface \"%s\" is not installed; using \"%s\" in its place.\n", name.c_str(),
                 m.family.c_str());
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(library_), m.file.c_str(), m.index, &face)) return nullptr;
  if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::clamp(pixels, 1, 4096)))) {
    FT_Done_Face(face);
    return nullptr;
  }
  return std::make_unique<CFreeTypeFace>(face, m);
}

}  // namespace kestro::platform
