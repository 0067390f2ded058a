// The binding table of the splash family; the program installs it where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

// splash_set_*, splash_show_*, show_image, show_video, show_text, show_info, load_info
RBindingTable SplashFunctions();

}  // namespace kestro
