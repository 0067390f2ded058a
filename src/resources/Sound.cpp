#include "resources/Sound.h"

namespace kestro {

bool CSound::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != 800) return false;
  s_kind = s.ReadInteger();
  s_extension = s.ReadString();
  s_origname = s.ReadString();
  if (s.ReadBoolean()) s_sound = std::move(s.ReadStream()->Buffer());
  s_effects = s.ReadInteger();
  s_volume = s.ReadReal();
  s_pan = s.ReadReal();
  s_preload = s.ReadBoolean();
  return true;
}

void CSound::SaveToStream(CStream& s) const {
  s.WriteInteger(800);
  s.WriteInteger(s_kind);
  s.WriteString(s_extension);
  s.WriteString(s_origname);
  s.WriteBoolean(s_sound.has_value());
  if (s_sound) {
    s.WriteInteger(int32_t(s_sound->size()));
    s.WriteBytes(s_sound->data(), s_sound->size());
  }
  s.WriteInteger(s_effects);
  s.WriteReal(s_volume);
  s.WriteReal(s_pan);
  s.WriteBoolean(s_preload);
}

bool LoadSoundBlock(CStream& s, CResourceList<CSound>& list) {
  return LoadListBlock(s, 800, list, true, [](CSound& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveSoundBlock(CStream& s, const CResourceList<CSound>& list) {
  SaveListBlock(s, 800, list, true, [](const CSound& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
