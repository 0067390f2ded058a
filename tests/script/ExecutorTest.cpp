// Programs -> what they show, or the run-time error: statements and their status rules,
// designators, arrays, locals and globals, with, switch, and the errors with their positions.
// A small room of instances stands in for the game world.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ScriptTestNames.h"
#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/builtins/Bindings.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "world/GameScripts.h"

namespace kestro {
namespace {

test::TestNames& Names() {
  static test::TestNames names;
  return names;
}

struct TInstance {
  int32_t id;
  int32_t object;
  bool marked = false;
  double x = 0;
  CVariableList vars;
};

CInstance* AsInstance(TInstance* t) { return reinterpret_cast<CInstance*>(t); }
TInstance* AsTest(CInstance* i) { return reinterpret_cast<TInstance*>(i); }

// Room: 100001 (object 1), 100002 (object 2, a child of 1), 100003 (object 3), and 100004 of
// object 1, destroyed (marked).
class TestHost : public IScriptHost {
 public:
  TestHost() { Reset(); }
  void Reset() {
    room.clear();
    for (auto [id, obj] : {std::pair{100001, 1}, {100002, 2}, {100003, 3}, {100004, 1}}) {
      room.push_back(std::make_unique<TInstance>());
      room.back()->id = id;
      room.back()->object = obj;
    }
    room.back()->marked = true;
    out.clear();
  }
  bool Named(const TInstance& t, int32_t d) const {
    if (t.marked) return false;
    if (d == kDesignatorAll) return true;
    if (d >= kFirstInstanceId) return t.id == d;
    return t.object == d || (d == 1 && t.object == 2);  // object 2's parent is 1
  }
  CVariableList& Variables(CInstance* inst) override { return AsTest(inst)->vars; }
  CInstance* FirstInstance(int32_t d) override {
    for (auto& t : room)
      if (Named(*t, d)) return AsInstance(t.get());
    return nullptr;
  }
  void Instances(int32_t d, std::vector<CInstance*>& list) override {
    for (auto& t : room)
      if (Named(*t, d)) list.push_back(AsInstance(t.get()));
  }
  bool GetBuiltin(CInstance* inst, int32_t id, int32_t flat, RValue& v) override {
    if (flat != 0) return false;
    if (id == FindBuiltinVariable("x")) return v = RValue::Real(AsTest(inst)->x), true;
    if (id == FindBuiltinVariable("id")) return v = RValue::Real(AsTest(inst)->id), true;
    if (id == FindBuiltinVariable("y")) return v = RValue::Real(-1), true;
    return false;
  }
  bool SetBuiltin(CInstance* inst, int32_t id, int32_t flat, const RValue& v) override {
    if (id != FindBuiltinVariable("x") || flat != 0 || v.kind != ty_real) return false;
    AsTest(inst)->x = v.val;
    return true;
  }
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override {
    switch (id) {
      case 0: out += "f;"; return true;
      case 4:
        for (int32_t k = 0; k < argc; ++k) out += DisplayString(args[k]) + ";";
        return true;
      case 5: return false;
      case 6: {  // runs the same code again, without end
        RValue r;
        return ExecuteCode(self, other, *running, r);
      }
      default: result = RValue::Real(id); return true;
    }
  }
  std::vector<std::unique_ptr<TInstance>> room;
  std::string out;
  const CCode* running = nullptr;
};

TestHost& Host() {
  static TestHost host;
  return host;
}

std::string ShortError(const std::string& m) {
  size_t at = m.rfind("position ");
  std::string tail = m.substr(at + 9);
  size_t colon = tail.find(": ");
  std::string line = m.substr(22, m.find(':') - 22);
  return line + ":" + tail.substr(0, colon) + " " + tail.substr(colon + 2);
}

// Runs a program with instance 100001 as self and other; "shown values" then "error ..." if any.
std::string RunProgram(const std::string& src, RValue* result = nullptr) {
  CCode c(src, CodeKind::kProgram);
  if (!c.Compile(&Names())) {
    ClearCodeError();
    return "compile error " + c.CompileError();
  }
  Host().Reset();
  ResetGlobals();
  SetScriptHost(&Host());
  Host().running = &c;
  CInstance* self = AsInstance(Host().room[0].get());
  RValue r;
  bool ok = ExecuteCode(self, self, c, r);
  std::string s = Host().out;
  if (!ok) s += CodeErrorPending() ? "error " + ShortError(PendingCodeError()) : "failed";
  ClearCodeError();
  SetScriptHost(nullptr);
  if (result) *result = r;
  return s;
}

struct Case {
  const char* source;
  const char* shown;
};

class Runs : public ::testing::TestWithParam<Case> {};
TEST_P(Runs, Show) { EXPECT_EQ(RunProgram(GetParam().source), GetParam().shown) << GetParam().source; }

INSTANTIATE_TEST_SUITE_P(
    Statements, Runs,
    ::testing::Values(
        Case{"if (\"a\") x = 1", "error 1:5 Expression expected"},
        Case{"while (\"a\") {}", "error 1:8 Boolean expression expected"},
        Case{"repeat (\"3\") {}", "error 1:9 Repeat count must be a number"},
        // Appending grows a text held by one variable in place; every other holder keeps its own.
        Case{"s = \"a\"; t = s; s += \"b\"; s += \"c\"; show(t); show(s)", "a;abc;"},
        Case{"var s; s = \"x\"; repeat 3 { global.g = s; s += s } show(s); show(global.g)", "xxxxxxxx;xxxx;"},
        Case{"a[2] = \"p\"; b = a[2]; a[2] += \"q\"; show(a[2] + b)", "pqp;"},
        Case{"s = \"a\"; s += 1", "error 1:12 Wrong type of arguments to +."},
        Case{"n = 0; repeat (2.5) n += 1; show(n)", "2;"}, Case{"n = 0; repeat (-1) n += 1; show(n)", "0;"},
        Case{"a = 0; if (a && f()) show(1)", "f;"}, Case{"b = 0 || f(); show(b)", "f;0;"},
        Case{"if 0.5 show(1) else show(2); if 0.4 show(1) else show(2)", "1;2;"},
        // A NaN condition (infinity minus infinity) is not below 0.5, so it counts as true.
        Case{"a = 1; repeat 400 a *= 10; a -= a; if (a) show(1) else show(2)", "1;"},
        Case{"n = 0; for (i = 0; i < 3; i += 1) { if (i == 1) continue; n += 1 } show(n)", "2;"},
        Case{"for (i = 0; i < 10; i += 1) { if i == 2 break; show(i) } show(i)", "0;1;2;"},
        Case{"n = 0; while (n < 5) { n += 1; if n mod 2 continue; show(n) }", "2;4;"},
        Case{"n = 0; while true { n += 1; if n == 3 break } show(n)", "3;"},
        Case{"n = 0; do n += 1 until n >= 3; show(n)", "3;"},
        Case{"n = 0; do { n += 1; if n == 2 break } until false; show(n)", "2;"},
        Case{"do { continue } until true; show(1)", "1;"},
        Case{"do {} until \"s\"", "error 1:13 Boolean expression expected"},
        Case{"for (i = 0; \"s\"; i += 1) {}", "error 1:13 Expression expected"},
        Case{"n = 0; repeat 5 { n += 1; if n == 2 break } show(n)", "2;"},
        Case{"; a = 1", "error 1:1 Statement expected."}, Case{"break; show(1)", ""},
        Case{"continue; show(1)", ""}, Case{"exit; show(1)", ""},
        Case{"case 1: show(1)", "error 1:1 Case statement only allowed inside switch statement."},
        Case{"show(1); default: show(2)", "1;error 1:10 Default statement only allowed inside switch statement."},
        Case{"switch (2) { default: a = 1; case 2: b = 1 } show(a, b)", "1;1;"},
        Case{"a = 0; switch (\"\") { case 0: a = 1 } show(a)", "0;"},
        Case{"switch (2) { case 1: show(1) case 2: show(2) case 3: show(3); break; case 4: show(4) }", "2;3;"},
        Case{"switch (0.5 + 0.00000000000001) { case 0.5: show(1) }", ""},  // labels match exactly
        Case{"switch (\"b\") { case \"a\": show(1); case \"b\": show(2) }", "2;"},
        Case{"repeat 3 { switch 1 { case 1: continue } show(9) } show(0)", "0;"},
        Case{"switch 1 { case f(): show(1) } ", "f;"},
        Case{"fail(); show(1)", "failed"}));

INSTANTIATE_TEST_SUITE_P(
    Variables, Runs,
    ::testing::Values(
        Case{"arr[3] = 1; b = arr[2]; show(b, arr)", "0;0;"},
        Case{"arr[3] = 1; b = arr[4]", "error 1:17 Unknown variable arr or array index out of bounds"},
        Case{"b = c", "error 1:5 Unknown variable c"},
        Case{"arr[-1] = 0", "error 1:5 Negative array index"},
        Case{"arr[32000] = 0", "error 1:5 Array index >= 32000"},
        Case{"arr[1, 32005] = 0", "error 1:8 Array index >= 32000"},
        Case{"arr[\"a\"] = 0", "error 1:5 Wrong type of array index"},
        Case{"(\"a\").b[0] = 0", "error 1:2 Wrong type of variable index"},
        Case{"arr[0, 5] = 7; show(arr[5]); arr[1, 5] = 8; show(arr[5], arr[1, 5])", "7;7;8;"},
        Case{"arr[2, 1] = 5; show(arr[2, 1], arr[2, 0]); b = arr[1, 1]",
             "5;0;error 1:48 Unknown variable arr or array index out of bounds"},
        Case{"noone.z = 1", "error 1:9 Cannot assign to the variable"},
        Case{"b = noone.z", "error 1:11 Unknown variable z"},
        Case{"(100500).z = 1; show(1)", "1;"}, Case{"b = (100500).z", "error 1:14 Unknown variable z"},
        Case{"(100004).z = 1; b = (100004).z", "error 1:30 Unknown variable z"},  // destroyed
        Case{"o = 100002; o.z = 5; show(o.z, (100002).z)", "5;5;"},
        Case{"(1).z = 4; show((100001).z, (100002).z); b = (100003).z", "4;4;error 1:55 Unknown variable z"},
        Case{"all.z = 2; show((100003).z, all.id, (2).id, (3).id)", "2;100001;100002;100003;"},
        Case{"b = (-8).z", "error 1:10 Unknown variable z"}, Case{"(-8).z = 1", "error 1:8 Cannot assign to the variable"},
        Case{"x = 5; show(x, self.x, other.x)", "5;5;5;"}, Case{"y = 1", "error 1:3 Cannot assign to the variable"},
        Case{"x = \"s\"", "error 1:3 Cannot assign to the variable"},
        Case{"var v; show(v)", "error 1:13 Unknown variable v"},
        Case{"v = 1; var v; v = 2; show(v, self.v)", "2;1;"},
        Case{"globalvar g; show(g); g = 3; show(global.g, g)", "0;3;3;"},
        Case{"global.q = 1; show(q)", "error 1:20 Unknown variable q"},
        Case{"global.q = 1; globalvar q; show(q)", "1;"},
        Case{"global.x = 7; show(global.x, x)", "7;0;"},
        Case{"a = 1; a += \"s\"", "error 1:10 Wrong type of arguments to +."},
        Case{"a += 1", "error 1:1 Unknown variable a"},
        Case{"s = \"ab\"; s += \"cd\"; show(s); s *= 2", "abcd;error 1:33 Wrong type of arguments to *."},
        Case{"a = 6; a -= 1; a *= 2; a /= 4; a |= 8; a &= 12; a ^= 1; show(a)", "9;"},
        Case{"a = 1; a /= 0", "error 1:10 Division by 0."},
        Case{"s = \"x\"; a = 1 + s", "error 1:18 Wrong type of arguments to +."},
        Case{"s = \"x\"; a = -s", "error 1:15 Wrong type of arguments to unary operator."},
        Case{"a = 0.1; b = 0.2; show(a + b == 0.3, 1 == 1 + a * 0.00000000001)", "1;0;"},
        Case{"s = \"B\"; show(s < \"a\", s + s, 3 * s)", "1;BB;BBB;"},
        // Arithmetic on locals and instance variables takes a shortcut; results and errors are
        // those of the operator routines.
        Case{"var a, b; a = -7; b = 2; show(a div b, a mod b, -a mod -b, (a + 1.5) mod b, a / b * 2)",
             "-3;-1;1;-1.50;-7;"},
        Case{"var a, b; a = 0.1; b = 0.2; show(a + b == 0.3, a + b != 0.3, a < a + 0.00000000000001, !a, -a)",
             "1;0;0;1;-0.10;"},
        Case{"var a, b; a = 3000000000; b = 7; show(a div b, a mod b, (a * b) mod 10)", "428571428;4;0;"},
        Case{"var a, b; a = 1; b = 0; c = a + a / b", "error 1:37 Division by 0."},
        Case{"var a, b; a = 1; b = 0; c = (a + 1) mod b", "error 1:41 Modulo by 0."},
        Case{"var a, b; a = \"x\"; b = a + a; show(b, a < a + a)", "xx;1;"},
        Case{"var a, b; b = a + 1", "error 1:15 Unknown variable a"},
        Case{"var a; a = 1; a = \"s\" + a", "error 1:25 Wrong type of arguments to +."},
        Case{"n = 2; m = n * n + n; var k; k = m - 1; k += n; k -= 0.5; k *= 2; show(k, m > k)", "13;0;"},
        Case{"var s; s = \"\"; repeat 3 s += \"ab\"; show(s)", "ababab;"},
        Case{"var i, t; t = 0; for (i = 0; i < 5; i += 1) t += i * i; show(t, i)", "30;5;"},
        Case{"var a; a[2] = 5; b = a[2] * 2; show(b, a[1] + a[2] + a)", "10;5;"},
        Case{"var a; a[1] = 1; b = a[2] + 1", "error 1:22 Unknown variable a or array index out of bounds"},
        Case{"g[0, 3] = 2; show(g[0, 3] + g[3], g[1, 3] == 0)", "error 1:35 Unknown variable g or array index out of bounds"},
        Case{"v[1] = \"s\"; show(v[1] + v[1])", "ss;"},
        Case{"var k; k = 1; v[k] = 2; k += v[k]; k -= v[k - 2] / 4; show(k)", "2.50;"},
        Case{"var i; i = -1; b = arr[i] + 1", "error 1:24 Negative array index"},
        Case{"var i, t; t = 1; i = 0; arr[0] = 1; t += arr[i / i]", "error 1:50 Division by 0."}));

INSTANTIATE_TEST_SUITE_P(
    With, Runs,
    ::testing::Values(
        Case{"with (all) show(id)", "100001;100002;100003;"},
        Case{"with (1) show(id, other.id)", "100001;100001;100002;100001;"},
        Case{"with (100003) { show(id, other.id); with (other) show(id, other.id) }", "100003;100001;100001;100003;"},
        Case{"with (100004) show(id); with (100009) show(id); with (noone) show(id)", ""},
        Case{"with (self) show(other.id)", "100001;"},
        Case{"with (-8) show(id); show(0)", "0;"},
        Case{"n = 0; while (true) { n += 1; with (other) break; } show(n)", "1;"},
        Case{"n = 0; repeat 3 { with (all) break; n += 1 } show(n)", "3;"},
        Case{"repeat 2 { with (all) { show(id); continue } }", "100001;100002;100003;100001;100002;100003;"},
        Case{"with (all) { show(id); exit } show(0)", "100001;"},
        Case{"with (all) z = id; show((100002).z)", "100002;"},
        // Instances whose variables were made in different orders.
        Case{"(100001).a = 1; b = 2; (100002).b = 20; (100002).a = 10; (100003).c = 0; (100003).b = 200; "
             "(100003).a = 100; with (all) { a += 1; show(a, b) } with (all) b = a; show(b, (100003).b)",
             "2;2;11;20;101;200;2;101;"},
        Case{"with (local) {}", "error 1:7 Cannot use local in with statement."},
        Case{"with (global) {}", "error 1:7 Cannot use global in with statement."},
        Case{"with (\"a\") {}", "error 1:7 Object id expected"}));

TEST(Executor, ReturnSetsTheResultAndEntriesHandleTheirFailures) {
  RValue r;
  EXPECT_EQ(RunProgram("return 2 + 3; show(1)", &r), "");
  EXPECT_EQ(r.val, 5);
  EXPECT_EQ(RunProgram("for (i = 0; i < 1; return 9) { } return 4", &r), "");
  EXPECT_EQ(r.val, 0);  // the step's return ends the code; the scratch result is not the run's
  EXPECT_EQ(RunProgram("for (i = 0; i < 3; i += 1) { if (i == 2) return i }", &r), "");
  EXPECT_EQ(r.val, 2);

  // A constant expression needs no instance; other code does.
  CCode constant("2 * 21", CodeKind::kExpression), expr("x + 1", CodeKind::kExpression),
      notCompiled("a = 1", CodeKind::kProgram);
  ASSERT_TRUE(constant.Compile(&Names()));
  ASSERT_TRUE(expr.Compile(&Names()));
  EXPECT_TRUE(ExecuteCode(nullptr, nullptr, constant, r));
  EXPECT_EQ(r.val, 42);
  EXPECT_FALSE(ExecuteCodeValue(nullptr, nullptr, expr, r));
  EXPECT_EQ(r.str.view(), "ERROR");
  EXPECT_NE(PendingCodeError().find("Internal Error: Executing code for nil instance."), std::string::npos);
  EXPECT_FALSE(ExecuteCode(nullptr, nullptr, notCompiled, r));
  EXPECT_NE(PendingCodeError().find("Internal Error: Executing non-compiled code."), std::string::npos);
  ClearCodeError();

  // An expression is evaluated into the result; errors use the expression form.
  SetScriptHost(&Host());
  Host().Reset();
  CInstance* self = AsInstance(Host().room[0].get());
  Host().room[0]->x = 4;
  EXPECT_TRUE(ExecuteCode(self, self, expr, r));
  EXPECT_EQ(r.val, 5);
  CCode bad("x + nothing", CodeKind::kExpression);
  ASSERT_TRUE(bad.Compile(&Names()));
  EXPECT_FALSE(ExecuteCode(self, self, bad, r));
  EXPECT_EQ(PendingCodeError(), "Error in expression:x + nothing\r position 5: Unknown variable nothing");
  // A new run clears the pending error first.
  EXPECT_TRUE(ExecuteCode(self, self, expr, r));
  EXPECT_FALSE(CodeErrorPending());
  SetScriptHost(nullptr);
}

TEST(Executor, UninitialisedVariablesReadAsZeroWhenSet) {
  SetUninitialisedAreZero(true);
  EXPECT_EQ(RunProgram("a += 2; show(a, b, arr[7], noone.z)", nullptr), "2;0;0;0;");
  SetUninitialisedAreZero(false);
}

// Comparisons that decide a condition, and indices read from locals, take shorter paths for reals;
// anything else gives the same results and errors as an expression would.
INSTANTIATE_TEST_SUITE_P(
    Conditions, Runs,
    ::testing::Values(Case{"var i; if i < 3 show(1)", "error 1:11 Unknown variable i"},
                      Case{"var s; s = \"a\"; if s < 1 show(1)", "error 1:24 Cannot compare arguments."},
                      Case{"var s; s = \"b\"; if s > \"a\" show(1); if s == \"b\" show(2)", "1;2;"},
                      Case{"i = 0; while (i < \"z\") i += 1", "error 1:19 Cannot compare arguments."},
                      Case{"n = 0; do n += 1 until n >= 3; show(n)", "3;"},
                      Case{"var i; i = 0.6; arr[1] = 7; show(arr[i])", "7;"},
                      Case{"var i; i = \"x\"; a = arr[i]", "error 1:25 Wrong type of array index"},
                      Case{"var i; a = arr[i]", "error 1:16 Unknown variable i"},
                      Case{"var i; i = 32000; a = arr[i]", "error 1:27 Array index >= 32000"},
                      Case{"var i, j; i = 1; j = \"x\"; a = arr[i, j]", "error 1:38 Wrong type of array index"},
                      Case{"var i, j; i = -1; a = arr[i, j]", "error 1:27 Negative array index"},
                      Case{"var i, j; i = 1; j = 2; arr[1, 2] = 5; show(arr[i, j]); b = arr[j, i]",
                           "5;error 1:61 Unknown variable arr or array index out of bounds"}));

// A script runs in a frame of its caller's run; returning from inside its own with statements
// puts back the caller's instances and with statements.
TEST(Executor, ScriptReturningFromAWithLeavesTheCallersWithAlone) {
  auto script = std::make_unique<CScript>();
  script->s_code = std::make_shared<CCode>("with (other) return id", CodeKind::kProgram);
  ASSERT_TRUE(script->s_code->Compile(&Names()));
  GameResources().Clear();
  Scripts().Add(std::move(script), "scr_a");
  InstallGameScriptTable();
  EXPECT_EQ(RunProgram("with (100003) { a = scr_a(); show(id, a) } show(id)"), "100003;100001;100001;");
  EXPECT_EQ(RunProgram("with (all) { show(scr_a()) } show(id)"), "100001;100001;100001;100001;");
  GameResources().Clear();
}

TEST(Executor, EndlessRecursionIsAnErrorNotACrash) {
  CCode c("again()", CodeKind::kProgram);
  ASSERT_TRUE(c.Compile(&Names()));
  Host().Reset();
  SetScriptHost(&Host());
  Host().running = &c;
  CInstance* self = AsInstance(Host().room[0].get());
  RValue r;
  EXPECT_FALSE(ExecuteCode(self, self, c, r));
  EXPECT_NE(PendingCodeError().find(kRecursionMessage), std::string::npos);
  ClearCodeError();
  SetScriptHost(nullptr);
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

TEST(Executor, StepBudgetEndsEndlessLoops) {
  SetExecutionBudget(1000);
  EXPECT_EQ(RunProgram("while true {}"), std::string("error 1:1 ") + kBudgetMessage);
  SetExecutionBudget(1000);
  EXPECT_EQ(RunProgram("do {} until false"), std::string("error 1:1 ") + kBudgetMessage);
  SetExecutionBudget(10);
  // Five iterations and five calls spend the budget; the sixth call is refused.
  EXPECT_EQ(RunProgram("repeat 5 f(); show(1)"), std::string("f;f;f;f;f;error 1:15 ") + kBudgetMessage);
  SetExecutionBudget(-1);
  EXPECT_EQ(RunProgram("n = 0; repeat 100000 n += 1; show(n)"), "100000;");
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// The deepest code the compiler accepts runs without exhausting the stack.
TEST(Executor, DeepestAcceptedCodeRuns) {
  std::string calls = "a = ";
  for (int i = 0; i < 500; ++i) calls += "f(";
  calls += "1" + std::string(500, ')') + "; show(1)";
  std::string chain = "s = \"x\"; t = s";
  for (int i = 0; i < 2000; ++i) chain += " + s";
  chain += "; show(t == 2001 * s)";
  std::string ifs;
  for (int i = 0; i < 500; ++i) ifs += "if true ";
  ifs += "show(2)";
  std::string shown;
  for (int i = 0; i < 500; ++i) shown += "f;";
  EXPECT_EQ(RunProgram(calls), shown + "1;");
  EXPECT_EQ(RunProgram(chain), "1;");
  EXPECT_EQ(RunProgram(ifs), "2;");
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

TEST(VariableFunctions, GlobalAndInstanceVariablesByName) {
  Names();  // registers the built-in variables x, y and id the host answers for
  CFunctionRegistry registry;
  CreateBuiltinRegistry(registry);
  EXPECT_EQ(Bind(registry, VariableFunctions()), std::vector<std::string>{});
  std::vector<std::string> errors;
  SetBuiltinErrorHandler([&](std::string_view m, bool) { errors.emplace_back(m); });
  Host().Reset();
  ResetGlobals();
  SetScriptHost(&Host());
  CInstance* self = AsInstance(Host().room[0].get());
  auto call = [&](const char* name, std::vector<RValue> args) {
    RValue result, slots[16];
    for (size_t k = 0; k < args.size(); ++k) slots[k] = args[k];
    const RFunction* f = registry.Get(*registry.Find(name));
    f->f_routine(self, self, static_cast<int32_t>(args.size()), result, slots);
    return result.kind == ty_string ? result.str.str() : DisplayString(result);
  };
  auto S = [](const char* s) { return RValue::String(s); };
  auto R = [](double v) { return RValue::Real(v); };

  EXPECT_EQ(call("variable_global_exists", {S("vf_g")}), "0");
  call("variable_global_set", {S("vf_g"), S("text")});
  EXPECT_EQ(call("variable_global_exists", {S("vf_g")}), "1");
  EXPECT_EQ(call("variable_global_get", {S("vf_g")}), "text");
  call("variable_global_array2_set", {S("vf_a"), R(2), R(1), R(7)});
  EXPECT_EQ(call("variable_global_array2_get", {S("vf_a"), R(2), R(1)}), "7");
  EXPECT_EQ(call("variable_global_array_get", {S("vf_a"), R(3)}), "0");  // absent: the neutral 0
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(call("variable_global_array_get", {S("vf_a"), R(-1)}), "0");
  call("variable_global_array_set", {S("vf_a"), R(32000), R(1)});
  EXPECT_EQ(errors, (std::vector<std::string>{"Array index >= 32000", "Array index >= 32000"}));

  call("variable_local_set", {S("vf_l"), R(3)});
  call("variable_local_array_set", {S("vf_l"), R(4), R(5)});
  EXPECT_EQ(call("variable_local_get", {S("vf_l")}), "3");
  EXPECT_EQ(call("variable_local_array_get", {S("vf_l"), R(4)}), "5");
  EXPECT_EQ(call("variable_local_exists", {S("vf_l")}), "1");
  EXPECT_EQ(call("variable_local_exists", {S("vf_none")}), "0");
  EXPECT_EQ(call("variable_local_exists", {S("y")}), "1");  // a built-in variable reads through its getter
  call("variable_local_set", {S("x"), R(9)});
  EXPECT_EQ(Host().room[0]->x, 9);
  EXPECT_EQ(call("variable_local_get", {S("id")}), "100001");
  SetUninitialisedAreZero(true);
  EXPECT_EQ(call("variable_global_exists", {S("vf_anything")}), "1");
  SetUninitialisedAreZero(false);

  SetBuiltinErrorHandler(nullptr);
  SetScriptHost(nullptr);
  ResetGlobals();
}

}  // namespace
}  // namespace kestro
