#include "tools/Bindings.h"

#include "graphics/Bindings.h"
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
      InputFunctions(),
      PathFunctions(),
      TimeLineFunctions(),
      MotionFunctions(),
      MotionGridDrawFunctions(),
  };
}

std::vector<RVariableBindingTable> GameVariableBindings() {
  return {
      InstanceVariables(),
      GameVariables(),
      InputVariables(),
  };
}

void InstallGameBindings() {
  SetBuiltinBindings(GameBindings());
  SetVariableBindings(GameVariableBindings());
}

}  // namespace kestro::tools
