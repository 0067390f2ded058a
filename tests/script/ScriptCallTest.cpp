// Scripts called by name with arguments, the argument state and its check, execute_string,
// execute_file and script_execute, the run's name lookup and constants, and the preparation of
// the game's constants and scripts. Programs run on the scratch host; "|" stands for a CR.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "script/Executor.h"
#include "script/ScratchHost.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "support/TestSupport.h"

namespace kestro {
namespace {

std::string Bars(std::string s) {
  for (char& c : s)
    if (c == '\r') c = '|';
  return s;
}

// The game's scripts of every test here.
const std::pair<const char*, const char*> kScripts[] = {
    {"scr_two", "return argument0 + argument1"},
    {"scr_state", "show_debug_message(argument_count); show_debug_message(argument3); return argument2"},
    {"scr_arr", "return argument[4]"},
    {"scr_atleast", "var i, s; s = argument1; for (i = 2; i < argument_count; i += 1) s += argument[i]; return s"},
    {"abs", "return argument0 * 10"},
    {"scr_fail", "a = undefined_var; show_debug_message(\"not here\")"},
    {"scr_outer", "show_debug_message(scr_fail()); return 5"},
    {"scr_nest", "show_debug_message(scr_two(1, argument0)); return argument0"},
    {"scr_forever", "return scr_forever()"},
    {"scr_fib", "if argument0 < 2 return argument0; return scr_fib(argument0 - 1) + scr_fib(argument0 - 2)"},
    {"scr_with", "with (self) { repeat 3 return argument0 }"},
    {"scr_loc", "var a; a = argument0 * 10; return a"},
    {"scr_depth", "if argument0 <= 0 return 0; return scr_depth(argument0 - 1) + 1"},
    {"scr_set", "argument5 = 7; return argument5"},
    {"scr_bad", "return scr_two(1)"},
    {"scr_inc", "return argument0 + 1"},
};

// Errors handled with their own header reach the error window: "W[text]".
class CaptureWindow : public IErrorWindow {
 public:
  explicit CaptureWindow(std::string& out) : out_(out) {}
  EErrorChoice Show(const CErrorMemo& memo, size_t firstNew, bool) override {
    std::string text;
    for (size_t i = firstNew + 2; i < memo.Lines().size(); ++i) text += (text.empty() ? "" : "|") + memo.Lines()[i];
    out_ += "W[" + text + "]";
    return EErrorChoice::kIgnore;
  }

 private:
  std::string& out_;
};

class ScriptCall : public ::testing::Test {
 protected:
  void SetUp() override {
    GameResources().Clear();
    for (auto [name, text] : kScripts) {
      auto s = std::make_unique<CScript>();
      s->s_text = text;
      Scripts().Add(std::move(s), name);
    }
    RegisterArgumentVariables();
    ResetArguments();
    ResetConstants();
    GameSettings().Reset();
    ApplyLanguageSettings(GameSettings());
    GameSettings().writeErrorLog = false;
    ResetErrorReporting();
    SetErrorWindow(&window_);
    InstallGameScriptNames();
    ASSERT_TRUE(CompileGameScripts());
    SetDebugMessageSink([this](const std::string& t) { out_ += t + ";"; });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { out_ += "E[" + Bars(std::string(m)) + "]"; });
  }
  void TearDown() override {
    SetDebugMessageSink(nullptr);
    SetBuiltinErrorHandler(nullptr);
    ClearCodeError();
    GameResources().Clear();
    ResetConstants();
    GameSettings().Reset();
    ApplyLanguageSettings(GameSettings());
    ResetErrorReporting();
    SetScriptNames(nullptr);
  }
  // Debug messages and shown errors, then "error ..." with the pending message when the run failed.
  std::string Run(const std::string& src) {
    out_.clear();
    CCode code(src, CodeKind::kProgram);
    if (!code.Compile(&GameScriptNames())) return "compile " + Bars(code.CompileError());
    CScratchHost host;
    CScratchHostScope scope(host);
    RValue r;
    bool ok = ExecuteCode(host.Instance(), host.Instance(), code, r);
    std::string s = out_;
    if (!ok)
      s += "error " + Bars(PendingCodeError());
    else if (CodeErrorPending())
      s += "pending " + Bars(PendingCodeError());
    ClearCodeError();
    EXPECT_EQ(ArgumentCount(), 0) << src;  // every call puts the caller's state back
    EXPECT_EQ(RunningScriptName(), kNoScriptName) << src;
    return s;
  }
  std::string out_;
  CaptureWindow window_{out_};
};

struct Case {
  const char* source;
  const char* shown;
};

// Only the part of an error from the message on, without the line/position header.
TEST_F(ScriptCall, ProgramsShow) {
  const Case cases[] = {
      {"show_debug_message(scr_two(20, 22))", "42;"},
      // Unused slots are 0 and the count is the number given; the caller's slots come back.
      {"show_debug_message(scr_state(1, 2, 3, 4))", "4;4;3;"},
      {"execute_string(\"show_debug_message(scr_nest(7)); show_debug_message(argument0)\", 9)", "8;7;9;"},
      // A script hides the built-in function of its name.
      {"show_debug_message(abs(-3))", "-30;"},
      // script_execute: script index, arguments after it, result returned.
      {"show_debug_message(script_execute(scr_two, 1, 2))", "3;"},
      {"script_execute(-1); show_debug_message(1)", "E[Trying to execute non-existing script.]1;"},
      // A script that fails gives "ERROR" and the caller goes on; the message stays pending.
      {"show_debug_message(scr_outer()); show_debug_message(\"on\")", "ERROR;5;on;pending In script scr_fail:|Error in code at line 1:|   a = undefined_var; "
       "show_debug_message(\"not here\")|      ^|at position 5: Unknown variable undefined_var"},
      {"x = scr_outer(); y = x + \"\" + 1",
       "ERROR;error In script scr_fail:|Error in code at line 1:|   a = undefined_var; "
       "show_debug_message(\"not here\")|      ^|at position 5: Unknown variable undefined_var"},
      // script_execute shows the pending message at once.
      {"script_execute(scr_fail); show_debug_message(1)",
       "E[In script scr_fail:|Error in code at line 1:|   a = undefined_var; show_debug_message(\"not here\")|"
       "      ^|at position 5: Unknown variable undefined_var]1;"},
      // Argument count checks: exact count without the array, at least with it, after the run.
      {"a = scr_two(1, 2, 3)",
       "error Illegal argument count calling script \"scr_two\".|Script requires 2 arguments, 3 have been supplied."},
      {"show_debug_message(scr_atleast(\"a\", \"b\", \"c\", \"d\"))", "bcd;"},
      {"a = scr_atleast(1)",
       "error Illegal argument count calling script \"scr_atleast\".|Script requires at least 2 arguments, 1 "
       "have been supplied."},
      {"execute_string(\"return argument0 * 2\", 21)", ""},
      {"show_debug_message(execute_string(\"return argument0 * 2\", 21))", "42;"},
      {"execute_string(\"x = \"); show_debug_message(1)",
       "W[COMPILATION ERROR in string to be executed|Error in code at line 1:|   x = |     ^|at position 4: "
       "Unexpected symbol in expression.]1;"},
      {"execute_string(\"a = b\")",
       "E[Error in code at line 1:|   a = b|      ^|at position 5: Unknown variable b]"},
      {"execute_string(); show_debug_message(1)", "1;"},
      {"execute_file(\"/nonexistent/x.txt\"); show_debug_message(1)", "E[Trying to execute non-existing file.]1;"},
      // Resource names are constants; the script's index.
      {"show_debug_message(scr_fib); show_debug_message(scr_fib(15))", "9;610;"},
      {"show_debug_message(get_function_address(\"sqrt\") > 0); show_debug_message(get_function_address(\"abs\"))",
       "1;-1;"},  // the script abs hides the built-in one
      {"show_debug_message(get_function_address(\"no_such\"))", "-1;"},
      {"argument_count = 3", "error Error in code at line 1:|   argument_count = 3|                 ^|at position 16: "
                             "Cannot assign to the variable"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.source), c.shown) << c.source;
}

// A script called from code runs in a frame of the caller's run: the caller's locals, instance,
// with statements and argument slots come back however the callee ends.
TEST_F(ScriptCall, CalleesLeaveTheCallerAsItWas) {
  const Case cases[] = {
      {"var i; i = 5; show_debug_message(scr_with(3)); show_debug_message(i)", "3;5;"},
      {"var a; a = 1; b = scr_loc(2); show_debug_message(a); show_debug_message(b)", "1;20;"},
      {"repeat 2 with (self) show_debug_message(scr_with(4) + scr_loc(1))", "14;14;"},
      // An argument that is not a real meets the general comparison.
      {"show_debug_message(scr_fib(\"a\"))",
       "ERROR;pending In script scr_fib:|Error in code at line 1:|   if argument0 < 2 return argument0; return "
       "scr_fib(argument0 - 1) + scr_fib(argument0 - 2)|                 ^|at position 16: Cannot compare arguments."},
      {"show_debug_message(scr_inc(2)); show_debug_message(scr_inc(\"a\"))",
       "3;ERROR;pending In script scr_inc:|Error in code at line 1:|   return argument0 + 1|                     ^|"
       "at position 20: Wrong type of arguments to +."},
      // Deep recursion needs no native stack.
      {"show_debug_message(scr_depth(5000))", "5000;"},
      // A count that does not fit fails the calling script, whose caller gets "ERROR" and goes on.
      {"show_debug_message(scr_bad()); show_debug_message(\"on\")",
       "ERROR;on;pending In script scr_bad:|Illegal argument count calling script \"scr_two\".|Script requires 2 "
       "arguments, 1 have been supplied."},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.source), c.shown) << c.source;
  // Slots a callee wrote read 0 again in the next call at the same depth.
  SetCheckArgumentCount(false);
  EXPECT_EQ(Run("scr_set(); show_debug_message(scr_state(1, 2, 3))"), "3;0;3;");
  SetCheckArgumentCount(true);
  const std::string s = Run("show_debug_message(scr_depth(" + std::to_string(kMaxScriptDepth + 1) + "))");
  EXPECT_EQ(s.rfind("ERROR;pending In script scr_depth:|", 0), 0u) << s.substr(0, 200);
  EXPECT_NE(s.find(kRecursionMessage), std::string::npos) << s.substr(0, 200);
}

TEST_F(ScriptCall, ArgumentArrayReadsAreChecked) {
  EXPECT_EQ(Run("a = scr_arr(1, 2)"),
            "E[Illegal array index in script \"scr_arr\".|trying to access argument[4], but only 2 arguments have "
            "been supplied.]pending In script scr_arr:|Error in code at line 1:|   return argument[4]|         ^|"
            "at position 8: Unknown variable argument or array index out of bounds");
  SetCheckArgumentCount(false);
  // Without the check: missing arguments read 0 and any count may be given.
  EXPECT_EQ(Run("show_debug_message(scr_arr(1, 2)); show_debug_message(scr_two(1, 2, 3))"), "0;3;");
}

TEST_F(ScriptCall, EndlessRecursionIsAnErrorNamingTheScript) {
  std::string s = Run("a = scr_forever() + 1");
  EXPECT_EQ(s.rfind("error In script scr_forever:|", 0), 0u) << s;
  EXPECT_NE(s.find(kRecursionMessage), std::string::npos) << s;
  EXPECT_EQ(s.find("In script scr_forever:|In script"), std::string::npos) << s;  // named once
  // Code running itself through execute_string ends the same way, shown once at the deepest run.
  s = Run("t = \"execute_string(argument0, argument0)\"; execute_string(t, t); show_debug_message(\"back\")");
  EXPECT_NE(s.find(kRecursionMessage), std::string::npos) << s;
  EXPECT_EQ(s.find("E["), s.rfind("E[")) << "one error: " << s;
  EXPECT_TRUE(s.ends_with("back;")) << s;
}

TEST_F(ScriptCall, ExecuteFileRunsEveryLine) {
  test::ScratchDir dir;
  const std::string path = (dir / "code.txt").string();
  std::ofstream(path) << "a = argument0\r\nshow_debug_message(a + 1)\nreturn a * 3\n";
  EXPECT_EQ(Run("show_debug_message(execute_file(\"" + path + "\", 4))"), "5;12;");
  std::ofstream(path) << "a = \n";
  EXPECT_EQ(Run("execute_file(\"" + path + "\")").rfind("W[COMPILATION ERROR in file to be executed|", 0), 0u);
  // A file far beyond any code is refused before it is read (sparse: costs no disk).
  std::filesystem::resize_file(path, std::uintmax_t(17) << 20);
  EXPECT_EQ(Run("execute_file(\"" + path + "\"); show_debug_message(1)"),
            "E[Trying to execute a file that is too large.]1;");
  // What is not a regular file is never read: a device would give bytes without end, a pipe
  // without a writer would wait for ever, a folder has no text.
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {std::string("/dev/zero"), fifo, dir.path().string()})
    EXPECT_EQ(Run("execute_file(\"" + name + "\"); show_debug_message(1)"),
              "E[Trying to execute non-existing file.]1;")
        << name;
}

TEST_F(ScriptCall, ConstantsAndNames) {
  const IScriptNames& names = GameScriptNames();
  EXPECT_EQ(names.FindFunction("scr_two"), kScriptIdBase);
  EXPECT_EQ(names.FindFunction("abs"), kScriptIdBase + 4);
  EXPECT_EQ(names.FunctionArgCount(kScriptIdBase + 1), kAnyArgCount);
  EXPECT_EQ(names.FunctionArgCount(kScriptIdBase + 99), kUnknownFunction);
  EXPECT_EQ(names.FunctionName(kScriptIdBase + 2), "scr_arr");
  EXPECT_NE(names.FindFunction("sqrt"), std::nullopt);

  Constants().names = {" c_red ", "double", "text"};
  Constants().values = {"1", "scr_two(c_red, 20)", "\"a\" + string(c_red)"};
  ASSERT_TRUE(DefineGameConstants());
  EXPECT_EQ(Run("show_debug_message(c_red); show_debug_message(double); show_debug_message(text)"), "1;21;a1;");
  EXPECT_EQ(Run("show_debug_message(c_blue)"), "16711680;");  // built-in constants stay
  // A resource name comes before the constant table.
  Constants().names = {"scr_two"};
  Constants().values = {"77"};
  ASSERT_TRUE(DefineGameConstants());
  EXPECT_EQ(Run("show_debug_message(scr_two)"), "0;");

  for (auto [name, value] : {std::pair{"9lives", "1"}, {"", "1"}, {"a-b", "1"}, {"bad_value", "1 +"},
                             {"bad_run", "undefined_name"}}) {
    Constants().names = {name, "after"};
    Constants().values = {value, "1"};
    EXPECT_FALSE(DefineGameConstants()) << name;
    EXPECT_FALSE(GameScriptNames().FindConstant("after")) << "stops at the first failure";
  }
}

TEST_F(ScriptCall, ScriptCompileFailureIsFatalAndNamed) {
  auto s = std::make_unique<CScript>();
  s->s_text = "a = (";
  Scripts().Add(std::move(s), "scr_broken");
  EXPECT_FALSE(CompileGameScripts());
  EXPECT_TRUE(ErrorTerminating());
  EXPECT_EQ(out_.rfind("W[COMPILATION ERROR in Script: scr_broken|Error in code at line 1:", 0), 0u) << out_;
}

}  // namespace
}  // namespace kestro
