// The built-in variables: names scripts read and assign like variables but that are backed by
// run-time state (the room, the score, the fields of an instance). The vocabulary is fixed and
// registered at start-up, before anything is compiled: the instance variables, then the
// game-wide variables, so `x` is 0. Their getters and setters come in binding tables, one per
// family beside the model it exposes, installed where the program is composed, the same way as
// built-in functions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "script/Value.h"

namespace kestro {

class CInstance;

// `inst` is the instance the access designates (game-wide variables ignore it); `flat` is the
// array index (the element of views, backgrounds, alarms, ...). A getter never fails; a setter
// returns false when the value is refused, and the assignment then fails.
using VariableGetter = bool (*)(CInstance* inst, int32_t flat, RValue& out);
using VariableSetter = bool (*)(CInstance* inst, int32_t flat, const RValue& value);

struct RVariableBinding {
  const char* name;
  VariableGetter get;
  VariableSetter set;  // null: read-only ("Cannot assign to the variable")
};
using RVariableBindingTable = std::span<const RVariableBinding>;

int32_t BuiltinInstanceVariableCount();
int32_t BuiltinGameVariableCount();
// Registers the whole vocabulary in order; names registered before keep their ids.
void RegisterBuiltinVariables();

// Gives the table's names their routines; returns the names that are not built-in variables.
std::vector<std::string> BindVariables(RVariableBindingTable table);
// The program's tables (registers the vocabulary first); unknown names are reported on standard
// error.
void SetVariableBindings(std::vector<RVariableBindingTable> tables);
bool IsVariableBound(int32_t id);
// Whether the id names a variable of the instance group (which needs an instance).
bool IsInstanceVariable(int32_t id);
bool IsVariableWritable(int32_t id);

// What hosts answer for a built-in variable id: the argument variables, else the bound routines.
// A variable no table binds reads 0 and refuses writes, with the non-fatal error "Variable NAME is
// not available yet." (never a silent 0).
bool GetBuiltinVariable(CInstance* inst, int32_t id, int32_t flat, RValue& out);
bool SetBuiltinVariable(CInstance* inst, int32_t id, int32_t flat, const RValue& value);

}  // namespace kestro
