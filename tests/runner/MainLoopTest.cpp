// The main loop over a small game made in the model: the order of events over a few steps, room
// changes between steps, persistent rooms, restart and the end of the game, on a manual clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/Clock.h"
#include "graphics/Input.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/StateHash.h"
#include "world/GameState.h"
#include "support/TestSupport.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "script/builtins/BuiltinError.h"
#include "world/ErrorReport.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

class MainLoop_ : public ::testing::Test {
 protected:
  void SetUp() override {
    GameResources().Clear();
    StepClock().SetSource(&clock_);
    SetDebugMessageSink([this](const std::string& t) { out_ += t + ";"; });
    SetBuiltinErrorHandler([this](std::string_view m, bool) { out_ += "E[" + std::string(m) + "];"; });
  }
  void TearDown() override {
    StepClock().SetSource(nullptr);
    SetDebugMessageSink(nullptr);
    SetBuiltinErrorHandler(nullptr);
    SetScriptHost(nullptr);
    SetScriptNames(nullptr);
    World().Reset();
    GameResources().Clear();
    GameSettings().Reset();
    Input().Reset();
  }
  int Object(const std::string& name) {
    Objects().Add(std::make_unique<CObject>(), name);
    return Objects().Count() - 1;
  }
  void On(int obj, int type, int numb, const std::string& code) {
    CAction a;
    a.act_exetype = kExeCode;
    a.act_codecode = std::make_shared<CCode>(code, CodeKind::kProgram);
    CEvent* ev = Objects().Get(obj)->CreateEvent(type, numb);
    ev->e_actions.push_back(a);
    ev->e_number = int(ev->e_actions.size());
  }
  int Room(const std::string& name, std::vector<RRoomInstance> placed, bool persistent = false,
           const std::string& code = "") {
    auto r = std::make_unique<CRoom>();
    r->r_placed = std::move(placed);
    r->r_persistent = persistent;
    r->r_code = code;
    Rooms().Add(std::move(r), name);
    RoomOrder().push_back(Rooms().Count() - 1);
    return Rooms().Count() - 1;
  }
  // Compiles every code action (names resolve once every resource exists) and runs the game.
  std::string Play(int64_t steps) {
    InstallGameScriptNames();
    for (int o = 0; o < Objects().Count(); ++o)
      for (auto& events : Objects().Get(o)->o_events)
        for (auto& [numb, ev] : events)
          for (CAction& a : ev.e_actions) EXPECT_TRUE(a.act_codecode->Compile()) << a.act_codecode->CompileError();
    World().Reset();
    InstallWorldHost();
    CLoopHooks hooks = hooks_;
    hooks.afterStep = afterStep_;
    CMainLoop loop(hooks);
    loop.RunGame(steps);
    steps_ = loop.steps();
    return out_;
  }
  std::function<void(int64_t)> afterStep_;
  CLoopHooks hooks_;
  CManualClock clock_;
  std::string out_;
  int64_t steps_ = 0;
};

TEST_F(MainLoop_, EventOrderOverSteps) {
  const int o = Object("obj");
  On(o, kEventCreate, 0, "show_debug_message(\"create \" + string(id)); alarm[0] = 2");
  On(o, kEventOther, 2, "show_debug_message(\"game start\")");
  On(o, kEventOther, 4, "show_debug_message(\"room start\")");
  On(o, kEventStep, 1, "show_debug_message(\"begin\")");
  On(o, kEventAlarm, 0, "show_debug_message(\"alarm\")");
  On(o, kEventStep, 0, "show_debug_message(\"step\"); hspeed = 2");
  On(o, kEventStep, 2, "show_debug_message(\"end \" + string(x))");
  On(o, kEventOther, 5, "show_debug_message(\"room end\")");
  On(o, kEventOther, 3, "show_debug_message(\"game end\")");
  Room("rm", {{10, 0, o, 100001, "show_debug_message(\"creation code\")"}}, false, "show_debug_message(\"room code\")");
  EXPECT_EQ(Play(2),
            "creation code;create 100001;game start;room code;room start;"
            "begin;step;end 12;"
            "begin;alarm;step;end 14;"
            "room end;game end;");
  EXPECT_EQ(steps_, 2);
  // Two steps at room speed 30 took two periods of the clock (waits end on whole milliseconds).
  EXPECT_GE(StepClock().MicrosecondClock(), 2 * 33333);
  EXPECT_LT(StepClock().MicrosecondClock(), 2 * 33333 + 2000);
}

// With automatic drawing off the loop neither draws the room nor presents a frame; turned on again
// in a step, that step's end draws and presents.
TEST_F(MainLoop_, AutomaticDrawOffSkipsTheDrawStepAndThePresentation) {
  const int o = Object("obj");
  On(o, kEventCreate, 0, "set_automatic_draw(false); n = 0");
  On(o, kEventStep, 0, "n += 1; show_debug_message(\"step \" + string(n)); if n == 2 set_automatic_draw(true)");
  Room("rm", {{0, 0, o, 100001, ""}});
  hooks_.drawRoom = [this] { out_ += "draw;"; };
  hooks_.presentFrame = [this] { out_ += "present;"; };
  EXPECT_EQ(Play(3), "step 1;step 2;draw;present;step 3;draw;present;");
  EXPECT_TRUE(GameState().automaticDraw);
  GameState().automaticDraw = true;
}

TEST_F(MainLoop_, ARoomChangeInBeginStepEndsTheStep) {
  const int o = Object("obj");
  On(o, kEventStep, 1, "show_debug_message(\"begin\"); if !global.moved { global.moved = 1; room_goto_next() }");
  On(o, kEventStep, 0, "show_debug_message(\"step\")");
  On(o, kEventOther, 4, "show_debug_message(\"start \" + string(id))");
  On(o, kEventDestroy, 0, "show_debug_message(\"destroy\")");
  Room("a", {{0, 0, o, 100001, ""}}, false, "global.moved = 0");
  Room("b", {{0, 0, o, 100002, ""}});
  EXPECT_EQ(Play(2), "start 100001;begin;start 100002;begin;step;");
}

TEST_F(MainLoop_, PersistentRoomsAndInstancesAndRestart) {
  const int o = Object("obj");
  const int p = Object("obj_traveller");
  Objects().Get(p)->o_persistent = true;
  On(o, kEventCreate, 0, "show_debug_message(\"create \" + string(id))");
  On(p, kEventCreate, 0, "global.trips = 0");
  On(p, kEventOther, 4, "global.trips += 1; show_debug_message(\"trip \" + string(global.trips))");
  On(p, kEventStep, 0,
     "if global.trips == 1 room_goto(1); if global.trips == 2 room_goto(0); if global.trips == 3 game_restart()");
  Room("a", {{0, 0, o, 100001, ""}, {0, 0, p, 100002, ""}}, true);
  Room("b", {{0, 0, o, 100003, ""}});
  // Room a is persistent: going back runs only its room start; the traveller keeps its id and
  // its count; a restart starts from the designs again.
  EXPECT_EQ(Play(5),
            "create 100001;trip 1;create 100003;trip 2;trip 3;"
            "create 100001;trip 1;create 100003;trip 2;trip 3;");
}

TEST_F(MainLoop_, KeysAndButtonsReachTheirEventsInTheNextStep) {
  const int o = Object("obj");
  On(o, 9, 65, "show_debug_message(\"press A\")");
  On(o, 5, 65, "show_debug_message(\"hold A\")");
  On(o, 5, 1, "show_debug_message(\"any key\")");
  On(o, 5, 0, "show_debug_message(\"no key\")");
  On(o, 10, 65, "show_debug_message(\"release A\")");
  On(o, 6, 56, "show_debug_message(\"global left released\")");
  On(o, kEventStep, 0, "show_debug_message(\"step\")");
  Room("rm", {{0, 0, o, 100001, ""}});
  afterStep_ = [](int64_t step) {
    if (step == 1) Input().KeyDown(65);
    if (step == 2) Input().KeyUp(65);
    if (step == 3) {
      Input().ButtonDown(1);
      Input().ButtonUp(1);
    }
  };
  EXPECT_EQ(Play(4),
            "no key;step;"
            "hold A;any key;press A;step;"
            "no key;release A;step;"
            "no key;global left released;step;");
}

TEST_F(MainLoop_, VirtualTimeGivesEveryStepExactlyItsPeriod) {
  const int o = Object("obj");
  On(o, kEventStep, 0, "x += 1");
  Room("rm", {{0, 0, o, 100001, ""}});
  Rooms().Get(0)->r_speed = 30;
  std::vector<int64_t> at;
  std::vector<int> fps;
  afterStep_ = [&](int64_t) {
    at.push_back(StepClock().MicrosecondClock());
    fps.push_back(GameState().fps);
  };
  Play(61);
  ASSERT_EQ(at.size(), 61u);
  // Steps run back to back on virtual time: 30 periods at speed 30 are exactly one second (the
  // periods are 33333 or 33334 us so that none is lost), not 30 x 33333 us.
  EXPECT_EQ(at[30] - at[0], 1000000);
  EXPECT_EQ(at[60] - at[30], 1000000);
  for (size_t k = 1; k < at.size(); ++k) {
    EXPECT_GE(at[k] - at[k - 1], 33333);
    EXPECT_LE(at[k] - at[k - 1], 33334);
  }
  EXPECT_EQ(fps[0], 0);  // nothing counted in the first second
  EXPECT_EQ(fps[60], 30);
}

TEST_F(MainLoop_, AStopRequestEndsTheGameThroughItsEvents) {
  const int o = Object("obj");
  On(o, kEventStep, 0, "show_debug_message(\"step\")");
  On(o, kEventOther, 5, "show_debug_message(\"room end\")");
  On(o, kEventOther, 3, "show_debug_message(\"game end\")");
  Room("rm", {{0, 0, o, 100001, ""}});
  int asked = 0;
  hooks_.stopRequested = [&] { return ++asked > 4; };
  EXPECT_EQ(Play(-1), "step;step;room end;game end;");
  EXPECT_EQ(steps_, 2);
}

TEST_F(MainLoop_, InactiveWindowFreezesTheGameButMessagesGoOn) {
  GameSettings().freezeWhenInactive = true;
  const int o = Object("obj");
  On(o, kEventStep, 0, "show_debug_message(\"step\")");
  Room("rm", {{0, 0, o, 100001, ""}});
  int pumps = 0, asked = 0;
  hooks_.pumpMessages = [&] { ++pumps; };
  hooks_.windowActive = [&] { return ++asked > 3; };
  EXPECT_EQ(Play(2), "step;step;");
  EXPECT_EQ(steps_, 2);
  EXPECT_GE(pumps, 5);
  // Three frozen iterations waited a period each.
  EXPECT_GE(StepClock().MicrosecondClock(), 5 * 33333);
}

TEST_F(MainLoop_, NoStepRunsWhileASplashShows) {
  const int o = Object("obj");
  On(o, kEventStep, 0, "show_debug_message(\"step\")");
  Room("rm", {{0, 0, o, 100001, ""}});
  int asked = 0;
  hooks_.overlayShowing = [&] { return ++asked <= 3; };
  EXPECT_EQ(Play(2), "step;step;");
  EXPECT_EQ(asked, 5);
}

TEST_F(MainLoop_, F1ShowsTheGameInformationAsAMessageAndClearsInput) {
  GameSettings().f1ShowsInfo = true;
  GameInformation().caption = "Help";
  GameInformation().text =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}"
      "\\f0\\fs20 Move with the arrows.\\par Caf\\'e9 \\{x\\}\\tab\\u8364?!\\par}";
  const int o = Object("obj");
  On(o, kEventStep, 0, "show_debug_message(keyboard_string)");
  Room("rm", {{0, 0, o, 100001, ""}});
  afterStep_ = [](int64_t step) {
    if (step != 1) return;
    Input().Character('q');
    Input().KeyDown(112);
  };
  test::MessageRecorder box;
  EXPECT_EQ(Play(2), ";;");
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_EQ(box.messages[0], "Help\n\nMove with the arrows.\nCaf\u00e9 {x}\t\u20ac!");
}

TEST_F(MainLoop_, StateHashFollowsInstancesAndVariables) {
  const int o = Object("obj");
  On(o, kEventStep, 0, "if id == 100002 && t < 2 { t += 1 }");
  Room("rm", {{0, 0, o, 100001, "t = 0; image_speed = 0"}, {5, 0, o, 100002, "t = 0; image_speed = 0"}});
  std::vector<uint64_t> hashes;
  afterStep_ = [&](int64_t) { hashes.push_back(WorldStateHash()); };
  Play(3);
  ASSERT_EQ(hashes.size(), 3u);
  EXPECT_NE(hashes[0], hashes[1]);
  EXPECT_EQ(hashes[1], hashes[2]) << "nothing changed in step 3";
  // Values are hashed by what they are: -0 is 0, a string is not a real.
  const int32_t g = VariableId("hash_probe");
  GlobalVariables().SetVar(g, 0, RValue::Real(0.0));
  const uint64_t zero = WorldStateHash();
  GlobalVariables().SetVar(g, 0, RValue::Real(-0.0));
  EXPECT_EQ(WorldStateHash(), zero);
  GlobalVariables().SetVar(g, 0, RValue::String(RString("0")));
  EXPECT_NE(WorldStateHash(), zero);
  GlobalVariables().SetVar(g, 0, RValue::Real(1e-300));
  EXPECT_NE(WorldStateHash(), zero);
  EXPECT_EQ(StateHashLine(7, 0xab), "7 00000000000000ab");
}

}  // namespace
}  // namespace kestro
