// The binding tables of the language core's own families; the program installs them with the
// others where it is composed (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable MathFunctions();      // numbers, random numbers, strings, vectors
RBindingTable VariableFunctions();  // variable_global_* and variable_local_*
RBindingTable DateFunctions();      // date_*: dates and times as reals
RBindingTable ProcessFunctions();   // clipboard_*, set_application_title, set_program_priority, window_handle

}  // namespace kestro
