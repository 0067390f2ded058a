// CSound: a sound file's bytes with how it is played (kind, effects, volume, pan, preloading).
// Making it playable is the sound layer's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/ResourceList.h"

namespace kestro {

// Effect bits of s_effects.
enum SoundEffect {
  kEffectChorus = 1, kEffectEcho = 2, kEffectFlanger = 4, kEffectGargle = 8, kEffectReverb = 16,
  kEffectCompressor = 32, kEffectEqualizer = 64, kEffectDistortion = 128, kEffectI3DL2Reverb = 256
};

class CSound {
 public:
  int s_kind = -1;  // -1 none, 0/1 stereo from memory, 2 three-dimensional, 3 through the player
  std::string s_extension;
  std::string s_origname;
  std::optional<std::vector<uint8_t>> s_sound;  // the file's bytes, or none
  bool s_preload = true;
  int s_effects = 0;
  double s_volume = 1;
  double s_pan = 0;
  int s_soundid = -1;
  std::string s_fname;

  void Create() { Clear(); }
  void Clear() { *this = CSound(); }
  void Assign(const CSound& o) { *this = o; }
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
};

bool LoadSoundBlock(CStream& s, CResourceList<CSound>& list);
void SaveSoundBlock(CStream& s, const CResourceList<CSound>& list);

}  // namespace kestro
