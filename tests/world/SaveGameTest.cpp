// Saved games in a game from the builder, played by the main loop: a load returns to the saved room
// with everything as it was and without room events, and the game goes on from there exactly as it
// went on after the save; refused, damaged and truncated files change nothing; secure mode; the
// quick save and load keys; a failed write keeps the older save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "graphics/Clock.h"
#include "graphics/Input.h"
#include "io/RunState.h"
#include "io/Stream.h"
#include "resources/BmpFile.h"
#include "runner/MainLoop.h"
#include "runner/Runner.h"
#include "runner/StateHash.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/builtins/BuiltinError.h"
#include "support/GameFolderFixture.h"
#include "support/TestSupport.h"
#include "tools/Project.h"
#include "tools/RunHooks.h"
#include "world/ErrorReport.h"
#include "world/GameState.h"
#include "world/SaveGame.h"
#include "world/World.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json CodeAction(const std::string& text) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}};
}
json Event(const std::string& type, const json& number, const std::string& text) {
  return {{"type", type}, {"number", number}, {"actions", {CodeAction(text)}}};
}

// Everything a saved game holds (its bytes as the game would write them now) and the state hash
// of the current room.
struct RFingerprint {
  uint64_t hash = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const RFingerprint&) const = default;
};
RFingerprint Fingerprint() {
  CStream s;
  WriteSavedGame(s);
  return {WorldStateHash(), s.Buffer()};
}

class SavedGames_ : public test::GameFolderFixture {
 protected:
  void TearDown() override {
    Input().Reset();
    GameFolderFixture::TearDown();
  }

  // The game: a persistent room first, holding a sleeper (100001); then the room played, with a
  // mover on a path (100002), a wall it runs into (100003), a sleeper (100004) and a tile.
  fs::path Build(const json& settings = json::object()) {
    std::string error;
    RPixels px{16, 16, std::vector<uint8_t>(16 * 16 * 4, 0xFF)};
    EXPECT_TRUE(tools::WritePng(dir_ / "spr.png", px, error)) << error;
    const json mover = {
        {"sprite", "spr"},
        {"events",
         {Event("create", 0,
                "hp = 3; label = 'mover'; grid[1, 2] = 'cell'; alarm[3] = 5; path_start(pth, 2, 0, false);"
                "show_debug_message('create ' + string(id))"),
          Event("step", 1, "show_debug_message('begin ' + string(score))"),
          Event("alarm", 3, "show_debug_message('alarm ' + string(x)); alarm[3] = 3"),
          Event("collision", "obj_wall", "show_debug_message('hit ' + string(x))"),
          Event("other", 4, "show_debug_message('room start')"),
          Event("other", 5, "show_debug_message('room end')")}}};
    const json sleeper = {{"events", {Event("create", 0, "alarm[0] = 2; note = 'asleep'")}}};
    test::WriteProject(
        dir_.path(),
        {{"game_id", 1234},
         {"settings", settings},
         {"sprites", {"spr"}},
         {"backgrounds", {"bg"}},
         {"paths", {"pth"}},
         {"objects", {"obj_mover", "obj_wall", "obj_sleeper"}},
         {"rooms", {"rm_home", "rm_play"}}},
        {{"sprites/spr.json", R"({"frames": ["spr.png"], "mask": {"bbox": "full"}})"},
         {"backgrounds/bg.json", "{}"},
         {"paths/pth.json", R"({"kind": "straight", "closed": false, "points": [[0, 0], [400, 0]]})"},
         {"objects/obj_mover.json", mover.dump()},
         {"objects/obj_wall.json", R"({"sprite": "spr"})"},
         {"objects/obj_sleeper.json", sleeper.dump()},
         {"rooms/rm_home.json",
          R"({"persistent": true, "instances": [{"x": 10, "y": 10, "object": "obj_sleeper", "id": 100001}]})"},
         {"rooms/rm_play.json", json{{"instances",
                                      {{{"x", 0}, {"y", 0}, {"object", "obj_mover"}, {"id", 100002}},
                                       {{"x", 20}, {"y", 0}, {"object", "obj_wall"}, {"id", 100003}},
                                       {{"x", 50}, {"y", 50}, {"object", "obj_sleeper"}, {"id", 100004}}}},
                                     {"tiles", {{{"x", 5}, {"y", 5}, {"background", "bg"}, {"w", 8}, {"h", 8}}}}}
                                    .dump()}});
    return test::BuildDataOnly(dir_.path());
  }

  // Plays `steps` steps of the built game; `at[k]` runs after step k, `before[k]` before it.
  void Play(const fs::path& game, int64_t steps) {
    RunState().tempFolder = dir_.path().string();
    CRunner runner(tools::MakeRunHooks(), nullptr);
    ASSERT_TRUE(runner.LoadGameFile(game.string()));
    ASSERT_TRUE(runner.PrepareGame());
    ASSERT_EQ(RunState().gameId, 1234);
    CLoopHooks hooks;
    hooks.beforeStep = [this](int64_t step) {
      if (auto it = before_.find(step); it != before_.end()) it->second();
    };
    hooks.afterStep = [this](int64_t step) {
      if (auto it = at_.find(step); it != at_.end()) it->second();
    };
    tools::SetLoopHooks(hooks);
    tools::SetStepLimit(steps);
    tools::MakeRunHooks().runGame();
    tools::SetStepLimit(-1);
    tools::SetLoopHooks({});
  }

  // Runs code as the room's creation code runs: a temporary instance is self.
  static void Run(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    ASSERT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    self.Create(0, 0, 0, 0);
    RValue result;
    EXPECT_TRUE(ExecuteCode(&self, &self, code, result)) << text;
  }
  // What Run printed and reported.
  std::string Said(const std::string& text) {
    out_.clear();
    Run(text);
    return out_;
  }

  // The values a save must bring back, as one line.
  static constexpr const char* kSummary =
      "var m; m = instance_find(obj_mover, 0);"
      "show_debug_message(string(room) + ' ' + string(score) + ' ' + string(lives) + ' ' + string(health) + ' ' +"
      " string(transition_kind) + ' ' + string(global.g) + ' ' + global.s + ' ' + string(gv) + ' ' + room_caption +"
      " ' ' + string(view_enabled) + ' ' + string(view_xview[1]) + ' ' + string(background_x[0]) + ' ' +"
      " string(tile_exists(global.tile)) + ' ' + string(instance_number(obj_sleeper)) + ' ' + string(m.hp) + ' ' +"
      " m.label + ' ' + m.grid[1, 2] + ' ' + string(m.alarm[3]) + ' ' + string(m.x) + ' ' + string(m.path_position))";

  // Sets every kind of saved value, deactivates the placed sleeper, creates one (100005), saves.
  static constexpr const char* kSetUpAndSave =
      "global.g = 5.25; global.s = 'saved'; globalvar gv; gv = 7; score = 42; lives = 2; health = 55.5;"
      "transition_kind = 3; room_caption = 'play'; view_enabled = true; view_xview[1] = 33; background_x[0] = 12;"
      "global.tile = tile_add(bg, 0, 0, 4, 4, 20, 30, 5); instance_deactivate_object(obj_sleeper);"
      "with (obj_mover) { hp = 2.5; label += '!' }; instance_create(0, 300, obj_sleeper); game_save('slot.sav')";

  std::map<int64_t, std::function<void()>> at_, before_;
};

TEST_F(SavedGames_, ALoadReturnsToTheSavedGameAndItGoesOnAsItDidAfterTheSave) {
  const fs::path game = Build();
  std::string summaryAtSave, afterSave, afterLoad;
  RFingerprint saved;
  std::vector<uint64_t> hashesAfterSave, hashesAfterLoad;
  at_[1] = [] { Run("room_goto(rm_play)"); };
  at_[3] = [&] {
    Run(kSetUpAndSave);
    saved = Fingerprint();
    summaryAtSave = Said(kSummary);
    out_.clear();
  };
  // Three steps from the saved state; then everything changes and the game moves to the other room.
  at_[4] = at_[5] = [&] { hashesAfterSave.push_back(WorldStateHash()); };
  at_[6] = [&] {
    hashesAfterSave.push_back(WorldStateHash());
    afterSave = out_;
    Run("score = 0; lives = 9; health = 1; global.g = 0; global.s = 'changed'; gv = 0; transition_kind = 0;"
        "room_caption = ''; view_xview[1] = 0; tile_delete(global.tile); instance_activate_all();"
        "with (obj_mover) { hp = 0; alarm[3] = -1; path_end() } instance_create(0, 0, obj_sleeper);"
        "instance_create(0, 0, obj_sleeper); room_goto(rm_home)");
  };
  int sized = 0;
  at_[7] = [&] {
    EXPECT_EQ(World().roomIndex, 0);
    out_.clear();
    Run("game_load('slot.sav')");
    Input().KeyDown(65);
    World().hooks.sizeRegion = [&sized] { ++sized; };
  };
  before_[8] = [&] {
    World().hooks.sizeRegion = {};
    // Loaded between the steps: nothing ran, not even room start or end; the input was
    // forgotten and the drawing region sized to the room.
    EXPECT_EQ(out_, "");
    EXPECT_FALSE(Input().Held(65));
    EXPECT_EQ(sized, 1);
    EXPECT_TRUE(Fingerprint() == saved);
    EXPECT_EQ(Said(kSummary), summaryAtSave);
    out_.clear();
  };
  at_[8] = at_[9] = [&] { hashesAfterLoad.push_back(WorldStateHash()); };
  at_[10] = [&] {
    hashesAfterLoad.push_back(WorldStateHash());
    afterLoad = out_;
    // Ids go on from the saved counter (100005), not from the 100007 given out since.
    EXPECT_EQ(Said("show_debug_message(instance_create(0, 0, obj_sleeper))"), "100006;");
    // The deactivated sleeper came back deactivated.
    EXPECT_EQ(Said("show_debug_message(instance_number(obj_sleeper)); instance_activate_all();"
                   "show_debug_message(instance_number(obj_sleeper))"),
              "2;3;");
  };
  Play(game, 10);
  EXPECT_EQ(summaryAtSave, "1 42 2 55.50 3 5.25 saved 7 play 1 33 12 1 1 2.50 mover! cell 3 4 0.01;");
  // Alarms, the path and the collision with the wall go on the same way.
  EXPECT_EQ(afterSave, "begin 42;hit 6;begin 42;hit 8;begin 42;alarm 8;hit 10;");
  EXPECT_EQ(afterLoad, afterSave);
  EXPECT_EQ(hashesAfterLoad, hashesAfterSave);
}

TEST_F(SavedGames_, ASaveLoadedTwiceWritesItselfByteForByte) {
  const fs::path game = Build();
  at_[1] = [] { Run("room_goto(rm_play)"); };
  at_[2] = [&] {
    Run(kSetUpAndSave);
    const std::vector<uint8_t> file = test::ReadBytes("slot.sav");
    // The stored form's head: version, game id, room, transition, score, lives, health.
    CStream s(file);
    EXPECT_EQ(s.ReadInteger(), 540);
    EXPECT_EQ(s.ReadInteger(), 1234);
    EXPECT_EQ(s.ReadInteger(), 1);
    EXPECT_EQ(s.ReadInteger(), 3);
    EXPECT_EQ(s.ReadInteger(), 42);
    EXPECT_EQ(s.ReadInteger(), 2);
    EXPECT_EQ(s.ReadReal(), 55.5);
    Run("room_goto(rm_home)");
  };
  at_[3] = [&] {
    ASSERT_TRUE(LoadGame("slot.sav"));
    EXPECT_EQ(World().roomIndex, 1);
    ASSERT_TRUE(SaveGame("again.sav"));
    EXPECT_TRUE(test::ReadBytes("again.sav") == test::ReadBytes("slot.sav"));
  };
  Play(game, 3);
}

// What a load that went wrong half-way would have changed, cheap enough to compare after every
// attempt: the state hash, the game-wide values, the id counters and the live rooms themselves.
struct RQuickState {
  uint64_t hash = 0;
  int score = 0, lives = 0;
  double health = 0;
  int lastInstanceId = 0, lastTileId = 0;
  std::vector<const CLiveRoom*> rooms;
  bool operator==(const RQuickState&) const = default;
};
RQuickState QuickState() {
  RQuickState q{WorldStateHash(), GameState().score, GameState().lives, GameState().health,
                World().lastInstanceId, World().lastTileId, {}};
  for (const auto& room : World().liveRooms) q.rooms.push_back(room.get());
  return q;
}

// Every file that is refused or read wrong leaves the game exactly as it was.
TEST_F(SavedGames_, RefusedAndDamagedFilesChangeNothing) {
  const fs::path game = Build();
  at_[1] = [] { Run("room_goto(rm_play)"); };
  at_[2] = [&] {
    Run(kSetUpAndSave);
    // A flag table of globals just as long as the names in use (a load gives one of any length)
    // keeps the save small enough to cut at every length and flip every byte.
    std::vector<bool> flags(static_cast<size_t>(UserVariableCount()));
    for (size_t k = 0; k < flags.size(); ++k) flags[k] = IsDeclaredGlobal(kUserVariableBase + int32_t(k));
    SetGlobals(GlobalVariables(), flags);
    ASSERT_TRUE(SaveGame("slot.sav"));
    // The running game differs from the saved one, so that anything a failed load took over shows.
    CCode change("score = 77; global.g = -1; with (obj_mover) x = 300", CodeKind::kProgram);
    ASSERT_TRUE(change.Compile());
    auto runChange = [&change] {
      CInstance self;
      self.Create(0, 0, 0, 0);
      RValue result;
      ExecuteCode(&self, &self, change, result);
    };
    runChange();
    const std::vector<uint8_t> good = test::ReadBytes("slot.sav");
    const RFingerprint before = Fingerprint();
    RQuickState quick = QuickState();
    auto changed = [&good](size_t at, int32_t v) {
      std::vector<uint8_t> b = good;
      for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(uint32_t(v) >> (8 * k));
      return b;
    };
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    const std::string failed = "E[Failed to load game from file case.sav];";
    struct RCase {
      const char* name;
      std::vector<uint8_t> bytes;
      std::string said;
    };
    const RCase cases[] = {
        {"another game's", changed(4, 1235), "E[This is a save file for a different game!];"},
        {"another version's", changed(0, 541), "E[Cannot load game saved with other version.];"},
        {"empty", {}, failed},
        {"the version alone", std::vector<uint8_t>(good.begin(), good.begin() + 4), failed},
        {"one byte more", longer, failed},
        {"the current room past the slots", changed(8, 2), failed},
        {"no current room", changed(8, -1), failed},
    };
    for (const RCase& c : cases) {
      SCOPED_TRACE(c.name);
      test::WriteBytes("case.sav", c.bytes);
      out_.clear();
      EXPECT_FALSE(LoadGame("case.sav"));
      EXPECT_EQ(out_, c.said);
      EXPECT_TRUE(Fingerprint() == before);
    }
    // A missing file does nothing at all; a folder of that name cannot be read.
    EXPECT_EQ(Said("game_load('missing.sav')"), "");
    fs::create_directory("folder.sav");
    out_.clear();
    EXPECT_FALSE(LoadGame("missing.sav"));
    EXPECT_FALSE(LoadGame("folder.sav"));
    EXPECT_EQ(out_, "E[Failed to load game from file folder.sav];");
    EXPECT_TRUE(Fingerprint() == before);

    // Cut at every length, and with every third byte flipped, so that every field has a byte
    // flipped, at one place or another of its value (read from memory: writing thousands of files
    // would only measure the disk).
    ASSERT_LT(good.size(), 8000u);
    int refused = 0, loaded = 0;
    for (size_t at = 0; at < good.size(); ++at) {
      CStream cut(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(at)));
      out_.clear();
      ASSERT_FALSE(LoadGameFrom(cut, "case.sav")) << "cut at " << at;
      ASSERT_EQ(out_, failed) << "cut at " << at;
      ASSERT_TRUE(QuickState() == quick) << "cut at " << at;

      if (at % 3 != 0) continue;
      std::vector<uint8_t> flipped = good;
      flipped[at] ^= 0xA5;
      CStream damaged(std::move(flipped));
      out_.clear();
      if (LoadGameFrom(damaged, "case.sav")) {
        // A flip in a value makes another valid game, which loaded. Changed again, it differs from
        // the files that follow, so that whatever a later failed load took over would show.
        ++loaded;
        runChange();
        quick = QuickState();
      } else {
        ++refused;
        ASSERT_NE(out_, "") << "flip at " << at;
      }
      ASSERT_TRUE(QuickState() == quick) << "flip at " << at;
    }
    EXPECT_GT(refused, 50);
    EXPECT_GT(loaded, 1000);
    CStream original(good);
    ASSERT_TRUE(LoadGameFrom(original, "slot.sav"));
    runChange();
    EXPECT_TRUE(Fingerprint() == before);
  };
  Play(game, 2);
}

TEST_F(SavedGames_, SecureModeRefusesNamesWithAFolderPart) {
  const fs::path game = Build();
  fs::create_directory(dir_ / "sub");
  RunState().secureMode = true;
  at_[1] = [&] {
    EXPECT_EQ(Said("game_save('sub/a.sav'); game_save('sub\\b.sav'); game_save('plain.sav')"),
              "E[In secure mode you cannot save game to file sub/a.sav];"
              "E[In secure mode you cannot save game to file sub\\b.sav];");
    EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
    EXPECT_TRUE(fs::exists(dir_ / "plain.sav"));
    // Reading is never refused.
    fs::copy_file(dir_ / "plain.sav", dir_ / "sub" / "c.sav");
    EXPECT_TRUE(LoadGame("sub/c.sav"));
  };
  Play(game, 1);
}

// F5 saves and F6 loads at once, at the start of the step, when the setting allows it.
TEST_F(SavedGames_, F5SavesAndF6LoadsTheQuickSave) {
  EXPECT_EQ(QuickSaveName(1234), "_save1234.sav");
  for (const bool on : {true, false}) {
    SCOPED_TRACE(on ? "keys on" : "keys off");
    TearDown();
    SetUp();
    fs::remove(dir_ / "_save1234.sav");
    const fs::path game = Build({{"f5_save_f6_load", on}});
    RFingerprint atF5;
    at_[1] = [] { Run("room_goto(rm_play); score = 5"); };
    at_[2] = [] { Input().KeyDown(116); };
    before_[3] = [&] { atF5 = Fingerprint(); };
    at_[3] = [&] {
      Input().KeyUp(116);
      EXPECT_EQ(fs::exists(dir_ / "_save1234.sav"), on);
      if (on) {
        EXPECT_TRUE(test::ReadBytes(dir_ / "_save1234.sav") == atF5.bytes);
      }
      Run("score = 9");
      out_.clear();
    };
    at_[4] = [] { Input().KeyDown(117); };
    Play(game, 5);
    // The begin step of step 5 already runs in the loaded game.
    EXPECT_EQ(out_, on ? "begin 9;hit 6;begin 5;room end;" : "begin 9;hit 6;begin 9;hit 8;room end;");
  }
}

// Making the file writes a temporary file beside it and renames it over the old save: a write
// that fails half-way leaves the old save whole and no temporary file behind.
TEST_F(SavedGames_, AFailedWriteKeepsTheOlderSave) {
  const fs::path game = Build();
  at_[1] = [&] {
    Run("game_save('slot.sav')");
    const std::vector<uint8_t> old = test::ReadBytes("slot.sav");
    Run("score = 1000");
    // Files may not grow beyond 1000 bytes for a moment (a full disk, for whoever runs the test).
    rlimit limit{}, small{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    small = limit;
    small.rlim_cur = 1000;
    auto* previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string said = Said("game_save('slot.sav')");
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(said, "E[Failed to save game to file slot.sav];");
    EXPECT_TRUE(test::ReadBytes("slot.sav") == old);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir_.path())) files += e.path().filename().string().starts_with("slot");
    EXPECT_EQ(files, 1);
    // Nowhere to write at all.
    EXPECT_EQ(Said("game_save('no/such/folder/x.sav')"), "E[Failed to save game to file no/such/folder/x.sav];");
  };
  Play(game, 1);
}

}  // namespace
}  // namespace kestro
