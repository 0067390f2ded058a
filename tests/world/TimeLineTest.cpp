// Time lines, alarms and triggers in running games: moments on their exact steps forwards,
// backwards, at fractional speeds and looping; alarms counting down and set from their own event;
// triggers at the begin, normal and end step; conditions that fail when run or when compiled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/Clock.h"
#include "io/RunState.h"
#include "runner/Runner.h"
#include "support/TestSupport.h"
#include "tools/RunHooks.h"
#include "world/StepFixture.h"

namespace kestro {
namespace {

// Every line the error window receives, each followed by '|'.
class RecordingWindow : public IErrorWindow {
 public:
  RecordingWindow() { SetErrorWindow(this); }
  ~RecordingWindow() override { SetErrorWindow(nullptr); }
  EErrorChoice Show(const CErrorMemo& memo, size_t first, bool) override {
    for (size_t i = first; i < memo.Lines().size(); ++i) shown += memo.Lines()[i] + "|";
    return EErrorChoice::kIgnore;
  }
  std::string shown;
};

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class TimeLines_ : public test::StepFixture {
 protected:
  // One object whose begin step counts the steps in global.n; the time line's moments print
  // "m<step>@<n>".
  std::string Run(double position, double speed, bool loop, int steps, const std::string& extra = "") {
    const int tl = TimeLine("tl", {{0, "show_debug_message('m0@' + string(global.n))" + extra},
                                   {5, "show_debug_message('m5@' + string(global.n))"},
                                   {10, "show_debug_message('m10@' + string(global.n))"}});
    const int o = Object("obj");
    On(o, kEventCreate, 0,
       "global.n = 0; timeline_index = " + std::to_string(tl) + "; timeline_position = " + std::to_string(position) +
           "; timeline_speed = " + std::to_string(speed) + "; timeline_loop = " + (loop ? "1" : "0") +
           "; timeline_running = 1");
    On(o, kEventStep, 1, "global.n += 1");
    Room({o});
    return Play(steps);
  }
};

TEST_F(TimeLines_, MomentsFireOnTheirExactSteps) {
  struct RCase {
    const char* name;
    double position, speed;
    bool loop;
    int steps;
    const char* fired;
  };
  const RCase cases[] = {
      {"speed 1", 0, 1, false, 20, "m0@1;m5@6;m10@11;"},
      {"speed 1, looping: back to 0 once past the last moment", 0, 1, true, 13, "m0@1;m5@6;m10@11;m0@12;"},
      {"speed 0.5", 0, 0.5, true, 22, "m0@1;m5@11;m10@21;m0@22;"},
      // The moment at 5 fires in the step that moves the position from 4 to 6.
      {"speed 2", 0, 2, true, 7, "m0@1;m5@3;m10@6;m0@7;"},
      {"speed 20 passes every moment in one step", 0, 20, false, 3, "m0@1;m5@1;m10@1;"},
      {"backwards, looping to the last moment", 10, -1, true, 12, "m10@1;m5@6;m0@11;m10@12;"},
      {"started past the end", 11, 1, false, 5, ""},
      {"speed 0 stands still", 0, 0, true, 5, ""},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    out_.clear();
    EXPECT_EQ(Run(c.position, c.speed, c.loop, c.steps), c.fired);
  }
}

TEST_F(TimeLines_, TheRangeIsFixedBeforeTheFirstMomentRuns) {
  // Moment 0 stops the time line: the moments already passed in this step still run, none later.
  EXPECT_EQ(Run(0, 20, true, 4, "; timeline_running = 0; timeline_position = 0"), "m0@1;m5@1;m10@1;");
  // Moment 0 deletes its own time line: the rest of the range has nothing left to run.
  TearDown();
  SetUp();
  out_.clear();
  EXPECT_EQ(Run(0, 20, true, 4, "; timeline_delete(timeline_index)"), "m0@1;");
}

TEST_F(TimeLines_, MomentsAddedByCodeAndErrorsNamingTheMoment) {
  const int o = Object("obj");
  On(o, kEventCreate, 0,
     "global.n = 0; t = timeline_add(); timeline_moment_add(t, 2, 'show_debug_message(\"added \" + string(global.n))');"
     "timeline_moment_add(t, 2, 'show_debug_message(undefined_thing)'); timeline_moment_add(t, 3, 'x = 1');"
     "timeline_moment_clear(t, 3); timeline_index = t; timeline_running = 1;"
     "show_debug_message(timeline_get_name(t) + ' ' + string(timeline_exists(t)))");
  On(o, kEventStep, 1, "global.n += 1");
  Room({o});
  RecordingWindow window;
  actionErrors_ = true;
  EXPECT_EQ(Play(4), "__newtimeline0 1;added 3;");
  EXPECT_NE(window.shown.find("at time step 2|of time line __newtimeline0:"), std::string::npos) << window.shown;
}

class Alarms_ : public test::StepFixture {};

TEST_F(Alarms_, CountDownFireAndRearmThemselves) {
  const int o = Object("obj");
  const int quiet = Object("obj_without_alarm_events");
  On(o, kEventCreate, 0, "global.n = 0; alarm[0] = 1; alarm[11] = 0; alarm[12] = 4");  // 12 means alarm 0
  On(o, kEventStep, 1, "global.n += 1");
  On(o, kEventAlarm, 0, "show_debug_message('a0@' + string(global.n)); if global.n < 5 alarm[0] = 2");
  On(o, kEventAlarm, 11, "show_debug_message('a11')");
  On(o, kEventStep, 0, "if global.n == 2 alarm[3] = 3");
  On(o, kEventAlarm, 3, "show_debug_message('a3@' + string(global.n))");
  On(o, kEventStep, 2, "if global.n == 8 show_debug_message(string(alarm[0]) + ' ' + string(alarm[11]))");
  On(quiet, kEventCreate, 0, "alarm[1] = 2");
  On(quiet, kEventStep, 2, "if global.n == 8 show_debug_message('quiet ' + string(alarm[1]))");
  Room({o, quiet});
  // alarm[12] = 4 replaced alarm 0's 1: the first firing is in step 4; rearmed to 2 it fires every
  // second step until step 5. Set to 3 during step 2, alarm 3 fires in the third step after.
  EXPECT_EQ(Play(8), "a0@4;a3@5;a0@6;-1 -1;quiet 2;");
}

class Triggers_ : public test::StepFixture {};

TEST_F(Triggers_, FireAtTheirMomentBeforeThatPhasesEvents) {
  const int begin = Trigger("at begin", "return global.n == 2", kTriggerBeginStep);
  const int normal = Trigger("at step", "return global.n >= 2 && global.n < 4", kTriggerNormalStep);
  const int end = Trigger("at end", "return global.n == 3", kTriggerEndStep);
  const int text = Trigger("text", "return 'yes'", kTriggerNormalStep);
  const int failing = Trigger("failing", "return global.missing", kTriggerEndStep);
  const int unused = Trigger("unused", "show_debug_message('never tested'); return 1", kTriggerNormalStep);
  const int o = Object("obj");
  On(o, kEventCreate, 0, "global.n = 1");
  On(o, kEventStep, 1, "show_debug_message('begin ' + string(global.n))");
  On(o, kEventStep, 0, "show_debug_message('step ' + string(global.n))");
  On(o, kEventStep, 2, "show_debug_message('end ' + string(global.n)); global.n += 1");
  for (int t : {begin, normal, end, text, failing})
    On(o, kEventTrigger, t, "show_debug_message('trigger ' + string(event_number))");
  Room({o});
  ASSERT_EQ(unused, 5);
  RecordingWindow window;
  EXPECT_EQ(Play(3),
            "begin 1;step 1;end 1;"
            "trigger 0;begin 2;trigger 1;step 2;end 2;"
            "begin 3;trigger 1;step 3;trigger 2;end 3;");
  // The failing condition is reported each time it runs and the others go on.
  EXPECT_EQ(Count(window.shown, "|ERROR in trigger failing|"), 3) << window.shown;
}

TEST_F(Triggers_, ABadConditionIsReportedWhenTheGameIsPrepared) {
  test::ResetGameState();
  struct Quiet : IErrorWindow {
    EErrorChoice Show(const CErrorMemo&, size_t, bool) override { return EErrorChoice::kAbort; }
  } quiet;
  SetErrorWindow(&quiet);
  test::ScratchDir dir;
  nlohmann::json manifest = {{"triggers", {"good", "bad"}}, {"objects", {"obj"}}, {"rooms", {"rm"}}};
  test::WriteProject(dir.path(), manifest,
                     {{"triggers/good.json", R"({"condition": "return 1"})"},
                      {"triggers/bad.json", R"({"condition": "return (1 +"})"},
                      {"objects/obj.json", R"({"events": [{"type": "trigger", "number": "bad", "actions": []}]})"},
                      {"rooms/rm.json", "{}"}});
  const std::filesystem::path game = test::BuildDataOnly(dir.path());
  test::MessageRecorder messages;
  RunState().tempFolder = dir.path().string();
  CRunner runner(tools::MakeRunHooks(), nullptr);
  ASSERT_TRUE(runner.LoadGameFile(game.string()));
  EXPECT_FALSE(runner.PrepareGame());
  EXPECT_EQ(messages.messages, std::vector<std::string>{"Failed to prepare triggers."});
  ASSERT_GE(ErrorMemo().Lines().size(), 3u);
  EXPECT_EQ(ErrorMemo().Lines()[2], "COMPILATION ERROR in condition of trigger bad");
  EXPECT_TRUE(Triggers().Get(0)->i_code);
  EXPECT_FALSE(Triggers().Get(1)->i_code);
  SetErrorWindow(nullptr);
  test::ResetGameState();
}

// A game from the builder: a path, a time line and a trigger read from the game data, prepared as
// the program prepares them and played by the main loop.
TEST(BuiltGame, PathsTimeLinesAndTriggersRunFromTheGameData) {
  test::ResetGameState();
  test::ScratchDir dir;
  auto code = [](const std::string& text) {
    return nlohmann::json{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}};
  };
  auto event = [&](const std::string& type, const nlohmann::json& number, const std::string& text) {
    return nlohmann::json{{"type", type}, {"number", number}, {"actions", {code(text)}}};
  };
  const nlohmann::json obj = {
      {"events",
       {event("create", 0, "global.n = 0; path_start(pth, 8, 0, false); timeline_index = tl; timeline_running = true"),
        event("step", 1, "global.n += 1"), event("trigger", "trg", "show_debug_message('far ' + string(global.n))"),
        event("other", 8, "show_debug_message('end ' + string(global.n) + ' ' + string(x))")}}};
  const nlohmann::json moments = {
      {"moments", {{{"step", 1}, {"actions", {code("show_debug_message('moment ' + string(global.n))")}}}}}};
  test::WriteProject(dir.path(),
                     {{"paths", {"pth"}}, {"time_lines", {"tl"}}, {"triggers", {"trg"}}, {"objects", {"obj"}},
                      {"rooms", {"rm"}}},
                     {{"paths/pth.json", R"({"kind": "straight", "closed": false, "points": [[0, 0], [64, 0]]})"},
                      {"time_lines/tl.json", moments.dump()},
                      {"triggers/trg.json", R"({"condition": "return x >= 32", "moment": 2})"},
                      {"objects/obj.json", obj.dump()},
                      {"rooms/rm.json", R"({"instances": [{"x": 0, "y": 0, "object": "obj"}]})"}});
  const std::filesystem::path game = test::BuildDataOnly(dir.path());
  std::string out;
  SetDebugMessageSink([&](const std::string& t) { out += t + ";"; });
  CManualClock clock;
  StepClock().SetSource(&clock);
  RunState().tempFolder = dir.path().string();
  tools::SetStepLimit(9);
  CRunner runner(tools::MakeRunHooks(), nullptr);
  ASSERT_TRUE(runner.LoadGameFile(game.string()));
  ASSERT_TRUE(runner.PrepareGame());
  tools::MakeRunHooks().runGame();
  tools::SetStepLimit(-1);
  StepClock().SetSource(nullptr);
  SetDebugMessageSink(nullptr);
  // The trigger is tested at the end step, after the motion that reached the end of the path.
  EXPECT_EQ(out, "moment 2;far 4;far 5;far 6;far 7;end 8 64;far 8;far 9;");
  test::ResetGameState();
}

}  // namespace
}  // namespace kestro
