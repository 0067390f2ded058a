#include "script/Scripts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <unordered_map>

#include "resources/GameResources.h"
#include "runner/GameSettings.h"
#include "runner/Messages.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/ErrorReport.h"
#include "script/Executor.h"
#include "script/ScratchHost.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinTables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

struct RArguments {
  std::array<RValue, kMaxArguments> slots;
  int32_t count = 0;
  std::string name = kNoScriptName;
};
RArguments g_args;

// Built-in variable ids of the argument variables, looked up once they are registered.
struct RArgumentIds {
  int32_t array = -1, count = -1;
  std::array<int32_t, kMaxArguments> slot{};
};
const RArgumentIds& ArgumentIds() {
  static RArgumentIds ids;
  static int32_t seenCount = -1;
  // Registration may happen after the first lookup (tests, later built-in tables).
  if (seenCount != BuiltinVariableCount()) {
    seenCount = BuiltinVariableCount();
    ids.array = FindBuiltinVariable("argument");
    ids.count = FindBuiltinVariable("argument_count");
    for (int32_t k = 0; k < kMaxArguments; ++k)
      ids.slot[size_t(k)] = FindBuiltinVariable("argument" + std::to_string(k));
  }
  return ids;
}

// Puts the caller's arguments back when a call ends, however it ends.
class CSavedArguments {
 public:
  CSavedArguments() : saved_(g_args) {}
  ~CSavedArguments() { g_args = std::move(saved_); }
  CSavedArguments(const CSavedArguments&) = delete;
  CSavedArguments& operator=(const CSavedArguments&) = delete;

 private:
  RArguments saved_;
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

template <class List>
std::optional<RValue> IndexOf(const List& list, const std::string& name) {
  int i = list.Find(name);
  if (i < 0) return std::nullopt;
  return RValue::Real(i);
}

class CGameScriptNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    int i = Scripts().Find(std::string(name));
    if (i >= 0) return kScriptIdBase + i;
    return BuiltinRegistry().Find(name);
  }
  int32_t FunctionArgCount(int32_t id) const override {
    if (id >= kScriptIdBase && id < kExtensionIdBase)
      return Scripts().Exists(id - kScriptIdBase) ? kAnyArgCount : kUnknownFunction;
    if (id >= kExtensionIdBase) return kUnknownFunction;
    return BuiltinRegistry().ArgCount(id);
  }
  std::optional<RValue> FindConstant(std::string_view view) const override {
    const std::string name(view);
    for (auto found : {IndexOf(Objects(), name), IndexOf(Sprites(), name), IndexOf(Sounds(), name),
                       IndexOf(Backgrounds(), name), IndexOf(Paths(), name), IndexOf(Fonts(), name),
                       IndexOf(TimeLines(), name), IndexOf(Scripts(), name), IndexOf(Rooms(), name)})
      if (found) return found;
    for (int i = 0; i < Triggers().Count(); ++i)
      if (const CTrigger* t = Triggers().Get(i); t && !t->i_constname.empty() && t->i_constname == name)
        return RValue::Real(i);
    auto it = ConstantTable().find(name);
    if (it == ConstantTable().end()) return std::nullopt;
    return it->second;
  }
  std::string FunctionName(int32_t id) const override {
    if (id >= kScriptIdBase && id < kExtensionIdBase)
      return Scripts().Exists(id - kScriptIdBase) ? Scripts().Name(id - kScriptIdBase) : "";
    const RFunction* f = BuiltinRegistry().Get(id);
    return f ? f->f_name : "";
  }
};

bool ValidConstantName(const std::string& s) {
  if (s.empty()) return false;
  auto letter = [](unsigned char c) { return std::isalpha(c) || c == '_'; };
  if (!letter(static_cast<unsigned char>(s[0]))) return false;
  return std::all_of(s.begin(), s.end(), [&](char c) {
    return letter(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c));
  });
}

std::string Trim(std::string_view s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return std::string(s.substr(a, b - a));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Argument state.

RValue* ArgumentSlots() { return g_args.slots.data(); }
int32_t ArgumentCount() { return g_args.count; }
const std::string& RunningScriptName() { return g_args.name; }
void ResetArguments() { g_args = RArguments(); }

void RegisterArgumentVariables() {
  auto reg = [](const std::string& n) {
    if (FindBuiltinVariable(n) < 0) RegisterBuiltinVariable(n);
  };
  reg("argument_count");
  reg("argument");
  for (int32_t k = 0; k < kMaxArguments; ++k) reg("argument" + std::to_string(k));
}

std::optional<bool> GetArgumentVariable(int32_t id, int32_t flatindex, RValue& out) {
  if (id < 0) return std::nullopt;
  const RArgumentIds& ids = ArgumentIds();
  if (id == ids.count) {
    out = RValue::Real(g_args.count);
    return true;
  }
  if (id == ids.array) {
    const int32_t i = flatindex >= 0 && flatindex < kMaxArguments ? flatindex : 0;
    if (GameSettings().checkArgumentCount && i >= g_args.count) {
      ReportBuiltinError("Illegal array index in script \"" + g_args.name + "\".\rtrying to access argument[" +
                         std::to_string(i) + "], but only " + std::to_string(g_args.count) +
                         " arguments have been supplied.");
      return false;
    }
    out = g_args.slots[size_t(i)];
    return true;
  }
  for (int32_t k = 0; k < kMaxArguments; ++k)
    if (id == ids.slot[size_t(k)]) {
      out = g_args.slots[size_t(k)];
      return true;
    }
  return std::nullopt;
}

std::optional<bool> SetArgumentVariable(int32_t id, int32_t flatindex, const RValue& value) {
  if (id < 0) return std::nullopt;
  const RArgumentIds& ids = ArgumentIds();
  if (id == ids.count) return false;
  if (id == ids.array) {
    g_args.slots[size_t(flatindex >= 0 && flatindex < kMaxArguments ? flatindex : 0)] = value;
    return true;
  }
  for (int32_t k = 0; k < kMaxArguments; ++k)
    if (id == ids.slot[size_t(k)]) {
      g_args.slots[size_t(k)] = value;
      return true;
    }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Calls.

bool CallScript(int32_t index, CInstance* self, CInstance* other, RValue& result, bool check,
                const RValue* args, int32_t count) {
  const CScript* script = Scripts().Get(index);
  if (script == nullptr || !script->s_code || !script->s_code->i_compiled) return false;
  // Keep the code alive even if the script table changes while it runs.
  const std::shared_ptr<CCode> code = script->s_code;
  const std::string name = Scripts().Name(index);
  count = std::clamp(count, 0, kMaxArguments);

  CSavedArguments saved;
  g_args.count = count;
  g_args.name = name;
  for (int32_t k = 0; k < kMaxArguments; ++k) g_args.slots[size_t(k)] = k < count ? args[k] : RValue();
  result = RValue();

  // The first error of the enclosing run is the one it keeps.
  CodeErrorState before = SaveCodeError();
  if (!ExecuteCodeValue(self, other, *code, result)) {
    // Name the script once, even when it failed deep inside its own recursion.
    const std::string prefix = "In script " + name + ":\r";
    if (PendingCodeError().compare(0, prefix.size(), prefix) != 0)
      SetPendingCodeError(prefix + PendingCodeError());
  }
  if (before.pending) RestoreCodeError(std::move(before));

  if (check && GameSettings().checkArgumentCount) {
    const bool wrong = code->i_ArgArray ? count < code->i_Args : count != code->i_Args;
    if (wrong) {
      SetPendingCodeError(ArgumentCountMessage(name, *code, count));
      return false;
    }
  }
  return true;
}

bool CallFunctionId(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                    RValue& result) {
  if (id >= kScriptIdBase && id < kExtensionIdBase)
    return CallScript(id - kScriptIdBase, self, other, result, true, args, argc);
  if (id >= kExtensionIdBase) {
    ReportBuiltinError("Extension functions are not available yet.");
    return true;
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

const IScriptNames& GameScriptNames() {
  static const CGameScriptNames names;
  return names;
}

void InstallGameScriptNames() { SetScriptNames(&GameScriptNames()); }

void AddConstant(std::string_view name, const RValue& value) { ConstantTable()[std::string(name)] = value; }

void ResetConstants() {
  auto& t = ConstantTable();
  t.clear();
  for (const RBuiltinConstant& c : BuiltinConstants()) t[c.name] = RValue::Real(c.value);
}

bool DefineGameConstant(std::string_view rawName, std::string_view valueText) {
  const std::string name = Trim(rawName);
  if (!ValidConstantName(name)) {
    ShowMessage("Constant name " + name + "  is not valid.");
    return false;
  }
  const CodeErrorState before = SaveCodeError();
  CCode code(valueText, true);
  RValue value;
  bool ok = code.Compile(&GameScriptNames());
  if (ok) {
    CScratchHost scratch;
    CScratchHostScope scope(scratch);
    ok = ExecuteCodeValue(scratch.Instance(), scratch.Instance(), code, value);
  }
  RestoreCodeError(before);
  if (!ok) {
    ShowMessage("Value for constant " + name + "  is not valid.");
    return false;
  }
  AddConstant(name, value);
  return true;
}

bool DefineGameConstants() {
  const CConstants& c = Constants();
  for (int i = 0; i < c.Count(); ++i)
    if (!DefineGameConstant(c.names[size_t(i)], c.values[size_t(i)])) return false;
  return true;
}

bool CompileGameScripts() {
  CResourceList<CScript>& list = Scripts();
  for (int i = 0; i < list.Count(); ++i) {
    CScript* s = list.Get(i);
    if (s == nullptr) continue;
    auto code = std::make_shared<CCode>(s->s_text, false);
    ClearCodeError();
    if (!code->Compile(&GameScriptNames())) {
      HandlePendingCodeError(errhdr::ScriptCompile(list.Name(i)), true);
      return false;
    }
    s->s_code = std::move(code);
  }
  return true;
}

}  // namespace kestro
