#include "world/MotionPlanning.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "script/Numeric.h"
#include "world/MotionCollision.h"

namespace kestro {

namespace {

constexpr double kRad = std::numbers::pi / 180;

// A pixel coordinate of a grid: rounded, and kept far inside the 64-bit range so that sums with
// grid sizes cannot overflow.
int64_t Coord(double v) {
  constexpr int64_t kFar = int64_t(1) << 40;
  return std::clamp<int64_t>(RoundToInt64(v), -kFar, kFar);
}

double Normalize(double a) { return a - 360 * std::floor(a / 360); }

// The instance's place and motion, put back after planning.
struct RSavedMotion {
  explicit RSavedMotion(const CInstance& inst)
      : x(inst.i_x), y(inst.i_y), direction(inst.i_direction), speed(inst.i_speed), hspeed(inst.i_hspeed),
        vspeed(inst.i_vspeed) {}
  void Restore(CInstance& inst) const {
    inst.SetPosition(x, y);
    inst.i_direction = direction;
    inst.i_speed = speed;
    inst.i_hspeed = hspeed;
    inst.i_vspeed = vspeed;
  }
  double x, y, direction, speed, hspeed, vspeed;
};

// Moves self to (x, y) facing the way it went.
void MoveTo(CInstance& self, double x, double y, double direction) {
  self.SetDirection(direction);
  self.SetPosition(x, y);
}

// The points of a plan and the length of the straight open path through them.
class CPlan {
 public:
  bool Add(double x, double y) {
    if (points_.size() >= size_t(kMaxPlanPoints)) return false;
    if (!points_.empty()) length_ += std::hypot(x - points_.back().x, y - points_.back().y);
    points_.push_back({x, y, 100});
    return true;
  }
  double Length() const { return length_; }
  // The path becomes straight and open with these points.
  void WriteTo(CPath& path) {
    path.Clear();
    path.i_kind = 0;
    path.i_closed = false;
    path.SetPoints(std::move(points_));
  }

 private:
  std::vector<RWayPoint> points_;
  double length_ = 0;
};

}  // namespace

RPotentialSettings& PotentialSettings() {
  static RPotentialSettings settings;
  return settings;
}

double DirectionTo(double x, double y, double gx, double gy) {
  const double dx = gx - x, dy = gy - y;
  if (dx == 0) return dy > 0 ? 270 : dy < 0 ? 90 : 0;
  const double d = std::atan2(dy, dx) / kRad;
  return d > 0 ? 360 - d : -d;
}

bool LinearStep(CInstance& self, CInstance* other, double gx, double gy, double stepsize, int32_t target,
                bool checkall) {
  if (self.i_x == gx && self.i_y == gy) return true;
  const double dist = std::hypot(gx - self.i_x, gy - self.i_y);
  double tx = gx, ty = gy;
  bool reached = true;
  if (dist > stepsize) {
    tx = self.i_x + (gx - self.i_x) * stepsize / dist;
    ty = self.i_y + (gy - self.i_y) * stepsize / dist;
    reached = false;
  }
  if (MotionPlaceFree(self, other, tx, ty, target, checkall)) MoveTo(self, tx, ty, DirectionTo(self.i_x, self.i_y, tx, ty));
  return reached;
}

bool PotentialStep(CInstance& self, CInstance* other, double gx, double gy, double stepsize, int32_t target,
                   bool checkall) {
  if (self.i_x == gx && self.i_y == gy) return true;
  const double dist = std::hypot(gx - self.i_x, gy - self.i_y);
  if (dist <= stepsize) {
    if (MotionPlaceFree(self, other, gx, gy, target, checkall)) MoveTo(self, gx, gy, DirectionTo(self.i_x, self.i_y, gx, gy));
    return true;
  }
  const RPotentialSettings& s = PotentialSettings();
  const double c = DirectionTo(self.i_x, self.i_y, gx, gy);
  const double current = Normalize(self.i_direction);
  auto tryDirection = [&](double a) {
    double turn = std::fabs(Normalize(a) - current);
    if (turn > 180) turn = 360 - turn;
    if (turn > s.maxRotation) return false;
    const double cs = std::cos(a * kRad), sn = std::sin(a * kRad);
    if (!MotionPlaceFree(self, other, self.i_x + cs * stepsize * s.ahead, self.i_y - sn * stepsize * s.ahead, target,
                         checkall))
      return false;
    const double nx = self.i_x + cs * stepsize, ny = self.i_y - sn * stepsize;
    if (!MotionPlaceFree(self, other, nx, ny, target, checkall)) return false;
    MoveTo(self, nx, ny, a);
    return true;
  };
  for (double d = 0; d < 180; d += s.rotationStep)
    if (tryDirection(c - d) || tryDirection(c + d)) return false;
  if (s.onSpot) self.SetDirection(self.i_direction + s.maxRotation);
  return false;
}

bool LinearPath(CInstance& self, CInstance* other, CPath& path, double gx, double gy, double stepsize,
                int32_t target, bool checkall) {
  if (!(stepsize > 0)) return false;
  const RSavedMotion saved(self);
  CPlan plan;
  bool found = false;
  while (plan.Add(self.i_x, self.i_y)) {
    const double x = self.i_x, y = self.i_y;
    if (LinearStep(self, other, gx, gy, stepsize, target, checkall)) {
      found = true;
      break;
    }
    if (self.i_x == x && self.i_y == y) break;
  }
  if (found) found = plan.Add(gx, gy);
  plan.WriteTo(path);
  saved.Restore(self);
  return found;
}

bool PotentialPath(CInstance& self, CInstance* other, CPath& path, double gx, double gy, double stepsize,
                   double factor, int32_t target, bool checkall) {
  if (!(factor >= 1) || !(stepsize > 0)) return false;
  const double straight = std::hypot(gx - self.i_x, gy - self.i_y);
  const RSavedMotion saved(self);
  // An instance that cannot move turns on the spot (or not at all): after a full turn without
  // moving, no later step can move it either.
  const int stillLimit = int(std::ceil(360 / PotentialSettings().maxRotation)) + 1;
  int still = 0;
  CPlan plan;
  bool found = false;
  bool room = plan.Add(self.i_x, self.i_y);
  while (room) {
    const double x = self.i_x, y = self.i_y;
    if (PotentialStep(self, other, gx, gy, stepsize, target, checkall)) {
      found = true;
      break;
    }
    room = plan.Add(self.i_x, self.i_y);
    if (plan.Length() > factor * straight) break;
    still = self.i_x == x && self.i_y == y ? still + 1 : 0;
    if (still > stillLimit) break;
  }
  if (found) found = plan.Add(gx, gy);
  plan.WriteTo(path);
  saved.Restore(self);
  return found;
}

// ---------------------------------------------------------------------------------------------

bool CGrid::SizesFit(int64_t left, int64_t top, int64_t hcells, int64_t vcells, int64_t cellw, int64_t cellh) {
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max(), kIntMin = std::numeric_limits<int32_t>::min();
  for (int64_t v : {left, top, hcells, vcells, cellw, cellh})
    if (v < kIntMin || v > kIntMax) return false;
  if (hcells < 0 || vcells < 0 || cellw < 1 || cellh < 1) return false;
  if (hcells > kMaxGridCells || vcells > kMaxGridCells || hcells * vcells > kMaxGridCells) return false;
  const int64_t right = left + hcells * cellw, bottom = top + vcells * cellh;
  return right <= kIntMax && bottom <= kIntMax;
}

void CGrid::Create(int left, int top, int hcells, int vcells, int cellw, int cellh) {
  i_left = left;
  i_top = top;
  i_hcells = hcells;
  i_vcells = vcells;
  i_cellw = cellw;
  i_cellh = cellh;
  i_cells.assign(size_t(hcells) * size_t(vcells), kCellFree);
}

void CGrid::ClearAll() { std::fill(i_cells.begin(), i_cells.end(), kCellFree); }

void CGrid::SetRectangle(double x1, double y1, double x2, double y2, int value) {
  const int64_t ax = Coord(x1), bx = Coord(x2), ay = Coord(y1), by = Coord(y2);
  // Integer division truncates towards zero.
  const int64_t h1 = std::max<int64_t>((std::min(ax, bx) - i_left) / i_cellw, 0);
  const int64_t h2 = std::min<int64_t>((std::max(ax, bx) - i_left) / i_cellw, i_hcells - 1);
  const int64_t v1 = std::max<int64_t>((std::min(ay, by) - i_top) / i_cellh, 0);
  const int64_t v2 = std::min<int64_t>((std::max(ay, by) - i_top) / i_cellh, i_vcells - 1);
  for (int64_t h = h1; h <= h2; ++h)
    for (int64_t v = v1; v <= v2; ++v) SetCell(int(h), int(v), value);
}

void CGrid::AddInstance(const CInstance& inst, bool prec) {
  const RRect& b = inst.i_bbox;
  const int64_t h1 = std::max<int64_t>((int64_t(b.Left) - i_left) / i_cellw, 0);
  const int64_t h2 = std::min<int64_t>((int64_t(b.Right) - i_left) / i_cellw, i_hcells - 1);
  const int64_t v1 = std::max<int64_t>((int64_t(b.Top) - i_top) / i_cellh, 0);
  const int64_t v2 = std::min<int64_t>((int64_t(b.Bottom) - i_top) / i_cellh, i_vcells - 1);
  for (int64_t h = h1; h <= h2; ++h)
    for (int64_t v = v1; v <= v2; ++v) {
      if (!prec) {
        SetCell(int(h), int(v), kCellForbidden);
        continue;
      }
      if (Cell(int(h), int(v)) == kCellForbidden) continue;
      const double x = double(h) * i_cellw + i_left, y = double(v) * i_cellh + i_top;
      if (MotionCollisionRectangle(inst, true, x, y, x + i_cellw - 1, y + i_cellh - 1))
        SetCell(int(h), int(v), kCellForbidden);
    }
}

bool CGrid::FindPath(CPath& path, double xstart, double ystart, double xgoal, double ygoal, bool allowdiag) {
  const int64_t xs = Coord(xstart), ys = Coord(ystart);
  const int64_t xg = Coord(xgoal), yg = Coord(ygoal);
  const int64_t right = int64_t(i_left) + int64_t(i_hcells) * i_cellw;
  const int64_t bottom = int64_t(i_top) + int64_t(i_vcells) * i_cellh;
  auto inArea = [&](int64_t x, int64_t y) { return i_left <= x && x < right && i_top <= y && y < bottom; };
  if (!inArea(xs, ys) || !inArea(xg, yg)) return false;
  const int hs = int((xs - i_left) / i_cellw), vs = int((ys - i_top) / i_cellh);
  const int hg = int((xg - i_left) / i_cellw), vg = int((yg - i_top) / i_cellh);
  if (Cell(hs, vs) == kCellForbidden || Cell(hg, vg) == kCellForbidden) return false;

  auto open = [&](int h, int v) { return Inside(h, v) && Cell(h, v) == kCellFree; };
  std::vector<int> queue;  // flat indexes (v + h * vcells); every cell enters it at most once
  queue.reserve(std::min<size_t>(i_cells.size(), 4096));
  auto reach = [&](int h, int v, int value) {
    SetCell(h, v, value);
    queue.push_back(v + h * i_vcells);
  };
  reach(hs, vs, 1);
  bool found = false;
  for (size_t head = 0; head < queue.size(); ++head) {
    const int h = queue[head] / i_vcells, v = queue[head] % i_vcells;
    if (h == hg && v == vg) {
      found = true;
      break;
    }
    const int next = Cell(h, v) + 1;
    // Openness is judged for all neighbours before any of them is reached.
    const bool l = open(h - 1, v), rt = open(h + 1, v), u = open(h, v - 1), d = open(h, v + 1);
    const bool dl = open(h - 1, v + 1), ul = open(h - 1, v - 1), dr = open(h + 1, v + 1), ur = open(h + 1, v - 1);
    if (l) reach(h - 1, v, next);
    if (rt) reach(h + 1, v, next);
    if (u) reach(h, v - 1, next);
    if (d) reach(h, v + 1, next);
    if (!allowdiag) continue;
    if (dl && d && l) reach(h - 1, v + 1, next);
    if (ul && u && l) reach(h - 1, v - 1, next);
    if (dr && d && rt) reach(h + 1, v + 1, next);
    if (ur && u && rt) reach(h + 1, v - 1, next);
  }

  if (found) {
    std::vector<RWayPoint> points{{xgoal, ygoal, 100}};
    auto blocked = [&](int h, int v) { return !Inside(h, v) || Cell(h, v) == kCellForbidden; };
    // Walking back to ever smaller values; a diagonal step never passes the corner of a forbidden
    // cell.
    int h = hg, v = vg;
    while (h != hs || v != vs) {
      const int want = Cell(h, v) - 1;
      struct RStep {
        int dh, dv;
      };
      static constexpr RStep kSteps[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
      bool moved = false;
      for (int k = 0; k < (allowdiag ? 8 : 4) && !moved; ++k) {
        const int nh = h + kSteps[k].dh, nv = v + kSteps[k].dv;
        if (!Inside(nh, nv) || Cell(nh, nv) != want) continue;
        if (k >= 4 && (blocked(nh, v) || blocked(h, nv))) continue;
        h = nh;
        v = nv;
        moved = true;
      }
      if (!moved) break;  // cannot happen: the cell was reached from a neighbour one less
      if (h != hs || v != vs)
        points.push_back({double(h) * i_cellw + i_left + i_cellw / 2, double(v) * i_cellh + i_top + i_cellh / 2, 100});
    }
    points.push_back({xstart, ystart, 100});
    std::reverse(points.begin(), points.end());
    path.Clear();
    path.i_kind = 0;
    path.i_closed = false;
    path.SetPoints(std::move(points));
  }
  for (int& c : i_cells)
    if (c > 0) c = kCellFree;
  return found;
}

namespace {
std::vector<std::unique_ptr<CGrid>>& Grids() {
  static std::vector<std::unique_ptr<CGrid>> grids;
  return grids;
}
}  // namespace

int GridCreate(int left, int top, int hcells, int vcells, int cellw, int cellh) {
  std::vector<std::unique_ptr<CGrid>>& grids = Grids();
  auto grid = std::make_unique<CGrid>();
  grid->Create(left, top, hcells, vcells, cellw, cellh);
  for (size_t i = 0; i < grids.size(); ++i)
    if (!grids[i]) {
      grids[i] = std::move(grid);
      return int(i);
    }
  grids.push_back(std::move(grid));
  return int(grids.size()) - 1;
}

void GridDestroy(int id) {
  if (Grid(id)) Grids()[size_t(id)].reset();
}

CGrid* Grid(int id) {
  std::vector<std::unique_ptr<CGrid>>& grids = Grids();
  return id >= 0 && size_t(id) < grids.size() ? grids[size_t(id)].get() : nullptr;
}

void ClearGrids() { Grids().clear(); }

std::string GridSizeMessage(int64_t hcells, int64_t vcells, int64_t cellw, int64_t cellh) {
  return "Cannot create a motion grid of " + std::to_string(hcells) + " x " + std::to_string(vcells) +
         " cells of " + std::to_string(cellw) + " x " + std::to_string(cellh) + " pixels.";
}

}  // namespace kestro
