// The binding tables of the particle family; the program installs them where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable ParticleFunctions();  // part_type_*, part_system_*, part_particles_*, part_emitter_*, ...
RBindingTable EffectFunctions();    // effect_create_below, effect_create_above, effect_clear

}  // namespace kestro
