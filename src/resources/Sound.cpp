#include "resources/Sound.h"

namespace kestro {

// The version of a sound's stored form.
constexpr int32_t kSoundVersion = 800;

bool CSound::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kSoundVersion) return false;
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
  s.WriteInteger(kSoundVersion);
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
  return LoadListBlock(s, kListBlockVersion, list, true,
                       [](CSound& o, CStream& in) { return o.LoadFromStream(in); });
}

void SaveSoundBlock(CStream& s, const CResourceList<CSound>& list) {
  SaveListBlock(s, kListBlockVersion, list, true, [](const CSound& o, CStream& out) { o.SaveToStream(out); });
}

}  // namespace kestro
