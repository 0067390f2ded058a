#include "resources/Font.h"

#include <algorithm>
#include <cstring>

namespace kestro {

// The version of a font's stored form.
constexpr int32_t kFontVersion = 800;

int32_t CFont::PackedFirst() const {
  return int32_t(uint32_t(s_first & 0xFFFF) | uint32_t(s_charset & 0xFF) << 16 |
                 uint32_t((s_AntiAlias + 1) & 0xFF) << 24);
}

void CFont::UnpackFirst(int32_t v) {
  uint32_t u = uint32_t(v);
  s_first = int(u & 0xFFFF);
  int cs = int((u >> 16) & 0xFF);
  s_charset = cs != 0 ? cs : 1;
  int aa = int((u >> 24) & 0xFF);
  s_AntiAlias = aa != 0 ? aa - 1 : 3;
}

bool CFont::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kFontVersion) return false;
  s_name = s.ReadString();
  s_size = s.ReadInteger();
  s_bold = s.ReadBoolean();
  s_italic = s.ReadBoolean();
  UnpackFirst(s.ReadInteger());
  s_last = s.ReadInteger();
  int32_t table[256 * 6];
  s.ReadBytes(table, sizeof table);
  s_FontHeight = 0;
  for (int c = 0; c < 256; ++c) {
    const int32_t* g = table + c * 6;
    s_x[c] = g[0], s_y[c] = g[1], s_w[c] = g[2], s_h[c] = g[3], s_shift[c] = g[4], s_offset[c] = g[5];
    s_FontHeight = std::max(s_FontHeight, int(s_h[c]));
  }
  s_bw = s.ReadInteger();
  s_bh = s.ReadInteger();
  std::unique_ptr<CStream> sheet = s.ReadStream();
  if (s_bw < 0 || s_bh < 0 || uint64_t(s_bw) * uint64_t(s_bh) > sheet->Size())
    throw EStreamError("font sheet does not fit its block");
  sheet->Buffer().resize(size_t(s_bw) * size_t(s_bh));
  s_bytes = std::move(sheet->Buffer());
  return true;
}

void CFont::SaveToStream(CStream& s) const {
  s.WriteInteger(kFontVersion);
  s.WriteString(s_name);
  s.WriteInteger(s_size);
  s.WriteBoolean(s_bold);
  s.WriteBoolean(s_italic);
  s.WriteInteger(PackedFirst());
  s.WriteInteger(s_last);
  for (int c = 0; c < 256; ++c) {
    int32_t g[6] = {s_x[c], s_y[c], s_w[c], s_h[c], s_shift[c], s_offset[c]};
    s.WriteBytes(g, sizeof g);
  }
  s.WriteInteger(s_bw);
  s.WriteInteger(s_bh);
  s.WriteInteger(int32_t(s_bytes.size()));
  s.WriteBytes(s_bytes.data(), s_bytes.size());
}

bool LoadFontBlock(CStream& s, CResourceList<CFont>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CFont& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveFontBlock(CStream& s, const CResourceList<CFont>& list) {
  SaveListBlock(s, kListBlockVersion, list, true, [](const CFont& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
