#include "script/Scripts.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinTables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace arguments_detail {
RArguments g_outer;  // the arguments of code run outside any script
RArguments* g_args = &g_outer;
std::vector<std::unique_ptr<RArguments>> g_frames;
size_t g_depth = 0;

RArguments* GrowFrames() {
  g_frames.push_back(std::make_unique<RArguments>());
  return g_frames.back().get();
}
}  // namespace arguments_detail

namespace {

using arguments_detail::g_args;
using arguments_detail::g_outer;
using arguments_detail::RArguments;

// What each built-in variable id is among the argument variables: a slot 0 ... 15, the array,
// the count, or none. Rebuilt when variables are registered after a lookup.
inline constexpr int8_t kArgNone = -1, kArgArray = kMaxArguments, kArgCount = kMaxArguments + 1;
const std::vector<int8_t>& ArgumentKinds() {
  static std::vector<int8_t> kinds;
  static int32_t seenCount = -1;
  if (seenCount != BuiltinVariableCount()) {
    seenCount = BuiltinVariableCount();
    kinds.assign(size_t(seenCount), kArgNone);
    auto set = [&](const std::string& name, int8_t kind) {
      const int32_t id = FindBuiltinVariable(name);
      if (id >= 0 && id < seenCount) kinds[size_t(id)] = kind;
    };
    set("argument", kArgArray);
    set("argument_count", kArgCount);
    for (int32_t k = 0; k < kMaxArguments; ++k) set("argument" + std::to_string(k), int8_t(k));
  }
  return kinds;
}
int8_t ArgumentKind(int32_t id) {
  const std::vector<int8_t>& kinds = ArgumentKinds();
  return id >= 0 && size_t(id) < kinds.size() ? kinds[size_t(id)] : kArgNone;
}

// A call's own argument frame for the lifetime of the scope.
class CArgumentFrame {
 public:
  CArgumentFrame(int32_t script, const RValue* args, int32_t count) { EnterArguments(script, args, count); }
  ~CArgumentFrame() { LeaveArguments(); }
  CArgumentFrame(const CArgumentFrame&) = delete;
  CArgumentFrame& operator=(const CArgumentFrame&) = delete;
};

std::string ArgumentCountMessage(const std::string& name, const CCode& code, int32_t n) {
  std::string m = "Illegal argument count calling script \"" + name + "\".\r";
  if (code.i_ArgArray)
    m += "Script requires at least " + std::to_string(code.i_Args) + " arguments, ";
  else
    m += "Script requires " + std::to_string(code.i_Args) + " arguments, ";
  return m + std::to_string(n) + " have been supplied.";
}

// ---------------------------------------------------------------------------------------------
// The constant table: a name's newest entry wins, as the table is searched from its end.

std::unordered_map<std::string, RValue>& ConstantTable() {
  static std::unordered_map<std::string, RValue> table = [] {
    std::unordered_map<std::string, RValue> t;
    for (const RBuiltinConstant& c : BuiltinConstants()) t[c.name] = RValue::Real(c.value);
    return t;
  }();
  return table;
}

const IScriptTable* g_scripts = nullptr;
IExtensionFunctions* g_extensions = nullptr;
bool g_checkArgumentCount = true;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Argument state.

RValue* ArgumentSlots() { return g_args->slots.data(); }
void ArgumentSlotsWritten() { g_args->used = kMaxArguments; }
int32_t ArgumentCount() { return g_args->count; }
const std::string& RunningScriptName() {
  if (g_args->script == arguments_detail::kNamedFrame) return g_args->name;
  g_args->name = g_args->script < 0 ? kNoScriptName : ScriptName(g_args->script);
  return g_args->name;
}
void ResetArguments() {
  g_outer = RArguments();
  g_args = &g_outer;
}

void RegisterArgumentVariables() {
  auto reg = [](const std::string& n) {
    if (FindBuiltinVariable(n) < 0) RegisterBuiltinVariable(n);
  };
  reg("argument_count");
  reg("argument");
  for (int32_t k = 0; k < kMaxArguments; ++k) reg("argument" + std::to_string(k));
}

int32_t ArgumentVariableSlot(int32_t id) {
  const int8_t kind = ArgumentKind(id);
  return kind >= 0 && kind < kMaxArguments ? kind : -1;
}

std::optional<bool> GetArgumentVariable(int32_t id, int32_t flatindex, RValue& out) {
  const int8_t kind = ArgumentKind(id);
  if (kind == kArgNone) return std::nullopt;
  if (kind == kArgCount) {
    out = RValue::Real(g_args->count);
    return true;
  }
  if (kind == kArgArray) {
    const int32_t i = flatindex >= 0 && flatindex < kMaxArguments ? flatindex : 0;
    if (g_checkArgumentCount && i >= g_args->count) {
      ReportBuiltinError("Illegal array index in script \"" + RunningScriptName() + "\".\rtrying to access argument[" +
                         std::to_string(i) + "], but only " + std::to_string(g_args->count) +
                         " arguments have been supplied.");
      return false;
    }
    out = g_args->slots[size_t(i)];
    return true;
  }
  out = g_args->slots[size_t(kind)];
  return true;
}

std::optional<bool> SetArgumentVariable(int32_t id, int32_t flatindex, const RValue& value) {
  const int8_t kind = ArgumentKind(id);
  if (kind == kArgNone) return std::nullopt;
  if (kind == kArgCount) return false;
  const int32_t slot = kind == kArgArray ? (flatindex >= 0 && flatindex < kMaxArguments ? flatindex : 0) : kind;
  g_args->slots[size_t(slot)] = value;
  g_args->used = std::max(g_args->used, slot + 1);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Calls.

void SetScriptTable(const IScriptTable* table) { g_scripts = table; }
void SetExtensionFunctions(IExtensionFunctions* functions) { g_extensions = functions; }

RValue* EnterNamedArguments(std::string name, const RValue* args, int32_t count) {
  RValue* slots = EnterArguments(arguments_detail::kNamedFrame, args, count);
  g_args->name = std::move(name);
  return slots;
}

const CCode* ScriptCode(int32_t index) {
  const CCode* code = g_scripts ? g_scripts->Code(index) : nullptr;
  return code && code->i_compiled ? code : nullptr;
}

std::string ScriptName(int32_t index) { return g_scripts ? g_scripts->Name(index) : kUndefinedScriptName; }

void SetCheckArgumentCount(bool on) { g_checkArgumentCount = on; }
bool CheckArgumentCountOn() { return g_checkArgumentCount; }

void NameFailedScript(int32_t index) {
  // Once, even when it failed deep inside its own recursion.
  const std::string prefix = "In script " + ScriptName(index) + ":\r";
  if (PendingCodeError().compare(0, prefix.size(), prefix) != 0) SetPendingCodeError(prefix + PendingCodeError());
}

bool CheckArgumentCount(int32_t index, const CCode& code, int32_t count) {
  if (ArgumentCountFits(code, count) || !g_checkArgumentCount) return true;
  count = std::clamp(count, 0, kMaxArguments);
  SetPendingCodeError(ArgumentCountMessage(ScriptName(index), code, count));
  return false;
}

bool CallScript(int32_t index, CInstance* self, CInstance* other, RValue& result, bool check,
                const RValue* args, int32_t count) {
  const CCode* code = ScriptCode(index);
  if (code == nullptr) return false;
  result = RValue();
  {
    CArgumentFrame frame(index, args, count);
    // The first error of the enclosing run is the one it keeps.
    const bool pendingBefore = CodeErrorPending();
    CodeErrorState before;
    if (pendingBefore) before = SaveCodeError();
    if (!ExecuteCodeValue(self, other, *code, result)) NameFailedScript(index);
    if (pendingBefore) RestoreCodeError(std::move(before));
  }
  return !check || CheckArgumentCount(index, *code, count);
}

bool CallFunctionId(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                    RValue& result) {
  if (id >= kScriptIdBase && id < kExtensionIdBase)
    return CallScript(id - kScriptIdBase, self, other, result, true, args, argc);
  if (id >= kExtensionIdBase) {
    if (g_extensions) return g_extensions->Call(id - kExtensionIdBase, self, other, argc, args, result);
    if (!CodeErrorPending()) SetPendingCodeError("Unknown extension function.");
    return false;
  }
  // A full slot array for the routine, whatever the caller passed.
  std::array<RValue, kMaxArguments> slots;
  argc = std::clamp(argc, 0, kMaxArguments);
  std::copy(args, args + argc, slots.begin());
  BuiltinRegistry().Call(id, self, other, argc, slots.data(), result);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Names and constants.

void AddConstant(std::string_view name, const RValue& value) { ConstantTable()[std::string(name)] = value; }

void ResetConstants() {
  auto& t = ConstantTable();
  t.clear();
  for (const RBuiltinConstant& c : BuiltinConstants()) t[c.name] = RValue::Real(c.value);
}

std::optional<RValue> FindConstant(std::string_view name) {
  auto it = ConstantTable().find(std::string(name));
  if (it == ConstantTable().end()) return std::nullopt;
  return it->second;
}

}  // namespace kestro
