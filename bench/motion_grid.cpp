// The grid search of motion planning on a 200 x 200 grid with 30 % of the cells forbidden, corner
// to corner with diagonal moves, beside the same breadth-first search over a flat table in Lua 5.4
// (time per search on both sides and their ratio); and one step of 1,000 instances following a
// smooth closed path.
#include <benchmark/benchmark.h>

#include "LuaSeconds.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>

#include "resources/GameResources.h"
#include "world/MotionPlanning.h"
#include "world/PathFollowing.h"

namespace kestro {
namespace {

constexpr int kSide = 200;
constexpr int kSearches = 20;

// The same generator on both sides, so both search the same grid: a cell is forbidden when the
// next number mod 100 is below 30; cells in column order, each column's rows in turn.
int64_t Next(int64_t& s) { return s = (s * 1103515245 + 12345) % 2147483648; }

CGrid MakeGrid(int64_t seed) {
  CGrid g;
  g.Create(0, 0, kSide, kSide, 16, 16);
  for (int h = 0; h < kSide; ++h)
    for (int v = 0; v < kSide; ++v)
      if (Next(seed) % 100 < 30) g.SetCell(h, v, kCellForbidden);
  g.SetCell(0, 0, kCellFree);
  g.SetCell(kSide - 1, kSide - 1, kCellFree);
  return g;
}

std::string LuaProgram(int64_t seed) {
  return "local W = " + std::to_string(kSide) + " local H = W local s = " + std::to_string(seed) +
         " local cells = {} "
         "for i = 0, W * H - 1 do s = (s * 1103515245 + 12345) % 2147483648 "
         "cells[i] = (s % 100 < 30) and -1 or 0 end cells[0] = 0 cells[W * H - 1] = 0 "
         "local GOAL = W * H - 1 "
         "local function open(h, v) return h >= 0 and h < W and v >= 0 and v < H and cells[v + h * H] == 0 end "
         "local function search() "
         "  local q = {0} local head, tail = 1, 2 cells[0] = 1 local found = false "
         "  while head < tail do "
         "    local c = q[head] head = head + 1 "
         "    if c == GOAL then found = true break end "
         "    local h, v = c // H, c % H local n = cells[c] + 1 "
         "    local l, r, u, d = open(h - 1, v), open(h + 1, v), open(h, v - 1), open(h, v + 1) "
         "    local dl, ul, dr, ur = open(h - 1, v + 1), open(h - 1, v - 1), open(h + 1, v + 1), open(h + 1, v - 1) "
         "    if l then cells[c - H] = n q[tail] = c - H tail = tail + 1 end "
         "    if r then cells[c + H] = n q[tail] = c + H tail = tail + 1 end "
         "    if u then cells[c - 1] = n q[tail] = c - 1 tail = tail + 1 end "
         "    if d then cells[c + 1] = n q[tail] = c + 1 tail = tail + 1 end "
         "    if dl and d and l then cells[c - H + 1] = n q[tail] = c - H + 1 tail = tail + 1 end "
         "    if ul and u and l then cells[c - H - 1] = n q[tail] = c - H - 1 tail = tail + 1 end "
         "    if dr and d and r then cells[c + H + 1] = n q[tail] = c + H + 1 tail = tail + 1 end "
         "    if ur and u and r then cells[c + H - 1] = n q[tail] = c + H - 1 tail = tail + 1 end "
         "  end "
         "  local points = {} "
         "  if found then "
         "    local c = GOAL points[1] = {3195, 3195} "
         "    while c ~= 0 do "
         "      local h, v = c // H, c % H local want = cells[c] - 1 "
         "      for _, st in ipairs({{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, 1}, {1, 1}, {-1, -1}, {1, -1}}) do "
         "        local nh, nv = h + st[1], v + st[2] "
         "        if nh >= 0 and nh < W and nv >= 0 and nv < H and cells[nv + nh * H] == want then "
         "          c = nv + nh * H break end "
         "      end "
         "      points[#points + 1] = {(c // H) * 16 + 8, (c % H) * 16 + 8} "
         "    end "
         "  end "
         "  for i = 0, W * H - 1 do if cells[i] > 0 then cells[i] = 0 end end "
         "  return found "
         "end "
         "local t0 = os.clock() for k = 1, " +
         std::to_string(kSearches) + " do search() end print((os.clock() - t0) / " + std::to_string(kSearches) + ")";
}

void GridSearch(benchmark::State& state) {
  // The first seed whose grid has a way from corner to corner.
  int64_t seed = 1;
  CGrid grid = MakeGrid(seed);
  CPath path;
  while (!grid.FindPath(path, 8, 8, 3195, 3195, true)) grid = MakeGrid(++seed);
  double ours = 1e9, lua = 1e9;
  for (auto _ : state) {
    for (int run = 0; run < 3; ++run) {
      const std::clock_t t0 = std::clock();
      for (int k = 0; k < kSearches; ++k) benchmark::DoNotOptimize(grid.FindPath(path, 8, 8, 3195, 3195, true));
      ours = std::min(ours, double(std::clock() - t0) / CLOCKS_PER_SEC / kSearches);
      const double l = bench::LuaSeconds(LuaProgram(seed));
      if (l > 0) lua = std::min(lua, l);
    }
    state.SetIterationTime(ours);
  }
  state.counters["ours_us_per_search"] = ours * 1e6;
  state.counters["lua_us_per_search"] = lua < 1e9 ? lua * 1e6 : -1;
  state.counters["ratio"] = lua < 1e9 ? ours / lua : -1;
  state.counters["path_points"] = path.i_count;
}

void FollowPaths(benchmark::State& state) {
  GameResources().Clear();
  auto p = std::make_unique<CPath>();
  p->i_kind = 1;
  for (int k = 0; k < 10; ++k) p->AddPoint(100 + 80 * (k % 3), 100 + 40 * k, 100 - 5 * k);
  Paths().Add(std::move(p), "pth");
  std::vector<CInstance> instances(1000);
  for (size_t k = 0; k < instances.size(); ++k) {
    instances[k].SetPosition(double(k % 640), double(k / 640));
    Assign_Path(instances[k], 0, k % 2 == 0, 1, double(k % 360), 1 + double(k % 3), 2 + double(k % 5));
  }
  // One iteration is one step of all of them.
  for (auto _ : state)
    for (CInstance& inst : instances) benchmark::DoNotOptimize(Adapt_Path(inst));
  GameResources().Clear();
}

BENCHMARK(GridSearch)->Name("Motion/grid_path_200x200")->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(FollowPaths)->Name("Motion/follow_paths_1000_instances")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestro
