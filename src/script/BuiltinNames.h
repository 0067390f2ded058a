// A name lookup over the built-in vocabulary alone: the built-in function registry and the
// built-in constants. Tools that check code outside a game (`kestro script`) compile with it; a
// running game installs the full lookup (scripts, extension functions and resource names first).
#pragma once

#include "script/NameLookup.h"

namespace kestro {

const IScriptNames& BuiltinScriptNames();

}  // namespace kestro
