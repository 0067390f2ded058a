// The world as the language's host: instances' variable lists, the instances a designator names
// in the current room, the built-in variables, and function calls.
#pragma once

#include <vector>

#include "script/Executor.h"

namespace kestro {

class CWorldHost final : public IScriptHost {
 public:
  CVariableList& Variables(CInstance* inst) override;
  CInstance* FirstInstance(int32_t designator) override;
  void Instances(int32_t designator, std::vector<CInstance*>& out) override;
  bool GetBuiltin(CInstance* inst, int32_t id, int32_t flatindex, RValue& out) override;
  bool SetBuiltin(CInstance* inst, int32_t id, int32_t flatindex, const RValue& value) override;
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override;
};

// The run's host; InstallWorldHost makes it the language's host.
CWorldHost& WorldHost();
void InstallWorldHost();

// The unmarked active instances a designator names (-3 all, an object and its descendants, an id),
// in list order; self and other are the caller's to resolve.
void DesignatedInstances(int32_t designator, std::vector<CInstance*>& out);
CInstance* FirstDesignated(int32_t designator);

}  // namespace kestro
