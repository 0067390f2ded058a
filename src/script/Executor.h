// The executor: runs a compiled `CCode` for a self and an other instance. The code's tree is
// lowered once into register instructions that keep the statuses statements have in the
// language (0 normal, -1 error, -2 exit/return, -3 break, -4 continue) as jumps. What the
// executor needs from the game world (instances, their variables, built-in variables, built-in
// and extension functions) it asks of the installed IScriptHost; scripts it runs itself.
#pragma once

#include <cstdint>
#include <vector>

#include "script/Value.h"

namespace kestro {

class CCode;
class CInstance;
class CVariableList;

class IScriptHost {
 public:
  virtual ~IScriptHost() = default;

  // The instance's own variable list (never null for a live instance).
  virtual CVariableList& Variables(CInstance* inst) = 0;
  // The first unmarked instance a designator (Designators.h) names for reading: all the first of
  // the room, an object index the first of that object or its descendants, an id the instance
  // itself.
  virtual CInstance* FirstInstance(int32_t designator) = 0;
  // Every unmarked instance a designator (all, an object index, an id) names, in room order.
  virtual void Instances(int32_t designator, std::vector<CInstance*>& out) = 0;

  // Built-in variables by id; false when the read fails or the variable cannot be set.
  virtual bool GetBuiltin(CInstance* inst, int32_t id, int32_t flatindex, RValue& out) = 0;
  virtual bool SetBuiltin(CInstance* inst, int32_t id, int32_t flatindex, const RValue& value) = 0;

  // Calls a function id: built-in (below 100000), script or extension function (code calls
  // existing scripts itself; hosts forward the rest to CallFunctionId). `result` is real 0 on
  // entry. False fails the calling statement (a built-in function never does).
  virtual bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                            RValue& result) = 0;
};

// The host runs use; without one, every instance access fails and calls do nothing.
void SetScriptHost(IScriptHost* host);
IScriptHost& ScriptHost();

// Runs the code; false when it failed (the error is then pending, Part of the code errors).
bool ExecuteCode(CInstance* self, CInstance* other, const CCode& code, RValue& result);
// As ExecuteCode; a failure is shown at once as a non-fatal error and the pending flag cleared.
bool ExecuteCodeReported(CInstance* self, CInstance* other, const CCode& code, RValue& result);
// As ExecuteCode; on failure the result is the string "ERROR" and the error stays pending.
bool ExecuteCodeValue(CInstance* self, CInstance* other, const CCode& code, RValue& result);

// A budget of loop iterations and function calls over all runs, for tools and fuzzing that run
// untrusted code: once spent, runs fail with kBudgetMessage. Negative means no limit (the game).
void SetExecutionBudget(int64_t steps);
inline constexpr const char* kBudgetMessage = "Execution stopped: step budget used up.";

// Runs nested deeper than this much stack (scripts calling scripts) fail with this message
// instead of overflowing the stack.
inline constexpr size_t kMaxExecutionStack = size_t(4) << 20;
inline constexpr const char* kRecursionMessage = "Script recursion too deep.";
// Scripts called from code run in the caller's loop, without native stack; more than this many
// nested in one run fail with the same message.
inline constexpr size_t kMaxScriptDepth = 10000;

}  // namespace kestro
