// The debug window's model against a built debug game played headless: the run controls through
// the main loop (pause, single steps, run, restart, stop, close), watches, executing code, the room
// speed, the information windows, the debug messages, and nothing of it in a normal run.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "debug/DebugText.h"
#include "debug/DebugWindow.h"
#include "graphics/Input.h"
#include "runner/MainLoop.h"
#include "runner/Runner.h"
#include "support/GameFolderFixture.h"
#include "tools/Project.h"
#include "tools/RunHooks.h"
#include "world/World.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using debug::CDebugWindow;
using debug::DebugWindow;
using nlohmann::json;

json CodeAction(const std::string& text) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}};
}
json Event(const std::string& type, const json& number, const std::string& text) {
  return {{"type", type}, {"number", number}, {"actions", {CodeAction(text)}}};
}

// Stands for the platform's windows: what the run asks of them is noted, and while the game is
// paused each wait takes the next command of a script (none left: the window is closed).
class CTestView final : public debug::IDebugView {
 public:
  void Open(CDebugWindow&) override { trace += "open "; }
  void Close() override { trace += "close "; }
  void Pump() override { ++pumps; }
  bool WaitWhilePaused() override {
    if (script.empty()) return false;
    auto command = script.front();
    script.pop_front();
    command();
    return true;
  }
  void Message(const std::string& text) override { messages += text + ";"; }
  std::deque<std::function<void()>> script;
  std::string trace, messages;
  int pumps = 0;
};

class DebugWindow_ : public test::GameFolderFixture {
 public:
  void TearDown() override {
    DebugWindow() = CDebugWindow();
    Input().Reset();
    tools::SetRunOptions({});
    GameFolderFixture::TearDown();
  }

  // A debug game (or not): a 16 x 16 sprite; obj_a (hp, label; counts steps in a global; says
  // when the game ends) twice, obj_b once, overlapping the first obj_a; room speed 30.
  fs::path Build(bool debugFlag) {
    std::string error;
    RPixels px{16, 16, std::vector<uint8_t>(16 * 16 * 4, 0xFF)};
    EXPECT_TRUE(tools::WritePng(dir_ / "spr.png", px, error)) << error;
    const json a = {
        {"sprite", "spr"},
        {"events",
         {Event("create", 0, "hp = 3; label = 'a'; global.counter = 0"), Event("step", 0, "global.counter += 1"),
          Event("other", 3, "show_debug_message('game end ' + string(id))")}}};
    test::WriteProject(dir_.path(),
                       {{"game_id", 5},
                        {"debug", debugFlag},
                        {"sprites", {"spr"}},
                        {"objects", {"obj_a", "obj_b"}},
                        {"rooms", {"rm"}},
                        {"room_order", {"rm"}}},
                       {{"sprites/spr.json", R"({"frames": ["spr.png"], "mask": {"bbox": "full"}})"},
                        {"objects/obj_a.json", a.dump()},
                        {"objects/obj_b.json", R"({"sprite": "spr"})"},
                        {"rooms/rm.json", json{{"speed", 30},
                                               {"instances",
                                                {{{"x", 0}, {"y", 0}, {"object", "obj_a"}, {"id", 100001}},
                                                 {{"x", 8}, {"y", 8}, {"object", "obj_b"}, {"id", 100002}},
                                                 {{"x", 100}, {"y", 100}, {"object", "obj_a"}, {"id", 100003}}}}}
                                              .dump()}});
    return test::BuildDataOnly(dir_.path());
  }

  // Loads and prepares the game and plays up to `steps` steps as a debug run with the test view;
  // at_[k] runs after step k. Steps and messages are noted in trace_.
  void Play(const fs::path& game, int64_t steps, bool withView = true) {
    RunState().tempFolder = dir_.path().string();
    SetDebugMessageSink([this](const std::string& t) {
      trace_ += "m:" + t + " ";
      DebugWindow().AddMessage(t);
    });
    CRunner runner(tools::MakeRunHooks(), nullptr);
    ASSERT_TRUE(runner.LoadGameFile(game.string()));
    ASSERT_TRUE(runner.PrepareGame());
    DebugWindow().Show(withView ? &view_ : nullptr);
    CLoopHooks hooks;
    hooks.afterStep = [this](int64_t step) {
      trace_ += std::to_string(step) + " ";
      if (auto it = at_.find(step); it != at_.end()) it->second();
    };
    tools::SetLoopHooks(hooks);
    tools::SetStepLimit(steps);
    tools::MakeRunHooks().runGame();
    tools::SetStepLimit(-1);
    tools::SetLoopHooks({});
  }

  // A pause-script command that notes the steps played and the enabled run controls, then acts.
  std::function<void()> Paused(std::function<void()> act = {}) {
    return [this, act] {
      const CDebugWindow& d = DebugWindow();
      trace_ += "P" + std::string(d.Enabled(debug::kRun) ? "r" : "") + (d.Enabled(debug::kPause) ? "p" : "") +
                (d.Enabled(debug::kStep) ? "s" : "") + (d.Enabled(debug::kStop) ? "x" : "") + " ";
      if (act) act();
    };
  }

  CTestView view_;
  std::map<int64_t, std::function<void()>> at_;
  std::string trace_;
};

TEST_F(DebugWindow_, RunControlsDriveTheMainLoop) {
  const fs::path game = Build(true);
  CDebugWindow& d = DebugWindow();
  struct Case {
    const char* name;
    std::function<void(DebugWindow_&)> arrange;
    const char* trace;
  };
  // Steps are limited to 6; every game ends with the game end events of both obj_a.
  const char* kEnd = "m:game end 100001 m:game end 100003 ";
  const Case cases[] = {
      {"a pause holds the steps, Step takes exactly one, Run goes on",
       [&d](DebugWindow_& t) {
         t.at_[2] = [&d] { d.Pause(); };
         t.view_.script = {t.Paused(),
                           t.Paused(),
                           t.Paused([&d] { d.Step(); }),
                           t.Paused(),
                           t.Paused([&d] { d.Step(); }),
                           t.Paused([&d] { d.Run(); })};
       },
       "1 2 Prsx Prsx Prsx 3 Prsx Prsx 4 Prsx 5 6 "},
      {"Stop while paused ends the game at once",
       [&d](DebugWindow_& t) {
         t.at_[2] = [&d] { d.Pause(); };
         t.view_.script = {t.Paused([&d] { d.Stop(); })};
       },
       "1 2 Prsx "},
      {"Stop while running ends the game after the step", [&d](DebugWindow_& t) { t.at_[3] = [&d] { d.Stop(); }; },
       "1 2 3 "},
      {"closing the window while paused stops the game",
       [&d](DebugWindow_& t) {
         t.at_[1] = [&d] { d.Pause(); };
         t.view_.script = {t.Paused([&d] { d.Close(); })};
       },
       "1 Prsx "},
      {"closing it while running hides it and the game goes on",
       [&d](DebugWindow_& t) { t.at_[1] = [&d] { d.Close(); }; }, "1 2 3 4 5 6 "},
      {"Restart while paused restarts the game and runs it",
       [&d](DebugWindow_& t) {
         t.at_[2] = [&d] { d.Pause(); };
         t.view_.script = {t.Paused([&d] { d.Restart(); })};
       },
       "1 2 Prsx m:game end 100001 m:game end 100003 3 4 5 6 "},
      {"a pause nobody can end (no window takes commands) does not hold the game",
       [&d](DebugWindow_& t) {
         t.at_[2] = [&d] { d.Pause(); };
         t.view_.script.clear();
       },
       "1 2 3 4 5 6 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    trace_.clear();
    at_.clear();
    view_ = CTestView();
    c.arrange(*this);
    Play(game, 6);
    EXPECT_EQ(trace_, std::string(c.trace) + kEnd);
    EXPECT_EQ(view_.trace, "open close ");
    EXPECT_FALSE(d.Active());
    test::ResetGameState();
  }
}

TEST_F(DebugWindow_, EveryStepRefreshesTheWindowOnceAndTheGameNeverWaitsWithoutIt) {
  const fs::path game = Build(true);
  CDebugWindow& d = DebugWindow();
  std::vector<uint64_t> refreshes;
  at_[1] = [&] { refreshes.push_back(d.Refreshes()); };
  at_[2] = [&] {
    refreshes.push_back(d.Refreshes());
    d.Pause();
  };
  at_[3] = [&] { refreshes.push_back(d.Refreshes()); };
  Play(game, 4, false);
  EXPECT_EQ(refreshes, (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_EQ(trace_, "1 2 3 4 m:game end 100001 m:game end 100003 ");
}

TEST_F(DebugWindow_, WatchesShowValuesAndErrorsWithoutStoppingTheGame) {
  const fs::path game = Build(true);
  CDebugWindow& d = DebugWindow();
  struct Case {
    const char* expression;
    const char* value;
  };
  const Case cases[] = {
      {"room_speed", "30"},    {"1/4", "0.25"},          {"1/3", "0.3333333333"},
      {"\"ab\"", "ab"},        {"1 +", "COMPILE ERROR"}, {"not_a_variable", "ERROR"},
      {"global.counter", "4"}, {"0.125", "0.1250"},      {"obj_a.hp * 2", "6"},
  };
  std::vector<std::string> values, later;
  at_[2] = [&] {
    for (const Case& c : cases) d.AddWatch(c.expression);
    for (const debug::RWatch& w : d.Watches()) values.push_back(w.value);
  };
  at_[4] = [&] { later.push_back(d.Watches()[6].value); };
  Play(game, 5);
  ASSERT_EQ(values.size(), std::size(cases));
  for (size_t k = 0; k < values.size(); ++k) EXPECT_EQ(values[k], cases[k].value) << cases[k].expression;
  // Refreshed at the end of each step, and the failing ones stopped nothing and said nothing.
  EXPECT_EQ(later, std::vector<std::string>{"8"});
  EXPECT_EQ(trace_, "1 2 3 4 5 m:game end 100001 m:game end 100003 ");
  EXPECT_EQ(out_, "");
}

TEST_F(DebugWindow_, ExecuteCodeAndSpeedChangeTheGame) {
  const fs::path game = Build(true);
  CDebugWindow& d = DebugWindow();
  std::string local;
  int speed = 0;
  bool badSpeed = true, badCode = true;
  std::string speedShown;
  at_[2] = [&] {
    EXPECT_TRUE(d.ExecuteCode("with (obj_a) hp = 10; global.note = 'set'"));
    badCode = d.ExecuteCode("hp = ");
    d.ShowLocal("100003");
    local = d.LocalWindows()[0]->text;
    badSpeed = d.SetSpeed("fast");
    EXPECT_TRUE(d.SetSpeed(" 45 "));
    speedShown = d.SpeedRequest().initial;
  };
  at_[3] = [&] { speed = World().Room().r_speed; };
  Play(game, 3);
  EXPECT_FALSE(badCode);
  EXPECT_EQ(view_.messages, "COMPILE ERROR;");
  EXPECT_EQ(d.LastCode(), "hp = ");
  EXPECT_EQ(d.ExecuteRequest().initial, "hp = ");
  EXPECT_NE(local.find("hp:                 10\r\n"), std::string::npos) << local;
  EXPECT_FALSE(badSpeed);
  EXPECT_EQ(speed, 45);
  EXPECT_EQ(speedShown, "45");
}

TEST_F(DebugWindow_, InformationWindowsListTheRoom) {
  const fs::path game = Build(true);
  CDebugWindow& d = DebugWindow();
  std::string instances, global, byId, byName, byIdGone, byNameNext;
  std::vector<std::string> mouse;
  bool hundredAndFirst = true;
  at_[2] = [&] {
    // Both 100001 and 100002 hold (10, 10): the later one in room order is named.
    for (auto [x, y] : {std::pair{2.0, 2.0}, {10.0, 10.0}, {50.0, 50.0}}) {
      Input().MouseMove(x, y);
      d.Tick();
      mouse.push_back(d.Panel(2));
    }
    d.ShowInstances();
    instances = d.InstancesWindow()->text;
    d.ShowGlobal();
    global = d.GlobalWindow()->text;
    d.ShowLocal("100001");
    d.ShowLocal("obj_a");
    byId = d.LocalWindows()[0]->text;
    byName = d.LocalWindows()[1]->text;
    d.ExecuteCode("with (100001) instance_destroy()");
  };
  at_[3] = [&] {
    byIdGone = d.LocalWindows()[0]->text;
    byNameNext = d.LocalWindows()[1]->text;
    EXPECT_EQ(d.Panel(0), "0 fps");
    EXPECT_EQ(d.Panel(1), "2 inst");
    while (d.LocalWindows().size() < debug::kMaxLocalWindows) d.ShowLocal("obj_b");
    hundredAndFirst = d.ShowLocal("obj_b");
  };
  Play(game, 3);
  EXPECT_EQ(instances,
            "   Id     Object Name    Sprite Name\r\n"
            "____________________________________\r\n"
            "100001          obj_a            spr\r\n"
            "100002          obj_b            spr\r\n"
            "100003          obj_a            spr\r\n");
  for (const char* line :
       {"room_speed:         30\r\n", "room_width:         640\r\n", "score:              0\r\n",
        "counter:            4\r\n", "keyboard_string:    \r\n", "________________________________\r\n"})
    EXPECT_NE(global.find(line), std::string::npos) << line << global;
  EXPECT_EQ(global.rfind("mouse_x:", 0), 0u) << global;
  for (const std::string* text : {&byId, &byName}) {
    EXPECT_EQ(text->rfind("x:                  0\r\ny:                  0\r\n", 0), 0u) << *text;
    EXPECT_NE(text->find("id:                 100001\r\n"), std::string::npos) << *text;
    EXPECT_NE(text->find("hp:                 3\r\nlabel:              a\r\n"), std::string::npos) << *text;
  }
  EXPECT_EQ(byIdGone, debug::kNoSuchInstance);
  EXPECT_NE(byNameNext.find("id:                 100003\r\n"), std::string::npos) << byNameNext;
  EXPECT_EQ(mouse, (std::vector<std::string>{"mouse id: 100001", "mouse id: 100002", "mouse id: "}));
  EXPECT_FALSE(hundredAndFirst);
  EXPECT_EQ(d.LocalWindows().size(), size_t(debug::kMaxLocalWindows));
}

TEST_F(DebugWindow_, DebugMessagesGoToTheMessagesWindowWithinItsLimits) {
  CDebugWindow& d = DebugWindow();
  d.AddMessage("before the window");
  EXPECT_EQ(d.MessagesWindow(), nullptr);
  d.Show(nullptr);
  d.AddMessage("one");
  d.AddMessage("two\r\nthree");
  ASSERT_NE(d.MessagesWindow(), nullptr);
  EXPECT_EQ(d.MessagesWindow()->caption, "Messages");
  EXPECT_FALSE(d.MessagesWindow()->visible);
  EXPECT_EQ(d.Messages(), (std::deque<std::string>{"one", "two", "three"}));
  d.ShowMessages();
  EXPECT_TRUE(d.MessagesWindow()->visible);
  for (size_t k = 0; k < debug::kMaxMessageLines; ++k) d.AddMessage("m" + std::to_string(k));
  EXPECT_EQ(d.Messages().size(), debug::kMaxMessageLines);
  EXPECT_EQ(d.Messages().front(), "m0");
  EXPECT_EQ(d.MessageCount(), debug::kMaxMessageLines + 3);
  d.AddMessage(std::string(debug::kMaxMessageBytes, 'x'));
  EXPECT_EQ(d.Messages().size(), 1u);
  d.End();
}

TEST_F(DebugWindow_, TheWatchGridAndItsFiles) {
  CDebugWindow& d = DebugWindow();
  d.Show(nullptr);
  EXPECT_EQ(d.RowCount(), 2);
  d.DeleteWatch(1);  // the empty last row: nothing
  d.AddWatch("");    // an empty text adds nothing
  EXPECT_EQ(d.RowCount(), 2);
  d.ChangeWatch(1, "1 + 1");  // the last row: as Add
  ASSERT_EQ(d.RowCount(), 3);
  EXPECT_EQ(d.Watches()[0].value, "2");
  EXPECT_EQ(d.ChangeRequest(1).initial, "1 + 1");
  EXPECT_EQ(d.ChangeRequest(2).initial, "");
  EXPECT_STREQ(d.ChangeRequest(2).caption, "Provide an expression.");
  std::ofstream(dir_ / "w.txt") << "2 * 3\n\n'q'\n";
  std::string error;
  ASSERT_TRUE(d.LoadWatches((dir_ / "w.txt").string(), error)) << error;
  ASSERT_EQ(d.RowCount(), 6);
  EXPECT_EQ(d.Watches()[1].value, "6");
  EXPECT_EQ(d.Watches()[2].value, "0");  // an empty expression is 0
  EXPECT_EQ(d.Watches()[3].value, "q");
  d.DeleteWatch(2);
  ASSERT_TRUE(d.SaveWatches((dir_ / "saved.txt").string(), error)) << error;
  EXPECT_EQ(test::ReadBytes(dir_ / "saved.txt"),
            (std::vector<uint8_t>{'1', ' ', '+', ' ', '1', '\r', '\n', '\r', '\n', '\'', 'q', '\'', '\r', '\n'}));
  EXPECT_FALSE(d.LoadWatches((dir_ / "missing.txt").string(), error));
  EXPECT_EQ(error, "Cannot open file \"" + (dir_ / "missing.txt").string() + "\".");
  d.ChangeWatch(1, "");
  EXPECT_EQ(d.Watches()[0].expression, "");
  d.ClearWatches();
  EXPECT_EQ(d.RowCount(), 2);
  EXPECT_EQ(debug::WithDefaultExtension("list"), "list.txt");
  EXPECT_EQ(debug::WithDefaultExtension("list.w"), "list.w");
  d.End();
}

TEST(DebugText, ValueTexts) {
  struct Case {
    RValue value;
    const char* text;
  };
  const Case cases[] = {
      {RValue::Real(3), "3"},
      {RValue::Real(0.5), "0.50"},
      {RValue::Real(0.125), "0.1250"},
      {RValue::Real(1.0 / 3), "0.3333333333"},
      {RValue::Real(-2.5), "-2.50"},
      {RValue::Real(2.0 / 3), "0.6666666667"},
      {RValue::Real(1e-7), "0.00000010"},
      {RValue::Real(1e-9), "0.0000000010"},
      {RValue::Real(1.5e-11), "0.0000000000"},
      {RValue::Real(123456789.125), "123456789.1000"},
      {RValue::Real(-1e-13), "0"},
      {RValue::Real(1e20), "100000000000000000000"},
      {RValue::String("ab"), "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(debug::ValueText(c.value), c.text) << c.text;
  EXPECT_EQ(debug::InfoLine("name", RValue::String(std::string_view("x\0y", 3))), "name:               xy\r\n");
  EXPECT_EQ(debug::InfoLine("a_name_of_twenty_one", RValue::Real(1)), "a_name_of_twenty_one:1\r\n");
}

TEST_F(DebugWindow_, ANormalRunLeavesTheWindowAlone) {
  for (bool debugFlag : {false, true}) {
    SCOPED_TRACE(debugFlag);
    const fs::path game = Build(debugFlag);
    std::vector<bool> active;
    CLoopHooks hooks;
    hooks.afterStep = [&](int64_t) { active.push_back(DebugWindow().Active()); };
    tools::SetLoopHooks(hooks);
    tools::CRunOptions options;
    options.headless = true;
    options.steps = 2;
    tools::SetRunOptions(options);
    SetDebugMessageSink([](const std::string& t) { DebugWindow().AddMessage(t); });
    CRunner runner(tools::MakeRunHooks(), nullptr);
    EXPECT_EQ(runner.Run(game.string(), {game.string()}), 0);
    tools::SetLoopHooks({});
    EXPECT_EQ(active, std::vector<bool>(2, debugFlag));
    EXPECT_EQ(DebugWindow().Refreshes(), debugFlag ? 2u : 0u);
    EXPECT_EQ(DebugWindow().MessagesWindow() != nullptr, debugFlag);
    EXPECT_FALSE(DebugWindow().Active());
    DebugWindow() = CDebugWindow();
    test::ResetGameState();
  }
}

}  // namespace
}  // namespace kestro
