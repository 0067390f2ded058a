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
  void Clear() { *this = CFont(); }
  void Assign(const CFont& o) { *this = o; }
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // The stored "first character" int: first, charset and antialiasing packed together.
  int32_t PackedFirst() const;
  void UnpackFirst(int32_t v);
};

bool LoadFontBlock(CStream& s, CResourceList<CFont>& list);
void SaveFontBlock(CStream& s, const CResourceList<CFont>& list);

}  // namespace kestro
