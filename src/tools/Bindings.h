// The program's built-in functions: every family's binding table, assembled where the program is
// composed. A new family adds its table here; a new function is one line in its family's table.
#pragma once

#include <vector>

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings();
// The built-in variables' tables, the same way.
std::vector<RVariableBindingTable> GameVariableBindings();
// Installs GameBindings() into the run's registry (SetBuiltinBindings).
void InstallGameBindings();
// Registers the whole built-in variable vocabulary and installs GameVariableBindings()
// (SetVariableBindings). Only for a host that answers built-in variables: once `x` is a built-in
// name, a host that knows only the argument variables (CScratchHost) refuses `x = 1`.
void InstallGameVariableBindings();

}  // namespace kestro::tools
