#include "platform/sdl/SdlLabelText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <vector>

namespace kestro::platform {

namespace {

std::string SansSerifFile() {
  static std::string file = [] {
    std::string path;
    if (!FcInit()) return path;
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (!pat) return path;
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcChar8* name = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch && name)
      path = reinterpret_cast<const char*>(name);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pat);
    return path;
  }();
  return file;
}

// Code points of UTF-8 text; damaged bytes become '?'.
std::vector<uint32_t> Decode(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + size_t(len) > s.size()) {
      out.push_back('?');
      ++i;
      continue;
    }
    uint32_t c = len == 1 ? b : b & (0x3F >> (len - 1));
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char n = static_cast<unsigned char>(s[i + size_t(k)]);
      if ((n & 0xC0) != 0x80) ok = false;
      c = c << 6 | (n & 0x3F);
    }
    out.push_back(ok ? c : '?');
    i += ok ? size_t(len) : 1;
  }
  return out;
}

}  // namespace

RPixels RenderLabelText(const std::string& text, int points) {
  RPixels out;
  std::string file = SansSerifFile();
  if (text.empty() || file.empty()) return out;
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) return out;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, file.c_str(), 0, &face) || FT_Set_Char_Size(face, 0, points * 64, 96, 96)) {
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return out;
  }
  int ascent = int(face->size->metrics.ascender >> 6), height = int(face->size->metrics.height >> 6);
  std::vector<uint32_t> codes = Decode(text);
  // Widths first, then the glyphs; the label is cut at 4096 pixels.
  int width = 0;
  for (uint32_t c : codes)
    if (!FT_Load_Char(face, c, FT_LOAD_DEFAULT)) width += int(face->glyph->advance.x >> 6);
  width = std::clamp(width, 1, 4096);
  height = std::clamp(height, 1, 256);
  out.width = width;
  out.height = height;
  out.bgra.assign(size_t(width) * size_t(height) * 4, 0);
  int pen = 0;
  for (uint32_t c : codes) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER)) continue;
    const FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (int y = 0; y < int(bm.rows); ++y)
      for (int x = 0; x < int(bm.width); ++x) {
        int px = pen + g->bitmap_left + x, py = ascent - g->bitmap_top + y;
        if (px < 0 || py < 0 || px >= width || py >= height) continue;
        uint8_t a = bm.buffer[y * bm.pitch + x];
        uint8_t& dst = out.bgra[(size_t(py) * size_t(width) + size_t(px)) * 4 + 3];
        dst = std::max(dst, a);
      }
    pen += int(g->advance.x >> 6);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return out;
}

}  // namespace kestro::platform
