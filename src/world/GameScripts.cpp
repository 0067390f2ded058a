#include "world/GameScripts.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

#include "io/Messages.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/ScratchHost.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/FunctionRegistry.h"
#include "world/ErrorReport.h"

namespace kestro {

namespace {

template <class List>
std::optional<RValue> IndexOf(const List& list, const std::string& name) {
  int i = list.Find(name);
  if (i < 0) return std::nullopt;
  return RValue::Real(i);
}

// Scripts of the game data, then extension functions, then built-in functions; for constants the resource names, trigger
// constants, then the constant table.
class CGameScriptNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    int i = Scripts().Find(std::string(name));
    if (i >= 0) return kScriptIdBase + i;
    if (const CExtensionFunction* f = FindExtensionFunction(ExtensionPackages(), name)) return kExtensionIdBase + f->s_id;
    return BuiltinRegistry().Find(name);
  }
  int32_t FunctionArgCount(int32_t id) const override {
    if (id >= kScriptIdBase && id < kExtensionIdBase)
      return Scripts().Exists(id - kScriptIdBase) ? kAnyArgCount : kUnknownFunction;
    if (id >= kExtensionIdBase) {
      const CExtensionFunction* f = FindExtensionFunctionById(ExtensionPackages(), id - kExtensionIdBase);
      return f == nullptr ? kUnknownFunction : f->s_argcount < 0 ? kAnyArgCount : f->s_argcount;
    }
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
    return kestro::FindConstant(name);
  }
  std::string FunctionName(int32_t id) const override {
    if (id >= kScriptIdBase && id < kExtensionIdBase)
      return Scripts().Exists(id - kScriptIdBase) ? Scripts().Name(id - kScriptIdBase) : "";
    if (id >= kExtensionIdBase) {
      const CExtensionFunction* e = FindExtensionFunctionById(ExtensionPackages(), id - kExtensionIdBase);
      return e ? e->s_name : "";
    }
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

// The game's scripts as the language's script table: each holds the code compiled at preparation.
class CGameScriptTable final : public IScriptTable {
 public:
  const CCode* Code(int32_t index) const override {
    const CScript* script = Scripts().Get(index);
    // Scripts are compiled once, while the game is prepared, and stay until it ends: the code
    // outlives every call.
    return script ? script->s_code.get() : nullptr;
  }
  std::string Name(int32_t index) const override { return Scripts().Name(index); }
};

}  // namespace

const IScriptNames& GameScriptNames() {
  static const CGameScriptNames names;
  return names;
}

void InstallGameScriptNames() {
  SetScriptNames(&GameScriptNames());
  InstallGameScriptTable();
}

void InstallGameScriptTable() {
  static const CGameScriptTable table;
  SetScriptTable(&table);
}

void ApplyLanguageSettings(const CGameSettings& settings) {
  SetUninitialisedAreZero(settings.uninitialisedAreZero);
  SetCheckArgumentCount(settings.checkArgumentCount);
}

bool DefineGameConstant(std::string_view rawName, std::string_view valueText) {
  const std::string name = Trim(rawName);
  if (!ValidConstantName(name)) {
    ShowMessage("Constant name " + name + "  is not valid.");
    return false;
  }
  const CodeErrorState before = SaveCodeError();
  CCode code(valueText, CodeKind::kExpression);
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
    auto code = std::make_shared<CCode>(s->s_text, CodeKind::kProgram);
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
