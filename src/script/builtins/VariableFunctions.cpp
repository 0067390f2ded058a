// The variable_* functions of scripts: reading and writing global variables and the running
// instance's variables by name.
#include "script/Executor.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/Bindings.h"

namespace kestro {

namespace {

int32_t NameId(const RValue& name) { return VariableId(name.str.view()); }

// The flat index of the array forms; false (after the non-fatal error) for an index outside
// 0 ... 31999.
bool Flat(const RValue* indices, int32_t count, int32_t& flat) {
  int64_t f = 0;
  for (int32_t k = 0; k < count; ++k) {
    const int64_t i = RoundToInt64(indices[k].val);
    if (i < 0 || i >= kArrayDimension) {
      ReportBuiltinError("Array index >= 32000");
      return false;
    }
    f = f * kArrayDimension + i;
  }
  flat = static_cast<int32_t>(f);
  return true;
}

void GlobalGet(const RValue* args, int32_t dims, RValue& result) {
  int32_t flat;
  if (!Flat(args + 1, dims, flat)) return;
  RValue v;
  if (GlobalVariables().GetVar(NameId(args[0]), flat, v)) result = v;
}

void GlobalSet(const RValue* args, int32_t dims) {
  int32_t flat;
  if (!Flat(args + 1, dims, flat)) return;
  GlobalVariables().SetVar(NameId(args[0]), flat, args[1 + dims]);
}

bool LocalRead(CInstance* self, int32_t id, int32_t flat, RValue& v) {
  if (!self) return false;
  if (id < kUserVariableBase) return ScriptHost().GetBuiltin(self, id, flat, v);
  return ScriptHost().Variables(self).GetVar(id, flat, v);
}

void LocalGet(CInstance* self, const RValue* args, int32_t dims, RValue& result) {
  int32_t flat;
  if (!Flat(args + 1, dims, flat)) return;
  RValue v;
  if (LocalRead(self, NameId(args[0]), flat, v)) result = v;
}

void LocalSet(CInstance* self, const RValue* args, int32_t dims) {
  int32_t flat;
  if (!Flat(args + 1, dims, flat) || !self) return;
  const int32_t id = NameId(args[0]);
  if (id < kUserVariableBase)
    ScriptHost().SetBuiltin(self, id, flat, args[1 + dims]);
  else
    ScriptHost().Variables(self).SetVar(id, flat, args[1 + dims]);
}

void F_global_exists(CInstance*, CInstance*, int32_t, RValue& result, const RValue* args) {
  RValue v;
  result = RValue::Real(GlobalVariables().GetVar(NameId(args[0]), 0, v) ? 1 : 0);
}
void F_global_get(CInstance*, CInstance*, int32_t, RValue& r, const RValue* a) { GlobalGet(a, 0, r); }
void F_global_array_get(CInstance*, CInstance*, int32_t, RValue& r, const RValue* a) { GlobalGet(a, 1, r); }
void F_global_array2_get(CInstance*, CInstance*, int32_t, RValue& r, const RValue* a) { GlobalGet(a, 2, r); }
void F_global_set(CInstance*, CInstance*, int32_t, RValue&, const RValue* a) { GlobalSet(a, 0); }
void F_global_array_set(CInstance*, CInstance*, int32_t, RValue&, const RValue* a) { GlobalSet(a, 1); }
void F_global_array2_set(CInstance*, CInstance*, int32_t, RValue&, const RValue* a) { GlobalSet(a, 2); }

void F_local_exists(CInstance* self, CInstance*, int32_t, RValue& result, const RValue* args) {
  RValue v;
  result = RValue::Real(LocalRead(self, NameId(args[0]), 0, v) ? 1 : 0);
}
void F_local_get(CInstance* s, CInstance*, int32_t, RValue& r, const RValue* a) { LocalGet(s, a, 0, r); }
void F_local_array_get(CInstance* s, CInstance*, int32_t, RValue& r, const RValue* a) { LocalGet(s, a, 1, r); }
void F_local_array2_get(CInstance* s, CInstance*, int32_t, RValue& r, const RValue* a) { LocalGet(s, a, 2, r); }
void F_local_set(CInstance* s, CInstance*, int32_t, RValue&, const RValue* a) { LocalSet(s, a, 0); }
void F_local_array_set(CInstance* s, CInstance*, int32_t, RValue&, const RValue* a) { LocalSet(s, a, 1); }
void F_local_array2_set(CInstance* s, CInstance*, int32_t, RValue&, const RValue* a) { LocalSet(s, a, 2); }

constexpr RBinding kVariableFunctions[] = {
    {"variable_global_exists", F_global_exists},
    {"variable_global_get", F_global_get},
    {"variable_global_array_get", F_global_array_get},
    {"variable_global_array2_get", F_global_array2_get},
    {"variable_global_set", F_global_set},
    {"variable_global_array_set", F_global_array_set},
    {"variable_global_array2_set", F_global_array2_set},
    {"variable_local_exists", F_local_exists},
    {"variable_local_get", F_local_get},
    {"variable_local_array_get", F_local_array_get},
    {"variable_local_array2_get", F_local_array2_get},
    {"variable_local_set", F_local_set},
    {"variable_local_array_set", F_local_array_set},
    {"variable_local_array2_set", F_local_array2_set},
};

}  // namespace

RBindingTable VariableFunctions() { return kVariableFunctions; }

}  // namespace kestro
