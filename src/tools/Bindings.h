// The program's built-in functions and variables: every family's binding table, assembled where the
// program is composed. A new family adds its table here; a new function or variable is one line in
// its family's table.
#pragma once

#include <vector>

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings();
std::vector<RVariableBindingTable> GameVariableBindings();
// Installs GameBindings() into the run's registry (SetBuiltinBindings) and GameVariableBindings()
// as the built-in variables' routines (SetVariableBindings).
void InstallGameBindings();

}  // namespace kestro::tools
