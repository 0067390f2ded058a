// The language core embedded in a host of its own, with nothing of the game linked: a few
// instances, one script, one constant and only the core's own math functions.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "script/BuiltinNames.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/Bindings.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {
namespace {

// Three instances, each a variable list; self is the first. Designator -3 names them all.
class CSmallHost final : public IScriptHost {
 public:
  CSmallHost() : lists_(3) {}
  CInstance* At(size_t i) { return reinterpret_cast<CInstance*>(&lists_[i]); }
  CVariableList& Variables(CInstance* inst) override { return *reinterpret_cast<CVariableList*>(inst); }
  CInstance* FirstInstance(int32_t designator) override { return designator == -3 ? At(0) : nullptr; }
  void Instances(int32_t designator, std::vector<CInstance*>& out) override {
    if (designator == -3)
      for (size_t i = 0; i < lists_.size(); ++i) out.push_back(At(i));
  }
  bool GetBuiltin(CInstance*, int32_t id, int32_t flat, RValue& out) override {
    return GetArgumentVariable(id, flat, out).value_or(false);
  }
  bool SetBuiltin(CInstance*, int32_t id, int32_t flat, const RValue& v) override {
    return SetArgumentVariable(id, flat, v).value_or(false);
  }
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override {
    return CallFunctionId(id, self, other, argc, args, result);
  }

 private:
  std::vector<CVariableList> lists_;
};

// The host's names: the script "twice", the constant "ten", then the built-in vocabulary.
class CSmallNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    if (name == "twice") return kScriptIdBase;
    return BuiltinScriptNames().FindFunction(name);
  }
  int32_t FunctionArgCount(int32_t id) const override {
    return id == kScriptIdBase ? kAnyArgCount : BuiltinScriptNames().FunctionArgCount(id);
  }
  std::optional<RValue> FindConstant(std::string_view name) const override {
    if (name == "ten") return RValue::Real(10);
    return BuiltinScriptNames().FindConstant(name);
  }
  std::string FunctionName(int32_t id) const override {
    return id == kScriptIdBase ? "twice" : BuiltinScriptNames().FunctionName(id);
  }
};

class CSmallScripts final : public IScriptTable {
 public:
  explicit CSmallScripts(const IScriptNames& names) : twice_("return argument0 * 2", CodeKind::kProgram) {
    RegisterArgumentVariables();
    EXPECT_TRUE(twice_.Compile(&names)) << twice_.CompileError();
  }
  const CCode* Code(int32_t index) const override { return index == 0 ? &twice_ : nullptr; }
  std::string Name(int32_t index) const override { return index == 0 ? "twice" : kUndefinedScriptName; }

 private:
  CCode twice_;
};

class Embedding : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBuiltinBindings({MathFunctions()});
    SetScriptNames(&names_);
    SetScriptTable(&scripts_);
    SetScriptHost(&host_);
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors_ += std::string(m) + ";"; });
  }
  void TearDown() override {
    SetBuiltinErrorHandler(nullptr);
    SetScriptHost(nullptr);
    SetScriptTable(nullptr);
    SetScriptNames(nullptr);
    SetBuiltinBindings({});
    ClearCodeError();
  }
  bool Run(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    RValue result;
    return ExecuteCode(host_.At(0), host_.At(0), code, result);
  }
  double Var(size_t instance, const char* name) {
    RValue v;
    EXPECT_TRUE(host_.Variables(host_.At(instance)).GetVar(VariableId(name), 0, v)) << name;
    return v.val;
  }

  CSmallNames names_;
  CSmallScripts scripts_{names_};
  CSmallHost host_;
  std::string errors_;
};

TEST_F(Embedding, RunsCodeWithScriptsConstantsAndMath) {
  ASSERT_TRUE(Run("total = 0; for (i = 0; i < 4; i += 1) total += twice(i); r = sqrt(total + 4) + ten"));
  EXPECT_EQ(Var(0, "total"), 12);
  EXPECT_EQ(Var(0, "r"), 14);
  ASSERT_TRUE(Run("with (all) hp = twice(3)"));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Var(i, "hp"), 6) << i;
  EXPECT_EQ(errors_, "");
}

TEST_F(Embedding, ErrorsStayInTheCore) {
  EXPECT_FALSE(Run("x = missing + 1"));
  EXPECT_NE(PendingCodeError().find("Unknown variable missing"), std::string::npos) << PendingCodeError();
  ClearCodeError();
  // Game families are not linked: their names compile, and a call says so instead of yielding 0.
  ASSERT_TRUE(Run("show_debug_message(1)"));
  EXPECT_EQ(errors_, "Function show_debug_message() is not available yet.;");
}

}  // namespace
}  // namespace kestro
