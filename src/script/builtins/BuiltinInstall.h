// The families' installers: each gives the registered names of its family their routines. A
// family that gets built adds its installer here and to InstallBuiltinRoutines.
#pragma once

namespace kestro {

class CFunctionRegistry;

void InstallMathFunctions(CFunctionRegistry& registry);
void InstallErrorFunctions(CFunctionRegistry& registry);
void InstallExecuteFunctions(CFunctionRegistry& registry);

// Runs every installer above.
void InstallBuiltinRoutines(CFunctionRegistry& registry);

}  // namespace kestro
