#include "resources/Background.h"

namespace kestro {

// The version of a background's stored form.
constexpr int32_t kBackgroundVersion = 710;

bool CBackground::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kBackgroundVersion) return false;
  i_bitmap.LoadFromStream(s);  // a bitmap of another version stays empty
  return true;
}

void CBackground::SaveToStream(CStream& s) const {
  s.WriteInteger(kBackgroundVersion);
  i_bitmap.SaveToStream(s);
}

bool LoadBackgroundBlock(CStream& s, CResourceList<CBackground>& list) {
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CBackground& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveBackgroundBlock(CStream& s, const CResourceList<CBackground>& list) {
  SaveListBlock(s, kListBlockVersion, list, true,
                [](const CBackground& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
