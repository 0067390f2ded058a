// Collision handling and movement: the collision phase with solid instances, the outside and
// boundary events, the move, place, distance and collision functions, and a crowded scene run
// through the collision grid and through plain list walks with every event and position compared.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/builtins/Random.h"
#include "support/WorldFixture.h"
#include "world/CollisionGrid.h"
#include "world/Collisions.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/World.h"

namespace kestro {
namespace {

// Sprites: 0 a solid 16x16 square, 1 a 16x16 image whose left half only is opaque.
// Objects: 0 obj_wall (solid), 1 obj_ball, 2 obj_parent (no sprite), 3 obj_child (parent
// obj_parent), 4 obj_ghost (no sprite), 5 obj_half (sprite 1).
class Collide_ : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    auto square = std::make_unique<CSprite>();
    square->i_bitmap.emplace_back(16, 16, 0xFF000000u);
    square->i_numb = 1;
    square->ComputeMask({false, kBoxAutomatic, {}, kMaskPrecise, 0});
    Sprites().Add(std::move(square), "spr_square");
    auto half = std::make_unique<CSprite>();
    half->i_bitmap.emplace_back(16, 16, 0x00000000u);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) half->i_bitmap[0].SetPixel(x, y, TColor32::From(0xFF000000u));
    half->i_numb = 1;
    half->ComputeMask({false, kBoxFull, {}, kMaskPrecise, 0});
    Sprites().Add(std::move(half), "spr_half");
    auto object = [](int sprite, int parent, bool solid) {
      auto o = std::make_unique<CObject>();
      o->o_spriteindex = sprite;
      o->o_parent = parent;
      o->o_solid = solid;
      return o;
    };
    Objects().Add(object(0, -1, true), "obj_wall");
    Objects().Add(object(0, -1, false), "obj_ball");
    Objects().Add(object(-1, -1, false), "obj_parent");
    Objects().Add(object(0, 2, false), "obj_child");
    Objects().Add(object(-1, -1, false), "obj_ghost");
    Objects().Add(object(1, -1, false), "obj_half");
    StartWorld();
    CollisionGrid().Reset();
    SetCollisionSearch(ECollisionSearch::kGrid);
  }
  void TearDown() override {
    SetCollisionSearch(ECollisionSearch::kGrid);
    CollisionGrid().Reset();
    WorldFixture::TearDown();
  }
  static CAction Code(const std::string& text) {
    CAction a;
    a.act_exetype = kExeCode;
    a.act_codecode = std::make_shared<CCode>(text, CodeKind::kProgram);
    EXPECT_TRUE(a.act_codecode->Compile()) << text << ": " << a.act_codecode->CompileError();
    return a;
  }
  void Define(int obj, int type, int numb, const std::string& code) {
    CEvent* ev = Objects().Get(obj)->CreateEvent(type, numb);
    ev->e_actions = {Code(code)};
    ev->e_number = 1;
    BuildEventLists();
  }
  CLiveRoom& Room() { return World().Room(); }
  CInstance* Add(int obj, double x, double y) { return Room().AddInstance(obj, x, y, World().lastInstanceId); }
  // Runs code as `self`; what it printed.
  std::string Run(CInstance* self, const std::string& text) {
    out_.clear();
    CCode code(text, CodeKind::kProgram);
    if (!code.Compile()) return "compile " + code.CompileError();
    RValue result;
    if (!ExecuteCode(self, self, code, result)) {
      out_ += "error " + PendingCodeError();
      ClearCodeError();
    }
    return out_;
  }
  double Value(CInstance* self, const std::string& expression) {
    Run(self, "show_debug_message(string(" + expression + "))");
    return std::stod(out_);
  }
  std::string Step(int steps = 1) {
    out_.clear();
    CMainLoop loop({});
    for (int k = 0; k < steps; ++k) loop.RunStep();
    return out_;
  }
};

TEST_F(Collide_, SolidInstancesArePutBackAndMovedAgainUnlessTheEventsChangedTheirMotion) {
  struct Case {
    bool solidA, solidB;
    const char* event;  // the collision event of both
    double xa, xb;      // where they end the step
  };
  const Case cases[] = {
      {true, true, "", 0, 20},                      // meet again after moving: back where they were
      {false, false, "", 4, 16},                    // not solid: nothing is touched
      {true, false, "", 0, 20},                     // one solid stops both
      {false, true, "", 0, 20},
      {true, true, "hspeed = -hspeed", -4, 24},     // bounced: they move apart from where they were
      {true, true, "hspeed = 0", 0, 20},            // stopped: stay where they were
      {false, false, "hspeed = -hspeed", 4, 16},   // not solid: no move after the events
  };
  for (const Case& c : cases) {
    Objects().Get(1)->CreateEvent(kEventCollision, 1)->e_actions.clear();
    Define(1, kEventCollision, 1, std::string("show_debug_message(string(id) + \">\" + string(other.id)); ") + c.event);
    World().Room().ClearInstances();
    CInstance* a = Add(1, 0, 0);
    CInstance* b = Add(1, 20, 0);
    a->SetSolid(c.solidA);
    b->SetSolid(c.solidB);
    a->SetHspeed(4);
    b->SetHspeed(-4);
    const std::string trace = Step();
    EXPECT_EQ(trace, std::to_string(a->i_id) + ">" + std::to_string(b->i_id) + ";" + std::to_string(b->i_id) + ">" +
                         std::to_string(a->i_id) + ";")
        << c.event;
    EXPECT_EQ(a->i_x, c.xa) << c.solidA << c.solidB << c.event;
    EXPECT_EQ(b->i_x, c.xb) << c.solidA << c.solidB << c.event;
  }
}

TEST_F(Collide_, EventsFollowThePairsAndEachInstanceMeetsEveryOther) {
  // obj_child inherits obj_parent's event with the wall; obj_ball has its own with obj_parent,
  // which obj_child instances answer as descendants. Pairs: (wall 0, ball 1), (ball 1, child 3),
  // (wall 0, child 3), in the order of the pair list.
  Define(2, kEventCollision, 0, "show_debug_message(\"parent-wall \" + string(other.id))");
  Define(1, kEventCollision, 2, "show_debug_message(\"ball-parent \" + string(other.id))");
  Define(0, kEventCollision, 1, "show_debug_message(\"wall-ball \" + string(other.id))");
  CInstance* wall = Add(0, 100, 100);
  CInstance* child1 = Add(3, 104, 100);
  CInstance* ball = Add(1, 100, 108);
  CInstance* child2 = Add(3, 96, 96);
  wall->SetSolid(false);  // nobody is put back, so every meeting stays
  const auto id = [](const CInstance* i) { return std::to_string(i->i_id); };
  EXPECT_EQ(Step(), "wall-ball " + id(ball) + ";" + "parent-wall " + id(wall) + ";" + "parent-wall " + id(wall) +
                        ";" + "ball-parent " + id(child1) + ";" + "ball-parent " + id(child2) + ";");
}

TEST_F(Collide_, MoveContactAndMoveOutsideDistances) {
  Add(0, 0, 50);                          // a solid wall 50 pixels below
  Add(1, 0, 100)->SetSolid(false);        // a non-solid ball below the wall, in the way of "all"
  struct Case {
    double y;
    const char* code;
    double expected;
  };
  const Case cases[] = {
      {0, "move_contact_solid(270, 0)", 34},   // stops at the last free pixel
      {0, "move_contact_solid(270, 10)", 10},  // at most maxdist
      {0, "move_contact_solid(270, 10.5)", 10},
      {45, "move_contact_solid(270, 0)", 45},  // already overlapping: no move
      {45, "move_outside_solid(90, 0)", 34},   // out upwards
      {45, "move_outside_solid(90, 3)", 42},
      {70, "move_contact_solid(270, 0)", 1070},  // nothing below: 1000 pixels
      {70, "move_contact_all(270, 0)", 84},      // the ball counts for "all"
  };
  for (const Case& c : cases) {
    CInstance* self = Add(4, 0, c.y);
    self->SetSpriteIndex(0);
    Run(self, c.code);
    EXPECT_EQ(self->i_y, c.expected) << c.code << " from " << c.y;
    EXPECT_EQ(self->i_x, 0) << c.code;  // straight down or up leaves x as it was
    Room().Mark(self);
  }
  // move_contact: free, so it moves to contact; overlapping, so it moves out along the direction.
  CInstance* self = Add(4, 0, 0);
  self->SetSpriteIndex(0);
  Run(self, "move_contact(270)");
  EXPECT_EQ(self->i_y, 34);
  self->SetPosition(0, 60);
  Run(self, "move_contact(270)");
  EXPECT_EQ(self->i_y, 66);
}

TEST_F(Collide_, BounceDirectionsInBothModes) {
  // A tall wall on the right (x 18 ... 33), a wide floor (y 118 ...), a single block at the corner.
  struct Case {
    const char* name;
    double wallX, wallY, scaleX, scaleY;
    double x, y, hspeed, vspeed;
    bool advanced;
    double hspeedAfter, vspeedAfter, directionAfter;  // direction checked when not negative
  };
  const Case cases[] = {
      {"vertical wall", 18, 0, 1, 20, 0, 100, 4, 2, false, -4, 2, -1},
      {"floor", 0, 118, 20, 1, 100, 100, 2, 4, false, 2, -4, -1},
      {"corner only", 18, 118, 1, 1, 0, 100, 4, 4, false, -4, -4, -1},
      {"open space", 300, 300, 1, 1, 0, 100, 4, 4, false, 4, 4, -1},
      {"advanced floor", 0, 118, 20, 1, 100, 100, 2.8284271247461903, 2.8284271247461903, false, 0, 0, 40},
  };
  for (Case c : cases) {
    if (std::string(c.name) == "advanced floor") c.advanced = true;
    Room().ClearInstances();
    CInstance* wall = Add(0, c.wallX, c.wallY);
    wall->SetImageScaleX(c.scaleX);
    wall->SetImageScaleY(c.scaleY);
    CInstance* ball = Add(1, c.x, c.y);
    ball->SetHspeed(c.hspeed);
    ball->SetVspeed(c.vspeed);
    Run(ball, c.advanced ? "move_bounce_solid(true)" : "move_bounce_solid(false)");
    if (c.directionAfter >= 0) {
      EXPECT_NEAR(ball->i_direction, c.directionAfter, 1e-9) << c.name;
      EXPECT_NEAR(ball->i_speed, 4, 1e-9) << c.name;
    } else {
      EXPECT_EQ(ball->i_hspeed, c.hspeedAfter) << c.name;
      EXPECT_EQ(ball->i_vspeed, c.vspeedAfter) << c.name;
    }
    // A wall that is not solid bounces only "all".
    wall->SetSolid(false);
    const double h = ball->i_hspeed, v = ball->i_vspeed;
    Run(ball, "move_bounce_solid(false)");
    EXPECT_EQ(ball->i_hspeed, h) << c.name;
    EXPECT_EQ(ball->i_vspeed, v) << c.name;
  }
  // Overlapping where it stands: back to the previous position first.
  Room().ClearInstances();
  Add(0, 20, 100);
  CInstance* ball = Add(1, 10, 100);
  ball->i_xprevious = 0;
  ball->i_yprevious = 100;
  ball->SetHspeed(10);
  Run(ball, "move_bounce_all(false)");
  EXPECT_EQ(ball->i_x, 0);
  EXPECT_EQ(ball->i_hspeed, -10);
}

TEST_F(Collide_, OutsideAndBoundaryEventsEveryStepTheConditionHolds) {
  Room().r_width = 100;
  Room().r_height = 100;
  Define(1, kEventOther, 0, "show_debug_message(\"outside\")");
  Define(1, kEventOther, 1, "show_debug_message(\"boundary\")");
  Define(4, kEventOther, 0, "show_debug_message(\"ghost outside\")");
  Define(4, kEventOther, 1, "show_debug_message(\"ghost boundary\")");
  CInstance* ball = Add(1, 80, 10);
  ball->SetHspeed(5);
  CInstance* ghost = Add(4, 90, 10);  // no shape: its position decides
  ghost->SetHspeed(5);
  // x after each step: ball 85 (box to 100: inside), 90, 95, 100 (crossing), 105 (outside);
  // ghost 95, 100 (inside), 105, 110, 115 (outside).
  // Each event is dispatched over all objects before the next.
  const char* expected[] = {"", "boundary;", "ghost outside;boundary;ghost boundary;",
                            "ghost outside;boundary;ghost boundary;",
                            "outside;ghost outside;boundary;ghost boundary;"};
  for (const char* e : expected) EXPECT_EQ(Step(), e) << ball->i_x;
  // Partly outside on the left: intersect boundary every step, never outside room.
  ball->SetHspeed(0);
  ghost->SetHspeed(0);
  ghost->SetPosition(50, 50);
  ball->SetPosition(-8, 50);
  EXPECT_EQ(Step(3), "boundary;boundary;boundary;");
}

TEST_F(Collide_, ViewEventsOnlyForVisibleViewsWhenViewsAreEnabled) {
  Define(1, kEventOther, 40, "show_debug_message(\"outside view 0\")");
  Define(1, kEventOther, 51, "show_debug_message(\"boundary view 1\")");
  CView& v0 = Room().r_view[0];
  CView& v1 = Room().r_view[1];
  v0.xview = 0, v0.yview = 0, v0.wview = 100, v0.hview = 100;
  v1.xview = 200, v1.yview = 0, v1.wview = 100, v1.hview = 100;
  CInstance* ball = Add(1, 195, 10);  // box 195 ... 210: outside view 0, across view 1's edge
  EXPECT_EQ(Step(), "");
  Room().r_enableviews = true;
  EXPECT_EQ(Step(), "");
  v0.visible = v1.visible = true;
  EXPECT_EQ(Step(), "outside view 0;boundary view 1;");
  ball->SetPosition(100, 10);  // touches view 0's right edge (inclusive), well outside view 1
  EXPECT_EQ(Step(), "boundary view 1;");
  ball->SetPosition(220, 10);  // inside view 1
  EXPECT_EQ(Step(), "outside view 0;");
}

TEST_F(Collide_, PlaceAndPositionFunctions) {
  CInstance* wall = Add(0, 100, 100);
  CInstance* ball = Add(1, 200, 100);
  CInstance* self = Add(1, 0, 0);
  const auto id = [](const CInstance* i) { return double(i->i_id); };
  struct Case {
    const char* expression;
    double expected;
  };
  const Case cases[] = {
      {"place_free(90, 90)", 0},
      {"place_free(190, 100)", 1},  // the ball is not solid
      {"place_empty(190, 100)", 0},
      {"place_empty(84, 100)", 1},  // box 84 ... 99 touches nothing
      {"place_meeting(85, 100, obj_wall)", 1},
      {"place_meeting(85, 100, obj_ball)", 0},
      {"place_meeting(0, 0, self)", 0},
      {"position_empty(100, 100)", 0},
      {"position_empty(116, 100)", 1},
      {"position_meeting(115.4, 115.4, obj_wall)", 1},
      {"position_meeting(115.4, 115.4, obj_ball)", 0},
      {"position_meeting(115.6, 100, obj_wall)", 0},  // in the box, but the precise test rounds to 116
      {"collision_point(100, 100, all, true, false)", id(wall)},
      {"collision_point(5, 5, all, true, false)", id(self)},
      {"collision_point(5, 5, all, true, true)", -4},
      {"collision_rectangle(90, 90, 300, 101, obj_ball, false, true)", id(ball)},
      {"collision_rectangle(300, 101, 90, 90, all, false, true)", id(wall)},
      {"collision_circle(108, 108, 0, all, true, false)", id(wall)},
      {"collision_circle(99, 99, 0, all, true, false)", -4},
      {"collision_circle(92, 92, 10, all, true, false)", -4},   // the box corner is outside the circle
      {"collision_circle(94, 94, 10, all, true, false)", id(wall)},
      {"collision_ellipse(90, 90, 130, 130, all, true, false)", id(wall)},
      {"collision_line(108, 0, 108, 300, all, true, false)", id(wall)},  // vertical: a one-pixel rectangle
      {"collision_line(116, 0, 116, 300, all, true, false)", -4},
      {"collision_line(0, 90, 300, 110, obj_ball, true, false)", id(ball)},
      {"collision_line(0, 90, 300, 130, obj_ball, true, false)", -4},  // below the ball where it reaches it
      {"collision_line(0, 0, 50, 50, 12345, true, false)", -4},
      {"distance_to_point(20, 3)", 5},
      {"distance_to_point(8, 8)", 0},
      {"distance_to_object(obj_wall)", std::sqrt(85.0 * 85 + 85 * 85)},
      {"distance_to_object(noone)", 1000000},
      {"distance_to_object(self)", 1000000},
      {"distance_to_object(obj_ghost)", 1000000},
  };
  // string() shows two decimals.
  for (const Case& c : cases) EXPECT_NEAR(Value(self, c.expression), c.expected, 0.006) << c.expression;
  // An instance without a shape meets nothing, not even where its sentinel box lies.
  Add(4, 5, 5);
  EXPECT_EQ(Value(self, "collision_rectangle(-100001, -100001, -99999, -99999, all, false, false)"), -4);
  EXPECT_EQ(Value(self, "collision_point(-100000, -100000, obj_ghost, false, false)"), -4);
  // Precise tests see the mask: only the left half of obj_half is solid.
  CInstance* half = Add(5, 300, 300);
  EXPECT_EQ(Value(self, "collision_point(312, 305, obj_half, true, false)"), -4);
  EXPECT_EQ(Value(self, "collision_point(312, 305, obj_half, false, false)"), id(half));
  EXPECT_EQ(Value(self, "collision_rectangle(309, 300, 320, 320, obj_half, true, false)"), -4);
  EXPECT_EQ(Value(self, "collision_rectangle(307, 300, 320, 320, obj_half, true, false)"), id(half));
}

TEST_F(Collide_, MotionSnapWrapAndRandomPlaces) {
  Room().r_width = 200;
  Room().r_height = 100;
  CInstance* self = Add(1, 0, 0);
  Run(self, "move_towards_point(x, y, 3)");
  EXPECT_EQ(self->i_direction, 0);
  EXPECT_EQ(self->i_hspeed, 3);
  Run(self, "move_towards_point(x, y - 10, 2)");
  EXPECT_EQ(self->i_direction, 90);
  EXPECT_EQ(self->i_vspeed, -2);
  Run(self, "motion_set(180, 5); motion_add(90, 5)");
  EXPECT_EQ(self->i_hspeed, -5);
  EXPECT_EQ(self->i_vspeed, -5);
  struct Case {
    double x, y;
    const char* code;
    double ex, ey;
  };
  const Case cases[] = {
      {-1, 50, "move_wrap(true, false, 0)", 199, 50},
      {-1, -1, "move_wrap(false, true, 0)", -1, 99},
      {201, 50, "move_wrap(true, true, 0)", 1, 50},
      {-5, 50, "move_wrap(true, false, 10)", -5, 50},
      {-11, 50, "move_wrap(true, false, 10)", 209, 50},
      {13, 27, "move_snap(10, 0)", 10, 27},
      {15, 25, "move_snap(10, 10)", 20, 20},  // halves to even
  };
  for (const Case& c : cases) {
    self->SetPosition(c.x, c.y);
    Run(self, c.code);
    EXPECT_EQ(self->i_x, c.ex) << c.code << " " << c.x;
    EXPECT_EQ(self->i_y, c.ey) << c.code << " " << c.y;
  }
  self->SetPosition(20, 30.0005);
  EXPECT_EQ(Value(self, "place_snapped(10, 10)"), 1);
  EXPECT_EQ(Value(self, "place_snapped(0, 7)"), 0);
  // Random places keep the whole box in the room, on the snap, and free of solid instances.
  Add(0, 0, 0)->SetImageScaleX(10);  // a solid wall over x 0 ... 159 of the top row
  RandomSetSeed(7);
  for (int k = 0; k < 50; ++k) {
    Run(self, "move_random(4, 4)");
    EXPECT_GE(self->i_bbox.Left, 0);
    EXPECT_LE(self->i_bbox.Right, 199);
    EXPECT_GE(self->i_bbox.Top, 0);
    EXPECT_LE(self->i_bbox.Bottom, 99);
    EXPECT_EQ(std::fmod(self->i_x, 4), 0);
    EXPECT_EQ(std::fmod(self->i_y, 4), 0);
    EXPECT_EQ(Value(self, "place_free(x, y)"), 1);
  }
}

// Searches read the grid's copy of what they test (box, solid flag, mask and place, mark): every
// way game code changes an instance must reach it, without waiting for the grid to be built again.
TEST_F(Collide_, TheGridsRecordsFollowEveryChangeOfTheirInstances) {
  for (int k = 0; k < 30; ++k) Add(k % 2, 20.0 * k, 40);  // enough for searches to use the grid
  CInstance* self = Add(1, 100, 100);
  CInstance* changing = Add(1, 200, 100);
  const struct {
    CInstance* inst;
    const char* code;
  } changes[] = {
      {self, "x += 3"},           {self, "y = 10.6"},           {self, "solid = 1"},
      {self, "solid = 0"},        {self, "sprite_index = 1"},   {self, "mask_index = 0"},
      {self, "mask_index = -1"},  {self, "image_xscale = 2"},   {self, "image_yscale = -1"},
      {self, "image_angle = 30"}, {self, "image_angle = 0"},    {self, "motion_set(0, 4); move_contact_all(0, 8)"},
      {self, "x = 100.4"},        {self, "instance_destroy()"}, {changing, "instance_change(obj_wall, false)"},
  };
  for (const auto& change : changes) {
    EXPECT_TRUE(PlaceFree(*change.inst, 0, 200, false));  // a search: the grid is brought up to date
    ASSERT_TRUE(CollisionGrid().Current(Room()));
    EXPECT_EQ(Run(change.inst, change.code), "");
    EXPECT_TRUE(CollisionGrid().Current(Room())) << change.code;  // not built again since
    EXPECT_TRUE(CollisionGrid().RecordsFollowInstances()) << change.code;
  }
  EXPECT_TRUE(self->i_marked);
  EXPECT_TRUE(changing->i_marked);
}

// Once many records have moved to other cells, the grid lays them out by cell again from the
// records alone; every record must still be its instance's, in its cell's list, and searches must
// keep finding what is there.
TEST_F(Collide_, RecordsLaidOutAgainStayTheirInstances) {
  std::vector<CInstance*> all;
  for (int k = 0; k < 300; ++k) all.push_back(Add(k % 2, 32.0 * (k % 20), 32.0 * (k / 20)));
  EXPECT_TRUE(PlaceFree(*all[0], 0, 0, false));
  for (int round = 0; round < 3; ++round) {
    for (size_t k = 0; k < all.size(); ++k)
      all[k]->SetPosition(32.0 * double((k * 7 + size_t(round) * 5) % 20), 32.0 * double((k * 3 + size_t(round)) % 15));
    EXPECT_FALSE(PlaceFree(*all[1], all[0]->i_x, all[0]->i_y, true));  // a search: moved records are copied
    ASSERT_TRUE(CollisionGrid().Current(Room()));
    ASSERT_TRUE(CollisionGrid().RecordsFollowInstances());
    // Laid out again: the records of a level and cell lie together, in cell order.
    const CCollisionGrid& grid = CollisionGrid();
    for (int e = 1; e < grid.Count(); ++e) {
      const auto& a = grid.Entry(e - 1);
      const auto& b = grid.Entry(e);
      ASSERT_LE(std::tuple(a.level, a.cell, a.solid), std::tuple(b.level, b.cell, b.solid)) << e;
    }
    for (CInstance* inst : all) EXPECT_EQ(grid.At(grid.SlotOf(*inst)), inst);
  }
}

// A crowded room: walls, balls bouncing with place_free and sometimes destroying the ball they
// meet (which later instances of the same phase may still reach), children of obj_parent that
// move and destroy what they meet, flip their solid flag, turn and stretch, and make new
// instances, a step event asking collision_* and instance_place questions, depth changes that
// reorder the active list, and deactivation. The same run through the grid and through the plain
// walks must give the same events and places.
TEST_F(Collide_, TheGridGivesTheEventsAndPlacesOfThePlainSearch) {
  Room().r_width = 640;
  Room().r_height = 480;
  Define(1, kEventStep, 0,
         "if !place_free(x + hspeed, y + vspeed) { hspeed = -hspeed; vspeed = -vspeed }"
         "var c; c = collision_circle(x, y, 12, all, true, true); if c != noone show_debug_message(\"c\" + string(c));"
         "c = instance_place(x + 3, y, obj_parent); if c != noone show_debug_message(\"p\" + string(c));"
         "if collision_line(x, y, x + 40, y + 20, obj_wall, false, false) != noone depth = random(10);"
         "move_wrap(true, true, 0)");
  Define(1, kEventCollision, 0, "show_debug_message(\"bw\" + string(id) + \"/\" + string(other.id))");
  Define(1, kEventCollision, 1,
         "show_debug_message(\"bb\" + string(id) + \"/\" + string(other.id)); x += 1;"
         "if random(1) < 0.1 with (other) instance_destroy()");
  Define(2, kEventCollision, 1,
         "show_debug_message(\"kb\" + string(id) + \"/\" + string(other.id));"
         "if random(1) < 0.2 with (other) instance_destroy() else other.x = random(room_width);"
         "if random(1) < 0.1 instance_create(random(room_width), random(room_height), obj_ball)");
  Define(3, kEventCollision, 0, "show_debug_message(\"kw\" + string(id) + \"/\" + string(other.id)); solid = !solid");
  Define(3, kEventStep, 2,
         "if random(1) < 0.01 instance_deactivate_region(0, 0, 50, 50, true, true);"
         "if random(1) < 0.01 instance_activate_all();"
         "if random(1) < 0.05 position_destroy(x + 20, y);"
         "if random(1) < 0.2 { image_angle += 30; image_xscale = 0.5 + random(1) }");
  auto run = [&](ECollisionSearch search, bool lookAhead = false) {
    SetCollisionSearch(search);
    CollisionGrid().Reset();
    // The look-ahead of large rooms (it reads lists, instances and records ahead of the walks)
    // run on this room too.
    if (lookAhead) CollisionGrid().SetLookAheadFrom(0);
    World().Room().ClearInstances();
    World().lastInstanceId = 100000;
    RandomSetSeed(12345);
    for (int k = 0; k < 40; ++k) Add(0, RandomBelow(600), RandomBelow(440));
    for (int k = 0; k < 400; ++k) {
      CInstance* b = Add(1, RandomBelow(620), RandomBelow(460));
      b->SetDirection(RandomBelow(360));
      b->SetSpeed(1 + RandomBelow(4));
      b->i_depth = RandomBelow(5);
    }
    for (int k = 0; k < 60; ++k) {
      CInstance* c = Add(3, RandomBelow(620), RandomBelow(460));
      c->SetHspeed(double(RandomBelow(5)) - 2);
      c->SetVspeed(double(RandomBelow(5)) - 2);
    }
    CLoopHooks hooks;
    hooks.drawRoom = [] { World().Room().SortInstances(); };
    CMainLoop loop(hooks);
    std::string trace;
    for (int step = 0; step < 30; ++step) {
      out_.clear();
      loop.RunStep();
      trace += "#" + std::to_string(step) + ":" + out_;
      for (const auto& inst : Room().Active())
        trace += std::to_string(inst->i_id) + "@" + std::to_string(inst->i_x) + "," + std::to_string(inst->i_y) + ";";
    }
    return trace;
  };
  const std::string naive = run(ECollisionSearch::kNaive);
  const std::string grid = run(ECollisionSearch::kGrid);
  EXPECT_NE(naive.find("bb"), std::string::npos);
  EXPECT_NE(naive.find("kb"), std::string::npos);
  EXPECT_NE(naive.find("bw"), std::string::npos);
  EXPECT_NE(naive.find("c1"), std::string::npos);
  ASSERT_EQ(naive.size(), grid.size());
  for (size_t k = 0; k < naive.size(); k += 2000)
    ASSERT_EQ(naive.substr(k, 2000), grid.substr(k, 2000)) << "first difference near " << k;
  EXPECT_EQ(run(ECollisionSearch::kGrid, true), grid);
}

}  // namespace
}  // namespace kestro
