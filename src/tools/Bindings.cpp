#include "tools/Bindings.h"

#include "script/builtins/Bindings.h"
#include "world/Bindings.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings() {
  return {
      MathFunctions(),
      ErrorFunctions(),
      VariableFunctions(),
      ExecuteFunctions(),
  };
}

void InstallGameBindings() { SetBuiltinBindings(GameBindings()); }

}  // namespace kestro::tools
