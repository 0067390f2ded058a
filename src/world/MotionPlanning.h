// Motion planning: moving an instance towards a goal one step at a time (straight, stopping at
// obstacles, or by a potential field that turns around them), whole paths planned with those
// steps, and grids of cells searched breadth first for a path around forbidden cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resources/Path.h"
#include "world/Instance.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// Steps and planned paths. `target` is the designator to avoid: all (-3) with `checkall` choosing
// between solid instances and all instances, or -1, -2, an object or an id (MotionPlaceFree).

struct RPotentialSettings {
  double maxRotation = 30;  // degrees the direction may turn in one step
  double rotationStep = 10;  // degrees between the directions tried
  double ahead = 3;          // how many steps ahead must be free
  bool onSpot = true;        // turn when no direction is possible
};
// Game-wide; mp_potential_settings raises the first three to at least 1.
RPotentialSettings& PotentialSettings();

// The direction from (x, y) to (gx, gy) in degrees (0 right, 90 up).
double DirectionTo(double x, double y, double gx, double gy);

// True when the goal is reached (also when it is within one step but blocked).
bool LinearStep(CInstance& self, CInstance* other, double gx, double gy, double stepsize, int32_t target,
                bool checkall);
bool PotentialStep(CInstance& self, CInstance* other, double gx, double gy, double stepsize, int32_t target,
                   bool checkall);

// A plan never holds more points than this: a step far smaller than the distance fails instead of
// running without end.
inline constexpr int kMaxPlanPoints = 100000;

// The steps repeated from the instance's place into `path` (made straight and open); the instance
// keeps its position and motion. True when the goal was reached.
bool LinearPath(CInstance& self, CInstance* other, CPath& path, double gx, double gy, double stepsize,
                int32_t target, bool checkall);
// The same with potential steps; fails once the path is longer than `factor` times the straight
// distance, or when the instance has turned a full circle on the spot without moving.
bool PotentialPath(CInstance& self, CInstance* other, CPath& path, double gx, double gy, double stepsize,
                   double factor, int32_t target, bool checkall);

// ---------------------------------------------------------------------------------------------
// Grids.

inline constexpr int kCellFree = 0;
inline constexpr int kCellForbidden = -1;
// A grid has at most this many cells; larger (or negative) sizes are refused, never allocated.
inline constexpr int64_t kMaxGridCells = int64_t(1) << 24;

class CGrid {
 public:
  int i_left = 0, i_top = 0;
  int i_cellw = 1, i_cellh = 1;
  int i_hcells = 0, i_vcells = 0;
  // Cell (h, v) at index v + h * i_vcells: 0 free, -1 forbidden; positive values only during a
  // search (distance from the start + 1).
  std::vector<int> i_cells;

  // Whether the sizes make a grid: counts 0 or more with at most kMaxGridCells cells, cells at
  // least one pixel, and the grid's right and bottom edges within the integers.
  static bool SizesFit(int64_t left, int64_t top, int64_t hcells, int64_t vcells, int64_t cellw, int64_t cellh);
  // All cells free. The sizes must fit.
  void Create(int left, int top, int hcells, int vcells, int cellw, int cellh);

  bool Inside(int h, int v) const { return h >= 0 && h < i_hcells && v >= 0 && v < i_vcells; }
  int Cell(int h, int v) const { return i_cells[size_t(v) + size_t(h) * size_t(i_vcells)]; }
  void SetCell(int h, int v, int value) {
    if (Inside(h, v)) i_cells[size_t(v) + size_t(h) * size_t(i_vcells)] = value;
  }
  void ClearAll();
  // Every cell touched by the room rectangle (corners in any order) becomes `value`.
  void SetRectangle(double x1, double y1, double x2, double y2, int value);
  // Forbids the cells the instance's box covers; with `prec` only those whose rectangle meets its
  // shape.
  void AddInstance(const CInstance& inst, bool prec);
  // Breadth-first search from the start to the goal; on success `path` (straight, open) runs from
  // the start through the centres of the cells passed to the goal. Start or goal outside the
  // grid or in a forbidden cell: false, the path untouched.
  bool FindPath(CPath& path, double xstart, double ystart, double xgoal, double ygoal, bool allowdiag);
};

// The grid table: ids are slots; a new grid takes the lowest empty slot.
int GridCreate(int left, int top, int hcells, int vcells, int cellw, int cellh);
void GridDestroy(int id);
CGrid* Grid(int id);  // null when no grid has that id
// Every grid destroyed (the game ends).
void ClearGrids();

// The message of a refused grid size.
std::string GridSizeMessage(int64_t hcells, int64_t vcells, int64_t cellw, int64_t cellh);

}  // namespace kestro
