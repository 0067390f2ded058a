// Paths: the shape (straight, smooth, closed) and positions along it, edits recomputing it, the
// path functions of scripts, following a path with speed factors, scale, orientation and the four
// end actions, and the end-of-path event in the exact step of a running game.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "script/Code.h"
#include "script/Executor.h"
#include "world/PathFollowing.h"
#include "world/StepFixture.h"

namespace kestro {
namespace {

using Points = std::vector<RWayPoint>;

CPath Make(Points points, int kind, bool closed, int precision = 4) {
  CPath p;
  p.i_kind = kind;
  p.i_closed = closed;
  p.i_precision = precision;
  p.SetPoints(std::move(points));
  return p;
}

const Points kCorner{{0, 0, 100}, {100, 0, 100}, {100, 100, 100}};

// ---------------------------------------------------------------------------------------------
// The shape

TEST(PathShape, InternalPointsLengthAndPositions) {
  struct RAt {
    double t, x, y, speed;
  };
  struct RCase {
    const char* name;
    CPath path;
    int intcount;
    double length;
    std::vector<RAt> at;
  };
  const double smoothHalf = 2 * std::sqrt(87.5 * 87.5 + 12.5 * 12.5);
  const RCase cases[] = {
      {"open straight", Make(kCorner, 0, false), 3, 200,
       {{0, 0, 0, 100}, {0.5, 100, 0, 100}, {0.75, 100, 50, 100}, {1, 100, 100, 100}, {-3, 0, 0, 100}, {7, 100, 100, 100}}},
      {"closed straight", Make(kCorner, 0, true), 4, 200 + std::sqrt(20000.0),
       {{1, 0, 0, 100}, {100 / (200 + std::sqrt(20000.0)), 100, 0, 100}}},
      {"any kind but smooth is straight", Make(kCorner, 5, false), 3, 200, {{0.5, 100, 0, 100}}},
      {"open smooth, 2 points", Make({{0, 0, 100}, {100, 0, 100}}, 1, false), 2, 100, {{0.5, 50, 0, 100}}},
      // One segment (S (50, 0), K (100, 0), E (100, 50)) at depth 1 adds its midpoint only.
      {"open smooth, 3 points", Make(kCorner, 1, false, 1), 3, smoothHalf,
       {{0.5, 87.5, 12.5, 100}, {1, 100, 100, 100}}},
      {"speed factors interpolate", Make({{0, 0, 100}, {100, 0, 50}}, 0, false), 2, 100, {{0.5, 50, 0, 75}}},
      {"one point", Make({{5, 5, 40}}, 0, false), 1, 0, {{0.5, 5, 5, 40}}},
      {"one point closed", Make({{5, 5, 40}}, 0, true), 2, 0, {{0.7, 5, 5, 40}}},
      {"no points", Make({}, 0, true), 0, 0, {{0.5, 0, 0, 100}}},
      {"closed smooth at depth 0 has no points", Make(kCorner, 1, true, 0), 0, 0, {{0.5, 0, 0, 100}}},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.path.i_intcount, c.intcount);
    EXPECT_NEAR(c.path.i_length, c.length, 1e-9);
    for (const RAt& at : c.at) {
      const RWayPoint p = c.path.GetPosition(at.t);
      EXPECT_NEAR(p.x, at.x, 1e-9) << at.t;
      EXPECT_NEAR(p.y, at.y, 1e-9) << at.t;
      EXPECT_NEAR(p.speed, at.speed, 1e-9) << at.t;
    }
  }
  // A closed smooth path passes near the midpoints and has more points the finer it is.
  CPath fine = Make(kCorner, 1, true, 8), coarse = Make(kCorner, 1, true, 2);
  EXPECT_GT(fine.i_intcount, coarse.i_intcount);
  EXPECT_EQ(fine.i_intpoints.front().x, fine.i_intpoints.back().x);
  CPath p;
  p.SetPrecision(12);
  EXPECT_EQ(p.i_precision, 8);
  p.SetKind(5);
  EXPECT_EQ(p.i_kind, 0);
}

TEST(PathShape, EditsRecomputeTheShape) {
  struct RCase {
    const char* name;
    void (*edit)(CPath&);
    Points points;
    double length;
  };
  const double diag = std::sqrt(5000.0);
  const RCase cases[] = {
      {"insert in the middle", [](CPath& p) { p.InsertPoint(1, 50, 50, 100); }, {{0, 0}, {50, 50}, {100, 0}}, 2 * diag},
      {"insert at the end", [](CPath& p) { p.InsertPoint(2, 100, 100, 100); }, {{0, 0}, {100, 0}, {100, 100}}, 200},
      {"insert outside", [](CPath& p) { p.InsertPoint(3, 1, 1, 1), p.InsertPoint(-1, 1, 1, 1); }, {{0, 0}, {100, 0}}, 100},
      {"change", [](CPath& p) { p.ChangePoint(1, 0, 30, 50); }, {{0, 0}, {0, 30, 50}}, 30},
      {"change outside", [](CPath& p) { p.ChangePoint(2, 0, 30, 50); }, {{0, 0}, {100, 0}}, 100},
      {"delete", [](CPath& p) { p.DeletePoint(0); }, {{100, 0}}, 0},
      {"delete outside", [](CPath& p) { p.DeletePoint(-1); }, {{0, 0}, {100, 0}}, 100},
      {"add", [](CPath& p) { p.AddPoint(100, 40, 10); }, {{0, 0}, {100, 0}, {100, 40, 10}}, 140},
      {"reverse", [](CPath& p) { p.Reverse(); }, {{100, 0}, {0, 0}}, 100},
      {"mirror", [](CPath& p) { p.AddPoint(100, 100, 100), p.Mirror(); }, {{100, 0}, {0, 0}, {0, 100}}, 200},
      {"flip", [](CPath& p) { p.AddPoint(100, 100, 100), p.Flip(); }, {{0, 100}, {100, 100}, {100, 0}}, 200},
      // About the centre (50, 0): the point right of it goes above it.
      {"rotate", [](CPath& p) { p.Rotate(90); }, {{50, 50}, {50, -50}}, 100},
      {"scale", [](CPath& p) { p.Scale(2, 3); }, {{-50, 0}, {150, 0}}, 200},
      {"shift", [](CPath& p) { p.Shift(10, 20); }, {{10, 20}, {110, 20}}, 100},
      {"append itself", [](CPath& p) { p.Append(p); }, {{0, 0}, {100, 0}, {0, 0}, {100, 0}}, 300},
      {"append nothing", [](CPath& p) { p.Append(CPath()); }, {{0, 0}, {100, 0}}, 100},
      {"clear", [](CPath& p) { p.Clear(); }, {}, 0},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    CPath p = Make({{0, 0}, {100, 0}}, 0, false);
    c.edit(p);
    ASSERT_EQ(p.i_count, int(c.points.size()));
    for (size_t i = 0; i < c.points.size(); ++i) {
      EXPECT_NEAR(p.Point(int(i)).x, c.points[i].x, 1e-9) << i;
      EXPECT_NEAR(p.Point(int(i)).y, c.points[i].y, 1e-9) << i;
      EXPECT_EQ(p.Point(int(i)).speed, c.points[i].speed) << i;
    }
    EXPECT_NEAR(p.i_length, c.length, 1e-9);
    EXPECT_EQ(p.i_intcount, p.i_count);
  }
  const RWayPoint outside = Make({{3, 4}}, 0, false).Point(1);
  EXPECT_EQ(outside, (RWayPoint{0, 0, 1}));
}

// ---------------------------------------------------------------------------------------------
// The path functions of scripts

class PathFunctions_ : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    StartWorld();
  }
  std::string Eval(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    CInstance self;
    RValue r;
    EXPECT_TRUE(ExecuteCode(&self, &self, code, r)) << text;
    return DisplayString(r);
  }
};

TEST_F(PathFunctions_, ReadAddChangeAndDelete) {
  EXPECT_EQ(Eval("p = path_add(); path_add_point(p, 0, 0, 100); path_add_point(p, 30, 40, 50); return p"), "0");
  EXPECT_EQ(Eval("return path_get_name(0)"), "__newpath0");
  EXPECT_EQ(Eval("return path_get_length(0)"), "100");  // closed by default: there and back
  EXPECT_EQ(Eval("path_set_closed(0, 0); return path_get_length(0)"), "50");
  EXPECT_EQ(Eval("return string(path_get_x(0, 0.5)) + ' ' + string(path_get_speed(0, 0.5))"), "15 75");
  EXPECT_EQ(Eval("return string(path_get_point_y(0, 1)) + ' ' + string(path_get_point_speed(0, 7))"), "40 1");
  EXPECT_EQ(Eval("path_insert_point(0, 1, 30, 0, 100); return path_get_length(0)"), "70");
  EXPECT_EQ(Eval("path_delete_point(0, 1); path_change_point(0, 1, 0, 10, 100); return path_get_length(0)"), "10");
  EXPECT_EQ(Eval("path_set_kind(0, 1); path_set_precision(0, 20); return string(path_get_kind(0)) + ' ' + "
                 "string(path_get_precision(0)) + ' ' + string(path_get_closed(0)) + ' ' + string(path_get_number(0))"),
            "1 8 0 2");
  EXPECT_EQ(Eval("d = path_duplicate(0); path_shift(d, 5, 5); return string(d) + ' ' + path_name(d) + ' ' + "
                 "string(path_get_point_x(d, 0))"),
            "1 __newpath1 5");
  EXPECT_EQ(Eval("path_append(1, 0); return path_get_number(1)"), "4");
  EXPECT_EQ(Eval("path_assign(0, 1); return path_get_number(0)"), "4");
  EXPECT_EQ(Eval("path_clear_points(0); return string(path_get_number(0)) + ' ' + string(path_get_length(0))"), "0 0");
  EXPECT_EQ(Eval("path_delete(1); return string(path_exists(1)) + ' ' + string(path_exists(0))"), "0 1");
  EXPECT_EQ(out_, "");
  // Missing paths: getters give -1, changes do nothing, four functions say so.
  EXPECT_EQ(Eval("return string(path_get_length(1)) + ' ' + string(path_get_point_x(9, 0)) + ' ' + path_get_name(9)"),
            "-1 -1 <undefined>");
  Eval("path_add_point(1, 0, 0, 100); path_reverse(9); path_rotate(-1, 90)");
  EXPECT_EQ(Eval("return path_duplicate(1)"), "-1");
  Eval("path_assign(0, 1); path_append(1, 0); path_append(0, 1); path_delete(1)");
  EXPECT_EQ(out_,
            "E[Trying to duplicate non-existing path.];E[Error assigning a path.];E[Appending to non-existing path.];"
            "E[Appending a non-existing path.];E[Trying to delete non-existing path.];");
}

// ---------------------------------------------------------------------------------------------
// Following

class PathFollowing_ : public ::testing::Test {
 protected:
  void SetUp() override { GameResources().Clear(); }
  void TearDown() override { GameResources().Clear(); }
  static int Add(Points points, int kind = 0, bool closed = false) {
    auto p = std::make_unique<CPath>(Make(std::move(points), kind, closed));
    return Paths().Add(std::move(p), "p");
  }
};

TEST_F(PathFollowing_, PositionsSpeedsAndEndActions) {
  const Points line{{0, 0, 100}, {128, 0, 100}};
  const Points slow{{0, 0, 50}, {128, 0, 50}};
  const Points square{{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 100}};
  struct RCase {
    const char* name;
    Points points;
    bool closed;
    double x0, y0;  // where the instance stands
    bool relative;
    int endact;
    double orient, scale, speed;
    int steps;
    double x, y, position, pathspeed;
    int index;                  // the path index after the steps (0 still following, -1 stopped)
    std::vector<int> endSteps;  // the steps that reached an end
  };
  // Speeds are chosen so that positions add up exactly in binary.
  const RCase cases[] = {
      {"stop at the far end", line, false, 7, 7, false, 0, 0, 1, 16, 8, 128, 0, 1, 16, -1, {8}},
      {"128 pixels at speed 4: the end in step 32", line, false, 0, 0, false, 0, 0, 1, 4, 32, 128, 0, 1, 4, -1, {32}},
      {"scale 2: half the position, the same pixels", line, false, 0, 0, false, 0, 0, 2, 4, 1, 4, 0, 0.015625, 4, 0, {}},
      {"scale 2 at its end", line, false, 0, 0, false, 0, 0, 2, 4, 64, 256, 0, 1, 4, -1, {64}},
      {"speed factor 50 halves the speed", slow, false, 0, 0, false, 0, 0, 1, 16, 1, 8, 0, 0.0625, 16, 0, {}},
      {"restart jumps back to the start", line, false, 0, 0, false, 1, 0, 1, 48, 3, 16, 0, 0.125, 48, 0, {3}},
      {"continue moves the path along", line, false, 0, 0, false, 2, 0, 1, 48, 3, 144, 0, 0.125, 48, 0, {3}},
      {"reverse at the far end", line, false, 0, 0, false, 3, 0, 1, 48, 3, 112, 0, 0.875, -48, 0, {3}},
      {"reverse at both ends", line, false, 0, 0, false, 3, 0, 1, 48, 6, 32, 0, 0.25, 48, 0, {3, 6}},
      {"unknown end actions stop", line, false, 0, 0, false, 9, 0, 1, 64, 3, 128, 0, 1, 64, -1, {2}},
      {"relative: the path starts at the instance", line, false, 50, 50, true, 0, 0, 1, 16, 1, 66, 50, 0.125, 16, 0, {}},
      {"orientation 90 turns it upwards", line, false, 50, 50, true, 0, 90, 1, 16, 1, 50, 34, 0.125, 16, 0, {}},
      {"closed square", square, true, 0, 0, false, 0, 0, 1, 50, 3, 100, 50, 0.375, 50, 0, {}},
      // Backwards: following begins at the end, without a jump, and a stop keeps the start end.
      {"absolute backwards", line, false, 7, 7, false, 0, 0, 1, -16, 1, 112, 0, 0.875, -16, 0, {}},
      {"absolute backwards to the start", line, false, 7, 7, false, 0, 0, 1, -16, 8, 0, 0, 0, -16, -1, {8}},
      {"relative backwards", line, false, 300, 0, true, 0, 0, 1, -16, 1, 284, 0, 0.875, -16, 0, {}},
  };

  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    GameResources().Clear();
    const int ind = Add(c.points, 0, c.closed);
    CInstance inst;
    inst.SetPosition(c.x0, c.y0);
    Assign_Path(inst, ind, c.relative, c.endact, c.orient, c.scale, c.speed);
    ASSERT_EQ(inst.i_pathindex, ind);
    std::vector<int> ends;
    for (int k = 1; k <= c.steps; ++k)
      if (Adapt_Path(inst)) ends.push_back(k);
    EXPECT_NEAR(inst.i_x, c.x, 1e-9);
    EXPECT_NEAR(inst.i_y, c.y, 1e-9);
    EXPECT_NEAR(inst.i_pathposition, c.position, 1e-9);
    EXPECT_EQ(inst.i_pathspeed, c.pathspeed);
    EXPECT_EQ(inst.i_pathindex, c.index == 0 ? ind : -1);
    EXPECT_EQ(ends, c.endSteps);
    // The speed reads 0 and the direction is the direction of travel.
    EXPECT_EQ(inst.i_speed, 0);
  }
}

TEST_F(PathFollowing_, StartingFailsCleanlyAndDegeneratePathsAreNotFollowed) {
  const int line = Add({{0, 0, 100}, {100, 0, 100}});
  const int point = Add({{5, 5, 100}});
  const int flat = Add({{5, 5, 100}, {5, 5, 100}});
  CInstance inst;
  inst.SetPosition(40, 40);
  for (int ind : {point, flat, 99}) {
    Assign_Path(inst, ind, false, 0, 0, 1, 4);
    EXPECT_EQ(inst.i_pathindex, -1) << ind;
  }
  Assign_Path(inst, line, false, 0, 0, -1, 4);  // negative scale
  EXPECT_EQ(inst.i_pathindex, -1);
  Assign_Path(inst, -5, false, 0, 0, 1, 4);
  EXPECT_EQ(inst.i_pathindex, -5);
  EXPECT_FALSE(Adapt_Path(inst));
  // A path of one point, or scaled to nothing, or a speed of 0: no step, nothing changes.
  for (int ind : {point, flat}) {
    inst.i_pathindex = ind;
    inst.i_pathspeed = 4;
    EXPECT_FALSE(Adapt_Path(inst)) << ind;
  }
  Assign_Path(inst, line, true, 0, 0, 1, 4);
  inst.i_pathscale = 0;
  EXPECT_FALSE(Adapt_Path(inst));
  inst.i_pathscale = 1;
  inst.i_pathspeed = 0;
  EXPECT_FALSE(Adapt_Path(inst));
  EXPECT_EQ(inst.i_x, 40);
  EXPECT_EQ(inst.i_y, 40);
  EXPECT_EQ(inst.i_pathposition, 0);
  // path_start in absolute mode moves the instance to the path's first point at once.
  Assign_Path(inst, line, false, 0, 0, 1, 4);
  EXPECT_EQ(inst.i_x, 0);
  EXPECT_EQ(inst.i_y, 0);
  Adapt_Path(inst);
  EXPECT_EQ(inst.i_direction, 0);
  inst.i_pathspeed = -4;
  Adapt_Path(inst);
  EXPECT_EQ(inst.i_direction, 180);
}

// ---------------------------------------------------------------------------------------------
// In a running game

class PathSteps_ : public test::StepFixture {};

TEST_F(PathSteps_, TheEndOfPathEventComesInTheExactStep) {
  const int path = Path("pth", {{0, 0, 100}, {128, 0, 100}});
  const int o = Object("obj");
  On(o, kEventCreate, 0, "global.n = 0; path_start(pth, 4, 0, true)");
  On(o, kEventStep, 1,
     "global.n += 1; if global.n == 2 show_debug_message(string(path_positionprevious) + ' ' + string(path_position))");
  On(o, kEventOther, kEventEndOfPath,
     "show_debug_message('end ' + string(global.n) + ' ' + string(x) + ' ' + string(path_index) + ' ' + "
     "string(path_position) + ' ' + string(speed))");
  On(o, kEventStep, 2, "if global.n == 1 show_debug_message(string(x) + ' ' + string(hspeed) + ' ' + string(direction))");
  Room({o});
  ASSERT_EQ(path, 0);
  EXPECT_EQ(Play(40), "4 0 0;0.03 0.03;end 32 128 -1 1 0;");
}

}  // namespace
}  // namespace kestro
