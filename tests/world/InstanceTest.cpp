// Instances and the live room: coupled fields, bounding boxes, ids and lists, destruction,
// change, deactivation, and the instance functions and variables run through real code.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "support/WorldFixture.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "world/ErrorReport.h"
#include "world/Events.h"
#include "world/GameScripts.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {
namespace {

// Sprites: 0 a solid 32x32 square with origin (0, 0); 1 three solid 16x16 images with origin (8, 8).
// Objects: 0 obj_base (sprite 0), 1 obj_child (parent obj_base, sprite 1, depth 5, solid),
// 2 obj_plain (no sprite), 3 obj_grandchild (parent obj_child).
class World_ : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    auto sprite = [](int size, int images, int origin) {
      auto s = std::make_unique<CSprite>();
      for (int k = 0; k < images; ++k) s->i_bitmap.emplace_back(size, size, 0xFF000000u);
      s->i_numb = images;
      s->i_xorig = s->i_yorig = origin;
      s->ComputeMask({false, kBoxAutomatic, {}, kMaskPrecise, 0});
      return s;
    };
    Sprites().Add(sprite(32, 1, 0), "spr_square");
    Sprites().Add(sprite(16, 3, 8), "spr_small");
    auto object = [](int spriteIndex, int parent, int depth, bool solid) {
      auto o = std::make_unique<CObject>();
      o->o_spriteindex = spriteIndex;
      o->o_parent = parent;
      o->o_depth = depth;
      o->o_solid = solid;
      return o;
    };
    Objects().Add(object(0, -1, 0, false), "obj_base");
    Objects().Add(object(1, 0, 5, true), "obj_child");
    Objects().Add(object(-1, -1, 0, false), "obj_plain");
    Objects().Add(object(-1, 1, 0, false), "obj_grandchild");
    StartWorld();
  }
  CLiveRoom& Room() { return World().Room(); }
  CInstance* Add(int obj, double x, double y) { return Room().AddInstance(obj, x, y, World().lastInstanceId); }
  // Runs code as `self` (a temporary instance in no room when null); debug messages and errors.
  std::string Run(const std::string& text, CInstance* self = nullptr) {
    out_.clear();
    CInstance temporary;
    if (!self) self = &temporary;
    CCode code(text, CodeKind::kProgram);
    if (!code.Compile()) return "compile " + code.CompileError();
    RValue result;
    if (!ExecuteCode(self, self, code, result)) {
      out_ += "error " + PendingCodeError();
      ClearCodeError();
    }
    return out_;
  }
};

TEST_F(World_, DirectionAndSpeedFollowTheComponentsAndBack) {
  CInstance i;
  i.SetHspeed(3);
  i.SetVspeed(-4);
  EXPECT_NEAR(i.i_direction, 53.130102354, 1e-9);
  EXPECT_EQ(i.i_speed, 5);
  i.SetHspeed(0);
  i.SetVspeed(2);
  EXPECT_EQ(i.i_direction, 270);
  struct Case {
    double direction, speed, hspeed, vspeed, stored;
  };
  for (const Case& c : {Case{370, 0, 0, 0, 10}, Case{-90, 1, 0, 1, 270}, Case{90, 2, 0, -2, 90},
                        Case{180, 3, -3, 0, 180}}) {
    CInstance k;
    k.SetSpeed(c.speed);
    k.SetDirection(c.direction);
    EXPECT_EQ(k.i_direction, c.stored) << c.direction;
    // Snapped: exactly the integers, not 1e-16 away.
    EXPECT_EQ(k.i_hspeed, c.hspeed) << c.direction;
    EXPECT_EQ(k.i_vspeed, c.vspeed) << c.direction;
  }
  // Setting the speed it already has leaves components changed by other means alone.
  CInstance k;
  k.SetSpeed(2);
  k.i_hspeed = 7;
  k.SetSpeed(2);
  EXPECT_EQ(k.i_hspeed, 7);
}

TEST_F(World_, FrictionAndGravity) {
  struct Case {
    double speed, friction, after;
  };
  for (const Case& c : {Case{0.3, 0.5, 0}, Case{-2, 0.5, -1.5}, Case{2, 0.5, 1.5}, Case{0, 0.5, 0}}) {
    CInstance i;
    i.SetSpeed(c.speed);
    i.i_friction = c.friction;
    i.Adapt_Speed();
    EXPECT_EQ(i.i_speed, c.after) << c.speed;
  }
  CInstance g;
  g.i_gravity = 0.5;
  g.Adapt_Speed();
  g.Adapt_Speed();
  EXPECT_EQ(g.i_vspeed, 1);  // down
  EXPECT_EQ(g.i_direction, 270);
}

TEST_F(World_, BoundingBoxesFollowSpriteScaleAndAngle) {
  CInstance* i = Add(0, 10.5, 0);
  EXPECT_EQ(i->i_bbox, (RRect{10, 0, 42, 31}));  // round(10.5) = 10, round(41.5) = 42
  i->SetPosition(100, 0);
  i->SetImageScaleX(-1);
  EXPECT_EQ(i->i_bbox, (RRect{67, 0, 100, 31}));  // swapped
  i->SetImageScaleX(1);
  i->SetImageAngle(90);  // turned a quarter counter-clockwise about its origin: x' = x + py, y' = y - px
  EXPECT_EQ(i->i_bbox, (RRect{100, -31, 131, 0}));
  CInstance* plain = Add(2, 5, 5);
  EXPECT_EQ(plain->i_bbox, (RRect{kNoBox, kNoBox, kNoBox, kNoBox}));
  plain->SetMaskIndex(1);  // origin 8: 16x16 around the position
  EXPECT_EQ(plain->i_bbox, (RRect{-3, -3, 12, 12}));
  // A sprite with fewer images resets an index beyond them, but keeps a fractional one inside.
  CInstance* c = Add(1, 0, 0);
  c->i_imageindex = 2.5;
  c->SetSpriteIndex(1);
  EXPECT_EQ(c->i_imageindex, 2.5);
  c->SetSpriteIndex(0);
  EXPECT_EQ(c->i_imageindex, 0);
}

TEST_F(World_, IdsListsAndParents) {
  World().lastInstanceId = 100500;
  CInstance* a = Add(0, 0, 0);
  CInstance* b = Add(1, 0, 0);
  CInstance* c = Add(3, 0, 0);
  EXPECT_EQ(a->i_id, 100501);
  EXPECT_EQ(c->i_id, 100503);
  EXPECT_EQ(Room().Obj_Number(0), 1);
  EXPECT_EQ(Room().Obj_Number_Recursive(0), 3);  // a, its child b and grandchild c
  EXPECT_EQ(Room().Obj_Number_Recursive(1), 2);
  EXPECT_EQ(Room().Obj_Instance_Recursive(0, 2), c);
  EXPECT_EQ(Room().Obj_Number(99), 0);
  EXPECT_EQ(Room().Obj_Instance(-1, 0), nullptr);
  EXPECT_EQ(Room().FindId(b->i_id), b);
  EXPECT_EQ(b->i_depth, 5);
  EXPECT_TRUE(b->i_solid);
  // Sorting by depth, higher first, keeps equal depths in their order.
  Room().SortInstances();
  EXPECT_EQ(Room().Active()[0].get(), b);
  EXPECT_EQ(Room().Active()[1].get(), a);
  EXPECT_EQ(Room().Active()[2].get(), c);
}

TEST_F(World_, DestroyedInstancesAreSkippedUntilRemoved) {
  CInstance* a = Add(0, 0, 0);
  Add(0, 50, 0);
  EXPECT_EQ(Run("show_debug_message(instance_number(obj_base)); instance_destroy(); "
                "show_debug_message(instance_number(obj_base)); show_debug_message(instance_find(all, 0)); "
                "show_debug_message(instance_exists(" + std::to_string(a->i_id) + "))",
                a),
            "2;1;100002;0;");
  EXPECT_EQ(Room().ActiveCount(), 2);  // still listed until the removal point
  Room().RemoveMarked();
  EXPECT_EQ(Room().ActiveCount(), 1);
  EXPECT_EQ(Room().Obj_Number(0), 1);
}

TEST_F(World_, CreateFindCountAndSearch) {
  EXPECT_EQ(Run("a = instance_create(10, 10, obj_base); b = instance_create(100, 10, obj_child); "
                "c = instance_create(300, 300, obj_plain); "
                "show_debug_message(instance_number(all)); show_debug_message(instance_number(obj_base)); "
                "show_debug_message(instance_nearest(95, 10, obj_base) == b); "
                "show_debug_message(instance_furthest(0, 0, all) == c); "
                "show_debug_message(instance_nearest(0, 0, a)); "
                "show_debug_message(instance_find(b, 0) == b); show_debug_message(instance_find(b, 1)); "
                "show_debug_message(instance_position(20, 20, all) == a); "
                "show_debug_message(instance_position(300, 300, all)); "
                "show_debug_message(position_empty(200, 200)); show_debug_message(position_meeting(105, 12, obj_child)); "
                "instance_create(0, 0, 77)"),
            "3;2;1;1;-4;1;-4;1;-4;1;1;E[Creating instance for non-existing object: 77];");
}

TEST_F(World_, ChangeKeepsTheIdAndMovesToTheEnd) {
  CInstance* a = Add(0, 4, 4);
  Add(2, 0, 0);
  const int id = a->i_id;
  EXPECT_EQ(Run("instance_change(obj_child, false); show_debug_message(instance_exists(id))", a), "1;");
  CInstance* now = Room().FindId(id);
  ASSERT_NE(now, nullptr);
  EXPECT_NE(now, a);
  EXPECT_TRUE(a->i_marked);
  EXPECT_EQ(now->i_objectindex, 1);
  EXPECT_EQ(now->i_spriteindex, 1);
  EXPECT_EQ(now->i_x, 4);
  Room().RemoveMarked();
  EXPECT_EQ(Room().Active().back().get(), now);
  EXPECT_EQ(Room().FindId(id), now);
  EXPECT_EQ(Run("instance_change(99, false)", now), "E[Asking to change into non-existing object: 99];");
}

TEST_F(World_, DeactivationByRegionAndObject) {
  CInstance* inside = Add(0, 10, 10);    // box 10..41
  CInstance* outside = Add(0, 500, 500);
  CInstance* point = Add(2, 20, 20);     // no shape: by position
  EXPECT_EQ(Run("instance_deactivate_region(0, 0, 100, 100, true, false); show_debug_message(instance_number(all))"),
            "1;");
  EXPECT_TRUE(inside->i_deactivated);
  EXPECT_TRUE(point->i_deactivated);
  EXPECT_FALSE(outside->i_deactivated);
  EXPECT_EQ(Room().FindId(inside->i_id), nullptr);
  EXPECT_EQ(Run("instance_activate_object(obj_plain); show_debug_message(instance_number(all))"), "2;");
  EXPECT_EQ(Run("instance_activate_all(); instance_deactivate_region(0, 0, 100, 100, false, false); "
                "show_debug_message(instance_number(all))"),
            "2;");
  EXPECT_TRUE(outside->i_deactivated);
  // Activated instances go to the end of the active list in their order.
  Run("instance_activate_all()");
  EXPECT_EQ(Room().Active().back().get(), outside);
}

TEST_F(World_, InstanceVariablesThroughCode) {
  CInstance* i = Add(1, 0, 0);
  EXPECT_EQ(Run("visible = 0.5; show_debug_message(visible); visible = 0.6; show_debug_message(visible); "
                "alarm[12] = 5; show_debug_message(alarm[0]); show_debug_message(alarm[3]); "
                "image_single = 2; show_debug_message(image_index); show_debug_message(image_speed); "
                "image_speed = 1; show_debug_message(image_single); "
                "x = 100; show_debug_message(bbox_left); image_xscale = 2; show_debug_message(sprite_width); "
                "show_debug_message(image_number); show_debug_message(object_index); "
                "hspeed = 3; vspeed = -4; show_debug_message(speed); path_position = 3; "
                "show_debug_message(path_position)",
                i),
            "0;1;5;-1;2;0;-1;92;32;3;1;5;1;");
  // Read-only variables refuse writes.
  for (const char* code : {"id = 5", "bbox_left = 1", "object_index = 2", "image_number = 1"})
    EXPECT_NE(Run(code, i).find("Cannot assign to the variable"), std::string::npos) << code;
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// A create event that creates its own object again ends at a bounded depth with an error.
TEST_F(World_, EndlessCreationEndsWithAnError) {
  CAction act;
  act.act_exetype = kExeCode;
  act.act_codecode = std::make_shared<CCode>("global.made += 1; instance_create(0, 0, obj_plain)", CodeKind::kProgram);
  ASSERT_TRUE(act.act_codecode->Compile());
  CEvent* create = Objects().Get(2)->CreateEvent(kEventCreate, 0);
  create->e_actions.push_back(act);
  create->e_number = 1;
  const std::string out = Run("global.made = 0; instance_create(0, 0, obj_plain); show_debug_message(global.made)");
  EXPECT_EQ(out, "E[Events nested too deeply.];256;");
}

}  // namespace
}  // namespace kestro
