// Compiles arbitrary text as script code: it must compile or give a compile error, never crash,
// hang or run out of stack. What compiles is then run, with a step budget so loops end. The first
// byte picks program or expression form. The text is also the game's one script, `scr`, so code
// that calls it runs itself, down to the recursion limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/NameLookup.h"
#include "script/Variables.h"
#include "tools/Bindings.h"
#include "world/GameScripts.h"

namespace {

using namespace kestro;

class FuzzNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    if (name == "f") return 0;
    if (name == "g2") return 1;
    if (name == "scr") return kScriptIdBase;
    return std::nullopt;
  }
  int32_t FunctionArgCount(int32_t id) const override {
    return id == 1 ? 2 : id == 0 || id == kScriptIdBase ? -1 : kUnknownFunction;
  }
  std::optional<RValue> FindConstant(std::string_view name) const override {
    if (name == "other") return RValue::Real(-2);
    if (name == "s") return RValue::String("str");
    if (name == "obj") return RValue::Real(3);
    return std::nullopt;
  }
  std::string FunctionName(int32_t id) const override { return id == 0 ? "f" : id == 1 ? "g2" : ""; }
};

// One instance in the room (id 100000, object 3) with its variables and a writable built-in x.
struct FuzzHost final : IScriptHost {
  CVariableList vars;
  double x = 0;
  char self = 0;
  CInstance* Self() { return reinterpret_cast<CInstance*>(&self); }
  CVariableList& Variables(CInstance*) override { return vars; }
  CInstance* FirstInstance(int32_t d) override {
    return d == kDesignatorAll || d == 3 || d == 100000 ? Self() : nullptr;
  }
  void Instances(int32_t d, std::vector<CInstance*>& out) override {
    if (CInstance* i = FirstInstance(d)) out.push_back(i);
  }
  bool GetBuiltin(CInstance*, int32_t id, int32_t flat, RValue& v) override {
    if (id != 0 || flat != 0) return false;
    v = RValue::Real(x);
    return true;
  }
  bool SetBuiltin(CInstance*, int32_t id, int32_t flat, const RValue& v) override {
    if (id != 0 || flat != 0 || v.kind != ty_real) return false;
    x = v.val;
    return true;
  }
  bool CallFunction(int32_t id, CInstance*, CInstance*, int32_t argc, RValue* args, RValue& result) override {
    if (id == 0 && argc > 0) result = args[0];
    if (id != kScriptIdBase) return true;
    ReportCodeError(nullptr, 0, "In script scr: failed");  // a failing script leaves its error pending
    return false;
  }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzNames names;
  static FuzzHost host;
  static bool once = [] {
    RegisterBuiltinVariable("x");
    SetScriptHost(&host);
    kestro::tools::InstallGameBindings();
    // The game's scripts are the script table; names resolve through the target's own lookup.
    InstallGameScriptNames();
    SetScriptNames(nullptr);
    return true;
  }();
  (void)once;
  if (size == 0) return 0;
  const bool expression = data[0] & 1;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  GameResources().Clear();
  auto script = std::make_unique<CScript>();
  script->s_code = std::make_shared<CCode>(text, CodeKind::kProgram);
  if (script->s_code->Compile(&names)) Scripts().Add(std::move(script), "scr");
  CCode code(text, expression ? CodeKind::kExpression : CodeKind::kProgram);
  ClearCodeError();
  if (code.Compile(&names)) {
    Check(code.i_compiled);
    for (size_t i = 0; i < code.NodeCount(); ++i) {
      const RNode& n = code.Node(static_cast<uint32_t>(i));
      for (int32_t k = 0; k < n.itemnumb; ++k) Check(code.Child(n, k) < code.NodeCount());
    }
    std::string dump = DumpTree(code, &names);
    Check(!DumpTreeCompact(code, &names).empty());
    host.vars.Clear();
    ResetGlobals();
    SetExecutionBudget(2000);  // small: a loop that grows a string copies it every step
    RValue result;
    if (!ExecuteCode(host.Self(), host.Self(), code, result)) Check(CodeErrorPending());
    SetExecutionBudget(-1);
  } else {
    Check(CodeErrorPending());
    Check(!code.CompileError().empty());
  }
  ClearCodeError();
  GameResources().Clear();
  // The display form of any eight bytes read as a real.
  if (size >= 9) {
    double v;
    std::memcpy(&v, data + 1, sizeof v);
    std::string out;
    DisplayString(RValue::Real(v), out);
  }
  return 0;
}
