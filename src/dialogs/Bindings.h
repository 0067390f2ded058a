// The binding tables of the dialog family; the program installs them where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

// show_message, show_question, get_string, get_integer, message_*, show_menu*, get_color, the choosers
RBindingTable DialogFunctions();
// highscore_* and draw_highscore
RBindingTable HighScoreFunctions();

}  // namespace kestro
