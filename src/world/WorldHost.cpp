#include "world/WorldHost.h"

#include "script/Scripts.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/World.h"

namespace kestro {

namespace {

// Visits the unmarked active instances a designator names, in list order, until `visit` says stop.
template <class Visit>
void ForDesignated(int32_t designator, Visit visit) {
  const CLiveRoom& room = World().Room();
  if (designator == kDesignatorAll) {
    for (const auto& inst : room.Active())
      if (!inst->i_marked && !visit(inst.get())) return;
  } else if (designator >= 0 && designator < kFirstInstanceId) {
    const int n = room.Obj_Number_Recursive(designator);
    for (int k = 0; k < n; ++k)
      if (CInstance* inst = room.Obj_Instance_Recursive(designator, k); inst && !inst->i_marked && !visit(inst)) return;
  } else if (designator >= kFirstInstanceId) {
    if (CInstance* inst = room.FindId(designator)) visit(inst);
  }
}

}  // namespace

void DesignatedInstances(int32_t designator, std::vector<CInstance*>& out) {
  ForDesignated(designator, [&](CInstance* inst) {
    out.push_back(inst);
    return true;
  });
}

CInstance* FirstDesignated(int32_t designator) {
  CInstance* first = nullptr;
  ForDesignated(designator, [&](CInstance* inst) {
    first = inst;
    return false;
  });
  return first;
}

CVariableList& CWorldHost::Variables(CInstance* inst) { return inst->i_vars; }

CInstance* CWorldHost::FirstInstance(int32_t designator) { return FirstDesignated(designator); }

void CWorldHost::Instances(int32_t designator, std::vector<CInstance*>& out) { DesignatedInstances(designator, out); }

bool CWorldHost::GetBuiltin(CInstance* inst, int32_t id, int32_t flat, RValue& out) {
  // Instance variables need an instance; game-wide ones ignore it.
  if (inst == nullptr && IsInstanceVariable(id)) return false;
  return GetBuiltinVariable(inst, id, flat, out);
}

bool CWorldHost::SetBuiltin(CInstance* inst, int32_t id, int32_t flat, const RValue& value) {
  if (inst == nullptr && IsInstanceVariable(id)) return false;
  return SetBuiltinVariable(inst, id, flat, value);
}

bool CWorldHost::CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                              RValue& result) {
  return CallFunctionId(id, self, other, argc, args, result);
}

CWorldHost& WorldHost() {
  static CWorldHost host;
  return host;
}

void InstallWorldHost() { SetScriptHost(&WorldHost()); }

}  // namespace kestro
