// Source text -> compiled tree or compile error, for every statement, operator level and lexer
// rule. Trees are in the compact dump form: x@-6 is a variable with a fixed designator,
// (var a -6 1) an indexed one, (set ...) an assignment and (= a b) a comparison.
#include <gtest/gtest.h>

#include <string>

#include "ScriptTestNames.h"
#include "script/Code.h"
#include "script/CodeError.h"

namespace kestro {
namespace {

test::TestNames& Names() {
  static test::TestNames names;
  return names;
}

// "line:column message" for programs, "column message" for expressions.
std::string ShortError(const std::string& m) {
  size_t at = m.rfind("position ");
  std::string tail = at == std::string::npos ? m : m.substr(at + 9);
  size_t colon = tail.find(": ");
  std::string column = tail.substr(0, colon), message = tail.substr(colon + 2);
  if (m.rfind("Error in code at line ", 0) == 0) {
    std::string line = m.substr(22, m.find(':') - 22);
    return line + ":" + column + " " + message;
  }
  return column + " " + message;
}

std::string Compile(const std::string& src, bool expression = false) {
  CCode c(src, expression ? CodeKind::kExpression : CodeKind::kProgram);
  if (!c.Compile(&Names())) return "error " + ShortError(c.CompileError());
  return DumpTreeCompact(c, &Names());
}

struct Case {
  const char* source;
  const char* expected;
};

class Programs : public ::testing::TestWithParam<Case> {};
TEST_P(Programs, CompileTo) { EXPECT_EQ(Compile(GetParam().source), GetParam().expected) << GetParam().source; }

INSTANTIATE_TEST_SUITE_P(
    Statements, Programs,
    ::testing::Values(
        Case{"", "empty"}, Case{"  // only a comment", "empty"},
        Case{"a = 1", "(block (set a@-6 1))"},
        Case{"a := 1; b += 2; c -= 3; d *= 4; e /= 5; k |= 6; m &= 7; n ^= 8",
             "(block (set a@-6 1) (set+= b@-6 2) (set-= c@-6 3) (set*= d@-6 4) (set/= e@-6 5) "
             "(set|= k@-6 6) (set&= m@-6 7) (set^= n@-6 8))"},
        Case{"{ a = 1 }", "(block (set a@-6 1))"}, Case{"begin a = 1 end;;", "(block (set a@-6 1))"},
        Case{"{ a = 1 } b = 2", "error 1:11 Program ends before end of the code."},
        Case{"a = 1; { b = 2 }", "(block (set a@-6 1) (block (set b@-6 2)))"},
        Case{"{ a = 1", "error 1:7 Symbol } expected."},
        Case{"if x then y = 1 else y = 2", "(block (if x@-6 (set y@-6 1) (set y@-6 2)))"},
        Case{"if (a) { b = 1 } else b = 2", "(block (if a@-6 (block (set b@-6 1)) (set b@-6 2)))"},
        Case{"if a if b c = 1 else c = 2", "(block (if a@-6 (if b@-6 (set c@-6 1) (set c@-6 2))))"},
        Case{"if a", "error 1:4 Unexpected end of code reached."},
        Case{"while a do b -= 1", "(block (while a@-6 (set-= b@-6 1)))"},
        Case{"do a += 1 until a > 3", "(block (do (set+= a@-6 1) (> a@-6 3)))"},
        Case{"do a += 1", "error 1:9 Keyword until expected."},
        Case{"for (i = 0; i < 10; i += 1) s += i",
             "(block (for (set i@-6 0) (< i@-6 10) (set+= i@-6 1) (set+= s@-6 i@-6)))"},
        Case{"for (i = 0 i < 10 i += 1) s += i",
             "(block (for (set i@-6 0) (< i@-6 10) (set+= i@-6 1) (set+= s@-6 i@-6)))"},
        Case{"for i = 0", "error 1:5 Symbol ( expected."},
        Case{"for (i = 0; i < 1; i += 1 s = 1", "error 1:27 Symbol ) expected."},
        Case{"repeat 3 a += 1", "(block (repeat 3 (set+= a@-6 1)))"},
        Case{"exit; break; continue", "(block exit break continue)"},
        Case{"with (other) x = 1", "(block (with -2 (set x@-6 1)))"},
        Case{"with obj_wall do x = 1", "(block (with 3 (set x@-6 1)))"},
        Case{"return a + 1", "(block (return (+ a@-6 1)))"},
        Case{"switch (a) { case 1: b = 1; break; default: b = 2 }",
             "(block (switch a@-6 (case 1) (set b@-6 1) break default (set b@-6 2)))"},
        Case{"case 1: default:", "(block (case 1) default)"},
        Case{"switch a case 1: b = 1", "error 1:10 Symbol { expected."},
        Case{"switch (a) { case 1 b = 1 }", "error 1:21 Symbol : expected."},
        Case{"switch (a) { default b = 1 }", "error 1:22 Symbol : expected."},
        Case{"switch (a) { case 1: b = 1", "error 1:26 Symbol } expected."},
        Case{"var a b, c; a = 1", "(block (var a b c) (set a@-7 1))"},
        Case{"z = 1; var z; z = 2", "(block (set z@-6 1) (var z) (set z@-7 2))"},
        Case{"var q; q[2] = q", "(block (var q) (set (var q -7 2) q@-7))"},
        Case{"var x", "error 1:5 Cannot redeclare a builtin variable."},
        Case{"var; a = 1", "(block (var) (set a@-6 1))"},
        Case{"globalvar g1, g2", "(block (globalvar g1 g2))"},
        Case{"; a = 1", "(block ; (set a@-6 1))"},
        Case{"f(1,)", "(block (call f 1))"}, Case{"f()", "(block (call f))"},
        Case{"scr_a(a, 2)", "(block (call scr_a a@-6 2))"},
        Case{"g2(1)", "error 1:5 Wrong number of arguments to function or script."},
        Case{"f(1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1)", "error 1:36 Wrong number of arguments to function or script."},
        Case{"f(1 2)", "error 1:5 Symbol , or ) expected."}, Case{"f(1", "error 1:3 Symbol ) expected."},
        Case{"f(", "error 1:2 Symbol ) expected."},
        Case{"foo(1)", "error 1:1 Unknown function or script: foo"},
        Case{"foo = 1", "(block (set foo@-6 1))"},
        Case{"a[] = 1", "(block (set a@-6 1))"}, Case{"a[1] = 2", "(block (set (var a -6 1) 2))"},
        Case{"a[1, 2] = 3", "(block (set (var a -6 1 2) 3))"},
        Case{"a[1,2,3] = 4", "error 1:10 Only 1- and 2-dimensional arrays are supported."},
        Case{"a[1 2] = 3", "error 1:5 Symbol , or ] expected."}, Case{"a[1 = 2", "error 1:7 Symbol ] expected."},
        Case{"x = 1 / 0", "error 1:9 Division by 0."},
        Case{"x = \"a\" + 1", "error 1:11 Wrong type of arguments to +."},
        Case{"\"abc\".x = 1", "error 1:1 Left hand side must be a real value."},
        Case{"obj_wall.x = 1", "(block (set x@3 1))"}, Case{"other.x = global.y", "(block (set x@-2 y@-5))"},
        Case{"(1 + 1.5).x = 1", "(block (set x@2 1))"},
        Case{"a.b.c = 1", "(block (set (var c (var b a@-6)) 1))"},
        Case{"(a).x[2] = 1", "(block (set (var x a@-6 2) 1))"},
        Case{"a.f(1) = 2", "error 1:3 Variable name expected."},
        Case{"a.5 = 2", "error 1:2 Assignment operator expected."},
        Case{"5 = 3", "error 1:1 Variable name expected."},
        Case{"f(1) = 3", "error 1:6 Unexpected symbol in expression."},
        Case{"a", "error 1:1 Assignment operator expected."},
        Case{"a = ", "error 1:4 Unexpected symbol in expression."},
        Case{"a = )", "error 1:5 Unexpected symbol in expression."},
        Case{"a = (1 + 2", "error 1:10 Symbol ) expected."},
        Case{"}", "error 1:1 Unexpected symbol in expression."}));

INSTANTIATE_TEST_SUITE_P(
    Lexer, Programs,
    ::testing::Values(
        Case{"a=1//comment\nb=2", "(block (set a@-6 1) (set b@-6 2))"},
        Case{"a=1//comment\r\nb=2", "(block (set a@-6 1) (set b@-6 2))"},
        Case{"/*/ x = 1", "(block (set x@-6 1))"}, Case{"/* never closed x = 1", "empty"},
        Case{"a = 1 /* c */ b = 2", "(block (set a@-6 1) (set b@-6 2))"},
        Case{"a = $1.5", "error 1:7 Variable name expected."}, Case{"a = 1e3", "error 1:7 Assignment operator expected."},
        Case{"x = 'say \"hi\"'", "(block (set x@-6 \"say \\\"hi\\\"\"))"},
        Case{"x = \"it's\"", "(block (set x@-6 \"it's\"))"},
        Case{"x = \"a\nb\"", "(block (set x@-6 \"a\\nb\"))"},
        Case{"x = \"abc", "(block (set x@-6 \"abc   \"))"},
        Case{"x = \"\xC3\xA9t\xC3\xA9\"", "(block (set x@-6 \"\xC3\xA9t\xC3\xA9\"))"},
        Case{"Begin = 1; IF = True", "(block (set Begin@-6 1) (set IF@-6 True@-6))"},
        Case{"a = b <> c; d = e != f2", "(block (set a@-6 (!= b@-6 c@-6)) (set d@-6 (!= e@-6 f2@-6)))"},
        Case{"a = b = c", "(block (set a@-6 (= b@-6 c@-6)))"},
        Case{"a = 1 # 2", "error 1:7 Unexpected symbol."}, Case{"a = 1 % 2", "error 1:7 Unexpected symbol."},
        Case{"\xC3\xA9 = 1", "error 1:1 Unexpected symbol."},
        Case{"s = \"\xF0\x9F\x98\x80\"; #", "error 1:11 Unexpected symbol."},  // positions count UTF-16 units
        Case{"a=1\tb=2\x01"
             "c=3",
             "(block (set a@-6 1) (set b@-6 2) (set c@-6 3))"}));

class Expressions : public ::testing::TestWithParam<Case> {};
TEST_P(Expressions, CompileTo) {
  EXPECT_EQ(Compile(GetParam().source, true), GetParam().expected) << GetParam().source;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, Expressions,
    ::testing::Values(
        Case{"", "0"}, Case{"1 2", "1"}, Case{"1 + 2 * 3", "7"}, Case{"(a)", "a@-6"},
        Case{"a + b * c", "(+ a@-6 (* b@-6 c@-6))"}, Case{"a - b - c", "(- (- a@-6 b@-6) c@-6)"},
        Case{"a || b && c", "(&& (|| a@-6 b@-6) c@-6)"},
        Case{"a and b or c xor d", "(^^ (|| (&& a@-6 b@-6) c@-6) d@-6)"},
        Case{"a == b == c", "(== (== a@-6 b@-6) c@-6)"},
        Case{"a < b <= c > d >= e", "(>= (> (<= (< a@-6 b@-6) c@-6) d@-6) e@-6)"},
        Case{"2 | 1 == 3", "1"}, Case{"a | b == c", "(== (| a@-6 b@-6) c@-6)"},
        Case{"a & b ^ c | d", "(| (^ (& a@-6 b@-6) c@-6) d@-6)"},
        Case{"a << b + c", "(<< a@-6 (+ b@-6 c@-6))"}, Case{"a + b >> c", "(>> (+ a@-6 b@-6) c@-6)"},
        Case{"a << b | c", "(| (<< a@-6 b@-6) c@-6)"}, Case{"a && b == c", "(&& a@-6 (== b@-6 c@-6))"},
        Case{"a * b div c mod d / e", "(/ (mod (div (* a@-6 b@-6) c@-6) d@-6) e@-6)"},
        Case{"-a * b", "(* (- a@-6) b@-6)"}, Case{"!a == b", "(== (! a@-6) b@-6)"},
        Case{"-o.x", "(- (var x o@-6))"}, Case{"not a", "(! a@-6)"}, Case{"~a + +a", "(+ (~ a@-6) (+ a@-6))"},
        Case{"- - 3", "3"}, Case{"f(a, 2) + g2(1, 2)", "(+ (call f a@-6 2) (call g2 1 2))"},
        Case{"f(1 + 2)", "(call f 3)"}, Case{"a[1].b", "(var b (var a -6 1))"},
        Case{"true + c_red", "256"}, Case{"greeting + \"!\"", "\"hi!\""},
        Case{"self.x + local.y", "(+ x@-1 y@-7)"}, Case{"1 +", "error 3 Unexpected symbol in expression."},
        Case{"1 / 0", "error 5 Division by 0."}, Case{"x[", "error 2 Unexpected symbol in expression."}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, Expressions,
    ::testing::Values(Case{"$1F", "31"}, Case{"$ff", "255"}, Case{"$", "0"}, Case{"$1.5", "1"},
                      Case{"1.2.3", "1.23"}, Case{"1..5", "1.5"}, Case{".5", "0.5"}, Case{"3.", "3"},
                      Case{"1e3", "1"}, Case{"007", "7"}, Case{"-$10", "-16"},
                      Case{"7 div 2 + 7 mod 2", "4"}));

// Compile errors whose text is not a parse error's: the expression form of the message.
TEST(CompileErrors, ExpressionMessageHasTextAndColumn) {
  CCode c("1 + 2 / 0", CodeKind::kExpression);
  ASSERT_FALSE(c.Compile(&Names()));
  EXPECT_EQ(c.CompileError(), "Error in expression:1 + 2 / 0\r position 9: Division by 0.");
  EXPECT_TRUE(CodeErrorPending());
  EXPECT_EQ(PendingCodeError(), c.CompileError());
  ClearCodeError();
}

TEST(CompileErrors, ProgramMessageShowsLineCaretAndColumn) {
  struct Row {
    const char* source;
    const char* message;
  } rows[] = {
      {"x = 1 / 0;", "Error in code at line 1:\r   x = 1 / 0;\r          ^\rat position 9: Division by 0."},
      // CR LF: the LF counts as the first column of the new line.
      {"a = 1\r\nb = 1 / 0", "Error in code at line 2:\r   b = 1 / 0\r           ^\rat position 10: Division by 0."},
      // Bare LF ends a line too, and only that line is shown.
      {"a = 1\nb = 1 / 0\nc = 2", "Error in code at line 2:\r   b = 1 / 0\r          ^\rat position 9: Division by 0."},
      {"a = 1\r\r  b = ", "Error in code at line 3:\r     b = \r       ^\rat position 6: Unexpected symbol in expression."},
  };
  for (const Row& r : rows) {
    CCode c(r.source, CodeKind::kProgram);
    EXPECT_FALSE(c.Compile(&Names()));
    EXPECT_EQ(c.CompileError(), r.message) << r.source;
    ClearCodeError();
  }
}

TEST(CompileErrors, FirstErrorWinsAndEarlierPendingErrorSurvivesSuccess) {
  SetPendingCodeError("earlier");
  CCode ok("a = 1", CodeKind::kProgram);
  ASSERT_TRUE(ok.Compile(&Names()));
  EXPECT_TRUE(CodeErrorPending());
  EXPECT_EQ(PendingCodeError(), "earlier");
  // A failing compile reports its own error, not the stale one.
  CCode bad("a = )", CodeKind::kProgram);
  ASSERT_FALSE(bad.Compile(&Names()));
  EXPECT_NE(PendingCodeError().find("Unexpected symbol in expression."), std::string::npos);
  // A recompile is refused.
  ClearCodeError();
  ASSERT_FALSE(ok.Compile(&Names()));
  EXPECT_NE(ok.CompileError().find("Internal Error: Recompiling compiled code."), std::string::npos);
  ClearCodeError();
}

TEST(CompileForm, KindsAndArgumentBookkeeping) {
  struct Row {
    const char* source;
    bool expression;
    CodeKind kind;
    int args;
    bool array;
  } rows[] = {
      {"", true, CodeKind::kConstantExpression, 0, false},
      {"a + 1", true, CodeKind::kExpression, 0, false},
      {"a = 2 * \"ab\"", false, CodeKind::kProgram, 0, false},
      {"return argument0 + argument3", false, CodeKind::kProgram, 4, false},
      {"argument[2] = 1", false, CodeKind::kProgram, 0, true},
      {"a = argument15 + argument16 + argument03", false, CodeKind::kProgram, 16, false},
      {"argument1", true, CodeKind::kExpression, 2, false},
  };
  for (const Row& r : rows) {
    CCode c(r.source, r.expression ? CodeKind::kExpression : CodeKind::kProgram);
    ASSERT_TRUE(c.Compile(&Names())) << r.source << c.CompileError();
    EXPECT_EQ(c.i_kind, r.kind) << r.source;
    EXPECT_EQ(c.i_Args, r.args) << r.source;
    EXPECT_EQ(c.i_ArgArray, r.array) << r.source;
    EXPECT_TRUE(c.i_compiled);
  }
  CCode e("", CodeKind::kExpression);
  ASSERT_TRUE(e.Compile(&Names()));
  EXPECT_EQ(e.i_value.kind, ty_real);
  EXPECT_EQ(e.i_value.val, 0);
}

TEST(CompileForm, PositionsAndIdsInTheTree) {
  CCode c("obj_wall.x = b[1]", CodeKind::kProgram);
  ASSERT_TRUE(c.Compile(&Names()));
  const RNode& block = c.Node(c.Root());
  ASSERT_EQ(block.kind, tk_block);
  const RNode& assign = c.ChildNode(block, 0);
  EXPECT_EQ(assign.kind, tk_assign);
  EXPECT_EQ(assign.ind, 101);
  EXPECT_EQ(assign.position, 12);
  const RNode& target = c.ChildNode(assign, 0);
  EXPECT_EQ(target.kind, tk_variable_fixed);
  EXPECT_EQ(target.ind, FindBuiltinVariable("x"));
  EXPECT_EQ(target.ind2, 3);
  EXPECT_EQ(target.position, 10);
  const RNode& b = c.ChildNode(assign, 1);
  EXPECT_EQ(b.kind, tk_variable);
  EXPECT_EQ(b.ind, VariableId("b"));
  EXPECT_GE(b.ind, kUserVariableBase);
  EXPECT_EQ(b.position, 14);
  EXPECT_EQ(c.Value(c.ChildNode(b, 0)).val, -6);
  EXPECT_EQ(c.ChildNode(b, 1).position, 16);
}

TEST(CompileForm, IndentedDumpNamesKindsAndPositions) {
  CCode c("if a f(-b)", CodeKind::kProgram);
  ASSERT_TRUE(c.Compile(&Names()));
  EXPECT_EQ(DumpTree(c, &Names()),
            "block @1\n"
            "  if @1\n"
            "    variable a (id " + std::to_string(VariableId("a")) + ") of -6 @4\n"
            "    call f (id 0) @6\n"
            "      unary - @8\n"
            "        variable b (id " + std::to_string(VariableId("b")) + ") of -6 @9\n");
}

// Deep or huge text compiles or fails cleanly, never exhausting the stack.
TEST(CompileLimits, DeepNestingIsACompileError) {
  const size_t n = 100000;
  const std::string deep[] = {
      "a = " + std::string(n, '(') + "1" + std::string(n, ')'),
      "a = " + std::string(n, '-') + "1",
      std::string(n, '{'),
      [&] {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += "if a ";
        return s + "b = 1";
      }(),
      [&] {
        std::string s = "a = b";
        for (size_t i = 0; i < n; ++i) s += " + b";
        return s;
      }(),
      [&] {
        std::string s = "a";
        for (size_t i = 0; i < n; ++i) s += ".b";
        return s + " = 1";
      }(),
      "a = f(" + [&] {
        std::string s;
        for (size_t i = 0; i < n; ++i) s += "f(";
        return s;
      }(),
  };
  for (const std::string& s : deep) {
    CCode c(s, CodeKind::kProgram);
    EXPECT_FALSE(c.Compile(&Names()));
    EXPECT_NE(c.CompileError().find(kTooDeepMessage), std::string::npos) << s.substr(0, 20);
    ClearCodeError();
  }
}

TEST(CompileLimits, ReasonableNestingAndLongCodeCompile) {
  std::string parens = "a = " + std::string(150, '(') + "1" + std::string(150, ')');
  std::string chain = "a = b";
  for (int i = 0; i < 900; ++i) chain += " + b";
  std::string elses = "if a b = 1";
  for (int i = 0; i < 300; ++i) elses += " else if a b = 1";
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "a = a + 1;\n";
  for (const std::string* s : {&parens, &chain, &elses, &many}) {
    CCode c(*s, CodeKind::kProgram);
    EXPECT_TRUE(c.Compile(&Names())) << c.CompileError().substr(0, 200);
  }
  ClearCodeError();
}

}  // namespace
}  // namespace kestro
