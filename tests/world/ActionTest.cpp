// The action library through game code: the relative flag, the comparison and choice arguments,
// the actions' own errors, and the texts the message and drawing actions make.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/builtins/Random.h"
#include "support/WorldFixture.h"
#include "world/ActionLibrary.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {
namespace {

std::vector<std::string> g_events;
void RecordEvent(int32_t type, int32_t number) {
  g_events.push_back(std::to_string(type) + "/" + std::to_string(number));
}

// Objects: 0 obj_a, 1 obj_b (no object 2).
class Actions : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    for (const char* name : {"obj_a", "obj_b"}) Objects().Add(std::make_unique<CObject>(), name);
    StartWorld();
    World().Room().r_width = 100;
    World().Room().r_height = 80;
    self_ = World().Room().AddInstance(0, 10, 20, World().lastInstanceId);
    ActionRelative() = false;
  }
  void TearDown() override {
    ActionRelative() = false;
    SetEventForAllPerformer(nullptr);
    WorldFixture::TearDown();
  }
  // Runs code as self_ (with the relative flag as the test set it) and returns what it printed.
  std::string Run(const std::string& text, bool relative = false) {
    out_.clear();
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << text;
    RValue r;
    ActionRelative() = relative;
    ExecuteCode(self_, self_, code, r);
    ActionRelative() = false;
    return out_;
  }
  CInstance* self_ = nullptr;
};

TEST_F(Actions, MoveChoosesACellOfTheGrid) {
  self_->SetSpeed(3);
  self_->SetDirection(90);
  // Only the centre: stop.
  Run("action_move(\"000010000\", 5)");
  EXPECT_EQ(self_->i_speed, 0);
  EXPECT_EQ(self_->i_direction, 0);
  // No cell at all: nothing, not even the speed.
  self_->SetSpeed(3);
  Run("action_move(\"000000000\", 5)");
  EXPECT_EQ(self_->i_speed, 3);
  // One cell: its direction and the speed (relative: added).
  Run("action_move(\"000000010\", 2)", true);
  EXPECT_DOUBLE_EQ(self_->i_direction, 90);
  EXPECT_DOUBLE_EQ(self_->i_speed, 5);
  Run("action_move(\"100000000\", 2)");
  EXPECT_DOUBLE_EQ(self_->i_direction, 225);
  EXPECT_DOUBLE_EQ(self_->i_speed, 2);
  EXPECT_EQ(Run("action_move(\"0101\", 2)"), "E[Wrong argument to action_move().];");
}

TEST_F(Actions, RelativeValuesAndPositions) {
  Run("action_set_hspeed(3); action_set_vspeed(-1); action_set_friction(0.5)");
  Run("action_set_hspeed(2); action_set_friction(0.25)", true);
  EXPECT_DOUBLE_EQ(self_->i_hspeed, 5);
  EXPECT_DOUBLE_EQ(self_->i_vspeed, -1);
  EXPECT_DOUBLE_EQ(self_->i_friction, 0.75);
  Run("action_move_to(5, 6)", true);
  EXPECT_EQ(self_->i_x, 15);
  EXPECT_EQ(self_->i_y, 26);
  Run("action_move_start()");
  EXPECT_EQ(self_->i_x, 10);
  EXPECT_EQ(self_->i_y, 20);
  // A created instance lands at the offset from self.
  Run("action_create_object(obj_b, 1, 2)", true);
  const CInstance* created = World().Room().Active().back().get();
  EXPECT_EQ(created->i_objectindex, 1);
  EXPECT_EQ(created->i_x, 11);
  EXPECT_EQ(created->i_y, 22);
  EXPECT_EQ(Run("action_create_object(7, 0, 0)"), "E[Creating instance for non-existing object: 7];");
  // Motion set before the create event runs.
  Objects().Get(1)->CreateEvent(kEventCreate, 0);
  Run("action_create_object_motion(obj_b, 0, 0, 4, 180)");
  EXPECT_DOUBLE_EQ(World().Room().Active().back()->i_hspeed, -4);
}

TEST_F(Actions, AlarmsAddOnlyToRunningAlarms) {
  Run("action_set_alarm(5, 2)", true);  // alarm 2 is -1: set, not added
  EXPECT_EQ(self_->i_timer[2], 5);
  Run("action_set_alarm(3, 2)", true);
  EXPECT_EQ(self_->i_timer[2], 8);
  Run("action_set_alarm(3, 2)");
  EXPECT_EQ(self_->i_timer[2], 3);
  Run("action_set_alarm(3, 12)");  // no such alarm: nothing
}

TEST_F(Actions, QuestionsCompareAsTheActionSays) {
  struct Case {
    const char* code;
    const char* printed;
  };
  const Case cases[] = {
      {"show_debug_message(action_if_variable(3, 3, 0))", "1;"},
      {"show_debug_message(action_if_variable(2, 3, 1))", "1;"},
      {"show_debug_message(action_if_variable(2, 3, 2))", "0;"},
      {"show_debug_message(action_if_variable(3, 3, 7))", "1;"},  // any other op: equal
      {"show_debug_message(action_if_variable(\"b\", \"a\", 2))", "1;"},
      {"show_debug_message(action_if_variable(\"B\", \"a\", 1))", "1;"},  // code-unit order
      {"show_debug_message(action_if_variable(\"1\", 1, 0))", "E[Cannot compare arguments.];0;"},
      {"show_debug_message(action_if_number(obj_a, 1, 0))", "1;"},
      {"show_debug_message(action_if_number(obj_b, 1, 1))", "1;"},
      {"show_debug_message(action_if_dice(1))", "1;"},
      {"show_debug_message(action_if_dice(0.5))", "1;"},
      {"show_debug_message(action_if(0.7) == 0.7)", "1;"},
      {"show_debug_message(action_if_previous_room())", "0;"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run(c.code), c.printed) << c.code;
}

TEST_F(Actions, DiceOfTwoSidesIsTrueJustOverHalfTheTime) {
  RandomSetSeed(12345);
  int yes = 0;
  for (int k = 0; k < 20000; ++k) {
    out_.clear();
    Run("show_debug_message(action_if_dice(2))");
    yes += out_ == "1;";
  }
  EXPECT_NEAR(yes / 20000.0, 1001.0 / 2000.0, 0.015);
}

TEST_F(Actions, LosingTheLastLifeOrHealthSetsOffItsEventOnce) {
  SetEventForAllPerformer(RecordEvent);
  g_events.clear();
  GameState().lives = 1;
  Run("action_set_life(-1)", true);
  EXPECT_EQ(GameState().lives, 0);
  Run("action_set_life(-1)", true);  // from 0: no event
  EXPECT_EQ(g_events, std::vector<std::string>{"7/6"});
  g_events.clear();
  GameState().health = 10;
  Run("action_set_health(-10)", true);
  Run("action_set_health(-5)", true);
  EXPECT_EQ(g_events, std::vector<std::string>{"7/9"});
  Run("action_set_score(2.5)");
  Run("action_set_score(10)", true);
  EXPECT_EQ(GameState().score, 12);
  EXPECT_EQ(Run("show_debug_message(action_if_score(12, 0))"), "1;");
}

TEST_F(Actions, WrapUsesTheScaledSpriteSize) {
  auto sprite = std::make_unique<CSprite>();
  sprite->i_numb = 1;
  sprite->i_bitmap.emplace_back(8, 4);
  Sprites().Add(std::move(sprite), "spr");
  self_->SetSpriteIndex(0);
  self_->SetImageScaleX(2);
  self_->SetHspeed(-1);
  self_->SetPosition(-1, 5);
  Run("action_wrap(0)");
  EXPECT_EQ(self_->i_x, -1 + 100 + 16);
  self_->SetHspeed(1);
  self_->SetVspeed(1);
  self_->SetPosition(100, 80);
  Run("action_wrap(1)");  // vertical only
  EXPECT_EQ(self_->i_x, 100);
  EXPECT_EQ(self_->i_y, 80 - 80 - 4);
}

TEST_F(Actions, SpriteTransformMirrors) {
  Run("action_sprite_transform(2, 3, 45, 3)");
  EXPECT_EQ(self_->i_imagescalex, -2);
  EXPECT_EQ(self_->i_imagescaley, -3);
  EXPECT_EQ(self_->i_imageangle, 45);
  Run("action_sprite_transform(2, 3, 0, 2)");
  EXPECT_EQ(self_->i_imagescalex, 2);
  EXPECT_EQ(self_->i_imagescaley, -3);
}

TEST_F(Actions, ParticleEmitterMustBeCreatedFirst) {
  EXPECT_EQ(Run("action_partemit_burst(3, 0, 10)"), "E[The particle emitter must first be created.];");
  EXPECT_EQ(Run("action_replace_sprite(4, \"x.png\", 1)"), "E[Trying to replace non-existing resource.];");
  EXPECT_EQ(Run("action_sound(0, 0)"), "E[Trying to play non-existing sound.];");
}

TEST(ActionTexts, MessagesAndDrawnValues) {
  EXPECT_EQ(ActionMessageText("a#b\\#c"), "a\nb#c");
  EXPECT_EQ(ActionMessageText("#"), "\n");
  EXPECT_EQ(ActionValueText(RValue::Real(3)), "3");
  EXPECT_EQ(ActionValueText(RValue::Real(-2.5)), "-2.50");
  EXPECT_EQ(ActionValueText(RValue::Real(1.0 / 3)), "0.33");
  EXPECT_EQ(ActionValueText(RValue::String(RString("x#y"))), "x#y");
}

}  // namespace
}  // namespace kestro
