// The variable_* functions of scripts: reading and writing global variables and the running
// instance's variables by name.
#pragma once

namespace kestro {

class CFunctionRegistry;

// Gives the registered variable_* names their routines.
void InstallVariableFunctions(CFunctionRegistry& registry);

}  // namespace kestro
