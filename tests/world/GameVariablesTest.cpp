// The game-wide built-in variables through the real executor: reads and writes of the room, its
// layers and views, score, lives and health, the run's folders and identity, the event context,
// the error state, the clock; the refusals of read-only variables and of a room speed <= 0; the
// lost-life and lost-health events; the caption text and the reset at game start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "io/RunState.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {
namespace {

using ::testing::HasSubstr;

// Instances of the current room answer for designators; built-in variables go to the bound
// routines, as in a game.
class CRoomHost final : public IScriptHost {
 public:
  CVariableList& Variables(CInstance* inst) override { return inst->i_vars; }
  CInstance* FirstInstance(int32_t designator) override {
    std::vector<CInstance*> list;
    Instances(designator, list);
    return list.empty() ? nullptr : list.front();
  }
  void Instances(int32_t designator, std::vector<CInstance*>& out) override {
    for (const auto& inst : World().Room().Active()) {
      if (inst->i_marked) continue;
      if (designator == -3 || inst->i_id == designator || inst->i_objectindex == designator)
        out.push_back(inst.get());
    }
  }
  bool GetBuiltin(CInstance* inst, int32_t id, int32_t flat, RValue& out) override {
    return GetBuiltinVariable(inst, id, flat, out);
  }
  bool SetBuiltin(CInstance* inst, int32_t id, int32_t flat, const RValue& value) override {
    return SetBuiltinVariable(inst, id, flat, value);
  }
  bool CallFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, RValue* args,
                    RValue& result) override {
    return CallFunctionId(id, self, other, argc, args, result);
  }
};

class CFixedClock final : public IGameClock {
 public:
  int64_t Milliseconds() override { return ms; }
  RLocalTime LocalTime() override { return time; }
  int64_t ms = 0;
  RLocalTime time;
};

class CQuietWindow final : public IErrorWindow {
 public:
  EErrorChoice Show(const CErrorMemo&, size_t, bool) override { return EErrorChoice::kIgnore; }
};

std::vector<std::pair<int32_t, int32_t>>& PerformedEvents() {
  static std::vector<std::pair<int32_t, int32_t>> events;
  return events;
}
// What the no-more-lives and no-more-health events see of the values when they run.
std::vector<std::string>& SeenByEvents() {
  static std::vector<std::string> seen;
  return seen;
}
void RecordEvent(int32_t type, int32_t number) {
  PerformedEvents().emplace_back(type, number);
  SeenByEvents().push_back(std::to_string(GameState().lives) + "/" + std::to_string(GameState().health));
}

class GameVariablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GameResources().Clear();
    GameSettings().Reset();
    ResetErrorReporting();
    SetErrorWindow(&window_);
    ClearCodeError();
    ResetGlobals();
    GameState().Reset();
    ActionRelative() = false;
    savedRun_ = RunState();
    SetGameClock(&clock_);
    SetScriptHost(&host_);
    SetEventForAllPerformer(RecordEvent);
    PerformedEvents().clear();
    SeenByEvents().clear();
    builtinErrors_.clear();
    SetBuiltinErrorHandler([this](std::string_view m, bool) { builtinErrors_.emplace_back(m); });

    Objects().Add(std::make_unique<CObject>(), "obj_a");
    Objects().Add(std::make_unique<CObject>(), "obj_b");
    auto back = std::make_unique<CBackground>();
    back->i_bitmap.Create(32, 16);
    Backgrounds().Add(std::move(back), "bg_sky");
    // Rooms 0 ... 2, visited in the order 2, 0, 1.
    for (const char* name : {"rm_a", "rm_b", "rm_c"}) Rooms().Add(std::make_unique<CRoom>(), name);
    RoomOrder() = {2, 0, 1};
    CRoom& design = *Rooms().Get(0);
    design.r_width = 800;
    design.r_height = 600;
    design.r_caption = "Level";
    design.r_placed = {{0, 0, 0, 100001, ""}, {0, 0, 0, 100002, ""}, {0, 0, 1, 100003, ""}};
    World().Reset();
    auto room = std::make_unique<CLiveRoom>();
    room->MakeFrom(design);
    World().SetRoom(std::move(room), 0);
    // Destroyed in this step: still in the list until the step ends.
    World().Room().Mark(World().Room().FindId(100003));
  }
  void TearDown() override {
    SetScriptHost(nullptr);
    SetGameClock(nullptr);
    SetEventForAllPerformer(nullptr);
    SetBuiltinErrorHandler({});
    ResetErrorReporting();
    ClearCodeError();
    ResetGlobals();
    World().Reset();
    GameState().Reset();
    ActionRelative() = false;
    EventContext() = REventContext();
    RunState() = savedRun_;
    GameResources().Clear();
  }

  // A fresh run for the next case of a table.
  void Restart() {
    TearDown();
    SetUp();
  }

  CInstance* Self() { return World().Room().FindId(100001); }
  CInstance* Other() { return World().Room().FindId(100002); }

  // Runs a program with 100001 as self and 100002 as other: "" or the run's error message.
  std::string Run(const std::string& program) {
    CCode code(program, CodeKind::kProgram);
    if (!code.Compile(&GameScriptNames())) {
      ClearCodeError();
      return "compile error " + code.CompileError();
    }
    RValue result;
    if (ExecuteCode(Self(), Other(), code, result)) return "";
    std::string error = CodeErrorPending() ? PendingCodeError() : "failed";
    ClearCodeError();
    return error;
  }
  // The value of an expression: a real in its display form, a string in quotes.
  std::string Eval(const std::string& expression) {
    CCode code(expression, CodeKind::kExpression);
    if (!code.Compile(&GameScriptNames())) {
      ClearCodeError();
      return "compile error " + code.CompileError();
    }
    RValue v;
    const bool ok = ExecuteCodeValue(Self(), Other(), code, v);
    std::string shown = v.IsString() ? "\"" + v.str.str() + "\"" : DisplayString(v);
    if (!ok) shown = "error " + (CodeErrorPending() ? PendingCodeError() : std::string());
    ClearCodeError();
    return shown;
  }

  CRoomHost host_;
  CFixedClock clock_;
  CQuietWindow window_;
  CRunState savedRun_;
  std::vector<std::string> builtinErrors_;
};

struct RWrite {
  const char* program;     // run first
  const char* expression;  // then read
  const char* value;
};

// Assignments and what reading gives back: rounding and truth rules per kind of field, views and
// layers outside 0 ... 7 as element 0, text fields taking the string field, the game-wide values
// read through any instance.
TEST_F(GameVariablesTest, WritesAndReads) {
  const RWrite cases[] = {
      {"score = 2.5", "score", "2"},
      {"score = 3.5", "score", "4"},
      {"score = -7.5", "score", "-8"},
      {"score = 7", "other.score + (100001).score + obj_a.score", "21"},
      {"other.score = 9", "score", "9"},
      {"score = 1000000000000", "score", "2147483647"},  // the nearest integer, never the other sign
      {"score = -1000000000000", "score", "-2147483648"},
      {"health = 2.5", "health", "2.50"},
      {"lives = 2.5", "lives", "2"},
      {"transition_kind = 3.5", "transition_kind", "4"},
      {"transition_steps = 12.4", "transition_steps", "12"},
      {"transition_steps = 0", "transition_steps", "1"},
      {"transition_steps = -20", "transition_steps", "1"},
      {"room_caption = \"Cave\"", "room_caption", "\"Cave\""},
      {"room_caption = 5", "room_caption", "\"\""},
      {"room_speed = 59.5", "room_speed", "60"},
      {"room_persistent = 0.5", "room_persistent", "0"},
      {"room_persistent = 0.6", "room_persistent", "1"},
      {"background_color = 255.4", "background_color", "255"},
      {"background_showcolor = 0", "background_showcolor", "0"},
      {"background_visible[2] = 0.6", "background_visible[2] * 10 + background_visible[0]", "10"},
      {"background_foreground[7] = 1", "background_foreground[7]", "1"},
      {"background_index[1] = 0", "background_width[1] * 100 + background_height[1]", "3216"},
      {"background_index[1] = 5", "background_width[1] + background_height[1]", "0"},
      {"background_x[8] = 5.5", "background_x[0]", "5.50"},
      {"background_y[100] = -3", "background_y[0] + background_y[100]", "-6"},
      {"background_htiled[3] = 0.4", "background_htiled[3]", "0"},
      {"background_xscale[4] = 1.5; background_yscale[4] = 2", "background_xscale[4] * background_yscale[4]", "3"},
      {"background_hspeed[5] = 0.5; background_vspeed[5] = -2", "background_hspeed[5] + background_vspeed[5]", "-1.50"},
      {"background_blend[6] = 255", "background_blend[6]", "255"},
      {"background_alpha[6] = 0.25", "background_alpha[6]", "0.25"},
      {"view_enabled = 1", "view_enabled", "1"},
      {"view_visible[1] = 1", "view_visible[1] * 10 + view_visible[0]", "10"},
      {"view_xview[9] = 100", "view_xview[0]", "100"},
      {"view_yview[3] = 7", "view_yview[3] * 10 + view_yview[0]", "70"},
      {"view_wview[2] = 320.5", "view_wview[2]", "320"},
      {"view_hport[7] = 200", "view_hport[7]", "200"},
      {"view_xport[1] = 10; view_yport[1] = 20; view_wport[1] = 30; view_hview[1] = 40",
       "view_xport[1] + view_yport[1] + view_wport[1] + view_hview[1]", "100"},
      {"view_angle[1] = 12.5", "view_angle[1]", "12.50"},
      {"view_hborder[1] = 1; view_vborder[1] = 2; view_hspeed[1] = 3; view_vspeed[1] = 4",
       "view_hborder[1] * 1000 + view_vborder[1] * 100 + view_hspeed[1] * 10 + view_vspeed[1]", "1234"},
      {"view_object[2] = obj_b", "view_object[2]", "1"},
      {"cursor_sprite = 2", "cursor_sprite", "2"},
      {"show_lives = 1; show_health = 0.6", "show_lives + show_health", "2"},
      {"caption_score = \"Points: \"", "caption_score", "\"Points: \""},
      {"caption_lives = \"Ships \"; caption_health = \"HP \"", "caption_lives + caption_health", "\"Ships HP \""},
      {"error_occurred = 0.5", "error_occurred", "1"},
      {"error_occurred = 0.4", "error_occurred", "0"},
      {"error_last = \"oops\"", "error_last", "\"oops\""},
  };
  for (const RWrite& c : cases) {
    Restart();
    EXPECT_EQ(Run(c.program), "") << c.program;
    EXPECT_EQ(Eval(c.expression), c.value) << c.program << " then " << c.expression;
    EXPECT_TRUE(builtinErrors_.empty()) << c.program;
  }
}

struct RRead {
  const char* expression;
  const char* value;
};

// Reads of what other parts of the run own, set here the way their owners set them.
TEST_F(GameVariablesTest, ReadsWhatTheRunHolds) {
  RunState().gameId = 4711;
  RunState().tempFolder = "/tmp/run-1";
  RunState().gameFolder = "/games/demo/";
  RunState().debugMode = true;
  RunState().secureMode = true;
  ActionRelative() = true;
  EventContext() = {1, 7, 10, 3};
  GameState().fps = 29;
  GameState().viewCurrent = 4;
  GameState().displayAa = 14;
  clock_.ms = int64_t(1) << 40;  // beyond 32 bits: no wrap after 49 days
  clock_.time = {2024, 2, 29, 5, 23, 59, 58};
  const std::string cwd = "\"" + std::filesystem::current_path().string() + "\"";
  const RRead cases[] = {
      {"argument_relative", "1"},
      {"room", "0"},
      {"room_first", "2"},
      {"room_last", "1"},
      {"transition_kind", "0"},
      {"transition_steps", "80"},
      {"score", "0"},
      {"lives", "-1"},
      {"health", "100"},
      {"game_id", "4711"},
      {"working_directory", cwd.c_str()},
      {"temp_directory", "\"/tmp/run-1\""},
      {"program_directory", "\"/games/demo\""},
      {"instance_count", "3"},  // the destroyed one is still in the list
      {"instance_id[0]", "100001"},
      {"instance_id[2]", "100003"},
      {"instance_id[instance_count]", "-4"},
      {"instance_id[5000]", "-4"},
      {"room_width", "800"},
      {"room_height", "600"},
      {"room_caption", "\"Level\""},
      {"room_speed", "30"},
      {"room_persistent", "0"},
      {"background_color", "12632256"},
      {"background_index[0]", "-1"},
      {"background_width[0]", "0"},
      {"view_current", "4"},
      {"view_wview[0]", "640"},
      {"view_object[0]", "-1"},
      {"cursor_sprite", "-1"},
      {"show_score", "1"},
      {"show_lives", "0"},
      {"caption_health", "\"Health: \""},
      {"fps", "29"},
      {"current_time", "1099511627776"},
      {"current_year", "2024"},
      {"current_month", "2"},
      {"current_day", "29"},
      {"current_weekday", "5"},
      {"current_hour", "23"},
      {"current_minute", "59"},
      {"current_second", "58"},
      {"event_type", "7"},
      {"event_number", "10"},
      {"event_object", "1"},
      {"event_action", "3"},
      {"secure_mode", "1"},
      {"debug_mode", "1"},
      {"error_occurred", "0"},
      {"error_last", "\"\""},
      {"kestro_version", "810"},
      {"os_type", "0"},
      {"os_device", "0"},
      {"display_aa", "14"},
  };
  for (const RRead& c : cases) EXPECT_EQ(Eval(c.expression), c.value) << c.expression;
  EXPECT_TRUE(builtinErrors_.empty());
}

TEST_F(GameVariablesTest, ProgramDirectoryHasNoClosingSeparator) {
  const std::pair<const char*, const char*> cases[] = {
      {"/games/demo", "\"/games/demo\""}, {"/games/demo//", "\"/games/demo\""}, {"/", "\"/\""}, {"", "\".\""}};
  for (const auto& [folder, shown] : cases) {
    RunState().gameFolder = folder;
    EXPECT_EQ(Eval("program_directory"), shown) << folder;
  }
}

// Every variable the table reads without a setter refuses assignment with the executor's message
// and keeps its value.
TEST_F(GameVariablesTest, ReadOnlyVariablesRefuseWrites) {
  const std::set<std::string> readOnly = {
      "argument_relative", "room_first",       "room_last",      "game_id",        "working_directory",
      "temp_directory",    "program_directory", "instance_count", "instance_id",    "room_width",
      "room_height",       "background_width", "background_height", "view_current", "fps",
      "current_time",      "current_year",     "current_month",  "current_day",    "current_weekday",
      "current_hour",      "current_minute",   "current_second", "event_type",     "event_number",
      "event_object",      "event_action",     "secure_mode",    "debug_mode",     "kestro_version",
      "os_type",           "os_device",        "display_aa"};
  for (const RVariableBinding& b : GameVariables()) {
    const int32_t id = FindBuiltinVariable(b.name);
    EXPECT_EQ(IsVariableWritable(id), !readOnly.contains(b.name)) << b.name;
  }
  for (const std::string& name : readOnly) {
    const std::string before = Eval(name + "[1]");
    EXPECT_THAT(Run(name + "[1] = 1"), HasSubstr("Cannot assign to the variable")) << name;
    EXPECT_EQ(Eval(name + "[1]"), before) << name;
  }
  EXPECT_EQ(Eval("room_width"), "800");
}

TEST_F(GameVariablesTest, RoomSpeedZeroOrLessIsRefused) {
  for (const char* value : {"0", "0.5", "-3", "-1000000000000"}) {
    builtinErrors_.clear();
    EXPECT_THAT(Run(std::string("room_speed = ") + value + "; score = 1"),
                HasSubstr("Cannot assign to the variable"))
        << value;
    EXPECT_EQ(builtinErrors_, std::vector<std::string>{"Trying to set the room speed to a value <= 0."}) << value;
    EXPECT_EQ(Eval("room_speed"), "30") << value;
    EXPECT_EQ(Eval("score"), "0") << value;  // the statement after the failed one never ran
  }
  EXPECT_EQ(Run("room_speed = 0.6"), "");
  EXPECT_EQ(Eval("room_speed"), "1");
}

// Losing the last life or health performs the other event for every instance once: on the change
// from above 0 to 0 or less, after the new value is stored.
TEST_F(GameVariablesTest, LastLifeAndLastHealthPerformTheirEventsOnce) {
  using Events = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(Run("lives = 0"), "");  // from -1: was not above 0
  EXPECT_EQ(Run("lives = 3; lives = 0"), "");
  EXPECT_EQ(PerformedEvents(), (Events{{7, 6}}));
  EXPECT_EQ(Run("lives = -1; lives = 0"), "");
  EXPECT_EQ(PerformedEvents(), (Events{{7, 6}}));
  EXPECT_EQ(Run("lives = 1; lives = 0.4"), "");  // rounds to 0
  EXPECT_EQ(Run("lives = 1; lives = 0.6"), "");  // rounds to 1
  EXPECT_EQ(PerformedEvents(), (Events{{7, 6}, {7, 6}}));

  PerformedEvents().clear();
  EXPECT_EQ(Run("health = 0.5; health = 0"), "");
  EXPECT_EQ(Run("health = -5; health = 0; health = -1"), "");
  EXPECT_EQ(PerformedEvents(), (Events{{7, 9}}));
  EXPECT_EQ(Run("health = 0.25; health = -0.25"), "");  // a real: 0.25 is above 0
  EXPECT_EQ(PerformedEvents(), (Events{{7, 9}, {7, 9}}));
  EXPECT_EQ(SeenByEvents(), (std::vector<std::string>{"0/100.000000", "0/100.000000", "1/0.000000", "1/-0.250000"}));

  // Without an event dispatcher nothing happens, and the values are stored all the same.
  SetEventForAllPerformer(nullptr);
  PerformedEvents().clear();
  EXPECT_EQ(Run("lives = 2; lives = 0; health = 10; health = 0"), "");
  EXPECT_TRUE(PerformedEvents().empty());
  EXPECT_EQ(Eval("lives * 10 + health"), "0");
}

TEST_F(GameVariablesTest, AssigningRoomRequestsTheChange) {
  EXPECT_EQ(Run("transition_kind = 5; room = 1.4"), "");
  EXPECT_EQ(World().pendingChange, 1);
  EXPECT_EQ(World().transitionKind, 5);
  EXPECT_EQ(Eval("room"), "0");  // carried out between steps, not here
  EXPECT_EQ(Run("room = rm_c"), "");
  EXPECT_EQ(World().pendingChange, 2);

  EXPECT_EQ(Run("room = 99"), "");
  EXPECT_EQ(World().pendingChange, kChangeAbort);
  EXPECT_THAT(ErrorState().errorLast, HasSubstr("Unexisting room number: 99"));
  EXPECT_TRUE(ErrorState().terminating);
}

// show_score records that the score display was chosen explicitly, whatever value it gets.
TEST_F(GameVariablesTest, ShowScoreMarksTheScoreDisplayExplicit) {
  EXPECT_FALSE(GameState().scoreShownExplicitly);
  EXPECT_EQ(Run("show_lives = 1"), "");
  EXPECT_FALSE(GameState().scoreShownExplicitly);
  EXPECT_EQ(Run("show_score = 1"), "");
  EXPECT_TRUE(GameState().scoreShownExplicitly);
  GameState().scoreShownExplicitly = false;
  EXPECT_EQ(Run("show_score = 0"), "");
  EXPECT_TRUE(GameState().scoreShownExplicitly);
  EXPECT_FALSE(GameState().showScore);
}

// global.score is a global variable, not the game's score.
TEST_F(GameVariablesTest, GlobalScoreIsAGlobalVariable) {
  EXPECT_EQ(Run("score = 4"), "");
  EXPECT_THAT(Eval("global.score"), HasSubstr("Unknown variable score"));
  EXPECT_EQ(Run("global.score = 8"), "");
  EXPECT_EQ(Eval("global.score * 10 + score"), "84");
}

// The table binds exactly the game-wide variables that are neither the core's argument variables
// nor input's mouse and keyboard variables, in the vocabulary's order.
TEST_F(GameVariablesTest, TableCoversTheGameWideGroup) {
  std::vector<std::string> expected;
  for (int32_t id = BuiltinInstanceVariableCount();
       id < BuiltinInstanceVariableCount() + BuiltinGameVariableCount(); ++id) {
    const std::string name = VariableName(id);
    const bool argument = name.starts_with("argument") && name != "argument_relative";
    if (argument || name.starts_with("mouse_") || name.starts_with("keyboard_")) continue;
    // The run's folders and secure mode belong to the file family.
    if (name.ends_with("_directory") || name == "secure_mode") continue;
    expected.push_back(name);
  }
  std::vector<std::string> bound;
  for (const RVariableBinding& b : GameVariables()) bound.emplace_back(b.name);
  EXPECT_EQ(bound, expected);
  EXPECT_EQ(std::count(bound.begin(), bound.end(), "keyboard_lastchar"), 0);
}

struct RCaption {
  const char* setup;
  const char* caption;
};

// The caption of a step from the room's caption and the score, lives and health settings.
TEST_F(GameVariablesTest, CaptionText) {
  const RCaption cases[] = {
      {"", "Level"},                                   // score 0, never set explicitly
      {"score = 5", "Level Score: 5"},
      {"score = -5", "Level"},                         // only a positive score shows by itself
      {"show_score = 1", "Level Score: 0"},            // explicit: even 0 shows
      {"show_score = 0; score = 5", "Level"},
      {"show_lives = 1", "Level Lives: -1"},
      {"show_health = 1; health = 2.5", "Level Health: 2"},
      {"show_health = 1; health = 3.5", "Level Health: 4"},
      {"score = 12; show_lives = 1; lives = 3; show_health = 1; caption_score = \"S=\"; caption_lives = \"L=\"; "
       "caption_health = \"H=\"",
       "Level S=12 L=3 H=100"},
      {"room_caption = \"\"; score = 1", " Score: 1"},
  };
  for (const RCaption& c : cases) {
    Restart();
    EXPECT_EQ(Run(c.setup), "") << c.setup;
    EXPECT_EQ(BuildCaption(World().Room().r_caption, GameState()), c.caption) << c.setup;
  }
}

TEST_F(GameVariablesTest, GameStartResetsScoreLivesAndCursor) {
  EXPECT_EQ(Run("score = 10; lives = 3; health = 40; cursor_sprite = 2; show_lives = 1; "
                "caption_score = \"S\"; show_score = 1"),
            "");
  GameState().cursorFrame = 17;
  GameState().ResetForGameStart();
  EXPECT_EQ(Eval("score"), "0");
  EXPECT_EQ(Eval("lives"), "-1");
  EXPECT_EQ(Eval("cursor_sprite"), "-1");
  EXPECT_EQ(GameState().cursorFrame, 0);
  EXPECT_EQ(Eval("health"), "40");  // health carries over a restart
  EXPECT_EQ(Eval("show_lives"), "1");
  EXPECT_EQ(Eval("caption_score"), "\"S\"");

  GameState().Reset();
  EXPECT_EQ(Eval("health"), "100");
  EXPECT_EQ(Eval("caption_score"), "\"Score: \"");
  EXPECT_FALSE(GameState().scoreShownExplicitly);
}

// The system clock: current_time counts milliseconds upwards, the date is today's.
TEST_F(GameVariablesTest, SystemClock) {
  SetGameClock(nullptr);
  const double first = std::stod(Eval("current_time"));
  const double second = std::stod(Eval("current_time"));
  EXPECT_GT(first, 0);
  EXPECT_GE(second, first);
  const int weekday = std::stoi(Eval("current_weekday"));
  EXPECT_GE(weekday, 1);
  EXPECT_LE(weekday, 7);
  EXPECT_GE(std::stoi(Eval("current_year")), 2024);
  const int month = std::stoi(Eval("current_month"));
  EXPECT_GE(month, 1);
  EXPECT_LE(month, 12);
}

}  // namespace
}  // namespace kestro
