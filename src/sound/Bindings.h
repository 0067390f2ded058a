// The binding tables of the sound families; the program installs them where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable SoundFunctions();          // sound_play ... sound_3d_*, cd_*, MCI_command
RBindingTable SoundResourceFunctions();  // sound_exists, sound_get_*, sound_add/replace/delete, ...

}  // namespace kestro
