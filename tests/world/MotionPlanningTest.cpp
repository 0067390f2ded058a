// Motion planning: grid searches around walls (with and without diagonal moves, no way, blocked
// ends), the grid functions with refused sizes, and the straight and potential-field steps and
// paths against solid instances.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "script/Code.h"
#include "script/Executor.h"
#include "support/WorldFixture.h"
#include "world/MotionPlanning.h"

namespace kestro {
namespace {

using Cells = std::vector<std::pair<int, int>>;  // (column, row)

struct RPoint {
  double x, y;
  bool operator==(const RPoint&) const = default;
};
std::vector<RPoint> PointsOf(const CPath& p) {
  std::vector<RPoint> out;
  for (const RWayPoint& w : p.i_points) out.push_back({w.x, w.y});
  return out;
}
std::string Text(const std::vector<RPoint>& points) {
  std::string s;
  for (const RPoint& p : points) s += "(" + DisplayString(RValue::Real(p.x)) + "," + DisplayString(RValue::Real(p.y)) + ")";
  return s;
}

// Cells of 10 x 10 pixels from (0, 0); a cell's centre is (10 h + 5, 10 v + 5).
CGrid MakeGrid(int w, int h, const Cells& blocked) {
  CGrid g;
  g.Create(0, 0, w, h, 10, 10);
  for (auto [c, r] : blocked) g.SetCell(c, r, kCellForbidden);
  return g;
}
RPoint Centre(int h, int v) { return {10.0 * h + 5, 10.0 * v + 5}; }

TEST(MotionGrid, PathsAroundWalls) {
  // . . . . .
  // # # # . #
  // . . . . .
  // . # # # #
  // . . . . .
  const Cells maze{{0, 1}, {1, 1}, {2, 1}, {4, 1}, {1, 3}, {2, 3}, {3, 3}, {4, 3}};
  const std::vector<RPoint> mazeWay{{3, 4},       Centre(1, 0), Centre(2, 0), Centre(3, 0), Centre(3, 1), Centre(3, 2),
                                    Centre(2, 2), Centre(1, 2), Centre(0, 2), Centre(0, 3), {6, 47}};
  // The way back from the goal may not leave it diagonally past the forbidden corner (5, 5).
  const Cells corner{{1, 0}, {1, 2}, {2, 0}, {2, 1}, {3, 4}, {4, 1}, {5, 5}};
  std::vector<RPoint> diagonal{{5, 5}};
  for (int k = 1; k <= 8; ++k) diagonal.push_back(Centre(k, k));
  diagonal.push_back({95, 95});
  // Walking back prefers going left, then up: the way runs down first, then right.
  std::vector<RPoint> straight{{5, 5}};
  for (int k = 1; k <= 9; ++k) straight.push_back(Centre(0, k));
  for (int k = 1; k <= 8; ++k) straight.push_back(Centre(k, 9));
  straight.push_back({95, 95});
  struct RCase {
    const char* name;
    int w, h;
    Cells blocked;
    RPoint start, goal;
    bool diag, found;
    std::vector<RPoint> way;  // the path after the search ({(-1, -1)}: left as it was)
  };
  const std::vector<RPoint> untouched{{-1, -1}};
  const RCase cases[] = {
      {"maze", 5, 5, maze, {3, 4}, {6, 47}, false, true, mazeWay},
      {"maze with diagonals: no corner is cut", 5, 5, maze, {3, 4}, {6, 47}, true, true, mazeWay},
      {"free grid, orthogonal moves only", 10, 10, {}, {5, 5}, {95, 95}, false, true, straight},
      {"free grid, diagonal moves", 10, 10, {}, {5, 5}, {95, 95}, true, true, diagonal},
      {"no diagonal past a forbidden corner", 3, 3, {{1, 0}}, {5, 5}, {15, 15}, true, true, {{5, 5}, Centre(0, 1), {15, 15}}},
      {"walking back keeps clear of corners", 6, 6, corner, {5, 5}, {55, 45}, true, true,
       {{5, 5}, Centre(0, 1), Centre(0, 2), Centre(0, 3), Centre(1, 3), Centre(2, 3), Centre(3, 3), Centre(4, 3), {55, 45}}},
      {"start and goal in one cell", 3, 3, {}, {1, 2}, {8, 9}, true, true, {{1, 2}, {8, 9}}},
      {"no way through a wall", 5, 5, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}}, {5, 5}, {5, 45}, true, false, untouched},
      {"start blocked", 5, 5, {{0, 0}}, {5, 5}, {45, 45}, true, false, untouched},
      {"goal blocked", 5, 5, {{4, 4}}, {5, 5}, {45, 45}, true, false, untouched},
      {"start outside", 5, 5, {}, {-1, 5}, {45, 45}, true, false, untouched},
      {"goal outside", 5, 5, {}, {5, 5}, {50, 45}, true, false, untouched},
  };
  for (const RCase& c : cases) {
    SCOPED_TRACE(c.name);
    CGrid g = MakeGrid(c.w, c.h, c.blocked);
    CPath path;
    path.AddPoint(-1, -1, 100);
    EXPECT_EQ(g.FindPath(path, c.start.x, c.start.y, c.goal.x, c.goal.y, c.diag), c.found);
    EXPECT_EQ(Text(PointsOf(path)), Text(c.way));
    if (c.found) {
      EXPECT_EQ(path.i_kind, 0);
      EXPECT_FALSE(path.i_closed);
    }
    // Only the forbidden cells stay marked.
    for (int h = 0; h < c.w; ++h)
      for (int v = 0; v < c.h; ++v) EXPECT_EQ(g.Cell(h, v), MakeGrid(c.w, c.h, c.blocked).Cell(h, v));
  }
}

TEST(MotionGrid, RandomGridsGiveStepsBetweenNeighboursThatCutNoCorner) {
  std::mt19937 rng(7);
  int found = 0;
  for (int round = 0; round < 300; ++round) {
    const int w = 12, h = 12;
    CGrid g = MakeGrid(w, h, {});
    for (int k = 0; k < 40; ++k) g.SetCell(int(rng() % w), int(rng() % h), kCellForbidden);
    g.SetCell(0, 0, kCellFree);
    const int gh = int(rng() % w), gv = int(rng() % h);
    const bool diag = round % 2 == 0;
    CPath path;
    if (!g.FindPath(path, 5, 5, gh * 10 + 5, gv * 10 + 5, diag)) continue;
    ++found;
    std::vector<RPoint> way = PointsOf(path);
    ASSERT_GE(way.size(), 2u);
    for (size_t i = 1; i < way.size(); ++i) {
      const int h0 = int(way[i - 1].x) / 10, v0 = int(way[i - 1].y) / 10, h1 = int(way[i].x) / 10, v1 = int(way[i].y) / 10;
      const int dh = h1 - h0, dv = v1 - v0;
      ASSERT_LE(std::abs(dh) + std::abs(dv), diag ? 2 : 1) << round << " " << i;
      ASSERT_TRUE(std::abs(dh) <= 1 && std::abs(dv) <= 1) << round;
      ASSERT_NE(g.Cell(h1, v1), kCellForbidden);
      if (dh != 0 && dv != 0) {
        ASSERT_NE(g.Cell(h0 + dh, v0), kCellForbidden) << round << " " << i;
        ASSERT_NE(g.Cell(h0, v0 + dv), kCellForbidden) << round << " " << i;
      }
    }
    for (int c : g.i_cells) ASSERT_LE(c, 0);
  }
  EXPECT_GT(found, 100);
}

TEST(MotionGrid, RectanglesAndInstances) {
  CGrid g = MakeGrid(5, 5, {});
  g.SetRectangle(25, 25, 12, 12, kCellForbidden);  // corners in any order
  g.SetRectangle(-50, -50, -5, -5, kCellForbidden);  // truncating towards zero: column and row 0
  g.SetRectangle(1000, 1000, 2000, 2000, kCellForbidden);  // outside: nothing
  std::string cells;
  for (int v = 0; v < 5; ++v, cells += '/')
    for (int h = 0; h < 5; ++h) cells += g.Cell(h, v) == kCellForbidden ? '#' : '.';
  EXPECT_EQ(cells, "#..../.##../.##../...../...../");
  g.SetRectangle(0, 0, 49, 49, kCellFree);
  CInstance inst;
  inst.i_bbox = {31, 8, 44, 11};
  g.AddInstance(inst, false);
  inst.i_bbox = {kNoBox, kNoBox, kNoBox, kNoBox};  // no shape: no cell
  g.AddInstance(inst, false);
  cells.clear();
  for (int v = 0; v < 5; ++v, cells += '/')
    for (int h = 0; h < 5; ++h) cells += g.Cell(h, v) == kCellForbidden ? '#' : '.';
  EXPECT_EQ(cells, "...##/...##/...../...../...../");
}

// ---------------------------------------------------------------------------------------------
// Scripts, instances and steps

class Motion_ : public test::WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    ClearGrids();
    PotentialSettings() = RPotentialSettings();
    auto spr = std::make_unique<CSprite>();
    spr->i_bitmap.push_back(TBitmap32(16, 16, 0xFF000000u));
    spr->i_numb = 1;
    spr->ComputeMask({false, kBoxAutomatic, {}, kMaskPrecise, 0});
    Sprites().Add(std::move(spr), "spr_block");
    for (const char* name : {"obj_mover", "obj_wall", "obj_soft"}) {
      auto o = std::make_unique<CObject>();
      o->o_spriteindex = 0;
      o->o_solid = std::string(name) == "obj_wall";
      Objects().Add(std::move(o), name);
    }
    Paths().Add(std::make_unique<CPath>(), "pth");
    StartWorld();
  }
  void TearDown() override {
    ClearGrids();
    PotentialSettings() = RPotentialSettings();
    WorldFixture::TearDown();
  }
  CInstance* Add(int obj, double x, double y) { return World().Room().AddInstance(obj, x, y, World().lastInstanceId); }
  std::string Eval(CInstance* self, const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << code.CompileError();
    RValue r;
    EXPECT_TRUE(ExecuteCode(self, self, code, r)) << text;
    return DisplayString(r);
  }
  static constexpr int kMover = 0, kWall = 1, kSoft = 2;
};

TEST_F(Motion_, GridFunctionsAndRefusedSizes) {
  CInstance* self = Add(kMover, 0, 0);
  EXPECT_EQ(Eval(self, "return mp_grid_create(0, 0, 10, 10, 16, 16)"), "0");
  EXPECT_EQ(Eval(self, "return mp_grid_create(0, 0, 0, 0, 16, 16)"), "1");
  EXPECT_EQ(Eval(self, "mp_grid_destroy(0); return mp_grid_create(0, 0, 10, 10, 16, 16)"), "0");
  EXPECT_EQ(out_, "");
  const char* refused[] = {
      "mp_grid_create(0, 0, -1, 10, 16, 16)",       "mp_grid_create(0, 0, 10, -5, 16, 16)",
      "mp_grid_create(0, 0, 100000, 100000, 1, 1)", "mp_grid_create(0, 0, 10, 10, 0, 16)",
      "mp_grid_create(0, 0, 10, 10, 16, -2)",       "mp_grid_create(0, 0, 1000000000000, 1, 1, 1)",
      "mp_grid_create(2147483000, 0, 1000, 1, 16, 16)",
  };
  for (const char* call : refused) {
    out_.clear();
    EXPECT_EQ(Eval(self, std::string("return ") + call), "-1") << call;
    EXPECT_EQ(out_.rfind("E[Cannot create a motion grid of ", 0), 0u) << out_;
  }
  out_.clear();
  EXPECT_EQ(Eval(self, "mp_grid_create(0, 0, -1, 10, 16, 16)"), "0");
  EXPECT_EQ(out_, "E[Cannot create a motion grid of -1 x 10 cells of 16 x 16 pixels.];");
  // Walls as cells and as instances; the grid path runs around them into the path resource.
  out_.clear();
  Add(kWall, 48, 0);
  Add(kWall, 48, 16);
  Add(kWall, 48, 32);
  EXPECT_EQ(Eval(self, "mp_grid_add_instances(0, obj_wall, true); mp_grid_add_cell(0, 1, 3); "
                       "return mp_grid_path(0, pth, 8, 8, 120, 8, false)"),
            "1");
  EXPECT_EQ(Eval(self, "return string(path_get_number(pth)) + ' ' + string(path_get_point_y(pth, 4))"), "14 40");
  EXPECT_EQ(Eval(self, "mp_grid_clear_rectangle(0, 0, 0, 200, 200); return mp_grid_path(0, pth, 8, 8, 120, 8, 0)"),
            "1");
  EXPECT_EQ(Eval(self, "return path_get_number(pth)"), "8");
  // Missing grids do nothing; a missing path is an error.
  EXPECT_EQ(Eval(self, "mp_grid_add_cell(5, 0, 0); mp_grid_clear_all(-1); mp_grid_destroy(7); "
                       "return mp_grid_path(9, pth, 8, 8, 120, 8, 0)"),
            "0");
  EXPECT_EQ(out_, "");
  EXPECT_EQ(Eval(self, "return mp_grid_path(0, 12, 8, 8, 120, 8, 0)"), "0");
  EXPECT_EQ(out_, "E[Trying to assign to a non-existing path.];");
}

TEST_F(Motion_, LinearStepsStopAtObstacles) {
  CInstance* self = Add(kMover, 0, 0);
  EXPECT_EQ(Eval(self, "return mp_linear_step(3, 0, 4, false)"), "1");
  EXPECT_EQ(self->i_x, 3);
  EXPECT_EQ(Eval(self, "return mp_linear_step(3, 10, 4, false)"), "0");
  EXPECT_EQ(self->i_y, 4);
  EXPECT_EQ(self->i_direction, 270);
  self->SetPosition(0, 0);
  Add(kWall, 40, 0);
  CInstance* soft = Add(kSoft, 60, 0);
  for (int k = 0; k < 20; ++k) Eval(self, "mp_linear_step(100, 0, 4, false)");
  EXPECT_EQ(self->i_x, 24);  // the next step would overlap the wall at 40
  // Avoiding all instances stops it as well; avoiding only the soft one lets it pass the wall.
  self->SetPosition(20, 20);
  soft->SetPosition(60, 20);
  for (int k = 0; k < 20; ++k) Eval(self, "mp_linear_step(100, 20, 4, true)");
  EXPECT_EQ(self->i_x, 44);
  for (int k = 0; k < 20; ++k) Eval(self, "mp_linear_step_object(20, 20, 4, obj_wall)");
  EXPECT_EQ(self->i_x, 20);
  // A goal within one step counts as reached even when it is blocked.
  self->SetPosition(20, 0);
  EXPECT_EQ(Eval(self, "return mp_linear_step(26, 0, 8, false)"), "1");
  EXPECT_EQ(self->i_x, 20);
}

TEST_F(Motion_, PotentialStepsTurnAroundAWall) {
  CInstance* self = Add(kMover, 0, 100);
  for (int y = 40; y <= 150; y += 16) Add(kWall, 60, y);
  double before = self->i_direction;
  bool reached = false;
  for (int k = 0; k < 400 && !reached; ++k) {
    reached = Eval(self, "return mp_potential_step(200, 100, 4, false)") == "1";
    double turn = std::fabs(self->i_direction - before);
    if (turn > 180) turn = 360 - turn;
    ASSERT_LE(turn, 30 + 1e-9) << k;
    before = self->i_direction;
  }
  EXPECT_TRUE(reached);
  EXPECT_EQ(self->i_x, 200);
  EXPECT_EQ(self->i_y, 100);
}

TEST_F(Motion_, PlannedPathsLeaveTheInstanceWhereItWas) {
  CInstance* self = Add(kMover, 0, 100);
  self->SetHspeed(3);
  for (int y = 40; y <= 150; y += 16) Add(kWall, 60, y);
  EXPECT_EQ(Eval(self, "return mp_linear_path(pth, 40, 100, 4, false)"), "1");
  EXPECT_EQ(Eval(self, "return string(path_get_number(pth)) + ' ' + string(path_get_length(pth))"), "11 40");
  EXPECT_EQ(Eval(self, "return mp_linear_path(pth, 200, 100, 4, false)"), "0");  // stops before the wall
  EXPECT_EQ(Eval(self, "return mp_potential_path(pth, 200, 100, 4, 4, false)"), "1");
  EXPECT_EQ(Eval(self, "return string(path_get_point_x(pth, path_get_number(pth) - 1)) + ' ' + "
                       "string(path_get_closed(pth))"),
            "200 0");
  EXPECT_EQ(Eval(self, "return mp_potential_path(pth, 200, 100, 4, 1, false)"), "0");  // too long a detour
  EXPECT_EQ(self->i_x, 0);
  EXPECT_EQ(self->i_y, 100);
  EXPECT_EQ(self->i_hspeed, 3);
  EXPECT_EQ(self->i_direction, 0);
  // Walled in (inside a wall instance): no step is possible; both searches end.
  CInstance* stuck = Add(kMover, 300, 300);
  Add(kWall, 300, 300);
  EXPECT_EQ(Eval(stuck, "return mp_linear_path(pth, 400, 300, 4, false)"), "0");
  EXPECT_EQ(Eval(stuck, "return path_get_number(pth)"), "1");
  EXPECT_EQ(Eval(stuck, "return mp_potential_path(pth, 400, 300, 4, 10, false)"), "0");
  EXPECT_LE(std::stoi(Eval(stuck, "return path_get_number(pth)")), 15);
  // Bad arguments and missing paths.
  EXPECT_EQ(Eval(self, "return mp_linear_path(pth, 40, 100, 0, false) + mp_potential_path(pth, 40, 100, 4, 0.5, 0)"),
            "0");
  EXPECT_EQ(out_, "");
  EXPECT_EQ(Eval(self, "return mp_linear_path(3, 40, 100, 4, false)"), "0");
  EXPECT_EQ(out_, "E[Trying to assign to a non-existing path.];");
}

TEST_F(Motion_, PotentialSettingsAreRaisedToOne) {
  CInstance* self = Add(kMover, 0, 0);
  Eval(self, "mp_potential_settings(0, -5, 0.5, 0.4)");
  EXPECT_EQ(PotentialSettings().maxRotation, 1);
  EXPECT_EQ(PotentialSettings().rotationStep, 1);
  EXPECT_EQ(PotentialSettings().ahead, 1);
  EXPECT_FALSE(PotentialSettings().onSpot);
  Eval(self, "mp_potential_settings(45, sqrt(-1), 2, 1)");
  EXPECT_EQ(PotentialSettings().maxRotation, 45);
  EXPECT_EQ(PotentialSettings().rotationStep, 1);
  EXPECT_TRUE(PotentialSettings().onSpot);
}

}  // namespace
}  // namespace kestro
