// The binding tables of the language core's own families; the program installs them with the
// others where it is composed (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable MathFunctions();      // numbers, random numbers, strings, vectors
RBindingTable VariableFunctions();  // variable_global_* and variable_local_*

}  // namespace kestro
