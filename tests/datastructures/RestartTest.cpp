// The containers belong to the run: a game restart keeps them (a list made before the restart is
// still there after it, and new ids come after it).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "datastructures/DataStructures.h"
#include "graphics/Clock.h"
#include "resources/GameResources.h"
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

class DataStructuresInAGame : public ::testing::Test {
 protected:
  void SetUp() override {
    GameResources().Clear();
    ResetDataStructures();
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
    ResetDataStructures();
  }
  void On(int obj, int type, int numb, const std::string& code) {
    CAction a;
    a.act_exetype = kExeCode;
    a.act_codecode = std::make_shared<CCode>(code, CodeKind::kProgram);
    ASSERT_TRUE(a.act_codecode->Compile()) << a.act_codecode->CompileError();
    CEvent* ev = Objects().Get(obj)->CreateEvent(type, numb);
    ev->e_actions.push_back(a);
    ev->e_number = int(ev->e_actions.size());
  }
  CManualClock clock_;
  std::string out_;
};

TEST_F(DataStructuresInAGame, ARestartKeepsThem) {
  Objects().Add(std::make_unique<CObject>(), "obj");
  auto room = std::make_unique<CRoom>();
  room->r_placed = {{0, 0, 0, 100001, ""}};
  Rooms().Add(std::move(room), "rm");
  RoomOrder().push_back(0);
  InstallGameScriptNames();
  On(0, kEventCreate, 0,
     "l = ds_list_create(); if l > 0 ds_list_add(0, l) else ds_list_add(l, \"first\");"
     "show_debug_message(string(l) + \" \" + string(ds_list_size(0)))");
  On(0, kEventStep, 0, "if ds_list_size(0) < 2 game_restart() else game_end()");
  World().Reset();
  InstallWorldHost();
  CMainLoop loop{CLoopHooks()};
  loop.RunGame(5);
  EXPECT_EQ(out_, "0 1;1 2;");
  ASSERT_NE(DataStructures().lists.Get(1), nullptr);  // and the game's end leaves them to the run
}

}  // namespace
}  // namespace kestro
