// A host with one temporary instance that is both self and other, outside any room: for code run
// where no game world exists (the game's constant values, `kestro script`). The instance has its
// own variables; of the built-in variables only the argument variables are there; calls go to
// built-in functions and scripts.
#pragma once

#include <vector>

#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/Variables.h"

namespace kestro {

class CScratchHost final : public IScriptHost {
 public:
  // The temporary instance; only this host ever sees the pointer.
  CInstance* Instance() { return reinterpret_cast<CInstance*>(&vars_); }

  CVariableList& Variables(CInstance*) override { return vars_; }
  // Not in a room, so no designator names it.
  CInstance* FirstInstance(int32_t) override { return nullptr; }
  void Instances(int32_t, std::vector<CInstance*>&) override {}
  bool GetBuiltin(CInstance*, int32_t id, int32_t flat, RValue& out) override {
    return GetArgumentVariable(id, flat, out).value_or(false);
  }
  bool SetBuiltin(CInstance*, int32_t id, int32_t flat, const RValue& value) override {
    return SetArgumentVariable(id, flat, value).value_or(false);
  }
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override {
    return CallFunctionId(id, self, other, argc, args, result);
  }

 private:
  CVariableList vars_;
};

// Installs a host for the lifetime of the scope and puts the previous one back afterwards.
class CScratchHostScope {
 public:
  explicit CScratchHostScope(IScriptHost& host) : saved_(&ScriptHost()) { SetScriptHost(&host); }
  ~CScratchHostScope() { SetScriptHost(saved_); }
  CScratchHostScope(const CScratchHostScope&) = delete;
  CScratchHostScope& operator=(const CScratchHostScope&) = delete;

 private:
  IScriptHost* saved_;
};

}  // namespace kestro
