// The sound resource functions: existence, names and getters, discarding and restoring the
// playable sound, adding, replacing and deleting sounds from files.
#include <cstdint>
#include <string>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "sound/Bindings.h"
#include "sound/SoundResource.h"

namespace kestro {

namespace {

int Index(const RValue& v) {
  const int64_t i = ArgInt(v);
  return i >= 0 && i < Sounds().Count() ? int(i) : -1;
}
CSound* Find(const RValue& v) { return Sounds().Get(Index(v)); }

KESTRO_BUILTIN(F_sound_exists) { r.SetReal(Find(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_sound_get_name) { SetText(r, Sounds().Name(Index(a[0]))); }
KESTRO_BUILTIN(F_sound_get_kind) {
  const CSound* s = Find(a[0]);
  r.SetReal(s ? s->s_kind : -1);
}
KESTRO_BUILTIN(F_sound_get_preload) {
  const CSound* s = Find(a[0]);
  r.SetReal(s ? (s->s_preload ? 1 : 0) : -1);
}
KESTRO_BUILTIN(F_sound_discard) {
  if (CSound* s = Find(a[0])) SoundDiscard(*s);
}
KESTRO_BUILTIN(F_sound_restore) {
  if (CSound* s = Find(a[0])) SoundRestore(*s);
}
KESTRO_BUILTIN(F_sound_add) {
  auto s = std::make_unique<CSound>();
  if (!SoundLoadFromFile(*s, ArgText(a[0]), int(ArgInt(a[1])), ArgBool(a[2]))) return r.SetReal(-1);
  const int i = Sounds().Count();
  r.SetReal(Sounds().Add(std::move(s), "__newsound" + std::to_string(i)));
}
KESTRO_BUILTIN(F_sound_replace) {
  CSound* s = Find(a[0]);
  if (!s) return ReportBuiltinError("Trying to replace non-existing sound.");
  r.SetReal(SoundLoadFromFile(*s, ArgText(a[1]), int(ArgInt(a[2])), ArgBool(a[3])) ? 1 : 0);
}
KESTRO_BUILTIN(F_sound_delete) {
  CSound* s = Find(a[0]);
  if (!s) return ReportBuiltinError("Trying to delete non-existing sound.");
  SoundDiscard(*s);
  Sounds().Delete(Index(a[0]));
  r.SetReal(1);
}

constexpr RBinding kSoundResourceFunctions[] = {
    {"sound_name", F_sound_get_name},
    {"sound_exists", F_sound_exists},
    {"sound_get_name", F_sound_get_name},
    {"sound_get_kind", F_sound_get_kind},
    {"sound_get_preload", F_sound_get_preload},
    {"sound_discard", F_sound_discard},
    {"sound_restore", F_sound_restore},
    {"sound_add", F_sound_add},
    {"sound_replace", F_sound_replace},
    {"sound_delete", F_sound_delete},
};

}  // namespace

RBindingTable SoundResourceFunctions() { return kSoundResourceFunctions; }

}  // namespace kestro
