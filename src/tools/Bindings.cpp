#include "tools/Bindings.h"

#include "graphics/Bindings.h"
#include "script/builtins/Bindings.h"
#include "world/Bindings.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings() {
  return {
      MathFunctions(),
      ErrorFunctions(),
      VariableFunctions(),
      ExecuteFunctions(),
      InputFunctions(),
  };
}

std::vector<RVariableBindingTable> GameVariableBindings() {
  return {
      InputVariables(),
  };
}

void InstallGameBindings() { SetBuiltinBindings(GameBindings()); }

void InstallGameVariableBindings() { SetVariableBindings(GameVariableBindings()); }

}  // namespace kestro::tools
