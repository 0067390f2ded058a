#include "resources/Background.h"

namespace kestro {

bool CBackground::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != 710) return false;
  i_bitmap.LoadFromStream(s);  // a bitmap of another version stays empty
  return true;
}

void CBackground::SaveToStream(CStream& s) const {
  s.WriteInteger(710);
  i_bitmap.SaveToStream(s);
}

bool LoadBackgroundBlock(CStream& s, CResourceList<CBackground>& list) {
  return LoadListBlock(s, 800, list, true, [](CBackground& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveBackgroundBlock(CStream& s, const CResourceList<CBackground>& list) {
  SaveListBlock(s, 800, list, true, [](const CBackground& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
