// The binding table of multiplayer sessions; the program installs it where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable MultiplayerFunctions();  // mplay_*: connections, sessions, players, shared data, messages

}  // namespace kestro
