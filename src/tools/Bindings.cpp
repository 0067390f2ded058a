#include "tools/Bindings.h"

#include "script/builtins/Bindings.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/Bindings.h"

namespace kestro::tools {

std::vector<RBindingTable> GameBindings() {
  return {
      MathFunctions(),
      ErrorFunctions(),
      VariableFunctions(),
      ExecuteFunctions(),
      InstanceFunctions(),
      EventFunctions(),
      RoomFunctions(),
  };
}

std::vector<RVariableBindingTable> GameVariableBindings() {
  return {
      InstanceVariables(),
      GameVariables(),
  };
}

void InstallGameBindings() {
  SetBuiltinBindings(GameBindings());
  SetVariableBindings(GameVariableBindings());
}

}  // namespace kestro::tools
