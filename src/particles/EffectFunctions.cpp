// The effect_* functions: the ready-made effects in the two effect systems, sized and timed for
// the current room.
#include <algorithm>

#include "particles/Bindings.h"
#include "particles/Effects.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {

namespace {

REffectRoom CurrentRoom() {
  const CLiveRoom& room = World().Room();
  return REffectRoom{room.r_speed, GameState().fps, room.r_width, room.r_height};
}

void Effect(const RValue* a, bool above) {
  const int64_t kind = ArgInt(a[0]), size = ArgInt(a[3]);
  if (kind < 0 || kind >= kEffectKinds) return;
  Effects().Create(CurrentRoom(), int(kind), a[1].val, a[2].val, int(std::clamp<int64_t>(size, 0, 2)),
                   int32_t(ArgInt(a[4]) & 0xFFFFFF), above);
}

KESTRO_BUILTIN(F_effect_create_below) { Effect(a, false); }
KESTRO_BUILTIN(F_effect_create_above) { Effect(a, true); }
KESTRO_BUILTIN(F_effect_clear) { Effects().Clear(); }

constexpr RBinding kEffectFunctions[] = {
    {"effect_create_below", F_effect_create_below},
    {"effect_create_above", F_effect_create_above},
    {"effect_clear", F_effect_clear},
};

}  // namespace

RBindingTable EffectFunctions() { return kEffectFunctions; }

}  // namespace kestro
