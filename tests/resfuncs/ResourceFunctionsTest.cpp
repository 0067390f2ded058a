// The resource functions in a game from the builder: what game code asks of sprites, backgrounds,
// scripts, objects and rooms; each kind of change as later code sees it; sprites from pictures
// written here, used by collisions and saved and read back; the id rules of added, copied and
// deleted resources; and the messages for missing resources and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "graphics/Clock.h"
#include "io/RunState.h"
#include "io/Stream.h"
#include "resources/BmpFile.h"
#include "resources/GameResources.h"
#include "resources/SpriteFile.h"
#include "runner/MainLoop.h"
#include "runner/Runner.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/builtins/BuiltinError.h"
#include "support/GameFolderFixture.h"
#include "support/TestSupport.h"
#include "tools/Project.h"
#include "tools/RunHooks.h"
#include "world/ErrorReport.h"
#include "world/World.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

json Event(const std::string& type, const json& number, const std::string& text) {
  return {{"type", type},
          {"number", number},
          {"actions", {{{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {text}}}}}};
}

// An image of w x h pixels, opaque (colour `bgra`) inside [l, r] x [t, b], transparent elsewhere.
RPixels Picture(int w, int h, int l, int t, int r, int b, uint32_t bgra = 0xFF2040C0u) {
  RPixels px{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4, 0)};
  for (int y = t; y <= b; ++y)
    for (int x = l; x <= r; ++x)
      for (int k = 0; k < 4; ++k)
        px.bgra[(size_t(y) * size_t(w) + size_t(x)) * 4 + size_t(k)] = uint8_t(bgra >> (8 * k));
  return px;
}

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

class ResourceFunctions_ : public test::GameFolderFixture {
 protected:
  // spr_ball: two 8 x 6 images (a block at (1..5, 1..3) and nothing), origin (3, 2); spr_none: no
  // images; bg: 16 x 8; scr_hello; obj_base (sprite, solid, invisible, depth 5, persistent) with
  // its child obj_child; obj_runner with the events given; rm_a holds an obj_runner and an
  // obj_child, rm_b is empty and 100 x 50.
  void Build(const json& runnerEvents = json::array()) {
    std::string error;
    ASSERT_TRUE(tools::WritePng(dir_ / "ball0.png", Picture(8, 6, 1, 1, 5, 3), error)) << error;
    ASSERT_TRUE(tools::WritePng(dir_ / "ball1.png", Picture(8, 6, 0, 0, -1, -1), error)) << error;
    ASSERT_TRUE(tools::WritePng(dir_ / "bg.png", Picture(16, 8, 0, 0, 15, 7), error)) << error;
    const json runner = {{"events", runnerEvents}};
    test::WriteProject(dir_.path(),
                       {{"game_id", 77},
                        {"sprites", {"spr_ball", "spr_none"}},
                        {"backgrounds", {"bg"}},
                        {"scripts", {"scr_hello"}},
                        {"objects", {"obj_base", "obj_child", "obj_runner"}},
                        {"rooms", {"rm_a", "rm_b"}},
                        {"room_order", {"rm_a", "rm_b"}}},
                       {{"sprites/spr_ball.json", R"({"frames": ["ball0.png", "ball1.png"], "origin": [3, 2]})"},
                        {"sprites/spr_none.json", "{}"},
                        {"backgrounds/bg.json", R"({"image": "bg.png"})"},
                        {"scripts/scr_hello.txt", "return 1 + 1"},
                        {"objects/obj_base.json",
                         R"({"sprite": "spr_ball", "solid": true, "visible": false, "depth": 5, "persistent": true})"},
                        {"objects/obj_child.json", R"({"parent": "obj_base"})"},
                        {"objects/obj_runner.json", runner.dump()},
                        {"rooms/rm_a.json", R"({"instances": [{"x": 0, "y": 0, "object": "obj_runner", "id": 100001},
                                               {"x": 40, "y": 40, "object": "obj_child", "id": 100002}]})"},
                        {"rooms/rm_b.json", R"({"width": 100, "height": 50})"}});
    game_ = test::BuildDataOnly(dir_.path());
  }

  // Plays `steps` steps; at_[k] runs after step k.
  void Play(int64_t steps) {
    RunState().tempFolder = dir_.path().string();
    CRunner runner(tools::MakeRunHooks(), nullptr);
    ASSERT_TRUE(runner.LoadGameFile(game_.string()));
    ASSERT_TRUE(runner.PrepareGame());
    CLoopHooks hooks;
    hooks.afterStep = [this](int64_t step) {
      if (auto it = at_.find(step); it != at_.end()) it->second();
    };
    tools::SetLoopHooks(hooks);
    tools::SetStepLimit(steps);
    tools::MakeRunHooks().runGame();
    tools::SetStepLimit(-1);
    tools::SetLoopHooks({});
  }

  // Runs code as room creation code runs (a temporary instance is self) and gives what it
  // printed and reported.
  std::string Said(const std::string& text) {
    out_.clear();
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    self.Create(0, 0, 0, 0);
    RValue result;
    ExecuteCode(&self, &self, code, result);
    return out_;
  }
  // Each expression's value in its display form, ';' after each.
  std::string Values(const std::vector<std::string>& expressions) {
    std::string code;
    for (const std::string& e : expressions) code += "show_debug_message(string(" + e + "));";
    return Said(code);
  }

  fs::path game_;
  std::map<int64_t, std::function<void()>> at_;
};

TEST_F(ResourceFunctions_, QueriesAnswerFromTheBuiltGameAndGiveTheNeutralResultsForMissingOnes) {
  Build();
  struct RCase {
    const char* expression;
    const char* value;
  };
  const RCase cases[] = {
      {"sprite_exists(spr_ball)", "1"},
      {"sprite_exists(99)", "0"},
      {"sprite_exists(-1)", "0"},
      {"sprite_exists(4294967296)", "0"},  // never wraps round to slot 0
      {"sprite_get_name(spr_ball)", "spr_ball"},
      {"sprite_name(spr_none)", "spr_none"},
      {"sprite_get_name(99)", "<undefined>"},
      {"sprite_get_number(spr_ball)", "2"},
      {"sprite_get_number(99)", "-1"},
      {"sprite_get_width(spr_ball)", "8"},
      {"sprite_get_height(spr_ball)", "6"},
      {"sprite_get_width(spr_none)", "1"},
      {"sprite_get_height(spr_none)", "1"},
      {"sprite_get_width(99)", "-1"},
      {"sprite_get_xoffset(spr_ball)", "3"},
      {"sprite_get_yoffset(spr_ball)", "2"},
      {"sprite_get_xoffset(9)", "-1"},
      {"sprite_get_bbox_left(spr_ball)", "1"},
      {"sprite_get_bbox_top(spr_ball)", "1"},
      {"sprite_get_bbox_right(spr_ball)", "5"},
      {"sprite_get_bbox_bottom(spr_ball)", "3"},
      {"sprite_get_bbox_bottom(9)", "-1"},
      {"background_exists(bg)", "1"},
      {"background_exists(1)", "0"},
      {"background_get_name(bg)", "bg"},
      {"background_name(1)", "<undefined>"},
      {"background_get_width(bg)", "16"},
      {"background_get_height(bg)", "8"},
      {"background_get_height(1)", "-1"},
      {"script_exists(scr_hello)", "1"},
      {"script_exists(1)", "0"},
      {"script_name(scr_hello)", "scr_hello"},
      {"script_get_name(1)", "<undefined>"},
      {"script_get_text(scr_hello)", "return 1 + 1"},
      {"script_get_text(1)", ""},
      {"object_exists(obj_child)", "1"},
      {"object_exists(3)", "0"},
      {"object_get_name(obj_runner)", "obj_runner"},
      {"object_name(3)", "<undefined>"},
      {"object_get_sprite(obj_base)", "0"},
      {"object_get_sprite(obj_child)", "-1"},
      {"object_get_solid(obj_base)", "1"},
      {"object_get_visible(obj_base)", "0"},
      {"object_get_depth(obj_base)", "5"},
      {"object_get_persistent(obj_base)", "1"},
      {"object_get_mask(obj_base)", "-1"},
      {"object_get_parent(obj_child)", "0"},
      {"object_get_parent(obj_base)", "-1"},
      {"object_get_solid(3)", "-1"},
      {"object_get_parent(3)", "-1"},
      {"object_is_ancestor(obj_child, obj_base)", "1"},
      {"object_is_ancestor(obj_base, obj_child)", "0"},
      {"object_is_ancestor(obj_child, obj_child)", "0"},
      // The walk compares every index it meets, -1 included.
      {"object_is_ancestor(obj_base, -1)", "1"},
      {"object_is_ancestor(3, obj_base)", "-1"},
      {"room_exists(rm_b)", "1"},
      {"room_exists(2)", "0"},
      {"room_get_name(rm_b)", "rm_b"},
      {"room_name(2)", "<undefined>"},
  };
  std::vector<std::string> expressions, expected;
  std::string want;
  for (const RCase& c : cases) {
    expressions.push_back(c.expression);
    want += std::string(c.value) + ";";
  }
  at_[1] = [&] { EXPECT_EQ(Values(expressions), want); };
  Play(1);
}

TEST_F(ResourceFunctions_, ObjectSettingsAndParentsChangeForNewInstancesAndTheEventLists) {
  // obj_base's step event runs for its children too: a child made one at run time inherits it.
  Build(json::array({Event("create", 0, "global.log = ''")}));
  at_[1] = [&] {
    EXPECT_EQ(
        Said("object_event_add(obj_base, ev_step, 0, 'global.log += object_get_name(object_index) + \" \"');"
             "global.before = instance_create(0, 0, obj_base);"
             "object_set_depth(obj_base, -7); object_set_solid(obj_base, 0.4); object_set_visible(obj_base, 0.5);"
             "object_set_persistent(obj_base, false); object_set_sprite(obj_base, spr_none);"
             "object_set_mask(obj_base, spr_ball); object_set_depth(99, 1);"
             "show_debug_message(string(object_get_depth(obj_base)) + string(object_get_solid(obj_base)) +"
             " string(object_get_visible(obj_base)) + string(object_get_persistent(obj_base)) +"
             " string(object_get_sprite(obj_base)) + string(object_get_mask(obj_base)));"
             "var i; i = instance_create(0, 0, obj_base);"
             "show_debug_message(string(i.depth) + ' ' + string(i.solid) + string(i.visible) + string(i.sprite_index)"
             " + string(i.mask_index) + ' / ' + string(global.before.depth) + ' ' + string(global.before.solid));"
             "with (global.before) instance_destroy(); with (i) instance_destroy();"),
        "-701010;-7 0110 / 5 1;");
    struct RCase {
      const char* code;
      const char* said;
    };
    const RCase cases[] = {
        {"object_set_parent(obj_base, obj_base)", "E[Creating a cycle in the parent relation.];"},
        {"object_set_parent(obj_base, obj_child)", "E[Creating a cycle in the parent relation.];"},
        {"object_set_parent(obj_child, 42)", "E[Setting a non-existing parent.];"},
        {"object_set_parent(42, obj_base)", ""},
        // A negative parent clears it; the instances of an object and its descendants follow at once.
        {"show_debug_message(instance_number(obj_base)); object_set_parent(obj_child, -5);"
         "show_debug_message(string(object_get_parent(obj_child)) + ' ' + string(instance_number(obj_base)))",
         "1;-1 0;"},
        {"object_set_parent(obj_runner, obj_base);"
         "show_debug_message(string(object_is_ancestor(obj_runner, obj_base)) + string(instance_number(obj_base)))",
         "11;"},
    };
    for (const RCase& c : cases) EXPECT_EQ(Said(c.code), c.said) << c.code;
  };
  // Step 2: obj_runner now inherits the step event, obj_child no longer does.
  at_[2] = [&] { EXPECT_EQ(Said("show_debug_message(global.log)"), "obj_runner ;"); };
  Play(2);
}

TEST_F(ResourceFunctions_, EventsAddedAndClearedRunInTheGameEvenFromInsideThemselves) {
  // The runner's step event clears itself and then gives itself new code; its begin step event
  // deletes an object added for it while that object's own event is running.
  Build(json::array(
      {Event("create", 0,
             "global.n = 0; global.o = object_add();"
             "object_event_add(global.o, ev_step, 2, 'show_debug_message(\"doomed\"); object_delete(object_index); "
             "show_debug_message(\"after delete \" + string(object_exists(object_index)))');"
             "instance_create(0, 0, global.o)"),
       Event("step", 0,
             "global.n += 1; show_debug_message('step ' + string(global.n));"
             "object_event_clear(obj_runner, ev_step, 0);"
             "object_event_add(obj_runner, ev_step, 0, 'show_debug_message(\"added \" + string(global.n))');"
             "show_debug_message('still running')")}));
  RecordingWindow window;
  std::string played;
  at_[2] = [&] { played = out_; };
  at_[3] = [&] {
    // An event type outside 0..11 or a negative number makes nothing.
    EXPECT_EQ(Said("object_event_add(obj_runner, 12, 0, 'x = 1'); object_event_add(obj_runner, 0, -1, 'x = 1');"
                   "object_event_clear(obj_runner, ev_draw, 0); object_event_clear(42, ev_step, 0);"
                   "show_debug_message(object_exists(global.o))"),
              "0;");
    // A compile failure is fatal and names the event.
    Said("object_event_add(obj_runner, ev_keypress, vk_space, 'x = ')");
    EXPECT_NE(window.shown.find("COMPILATION ERROR in code action"), std::string::npos) << window.shown;
    EXPECT_NE(window.shown.find("action number 1|of Key Press Event for <Space> Key|for object obj_runner"),
              std::string::npos)
        << window.shown;
  };
  Play(3);
  // The cleared event finishes its own run; the added code runs from the next step; the deleted
  // object's event finishes too and its instance has no events after.
  EXPECT_EQ(played, "step 1;still running;doomed;after delete 0;added 1;");
}

TEST_F(ResourceFunctions_, RoomChangesShowWhenALiveCopyIsNextMadeFromTheDesign) {
  Build();
  at_[1] = [&] {
    EXPECT_EQ(Said("room_set_width(rm_b, 300); room_set_height(rm_b, 200); room_set_caption(rm_b, 'changed');"
                   "room_set_persistent(rm_b, 0.6); room_set_background_color(rm_b, c_red, false);"
                   "room_set_code(rm_b, 'show_debug_message(\"room code\")'); room_set_view_enabled(rm_b, true);"
                   "room_set_background(rm_b, 1, true, true, bg, 2.5, -3.25, false, true, 0.5, 0, 0.75);"
                   "room_set_background(rm_b, 8, true, true, bg, 1, 1, 1, 1, 1, 1, 1);"
                   "room_set_view(rm_b, 2, true, 10, 20, 30, 40, 1, 2, 3, 4, 5, 6, 7, 8, obj_base);"
                   "global.inst = room_instance_add(rm_b, 10.5, 20.25, obj_runner);"
                   "global.tile = room_tile_add_ext(rm_b, bg, 1, 2, 3, 4, 5.5, 6, 7.5, 2, 3, 0.5);"
                   "show_debug_message(string(global.inst) + ' ' + string(global.tile));"
                   // The room being played is a copy of its own: its design changes, it does not.
                   "room_set_width(rm_a, 999); show_debug_message(room_width);"
                   "room_goto(rm_b)"),
              "100003 10000001;640;");
  };
  at_[2] = [&] {
    EXPECT_NE(out_.find("room code;"), std::string::npos) << out_;
    EXPECT_EQ(Values({"room_width",
                      "room_height",
                      "room_caption",
                      "room_persistent",
                      "background_color",
                      "background_showcolor",
                      "background_visible[1]",
                      "background_foreground[1]",
                      "background_index[1] == bg",
                      "background_x[1]",
                      "background_y[1]",
                      "background_htiled[1]",
                      "background_alpha[1]",
                      "background_xscale[1]",
                      "view_enabled",
                      "view_visible[2]",
                      "view_xview[2]",
                      "view_hport[2]",
                      "view_vspeed[2]",
                      "view_object[2]",
                      "instance_number(obj_runner)",
                      "(global.inst).x",
                      "(global.inst).y",
                      "tile_exists(global.tile)",
                      "tile_get_x(global.tile)",
                      "tile_get_depth(global.tile)",
                      "tile_get_xscale(global.tile)",
                      "tile_get_alpha(global.tile)",
                      "tile_get_width(global.tile)"}),
              "300;200;changed;1;255;0;1;1;1;3;-3.25;0;0.75;1;1;1;10;4;8;0;1;10.50;20.25;1;5.50;7.50;2;0.50;3;");
    // Cleared, added, copied and assigned rooms; tiles need their background before their room.
    EXPECT_EQ(Said("room_instance_clear(rm_b); room_tile_clear(rm_b); r = room_add(); d = room_duplicate(rm_a);"
                   "show_debug_message(string(r) + room_get_name(r) + ' ' + string(d) + room_get_name(d));"
                   "room_assign(r, rm_b); room_assign(r, 99); room_assign(99, rm_b); room_duplicate(99);"
                   "show_debug_message(room_tile_add(99, bg, 0, 0, 1, 1, 0, 0, 0));"
                   "show_debug_message(room_tile_add_ext(99, bg, 0, 0, 1, 1, 0, 0, 0, 1, 1, 1));"
                   "show_debug_message(room_tile_add(99, 5, 0, 0, 1, 1, 0, 0, 0));"
                   "show_debug_message(room_instance_add(99, 0, 0, obj_runner)); room_goto(r)"),
              "2__newroom2 3__newroom3;E[Error assigning a room.];E[Error assigning a room.];"
              "E[Trying to duplicate non-existing room.];-1;0;E[Background does not exist.];0;-1;");
  };
  // The copy of rm_b assigned after the clearing has neither the added instance nor the tile.
  at_[3] = [&] {
    EXPECT_EQ(Values({"room_width", "instance_number(obj_runner)", "tile_exists(global.tile)"}), "300;0;0;");
  };
  Play(3);
}

TEST_F(ResourceFunctions_, ASpriteFromAPictureFileCollidesWithItsMaskAndFollowsMaskChanges) {
  Build();
  std::string error;
  // 6 x 4, solid in the left half only.
  ASSERT_TRUE(tools::WritePng(dir_ / "half.png", Picture(6, 4, 0, 0, 2, 3), error)) << error;
  at_[1] = [&] {
    EXPECT_EQ(Said("global.s = sprite_add('half.png', 1, false, false, 1, 0);"
                   "global.i = instance_create(100, 100, obj_child); global.i.sprite_index = global.s;"
                   "show_debug_message(string(global.s) + sprite_get_name(global.s) + ' ' +"
                   " string(sprite_get_width(global.s)) + ' ' + string(sprite_get_bbox_right(global.s)));"
                   "show_debug_message(string(position_meeting(100, 101, obj_child)) +"
                   " string(position_meeting(102, 101, obj_child)) + string(position_meeting(99, 103, obj_child)));"
                   // A rectangle over the whole image: the instance's box follows at once.
                   "sprite_collision_mask(global.s, false, 1, 0, 0, 0, 0, 1, 0);"
                   "show_debug_message(string(position_meeting(102, 101, obj_child)) +"
                   " string(global.i.bbox_right));"
                   "sprite_set_offset(global.s, 0, 0); show_debug_message(global.i.bbox_left)"),
              "2__newsprite2 6 2;101;1104;100;");
  };
  Play(1);
}

TEST_F(ResourceFunctions_, AddedCopiedMergedAndDeletedSpritesAndBackgroundsTakeIdsByTheListRules) {
  Build();
  at_[1] = [&] {
    // Slots 0 and 1 come from the game; new ones are appended, and a deleted one stays a hole.
    EXPECT_EQ(
        Said("a = sprite_duplicate(spr_ball); show_debug_message(string(a) + sprite_get_name(a));"
             "show_debug_message(sprite_delete(a)); show_debug_message(sprite_exists(a));"
             "show_debug_message(sprite_get_name(a)); b = sprite_duplicate(spr_ball); show_debug_message(b);"
             "show_debug_message(sprite_duplicate(99)); show_debug_message(sprite_delete(a));"
             "sprite_assign(a, spr_ball); show_debug_message(sprite_get_name(a) + ' ' + string(sprite_get_number(a)));"
             "sprite_assign(a, 99); sprite_assign(99, spr_ball);"
             "sprite_merge(a, b); show_debug_message(sprite_get_number(a)); sprite_merge(99, b);"
             "sprite_merge(a, 99); sprite_merge(spr_none, spr_ball);"
             "show_debug_message(string(sprite_get_number(spr_none)) + ' ' + string(sprite_get_width(spr_none)));"
             "c = background_duplicate(bg); show_debug_message(string(c) + background_get_name(c));"
             "background_delete(c); show_debug_message(background_exists(c)); background_delete(c);"
             "background_assign(c, bg); show_debug_message(background_get_width(c)); background_assign(c, 77);"
             "show_debug_message(background_duplicate(77));"
             "o = object_add(); show_debug_message(string(o) + object_get_name(o) + string(object_get_parent(o))"
             " + string(object_get_visible(o))); object_delete(o); show_debug_message(object_exists(o));"
             "object_delete(o); show_debug_message(object_add())"),
        "2__newsprite2;1;0;<undefined>;3;E[Trying to duplicate non-existing sprite.];0;"
        "E[Trying to delete non-existing sprite.];0;__newsprite2 2;E[Error assigning a sprite.];"
        "E[Error assigning a sprite.];4;E[Trying to merge to non-existing sprite.];"
        "E[Trying to merge from non-existing sprite.];2 8;1__newbackground1;0;"
        "E[Trying to delete non-existing background.];16;E[Error assigning a background.];"
        "E[Trying to duplicate non-existing background.];0;3__newobject3-11;0;"
        "E[Trying to delete non-existing object.];4;");
  };
  Play(1);
}

TEST_F(ResourceFunctions_, SavedImagesLoadBackEqual) {
  Build();
  at_[1] = [&] {
    EXPECT_EQ(Said("sprite_save(spr_ball, 0, 'one.PNG'); sprite_save(spr_ball, 0, 'one.bmp');"
                   "sprite_save(spr_ball, 2, 'none.png'); sprite_save(spr_ball, -1, 'none.png');"
                   "sprite_save_strip(spr_ball, 'strip.bmp'); background_save(bg, 'bg.bmp');"
                   "global.a = sprite_add('one.PNG', 1, 0, 0, 0, 0); global.b = sprite_add('one.bmp', 1, 0, 0, 0, 0);"
                   "global.c = sprite_add('strip.bmp', 2, 0, 0, 0, 0); global.d = background_add('bg.bmp', 0, 0);"
                   "show_debug_message(string(global.a) + string(global.b) + string(global.c) + string(global.d))"),
              "2341;");
    const CSprite& ball = *Sprites().Get(0);
    EXPECT_TRUE(Sprites().Get(2)->i_bitmap[0] == ball.i_bitmap[0]);
    EXPECT_TRUE(Sprites().Get(3)->i_bitmap[0] == ball.i_bitmap[0]);
    ASSERT_EQ(Sprites().Get(4)->i_numb, 2);
    EXPECT_TRUE(Sprites().Get(4)->i_bitmap[1] == ball.i_bitmap[1]);
    EXPECT_TRUE(Backgrounds().Get(1)->i_bitmap == Backgrounds().Get(0)->i_bitmap);
    // The case of the extension does not matter; a strip is PNG whatever its name; an image
    // outside the sprite writes nothing.
    EXPECT_EQ(test::ReadBytes(dir_ / "one.PNG")[1], 'P');
    EXPECT_EQ(test::ReadBytes(dir_ / "one.bmp")[0], 'B');
    EXPECT_EQ(test::ReadBytes(dir_ / "strip.bmp")[1], 'P');
    EXPECT_FALSE(fs::exists(dir_ / "none.png"));
  };
  Play(1);
}

TEST_F(ResourceFunctions_, SpriteAndBackgroundFilesOfTheGamesOwnFormAddAndReplace) {
  Build();
  // A sprite file with a rectangle mask over a manual box, and a background file.
  CSprite spr;
  spr.i_xorig = 4;
  spr.i_bitmap = {TBitmap32(5, 3, 0xFF00FF00u), TBitmap32(5, 3, 0x80FF0000u)};
  spr.i_numb = 2;
  RMaskParams p;
  p.kind = kMaskRectangle;
  p.bbmode = kBoxManual;
  p.bbox = {1, 0, 3, 2};
  CStream out;
  SaveSpriteFile(out, spr, p);
  test::WriteBytes(dir_ / "thing.spr", out.Buffer());
  CBackground back;
  back.i_bitmap = TBitmap32(3, 2, 0xFF0000FFu);
  CStream bout;
  SaveBackgroundFile(bout, back);
  test::WriteBytes(dir_ / "thing.bkg", bout.Buffer());
  test::WriteBytes(dir_ / "damaged.spr", {0x91, 0xD5, 0x12, 0x00, 0x05});
  at_[1] = [&] {
    EXPECT_EQ(
        Values({"sprite_add_sprite('thing.spr')", "sprite_get_number(2)", "sprite_get_xoffset(2)",
                "sprite_get_bbox_left(2)", "sprite_get_bbox_right(2)", "sprite_replace_sprite(spr_none, 'thing.spr')",
                "sprite_get_width(spr_none)", "sprite_add_sprite('damaged.spr')", "sprite_add_sprite('missing.spr')",
                "sprite_replace_sprite(spr_ball, 'damaged.spr')", "sprite_get_number(spr_ball)",
                "background_add_background('thing.bkg')", "background_get_width(1)",
                "background_replace_background(bg, 'thing.bkg')", "background_get_height(bg)",
                "background_add_background('thing.spr')", "sprite_exists(3)", "background_exists(2)"}),
        "2;2;4;1;3;1;5;-1;-1;0;2;1;3;1;2;-1;0;0;");
  };
  Play(1);
}

TEST_F(ResourceFunctions_, MissingResourcesAndFilesGiveTheirMessagesAndNeutralResults) {
  Build();
  test::WriteBytes(dir_ / "broken.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0});
  struct RCase {
    const char* code;
    const char* said;
  };
  const RCase cases[] = {
      {"show_debug_message(sprite_add('missing.png', 1, 0, 0, 0, 0))", "-1;"},
      {"show_debug_message(sprite_add('broken.png', 1, 0, 0, 0, 0))", "-1;"},
      {"show_debug_message(background_add('broken.png', 0, 0))", "-1;"},
      // A failed replace leaves the resource as it was.
      {"show_debug_message(sprite_replace(spr_ball, 'missing.png', 1, 0, 0, 0, 0));"
       "show_debug_message(sprite_replace(spr_ball, 'broken.png', 1, 0, 0, 0, 0));"
       "show_debug_message(sprite_get_number(spr_ball))",
       "0;0;2;"},
      {"show_debug_message(background_replace(bg, 'broken.png', 0, 0)); show_debug_message(background_get_width(bg))",
       "0;16;"},
      {"show_debug_message(sprite_replace(9, 'x.png', 1, 0, 0, 0, 0))", "E[Trying to replace non-existing sprite.];0;"},
      {"sprite_replace_sprite(9, 'x.spr')", "E[Trying to replace non-existing sprite.];"},
      {"background_replace(9, 'x.png', 0, 0); background_replace_background(-1, 'x')",
       "E[Trying to replace non-existing background.];E[Trying to replace non-existing background.];"},
      {"sprite_save(9, 0, 'a.png'); sprite_save_strip(9, 'a.png'); sprite_save(spr_ball, 0, '');"
       "sprite_save_strip(spr_ball, '')",
       "E[Trying to save non-existing sprite bitmap.];E[Trying to save non-existing sprite bitmap.];"
       "E[Trying to save sprite bitmap to empty image file name.];"
       "E[Trying to save sprite bitmap to empty image file name.];"},
      {"background_save(9, 'a.png'); background_save(bg, '')",
       "E[Trying to save non-existing background bitmap.];"
       "E[Trying to save background bitmap to empty image file name.];"},
      {"sprite_collision_mask(9, 0, 0, 0, 0, 0, 0, 0, 0)", "E[Trying to set collision mode for non-existing sprite.];"},
      {"sprite_set_offset(9, 1, 1); sprite_set_alpha_from_sprite(9, 0); sprite_set_alpha_from_sprite(0, 9);"
       "background_set_alpha_from_background(bg, 9)",
       ""},
  };
  at_[1] = [&] {
    const int sprites = Sprites().Count(), backgrounds = Backgrounds().Count();
    for (const RCase& c : cases) EXPECT_EQ(Said(c.code), c.said) << c.code;
    // No failed add leaves a slot behind.
    EXPECT_EQ(Sprites().Count(), sprites);
    EXPECT_EQ(Backgrounds().Count(), backgrounds);
  };
  Play(1);
}

TEST_F(ResourceFunctions_, GradientAndColourBackgrounds) {
  Build();
  at_[1] = [&] {
    EXPECT_EQ(Said("show_debug_message(background_create_gradient(4, 1, $000000, $FFFFFF, 0));"
                   "show_debug_message(background_create_gradient(3, 2, $0000FF, $FF0000, 12));"
                   "show_debug_message(background_create_gradient(0, -3, $0000FF, $FF0000, 1));"
                   "show_debug_message(background_create_color(2, 2, $102030));"
                   "show_debug_message(background_get_width(background_create_color(0, 5, c_red)));"
                   "show_debug_message(background_create_gradient(5, 5, $000000, $C8C8C8, 2));"
                   "show_debug_message(background_create_gradient(5, 5, $000000, $C8C8C8, 3));"
                   "show_debug_message(background_create_gradient(4, 4, $000000, $FFFFFF, 8));"
                   "show_debug_message(background_get_width(background_create_gradient(1000, 1000, 0, 255, 11)));"
                   "show_debug_message(background_get_height(background_create_gradient(4, 16000, 0, 255, 6)));"
                   "show_debug_message(background_create_gradient(4, 4, $000000, $FFFFFF, 6))"),
              "1;2;3;4;0;6;7;8;1000;16000;11;");
    auto pixel = [](int b, int x, int y) { return Backgrounds().Get(b)->i_bitmap.GetPixel(x, y).Value(); };
    // Fractions 0, 0.25, 0.5 and 0.75: 0, 63.75, 127.5 and 191.25, rounded half to even.
    EXPECT_EQ(pixel(1, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(1, 1, 0), 0xFF404040u);
    EXPECT_EQ(pixel(1, 2, 0), 0xFF808080u);
    EXPECT_EQ(pixel(1, 3, 0), 0xFFBFBFBFu);
    // Any other kind is plain col1 (game colour $0000FF is red); sizes below 1 give 1 x 1.
    EXPECT_EQ(pixel(2, 2, 1), 0xFFFF0000u);
    EXPECT_EQ(Backgrounds().Get(3)->GetWidth(), 1);
    EXPECT_EQ(pixel(4, 1, 1), 0xFF302010u);
    // Nested rectangles: col1 at the border, col2 in the centre.
    EXPECT_EQ(pixel(6, 0, 2), 0xFF000000u);
    EXPECT_EQ(pixel(6, 1, 2), 0xFF646464u);
    EXPECT_EQ(pixel(6, 2, 2), 0xFFC8C8C8u);
    // Nested ellipses: the corner lies in none of them.
    EXPECT_EQ(pixel(7, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(7, 2, 2), 0xFFC8C8C8u);
    // Circles about the top-left corner: col2 nearest it, col1 beyond distance 4.
    EXPECT_EQ(pixel(8, 0, 0), 0xFFBFBFBFu);
    EXPECT_EQ(pixel(8, 3, 3), 0xFF000000u);
    // Diagonals: col1 along the one from the top-left corner, lighter away from it.
    EXPECT_EQ(pixel(11, 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(11, 2, 2), 0xFF000000u);
    EXPECT_EQ(pixel(11, 0, 1), 0xFF404040u);
    EXPECT_EQ(pixel(11, 1, 0), 0xFF404040u);
  };
  Play(1);
}

}  // namespace
}  // namespace kestro
