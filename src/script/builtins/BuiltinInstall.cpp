#include "script/builtins/BuiltinInstall.h"

namespace kestro {

void InstallBuiltinRoutines(CFunctionRegistry& registry) {
  InstallMathFunctions(registry);
  InstallErrorFunctions(registry);
}

}  // namespace kestro
