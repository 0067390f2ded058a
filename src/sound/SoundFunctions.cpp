// The sound functions of game code: playing, levels, effects, 3-D settings, CD audio and raw
// multimedia commands. Each works on the playable sound of a sound resource, made on first use.
#include <cstdint>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "sound/Bindings.h"
#include "sound/CdAudio.h"
#include "sound/SoundLayer.h"
#include "sound/SoundResource.h"

namespace kestro {

namespace {

CSound* FindSound(const RValue& v) {
  const int64_t i = ArgInt(v);
  return i >= 0 && i < Sounds().Count() ? Sounds().Get(int(i)) : nullptr;
}

// The handle of the sound the argument names (made when there is none yet), or nullopt after
// reporting a missing sound.
bool Handle(const RValue& v, int& handle) {
  CSound* s = FindSound(v);
  if (!s) {
    ReportBuiltinError("Sound does not exist.");
    return false;
  }
  handle = GetSoundId(*s);
  return true;
}

// Reals the device takes as 32-bit floats.
double F(const RValue& v) { return double(float(v.val)); }

KESTRO_BUILTIN(F_sound_play) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Play(h, false);
}
KESTRO_BUILTIN(F_sound_loop) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Play(h, true);
}
KESTRO_BUILTIN(F_sound_stop) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Stop(h);
}
KESTRO_BUILTIN(F_sound_stop_all) { SoundLayer().StopAll(); }
KESTRO_BUILTIN(F_sound_isplaying) {
  CSound* s = FindSound(a[0]);
  r.SetReal(s && SoundLayer().IsPlaying(GetSoundId(*s)) ? 1 : 0);
}
KESTRO_BUILTIN(F_sound_volume) {
  int h;
  if (Handle(a[0], h)) SoundLayer().SetVolume(h, a[1].val, 0);
}
KESTRO_BUILTIN(F_sound_fade) {
  int h;
  if (Handle(a[0], h)) SoundLayer().SetVolume(h, a[1].val, ArgInt(a[2]));
}
KESTRO_BUILTIN(F_sound_pan) {
  int h;
  if (Handle(a[0], h)) SoundLayer().SetPan(h, a[1].val);
}
KESTRO_BUILTIN(F_sound_background_tempo) { SoundLayer().SetTempo(F(a[0])); }
KESTRO_BUILTIN(F_sound_global_volume) { SoundLayer().SetGlobalVolume(a[0].val); }
KESTRO_BUILTIN(F_sound_set_search_directory) { SoundLayer().SetSearchFolder(ArgText(a[0])); }
KESTRO_BUILTIN(F_sound_effect_set) {
  int h;
  if (Handle(a[0], h)) SoundLayer().SetEffects(h, int(ArgInt(a[1]) & 0x7fffffff));
}

// The effect parameter functions: the arguments after the sound, as floats or rounded.
void SetEffect(const RValue* a, EEffectType type) {
  int h;
  if (!Handle(a[0], h)) return;
  REffectParameters p;
  const REffectRange& range = EffectRange(type);
  for (int i = 0; i < range.count; ++i) p.v[size_t(i)] = range.whole[size_t(i)] ? double(ArgInt(a[i + 1])) : F(a[i + 1]);
  SoundLayer().SetEffectParameters(h, type, p);
}
KESTRO_BUILTIN(F_sound_effect_chorus) { SetEffect(a, EEffectType::kChorus); }
KESTRO_BUILTIN(F_sound_effect_echo) { SetEffect(a, EEffectType::kEcho); }
KESTRO_BUILTIN(F_sound_effect_flanger) { SetEffect(a, EEffectType::kFlanger); }
KESTRO_BUILTIN(F_sound_effect_gargle) { SetEffect(a, EEffectType::kGargle); }
KESTRO_BUILTIN(F_sound_effect_reverb) { SetEffect(a, EEffectType::kReverb); }
KESTRO_BUILTIN(F_sound_effect_compressor) { SetEffect(a, EEffectType::kCompressor); }
KESTRO_BUILTIN(F_sound_effect_equalizer) { SetEffect(a, EEffectType::kEqualizer); }

KESTRO_BUILTIN(F_sound_3d_set_sound_position) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Set3DPosition(h, F(a[1]), F(a[2]), F(a[3]));
}
KESTRO_BUILTIN(F_sound_3d_set_sound_velocity) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Set3DVelocity(h, F(a[1]), F(a[2]), F(a[3]));
}
KESTRO_BUILTIN(F_sound_3d_set_sound_distance) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Set3DDistance(h, F(a[1]), F(a[2]));
}
KESTRO_BUILTIN(F_sound_3d_set_sound_cone) {
  int h;
  if (Handle(a[0], h)) SoundLayer().Set3DCone(h, F(a[1]), F(a[2]), F(a[3]), a[4].val, a[5].val, a[6].val);
}

// CD arguments are rounded; numbers beyond what a disc holds are kept within 64 bits.
long long L(const RValue& v) { return ArgInt(v); }

KESTRO_BUILTIN(F_cd_init) { CdInit(); }
KESTRO_BUILTIN(F_cd_present) { r.SetReal(CdPresent() ? 1 : 0); }
KESTRO_BUILTIN(F_cd_number) { r.SetReal(double(CdNumber())); }
KESTRO_BUILTIN(F_cd_playing) { r.SetReal(CdPlaying() ? 1 : 0); }
KESTRO_BUILTIN(F_cd_paused) { r.SetReal(CdPaused() ? 1 : 0); }
KESTRO_BUILTIN(F_cd_track) { r.SetReal(double(CdTrack())); }
KESTRO_BUILTIN(F_cd_length) { r.SetReal(double(CdLength())); }
KESTRO_BUILTIN(F_cd_track_length) { r.SetReal(double(CdTrackLength(L(a[0])))); }
KESTRO_BUILTIN(F_cd_position) { r.SetReal(double(CdPosition())); }
KESTRO_BUILTIN(F_cd_track_position) { r.SetReal(double(CdTrackPosition())); }
KESTRO_BUILTIN(F_cd_play) { CdPlay(L(a[0]), L(a[1])); }
KESTRO_BUILTIN(F_cd_stop) { CdStop(); }
KESTRO_BUILTIN(F_cd_pause) { CdPause(); }
KESTRO_BUILTIN(F_cd_resume) { CdResume(); }
KESTRO_BUILTIN(F_cd_set_position) { CdSetPosition(L(a[0])); }
KESTRO_BUILTIN(F_cd_set_track_position) { CdSetTrackPosition(L(a[0])); }
KESTRO_BUILTIN(F_cd_open_door) { CdOpenDoor(); }
KESTRO_BUILTIN(F_cd_close_door) { CdCloseDoor(); }
KESTRO_BUILTIN(F_MCI_command) { SetText(r, MciCommand(ArgText(a[0]))); }

constexpr RBinding kSoundFunctions[] = {
    {"sound_play", F_sound_play},
    {"sound_loop", F_sound_loop},
    {"sound_stop", F_sound_stop},
    {"sound_stop_all", F_sound_stop_all},
    {"sound_isplaying", F_sound_isplaying},
    {"sound_volume", F_sound_volume},
    {"sound_fade", F_sound_fade},
    {"sound_pan", F_sound_pan},
    {"sound_background_tempo", F_sound_background_tempo},
    {"sound_global_volume", F_sound_global_volume},
    {"sound_set_search_directory", F_sound_set_search_directory},
    {"sound_effect_set", F_sound_effect_set},
    {"sound_effect_chorus", F_sound_effect_chorus},
    {"sound_effect_compressor", F_sound_effect_compressor},
    {"sound_effect_echo", F_sound_effect_echo},
    {"sound_effect_flanger", F_sound_effect_flanger},
    {"sound_effect_gargle", F_sound_effect_gargle},
    {"sound_effect_equalizer", F_sound_effect_equalizer},
    {"sound_effect_reverb", F_sound_effect_reverb},
    {"sound_3d_set_sound_position", F_sound_3d_set_sound_position},
    {"sound_3d_set_sound_velocity", F_sound_3d_set_sound_velocity},
    {"sound_3d_set_sound_distance", F_sound_3d_set_sound_distance},
    {"sound_3d_set_sound_cone", F_sound_3d_set_sound_cone},
    {"cd_init", F_cd_init},
    {"cd_present", F_cd_present},
    {"cd_number", F_cd_number},
    {"cd_playing", F_cd_playing},
    {"cd_paused", F_cd_paused},
    {"cd_track", F_cd_track},
    {"cd_length", F_cd_length},
    {"cd_track_length", F_cd_track_length},
    {"cd_position", F_cd_position},
    {"cd_track_position", F_cd_track_position},
    {"cd_play", F_cd_play},
    {"cd_stop", F_cd_stop},
    {"cd_pause", F_cd_pause},
    {"cd_resume", F_cd_resume},
    {"cd_set_position", F_cd_set_position},
    {"cd_set_track_position", F_cd_set_track_position},
    {"cd_open_door", F_cd_open_door},
    {"cd_close_door", F_cd_close_door},
    {"MCI_command", F_MCI_command},
};

}  // namespace

RBindingTable SoundFunctions() { return kSoundFunctions; }

}  // namespace kestro
