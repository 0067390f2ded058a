// Preparing the actions of time lines and objects: what an action becomes (constant arguments,
// compiled expressions and code, variable and code actions), the fatal reports of actions that do
// not compile with their exact headers for every kind of event, missing action functions, and
// parent cycles; whole games come from the builder and go through the real start-up steps.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/Runner.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Scripts.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/TestSupport.h"
#include "tools/RunHooks.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"
#include "world/GameScripts.h"
#include "world/ObjectPreparation.h"

namespace kestro {
namespace {

using nlohmann::json;

// Counts the errors shown and whether each could be ignored.
class RecordingWindow : public IErrorWindow {
 public:
  EErrorChoice Show(const CErrorMemo&, size_t, bool canIgnore) override {
    ignorable.push_back(canIgnore);
    return canIgnore ? EErrorChoice::kIgnore : EErrorChoice::kAbort;
  }
  std::vector<bool> ignorable;
};

class ProgressRecorder : public ILoadWindow {
 public:
  void SetUp(bool) override {}
  void SetProgress(int percent, const std::string& text) override {
    steps.push_back(std::to_string(percent) + " " + text);
  }
  void Close() override {}
  std::vector<std::string> steps;
};

class PreparationTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    test::ResetGameState();
    static RecordingWindow quiet;  // keeps the expected errors off standard error
    SetErrorWindow(&quiet);
  }

  // Builds the project, loads it and runs the preparation steps the program runs.
  struct Prepared {
    bool ok = false;
    std::vector<std::string> messages;  // message boxes
    std::vector<std::string> steps;     // progress texts
  };
  Prepared BuildAndPrepare(const json& manifest, const std::vector<std::pair<std::string, std::string>>& files) {
    test::WriteProject(dir.path(), manifest, files);
    std::filesystem::path game = test::BuildDataOnly(dir.path());
    test::MessageRecorder messages;
    ProgressRecorder progress;
    RunState().tempFolder = dir.path().string();
    CRunner runner(tools::MakeRunHooks(), &progress);
    Prepared r;
    EXPECT_TRUE(runner.LoadGameFile(game.string()));
    r.ok = runner.PrepareGame();
    r.messages = messages.messages;
    r.steps = progress.steps;
    return r;
  }

  test::ScratchDir dir;
};

json CodeAction(const std::string& code) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {code}}};
}
json FunctionAction(const std::string& function, const std::vector<int>& kinds, const std::vector<std::string>& args) {
  return {{"exec", "function"}, {"function", function}, {"arg_kinds", kinds}, {"args", args}};
}
std::string Object(const json& events, const json& parent = nullptr) {
  return json{{"events", events}, {"parent", parent}}.dump();
}

// A value as "real 12" or "string abc", to compare.
std::string V(const RValue& v) { return v.IsReal() ? "real " + DisplayString(v) : "string " + v.str.str(); }

// The compiler's own message for a text, as the reports carry it.
std::string CompilerMessage(const std::string& text, bool expression) {
  CCode code(text, expression ? CodeKind::kExpression : CodeKind::kProgram);
  EXPECT_FALSE(code.Compile(&GameScriptNames()));
  std::string m = code.CompileError();
  ClearCodeError();
  return m;
}

// ---------------------------------------------------------------------------------------------
// What an action becomes

TEST_F(PreparationTest, ArgumentsBecomeConstantsOrCompiledExpressions) {
  CAction a;
  a.act_exetype = kExeFunction;
  a.act_argumentcount = 7;
  const std::pair<int, std::string> args[] = {
      {2, "abc"}, {2, "\"abc\""}, {0, "12"}, {0, "x + 1"}, {15, "x + 1"}, {1, "'q'"}, {5, "3 * 4"}};
  for (size_t i = 0; i < std::size(args); ++i) {
    a.act_argtype[i] = args[i].first;
    a.act_argstring[i] = args[i].second;
  }
  int failed = 99;
  ASSERT_TRUE(a.Compile(&GameScriptNames(), &failed));
  // kind 2 without a quote is a string; with one, an expression whose constant value is the string
  EXPECT_EQ(a.act_argtype[0], -1);
  EXPECT_EQ(V(a.act_argvalue[0]), "string abc");
  EXPECT_EQ(a.act_argtype[1], -1);
  EXPECT_EQ(V(a.act_argvalue[1]), "string abc");
  EXPECT_EQ(a.act_argtype[2], -1);
  EXPECT_EQ(V(a.act_argvalue[2]), "real 12");
  EXPECT_EQ(a.act_argtype[3], 0);
  ASSERT_TRUE(a.act_argcode[3]);
  EXPECT_EQ(a.act_argcode[3]->GetTextUtf8(), "x + 1");
  EXPECT_EQ(V(a.act_argvalue[4]), "string x + 1");  // kinds 1 and 15 are the text itself
  EXPECT_EQ(V(a.act_argvalue[5]), "string 'q'");
  EXPECT_EQ(a.act_argtype[6], -1);  // resource, colour, ... kinds are expressions
  EXPECT_EQ(V(a.act_argvalue[6]), "real 12");
  for (int i = 0; i < 7; ++i) {
    EXPECT_TRUE(a.act_argstring[size_t(i)].empty()) << i;
    if (i != 3) {
      EXPECT_FALSE(a.act_argcode[size_t(i)]) << i;
    }
  }
  EXPECT_FALSE(a.act_codecode);
  // Prepared once: a second call leaves the prepared form as it is.
  ASSERT_TRUE(a.Compile(&GameScriptNames(), &failed));
  EXPECT_EQ(a.act_argtype[3], 0);
  EXPECT_EQ(V(a.act_argvalue[0]), "string abc");
}

TEST_F(PreparationTest, VariableAndCodeActionsBecomeNormalActionsRunningCode) {
  struct Case {
    int kind;
    bool relative;
    std::vector<std::string> args;
    const char* code;
  };
  const Case cases[] = {
      {kActVariable, false, {"x", "5"}, "x = 5"},
      {kActVariable, true, {"x", "5"}, "x += 5"},
      {kActCode, false, {"y = 2; z = y"}, "y = 2; z = y"},
  };
  for (const Case& c : cases) {
    CAction a;
    a.act_kind = c.kind;
    a.act_relative = c.relative;
    a.act_exetype = kExeCode;
    a.act_argumentcount = int(c.args.size());
    for (size_t i = 0; i < c.args.size(); ++i) {
      a.act_argtype[i] = 0;
      a.act_argstring[i] = c.args[i];
    }
    a.act_codestring = "ignored";
    int failed = 99;
    ASSERT_TRUE(a.Compile(&GameScriptNames(), &failed)) << c.code;
    EXPECT_EQ(a.act_kind, kActNormal);
    EXPECT_EQ(a.act_argumentcount, 0);
    ASSERT_TRUE(a.act_codecode);
    EXPECT_EQ(a.act_codecode->GetTextUtf8(), c.code);
    EXPECT_EQ(a.act_codecode->i_kind, CodeKind::kProgram);
    EXPECT_TRUE(a.act_codestring.empty());
  }
}

TEST_F(PreparationTest, FailuresSayWhichPartDidNotCompile) {
  CAction code;
  code.CreateCode("x = ;");
  int failed = 99;
  EXPECT_FALSE(code.Compile(&GameScriptNames(), &failed));
  EXPECT_EQ(failed, -1);
  EXPECT_TRUE(CodeErrorPending());
  ClearCodeError();

  CAction fn;
  fn.act_exetype = kExeFunction;
  fn.act_argumentcount = 3;
  fn.act_argtype = {0, 0, 0};
  fn.act_argstring[0] = "1";
  fn.act_argstring[1] = "(2";
  fn.act_argstring[2] = "3";
  EXPECT_FALSE(fn.Compile(&GameScriptNames(), &failed));
  EXPECT_EQ(failed, 1);
  EXPECT_TRUE(CodeErrorPending());
}

// ---------------------------------------------------------------------------------------------
// Reports of actions that do not compile

// Objects 0 obj_a, 1 obj_wall; trigger 0 trig_boss; time line 0 tl_intro. The failing action is
// the second of its event, so the header counts from 1.
TEST_F(PreparationTest, HeadersNameTheActionTheEventAndTheObject) {
  struct Case {
    int type, number;
    bool argument;  // a bad argument instead of bad code
    const char* header;
  };
  const Case cases[] = {
      {kEvCollision, 1, false, "of Collision Event with object obj_wall\r\nfor object obj_a:"},
      {kEvCollision, 7, false, "of Collision Event with object <undefined>\r\nfor object obj_a:"},
      {kEvKeyboard, 37, false, "of Keyboard Event for <Left> Key\r\nfor object obj_a:"},
      {kEvKeyPress, 65, true, "of Key Press Event for A-key Key\r\nfor object obj_a:"},
      {kEvKeyRelease, 123, false, "of Key Release Event for F12 Key\r\nfor object obj_a:"},
      {kEvKeyboard, 108, false, "of Keyboard Event for <unknown> Key\r\nfor object obj_a:"},
      {kEvAlarm, 11, false, "of Alarm Event for alarm 11\r\nfor object obj_a:"},
      {kEvStep, 0, true, "of  Step Event\r\nfor object obj_a:"},
      {kEvStep, 2, false, "of End Step Event\r\nfor object obj_a:"},
      {kEvMouse, 60, false, "of Mouse Event for Mouse Wheel Up\r\nfor object obj_a:"},
      {kEvOther, 2, false, "of Other Event: Game Start\r\nfor object obj_a:"},
      {kEvOther, 12, false, "of Other Event: User Defined 2\r\nfor object obj_a:"},
      {kEvDraw, 0, false, "of Draw Event\r\nfor object obj_a:"},
      {kEvTrigger, 0, false, "of Trigger Event: trig_boss\r\nfor object obj_a:"},
      {kEvTrigger, 3, true, "of Trigger Event: <Deleted>\r\nfor object obj_a:"},
  };
  const std::string codeMessage = CompilerMessage("x = ;", false);
  const std::string argMessage = CompilerMessage("(2", true);
  for (const Case& c : cases) {
    Reset();
    auto obj = std::make_unique<CObject>();
    CEvent* ev = obj->CreateEvent(c.type, c.number);
    ev->AddCodeAction("x = 1;");
    if (c.argument) {
      CAction a;
      a.act_exetype = kExeFunction;
      a.act_funcname = "random";
      a.act_argumentcount = 2;
      a.act_argstring[0] = "1";
      a.act_argstring[1] = "(2";
      ev->e_actions.push_back(a);
      ++ev->e_number;
    } else {
      ev->AddCodeAction("x = ;");
    }
    Objects().Add(std::move(obj), "obj_a");
    Objects().Add(std::make_unique<CObject>(), "obj_wall");
    Triggers().Add(std::make_unique<CTrigger>(), "trig_boss");

    EXPECT_FALSE(CompileObjectActions());
    const std::string expected = "FATAL ERROR in\r\naction number 2\r\n" + std::string(c.header) + "\r\n\r\n" +
                                 (c.argument ? "COMPILATION ERROR in argument 1\r" + argMessage
                                             : "COMPILATION ERROR in code action\r" + codeMessage);
    EXPECT_EQ(ErrorState().errorLast, expected) << c.header;
    EXPECT_TRUE(ErrorState().terminating);
    EXPECT_FALSE(CodeErrorPending()) << "the report takes the pending error";
  }
}

TEST_F(PreparationTest, TimeLineMomentsAreNamedByStepAndTimeLine) {
  auto tl = std::make_unique<CTimeLine>();
  tl->AddMoment(5);
  tl->AddMoment(30);
  tl->s_event[0].AddCodeAction("a = 1");
  tl->s_event[1].AddCodeAction("b = 1");
  tl->s_event[1].AddCodeAction("c = 1");
  tl->s_event[1].AddCodeAction("x = ;");
  TimeLines().Add(nullptr, "");
  TimeLines().Add(std::move(tl), "tl_intro");
  EXPECT_FALSE(CompileTimeLineActions());
  EXPECT_EQ(ErrorState().errorLast,
            "FATAL ERROR in\r\naction number 3\r\nat time step 30\r\nof time line tl_intro:\r\n\r\n"
            "COMPILATION ERROR in code action\r" + CompilerMessage("x = ;", false));
  EXPECT_TRUE(TimeLines().Get(1)->s_event[0].e_actions[0].act_codecode) << "earlier moments are prepared";
}

// The whole start-up: a code action that does not compile ends the preparation at "Compiling
// object actions" with the fatal report and the step's message; nothing later is prepared.
TEST_F(PreparationTest, GameWhoseCodeActionDoesNotCompileStopsThePreparation) {
  RecordingWindow window;
  SetErrorWindow(&window);
  json manifest = {{"objects", {"obj_wall", "obj_player", "obj_later"}},
                   {"rooms", {"room0"}},
                   {"settings", {{"write_error_log", false}}}};
  json player = json::array(
      {{{"type", "keyboard"}, {"number", 37},
        {"actions", {FunctionAction("random", {0}, {"3 + 4"}), CodeAction("x = 1;\r\nif (x > 0 {\r\n  x = 2\r\n}")}}}});
  json later = json::array({{{"type", "create"}, {"actions", {CodeAction("y = 3")}}}});
  Prepared r = BuildAndPrepare(manifest, {{"objects/obj_wall.json", "{}"},
                                          {"objects/obj_player.json", Object(player)},
                                          {"objects/obj_later.json", Object(later)},
                                          {"rooms/room0.json", "{}"}});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages, std::vector<std::string>{"Failed to compile the actions in the objects."});
  ASSERT_FALSE(r.steps.empty());
  EXPECT_EQ(r.steps.back(), "72 Compiling object actions");
  EXPECT_EQ(ErrorState().errorLast,
            "FATAL ERROR in\r\n"
            "action number 2\r\n"
            "of Keyboard Event for <Left> Key\r\n"
            "for object obj_player:\r\n"
            "\r\n"
            "COMPILATION ERROR in code action\r"
            "Error in code at line 2:\r"
            "   if (x > 0 {\r"
            "             ^\r"
            "at position 12: Symbol ) expected.");
  EXPECT_EQ(window.ignorable, std::vector<bool>{false}) << "shown once, fatal";
  EXPECT_TRUE(ErrorState().terminating);

  const CAction& first = Objects().Get(1)->o_events[kEvKeyboard].at(37).e_actions[0];
  EXPECT_EQ(first.act_functionid, *BuiltinRegistry().Find("random"));
  EXPECT_EQ(first.act_argtype[0], -1);
  EXPECT_EQ(V(first.act_argvalue[0]), "real 7");
  const CAction& untouched = Objects().Get(2)->o_events[kEvCreate].at(0).e_actions[0];
  EXPECT_EQ(untouched.act_kind, kActCode);
  EXPECT_FALSE(untouched.act_codecode);
}

// ---------------------------------------------------------------------------------------------
// Function actions

TEST_F(PreparationTest, MissingActionFunctionsAreReportedOnceAndThePreparationGoesOn) {
  json manifest = {{"objects", {"obj_a"}},
                   {"scripts", {"scr_move"}},
                   {"time_lines", {"tl_a"}},
                   {"rooms", {"room0"}}};
  json events = json::array({{{"type", "step"},
                              {"number", 0},
                              {"actions",
                               {FunctionAction("obj_missing_fn", {0}, {"1"}), FunctionAction("scr_move", {}, {}),
                                FunctionAction("random", {0}, {"2"}),
                                // not a function action: its name is never looked at
                                {{"exec", "code"}, {"function", "also_missing"}, {"code", "z = 1"}}}}}});
  json timeline = {{"moments", {{{"step", 3}, {"actions", {FunctionAction("tl_missing_fn", {}, {})}}}}}};
  Prepared r = BuildAndPrepare(manifest, {{"objects/obj_a.json", Object(events)},
                                          {"scripts/scr_move.txt", "x += 1;"},
                                          {"time_lines/tl_a.json", timeline.dump()},
                                          {"rooms/room0.json", "{}"}});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"Failed to locate action function tl_missing_fn",
                                                  "Failed to locate action function obj_missing_fn"}));
  const CEvent& step = Objects().Get(0)->o_events[kEvStep].at(0);
  EXPECT_EQ(step.e_actions[0].act_functionid, -1);
  EXPECT_EQ(step.e_actions[1].act_functionid, kScriptIdBase + 0);
  EXPECT_EQ(step.e_actions[2].act_functionid, *BuiltinRegistry().Find("random"));
  EXPECT_TRUE(step.e_actions[3].act_codecode);
  EXPECT_EQ(TimeLines().Get(0)->s_event[0].e_actions[0].act_functionid, -1);
  EXPECT_FALSE(ErrorState().errorOccurred);
}

// ---------------------------------------------------------------------------------------------
// Parents

TEST_F(PreparationTest, ParentCyclesAreRefusedNamingTheObjects) {
  struct Case {
    std::vector<json> parents;  // of objects o0, o1, o2, o3
    const char* message;        // nullptr: prepared
  };
  const Case cases[] = {
      {{nullptr, "o2", "o3", "o1"}, "Error: The parents of objects form a cycle: o1 -> o2 -> o3 -> o1."},
      {{"o0", nullptr, nullptr, nullptr}, "Error: The parents of objects form a cycle: o0 -> o0."},
      {{"o1", "o0", "o0", "o2"}, "Error: The parents of objects form a cycle: o0 -> o1 -> o0."},
      // Chains into nothing end there: a parent slot past the list, or an empty slot.
      {{99, 4, "o0", "o2"}, nullptr},
  };
  for (const Case& c : cases) {
    Reset();
    json manifest = {{"objects", {"o0", "o1", "o2", "o3", nullptr}}, {"rooms", {"room0"}}};
    std::vector<std::pair<std::string, std::string>> files = {{"rooms/room0.json", "{}"}};
    json create = json::array({{{"type", "create"}, {"actions", {CodeAction("a = 1")}}}});
    for (int i = 0; i < 4; ++i)
      files.push_back({"objects/o" + std::to_string(i) + ".json", Object(create, c.parents[size_t(i)])});
    Prepared r = BuildAndPrepare(manifest, files);
    if (!c.message) {
      EXPECT_TRUE(r.ok);
      EXPECT_TRUE(r.messages.empty());
      EXPECT_EQ(AncestorsOf(Objects(), 3), (std::vector<int32_t>{2, 0}));
      continue;
    }
    EXPECT_FALSE(r.ok) << c.message;
    EXPECT_EQ(r.messages, (std::vector<std::string>{c.message, "Failed to compile the actions in the objects."}));
    EXPECT_FALSE(ErrorState().errorOccurred);
  }
}

TEST_F(PreparationTest, ParentWalksAreBoundedOnCyclesAndBrokenChains) {
  // 0 -> 1 -> 2 -> 1 (cycle), 3 -> 50 (no such slot), 4 -> 5 (empty slot), 6 -> 6
  for (int parent : {1, 2, 1, 50, 5, -1, 6}) {
    auto o = std::make_unique<CObject>();
    o->o_parent = parent;
    Objects().Add(parent == -1 ? nullptr : std::move(o), "o");
  }
  const auto& list = Objects();
  EXPECT_EQ(AncestorsOf(list, 0), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(AncestorsOf(list, 1), (std::vector<int32_t>{2}));
  EXPECT_TRUE(AncestorsOf(list, 3).empty());
  EXPECT_TRUE(AncestorsOf(list, 4).empty());
  EXPECT_TRUE(AncestorsOf(list, 6).empty());
  EXPECT_TRUE(AncestorsOf(list, 5).empty());
  EXPECT_TRUE(AncestorsOf(list, -3).empty());
  EXPECT_TRUE(IsDecendentOf(list, 0, 2));
  EXPECT_TRUE(IsDecendentOf(list, 1, 1)) << "on a cycle an object is reached from itself";
  EXPECT_FALSE(IsDecendentOf(list, 0, 3));
  EXPECT_FALSE(IsDecendentOf(list, 3, 50));
  EXPECT_EQ(FindParentCycle(list), (std::vector<int32_t>{1, 2}));
  // Lookups and lists terminate and find what the broken chains reach.
  Objects().Get(2)->CreateEvent(kEvStep, 0)->AddCodeAction("a = 1");
  EXPECT_EQ(FindEvent(list, 0, kEvStep, 0).object, 2);
  EXPECT_FALSE(FindEvent(list, 6, kEvStep, 0));
  EXPECT_FALSE(FindEvent(list, 6, kEvCollision, 6));
  CEventLists lists;
  lists.Build(list, 0);
  EXPECT_EQ(lists.Objects(kEvStep, 0), (std::vector<int32_t>{0, 1, 2}));
}

}  // namespace
}  // namespace kestro
