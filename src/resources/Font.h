// CFont: a font's glyph tables and its 8-bit coverage sheet (rendered fonts), or a sprite slot
// (sprite fonts).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "resources/ResourceList.h"

namespace kestro {

class CFont {
 public:
  std::string s_name;  // typeface
  int s_size = 12;
  bool s_bold = false, s_italic = false;
  int s_charset = 1;
  int s_AntiAlias = 3;
  int s_first = 32, s_last = 128;
  int s_spr = -1;
  std::array<int32_t, 256> s_x{}, s_y{}, s_w{}, s_h{}, s_shift{}, s_offset{};
  int s_bw = 0, s_bh = 0;
  std::vector<uint8_t> s_bytes;  // s_bw x s_bh coverage, rows from the top
  int s_tex = -1;
  int s_FontHeight = 0;

  void Create() { Clear(); }
  // Clear frees the texture; a copy made by Assign makes a texture of its own.
  void Clear();
  void Assign(const CFont& o);
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // The stored "first character" int: first, charset and antialiasing packed together.
  int32_t PackedFirst() const;
  void UnpackFirst(int32_t v);

  // A font rendered from an installed typeface (resources/FontRender.cpp, through the installed
  // TypefaceRasterizer): glyph tables and coverage sheet; no texture is made.
  void CreateFont(const std::string& name, int size, bool bold, bool italic, int first, int last);
  // A font drawn with the images of sprite slot `sprite` from character `first` on; a missing
  // sprite gives an empty font.
  void CreateFromSprite(int sprite, int first, bool proportional, int sep);
  // The texture of the coverage sheet (white, coverage as alpha) from the installed texture source;
  // sprite fonts draw with their sprite's textures and get none.
  void InitTexture();
  void FreeTexture();
};

// The pixels per em of a point size: 96 pixels per inch, rounded as the desktop did (12 points are
// 16 pixels); 0 means 12 points and sizes are bounded to 1..256 points.
int FontPixelSize(int points);

bool LoadFontBlock(CStream& s, CResourceList<CFont>& list);
void SaveFontBlock(CStream& s, const CResourceList<CFont>& list);

}  // namespace kestro
