// The binding tables of the resource families that need nothing of the running game; the program
// installs them where it is composed (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable BackgroundFunctions();      // background_* of the background list, but those that read the screen
RBindingTable ScriptResourceFunctions();  // script_exists, script_get_name, script_get_text
RBindingTable ExternalCallFunctions();    // external_define*, external_call*, external_free

}  // namespace kestro
