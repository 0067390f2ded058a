// Scripts at run time: the argument state every call shares, calling a script by index through
// the script table the host installs, and the constant table. The game's own name lookup and the
// compiling of its scripts live with the game (world/GameScripts.h).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/Code.h"
#include "script/NameLookup.h"
#include "script/Value.h"

namespace kestro {

class CInstance;

// ---------------------------------------------------------------------------------------------
// Argument state: one set for the whole run, saved and restored around every call.

inline constexpr const char* kNoScriptName = "<unknown>";
inline constexpr const char* kUndefinedScriptName = "<undefined>";

// The scripts code can call, by index: the host installs its table (the game: its compiled
// scripts). Without one no script exists.
class IScriptTable {
 public:
  virtual ~IScriptTable() = default;
  // The code of script `index`, or null when the index names no script.
  virtual const CCode* Code(int32_t index) const = 0;
  // Its name; "<undefined>" when the index names no script.
  virtual std::string Name(int32_t index) const = 0;
};
void SetScriptTable(const IScriptTable* table);  // nullptr: none; the table must outlive its use
std::string ScriptName(int32_t index);

// Whether calls check the argument count against the script's use of arguments (the game's
// setting; on by default).
void SetCheckArgumentCount(bool on);
bool CheckArgumentCountOn();

RValue* ArgumentSlots();  // the 16 slots
// To be called after writing slots through ArgumentSlots(), so the call clears them when it ends.
void ArgumentSlotsWritten();
int32_t ArgumentCount();
const std::string& RunningScriptName();
// Back to no running script, empty slots (a fresh run, and tests).
void ResetArguments();

// Registers the built-in variables argument, argument0 ... argument15 and argument_count when
// they are not registered yet, so code naming them compiles.
void RegisterArgumentVariables();
// Reads or writes an argument variable by built-in variable id. Empty when `id` names no
// argument variable; otherwise whether the access succeeded (argument_count is read-only; a
// read of argument[i] beyond the count fails when the count is checked).
std::optional<bool> GetArgumentVariable(int32_t id, int32_t flatindex, RValue& out);
std::optional<bool> SetArgumentVariable(int32_t id, int32_t flatindex, const RValue& value);
// The slot 0 ... 15 of argument0 ... argument15 by built-in variable id, else -1 (also for
// argument and argument_count). Lets the executor read plain argument variables directly.
int32_t ArgumentVariableSlot(int32_t id);

// ---------------------------------------------------------------------------------------------
// Calls.

// Runs script `index` of the script table with the arguments (at most 16 used). False when
// the index names no compiled script, or when `check` is set, argument counts are checked
// and the count does not fit the script (the message is then pending). A run that fails still
// counts as a call: the result is "ERROR" and the error stays pending, named after the script.
bool CallScript(int32_t index, CInstance* self, CInstance* other, RValue& result, bool check,
                const RValue* args, int32_t count);

// The pieces of a call, for the executor, which runs script code in its own loop. The compiled
// code of script `index`, or null:
const CCode* ScriptCode(int32_t index);
// Enters and leaves a call's own argument frame (at most 16 arguments are kept); entering gives
// the frame's slots. Inline below: every script call does both.
RValue* EnterArguments(int32_t script, const RValue* args, int32_t count);
void LeaveArguments();
// After a failed run of the script: names it in front of the pending error, once.
void NameFailedScript(int32_t index);
// When argument counts are checked: false, with the message pending, when the count does
// not fit the script.
bool CheckArgumentCount(int32_t index, const CCode& code, int32_t count);
// Whether a count fits the script's use of arguments, without consulting the setting.
inline bool ArgumentCountFits(const CCode& code, int32_t count) {
  count = count < 0 ? 0 : count > kMaxArguments ? kMaxArguments : count;
  return code.i_ArgArray ? count >= code.i_Args : count == code.i_Args;
}

// Extension functions (ids from kExtensionIdBase): the host installs who runs them. Without one no
// extension function exists.
class IExtensionFunctions {
 public:
  virtual ~IExtensionFunctions() = default;
  // Runs extension function `index` (id - kExtensionIdBase). False fails the calling statement,
  // with the error pending.
  virtual bool Call(int32_t index, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                    RValue& result) = 0;
};
void SetExtensionFunctions(IExtensionFunctions* functions);  // nullptr: none; must outlive its use

// As EnterArguments, for code that is not a script of the table (an extension function's): the
// running script's name, as argument messages give it, is `name`.
RValue* EnterNamedArguments(std::string name, const RValue* args, int32_t count);

// What hosts do with a function id: built-in functions, scripts (checked), extension functions.
bool CallFunctionId(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                    RValue& result);

// The argument frames behind the functions above: one per call depth, kept for reuse.
namespace arguments_detail {
struct RArguments {
  std::array<RValue, kMaxArguments> slots;
  int32_t count = 0;
  int32_t used = 0;     // slots below this may hold something other than real 0
  int32_t script = -1;  // the running script's index, -1 for none, kNamedFrame: `name` is set
  std::string name;     // its name, filled when asked for
  RArguments* saved = nullptr;  // the caller's frame
};
inline constexpr int32_t kNamedFrame = -2;
extern RArguments g_outer;
extern RArguments* g_args;  // the running call's
extern std::vector<std::unique_ptr<RArguments>> g_frames;
extern size_t g_depth;
RArguments* GrowFrames();
}  // namespace arguments_detail

inline RValue* EnterArguments(int32_t script, const RValue* args, int32_t count) {
  using namespace arguments_detail;
  count = count < 0 ? 0 : count > kMaxArguments ? kMaxArguments : count;
  RArguments* frame = g_depth < g_frames.size() ? g_frames[g_depth].get() : GrowFrames();
  ++g_depth;
  std::copy(args, args + count, frame->slots.begin());
  frame->count = frame->used = count;
  frame->script = script;
  frame->saved = g_args;
  g_args = frame;
  return frame->slots.data();
}

inline void LeaveArguments() {
  using namespace arguments_detail;
  // Slots past the count read real 0 in the next call at this depth, and no string outlives
  // the call.
  RArguments* frame = g_args;
  for (int32_t k = 0; k < frame->used; ++k) frame->slots[size_t(k)] = RValue();
  --g_depth;
  g_args = frame->saved;
}

// ---------------------------------------------------------------------------------------------
// Names and constants.

// The constant table: the built-in constants, then what is added.
void AddConstant(std::string_view name, const RValue& value);
// Back to the built-in constants alone.
void ResetConstants();
// A name's newest entry.
std::optional<RValue> FindConstant(std::string_view name);


}  // namespace kestro
