#include "script/builtins/BuiltinInstall.h"

#include "script/VariableFunctions.h"

namespace kestro {

void InstallBuiltinRoutines(CFunctionRegistry& registry) {
  InstallMathFunctions(registry);
  InstallErrorFunctions(registry);
  InstallVariableFunctions(registry);
  InstallExecuteFunctions(registry);
}

}  // namespace kestro
