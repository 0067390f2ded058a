#include "world/Collisions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "resources/GameResources.h"
#include "script/Designators.h"
#include "script/builtins/Random.h"
#include "world/CollisionGrid.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/InstanceCollision.h"
#include "world/PathFollowing.h"
#include "world/World.h"

namespace kestro {

namespace {

// Below this many instances to look at, walking a list costs less than asking the grid.
constexpr int kGridMinimum = 24;
constexpr double kRad = std::numbers::pi / 180;

ECollisionSearch g_search = ECollisionSearch::kGrid;

bool Pending() { return World().pendingChange != kNoChange; }

bool Overlaps(const RRect& b, const RRect& r) {
  return b.Left <= r.Right && r.Left <= b.Right && b.Top <= r.Bottom && r.Top <= b.Bottom;
}

int32_t FloorClamped(double v) {
  const double f = std::floor(v);
  if (f <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (f >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return int32_t(f);
}

// Whether an instance of object `obj`'s own list is in `ancestor`'s list of itself and its
// descendants: the walk the room makes when it builds that list, bounded the same way.
bool InListOf(int obj, int ancestor) {
  const int limit = Objects().Count();
  for (int k = 0; k <= limit && obj >= 0 && obj < limit; ++k) {
    const CObject* o = Objects().Get(obj);
    if (o == nullptr) return false;
    if (obj == ancestor) return true;
    obj = o->o_parent;
  }
  return false;
}

bool UseGrid(int count) { return g_search == ECollisionSearch::kGrid && count >= kGridMinimum; }

// What a search knows of a candidate before reading it: through the grid, the instance's
// collision record; walking a list, the instance itself (no record, slot -1).
struct RCandidate {
  CInstance* inst;
  bool solid;
  int slot;
  const CCollisionGrid::RCollider* record;
};

// Whether the designator's search goes through the grid.
bool SearchUsesGrid(int32_t designator) {
  if (designator == kDesignatorAll) return UseGrid(World().Room().ActiveCount());
  if (designator >= 0 && designator < kFirstInstanceId) return UseGrid(World().Room().Obj_Number_Recursive(designator));
  return false;
}

// Calls visit(candidate) for the instances of Candidates(), marked ones included (the visitor
// skips them: it can often tell sooner, with less of the instance read), unordered, until it
// returns true; true when one did.
// `solidOnly`: the visitor takes only solid ones (the grid then reads only their records).
template <class Visit>
bool AnyCandidate(int32_t designator, const RRect& area, Visit visit, bool solidOnly = false) {
  if (area.Left > area.Right || area.Top > area.Bottom) return false;
  CLiveRoom& room = World().Room();
  auto plain = [&](CInstance* inst) { return RCandidate{inst, inst->i_solid, -1, nullptr}; };
  if (designator == kDesignatorAll) {
    if (!UseGrid(room.ActiveCount())) {
      for (const auto& inst : room.Active())
        if (Overlaps(inst->i_bbox, area) && visit(plain(inst.get()))) return true;
      return false;
    }
    CCollisionGrid& grid = CollisionGrid();
    grid.Sync(room);
    bool found = false;
    grid.ForOverlaps(
        area, [&](const CCollisionGrid::RCollider& c) {
          if (!found && visit(RCandidate{c.inst, c.solid, c.slot, &c})) found = true;
        },
        solidOnly ? CCollisionGrid::ESubset::kSolid : CCollisionGrid::ESubset::kAll);
    return found;
  }
  if (designator >= 0 && designator < kFirstInstanceId) {
    const int n = room.Obj_Number_Recursive(designator);
    if (!UseGrid(n)) {
      for (int k = 0; k < n; ++k)
        if (CInstance* inst = room.Obj_Instance_Recursive(designator, k);
            inst && Overlaps(inst->i_bbox, area) && visit(plain(inst)))
          return true;
      return false;
    }
    CCollisionGrid& grid = CollisionGrid();
    grid.Sync(room);
    bool found = false;
    grid.ForOverlaps(
        area,
        [&](const CCollisionGrid::RCollider& c) {
          if (!found && InListOf(c.object, designator) && visit(RCandidate{c.inst, c.solid, c.slot, &c}))
            found = true;
        },
        solidOnly ? CCollisionGrid::ESubset::kSolid : CCollisionGrid::ESubset::kAll);
    return found;
  }
  if (designator >= kFirstInstanceId) {
    CInstance* inst = room.FindId(designator);
    return inst && Overlaps(inst->i_bbox, area) && visit(plain(inst));
  }
  return false;
}

// Self moved to (x, y) for the length of `test`, then back where it was; the previous position
// is not touched. `test` runs no game code and never counts self as found, so the grid need not
// follow the visit.
template <class Test>
auto AtPlace(CInstance& self, double x, double y, Test test) {
  const double ox = self.i_x, oy = self.i_y;
  CCollisionGrid& grid = CollisionGrid();
  // Brought up to date first: a grid built during the visit would take self's visiting box.
  if (g_search == ECollisionSearch::kGrid) grid.Sync(World().Room());
  struct Held {
    CCollisionGrid& grid;
    explicit Held(CCollisionGrid& g) : grid(g) { grid.Hold(); }
    ~Held() { grid.Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
  } held(grid);
  self.SetPosition(x, y);
  auto result = test();
  self.SetPosition(ox, oy);
  return result;
}

// The one-pixel step in direction `dir`; parts within 1e-10 of a whole number are made whole, so
// moving along an axis does not drift off it (cos 270 degrees is not exactly 0).
void StepOf(double dir, double& dx, double& dy) {
  auto whole = [](double v) {
    const double n = std::nearbyint(v);
    return std::fabs(v - n) < 1e-10 ? n : v;
  };
  dx = whole(std::cos(dir * kRad));
  dy = whole(-std::sin(dir * kRad));
}

void PutBack(CInstance& inst) {
  inst.SetPosition(inst.i_xprevious, inst.i_yprevious);
  inst.SetPathPosition(inst.i_pathpositionprevious);
}

// One meeting of the collision phase: the solid rule around the two collision events.
void Meet(CInstance& i, CInstance& j) {
  PrefetchVariables(j);  // for j's event, after i's
  if (i.i_solid || j.i_solid) {
    PutBack(i);
    PutBack(j);
  }
  PerformEvent(&i, &j, i.i_objectindex, kEventCollision, j.i_objectindex);
  if (!j.i_marked) PerformEvent(&j, &i, j.i_objectindex, kEventCollision, i.i_objectindex);
  if (i.i_solid || j.i_solid) {
    // Along their paths again, then by their speed (an end reached here has no event of its own).
    Adapt_Path(i);
    Adapt_Path(j);
    i.SetPosition(i.i_x + i.i_hspeed, i.i_y + i.i_vspeed);
    j.SetPosition(j.i_x + j.i_hspeed, j.i_y + j.i_vspeed);
    if (Collision_Instance(i, j, true)) {
      PutBack(i);
      PutBack(j);
    }
  }
}

// Instance I of object a against the instances of object b from position j of b's list on:
// every one it meets, in list order. False when a change became pending.
bool MeetAllNaive(CLiveRoom& room, CInstance& I, int b, int j) {
  for (; j < room.Obj_Number(b); ++j) {
    if (I.i_marked) return true;
    CInstance* J = room.Obj_Instance(b, j);
    if (J && Collision_Instance(I, *J, true)) {
      Meet(I, *J);
      if (Pending()) return false;
    }
  }
  return true;
}

// The same through the grid: the instances of b from position j on whose boxes overlap I's, in
// slot order (which is b's list order), gathered again whenever a box, the instances or the lists
// changed, so every instance the walk above would meet is met in the same order. Each is tested
// from its record; its instance is read when they meet. `found` holds slots and records.
bool MeetAllGrid(CLiveRoom& room, CInstance& I, int b, int j, std::vector<std::pair<int, int>>& found) {
  CCollisionGrid& grid = CollisionGrid();
  uint64_t seen = 0;
  bool fresh = false;
  size_t cursor = 0;
  RCollisionShape shape = ShapeOf(I);  // taken again after every meeting (events may change I)
  while (j < room.Obj_Number(b)) {
    if (I.i_marked) return true;
    grid.Sync(room);
    if (!fresh || grid.Changes() != seen) {
      // The slot of b's instance at j, found without reading that instance.
      CInstance* from = room.Obj_Instance(b, j);
      int threshold = grid.OwnSlot(b, j);
      if (threshold >= 0 && grid.At(threshold) != from) threshold = -1;
      if (threshold < 0) {
        // Not in the grid (cannot happen once synced): this one the plain way.
        if (from && Collision_Instance(I, *from, true)) {
          Meet(I, *from);
          if (Pending()) return false;
          shape = ShapeOf(I);
        }
        ++j;
        fresh = false;
        continue;
      }
      found.clear();
      grid.ForOverlaps(
          I.i_bbox,
          [&](const CCollisionGrid::RCollider& c) {
            if (c.slot >= threshold && c.object == b) {
              found.emplace_back(c.slot, grid.EntryIndex(c));
              // Most boxes that overlap meet: their instances are asked for now, all at once,
              // rather than one by one as each meeting reads its own.
              PrefetchInstance(c.inst);
            }
          },
          grid.SubsetOf(b));
      std::sort(found.begin(), found.end());
      seen = grid.Changes();
      fresh = true;
      cursor = 0;
    }
    if (cursor == found.size()) return true;
    const CCollisionGrid::RCollider& c = grid.Entry(found[cursor++].second);
    CInstance* J = c.inst;
    j = c.ownPos + 1;
    if (Collision_Shapes(shape, c.Shape(), true)) {
      Meet(I, *J);
      if (Pending()) return false;
      shape = ShapeOf(I);
    }
  }
  return true;
}

bool HasShape(const CInstance& inst) {
  return Sprites().Exists(inst.i_maskindex >= 0 ? inst.i_maskindex : inst.i_spriteindex) ||
         Sprites().Exists(inst.i_spriteindex);
}

// The instance does not touch the rectangle (inclusive); without a shape, its position is not in it.
bool OutsideOf(const CInstance& inst, double left, double top, double right, double bottom) {
  if (!HasShape(inst)) return inst.i_x < left || inst.i_x > right || inst.i_y < top || inst.i_y > bottom;
  const RRect& b = inst.i_bbox;
  return b.Right < left || b.Left > right || b.Bottom < top || b.Top > bottom;
}

// The instance is not wholly inside the rectangle; without a shape, its position is not in it.
bool CrossesEdgeOf(const CInstance& inst, double left, double top, double right, double bottom) {
  if (!HasShape(inst)) return inst.i_x < left || inst.i_x > right || inst.i_y < top || inst.i_y > bottom;
  const RRect& b = inst.i_bbox;
  return b.Left < left || b.Right > right || b.Top < top || b.Bottom > bottom;
}

}  // namespace

void SetCollisionSearch(ECollisionSearch search) { g_search = search; }
ECollisionSearch CollisionSearch() { return g_search; }

RRect AreaOf(double x1, double y1, double x2, double y2) {
  if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return {1, 1, 0, 0};
  return {FloorClamped(std::min(x1, x2)), FloorClamped(std::min(y1, y2)), FloorClamped(std::max(x1, x2)),
          FloorClamped(std::max(y1, y2))};
}

void Candidates(int32_t designator, const RRect& area, std::vector<CInstance*>& out, bool ordered) {
  out.clear();
  if (!ordered || !SearchUsesGrid(designator)) {
    AnyCandidate(designator, area, [&](const RCandidate& c) {
      if (!c.inst->i_marked) out.push_back(c.inst);
      return false;
    });
    return;
  }
  // Through the grid: ordered by the records' slots before any instance is read.
  std::vector<int> slots;
  AnyCandidate(designator, area, [&](const RCandidate& c) {
    slots.push_back(c.slot);
    return false;
  });
  CCollisionGrid& grid = CollisionGrid();
  if (designator == kDesignatorAll && slots.size() > 1)
    std::sort(slots.begin(), slots.end(), [&](int p, int q) { return grid.ActiveRank(p) < grid.ActiveRank(q); });
  else
    std::sort(slots.begin(), slots.end());
  for (const int s : slots)
    if (CInstance* inst = grid.At(s); !inst->i_marked) out.push_back(inst);
}

bool PlaceFree(CInstance& self, double x, double y, bool solidOnly) {
  return AtPlace(self, x, y, [&] {
    // Self, then the solid flag (of the record, through the grid), before the instance is read.
    const RCollisionShape shape = ShapeOf(self);
    return !AnyCandidate(
        kDesignatorAll, self.i_bbox,
        [&](const RCandidate& c) {
          return c.inst != &self && (!solidOnly || c.solid) &&
                 Collision_Shapes(c.record ? c.record->Shape() : ShapeOf(*c.inst), shape, true);
        },
        solidOnly);
  });
}

CInstance* InstancePlace(CInstance& self, double x, double y, int32_t designator) {
  return AtPlace(self, x, y, [&]() -> CInstance* {
    std::vector<CInstance*> found;
    Candidates(designator, self.i_bbox, found);
    for (CInstance* inst : found)
      if (Collision_Instance(*inst, self, true)) return inst;
    return nullptr;
  });
}

void MoveContact(CInstance& self, double dir, double maxdist, bool solidOnly) {
  double dx, dy;
  StepOf(dir, dx, dy);
  if (!PlaceFree(self, self.i_x, self.i_y, solidOnly)) return;
  const int64_t n = maxdist > 0 ? RoundToInt64(maxdist) : 1000;
  for (int64_t k = 0; k < n; ++k) {
    if (!PlaceFree(self, self.i_x + dx, self.i_y + dy, solidOnly)) return;
    self.SetPosition(self.i_x + dx, self.i_y + dy);
  }
}

void MoveOutside(CInstance& self, double dir, double maxdist, bool solidOnly) {
  double dx, dy;
  StepOf(dir, dx, dy);
  const int64_t n = maxdist > 0 ? RoundToInt64(maxdist) : 1000;
  for (int64_t k = 0; k < n && !PlaceFree(self, self.i_x, self.i_y, solidOnly); ++k)
    self.SetPosition(self.i_x + dx, self.i_y + dy);
}

void MoveBounce(CInstance& self, bool advanced, bool solidOnly) {
  bool hit = false;
  if (!PlaceFree(self, self.i_x, self.i_y, solidOnly)) {
    self.SetPosition(self.i_xprevious, self.i_yprevious);
    hit = true;
  }
  if (advanced) {
    const double d0 = 10 * std::nearbyint(self.i_direction / 10);
    const double speed = self.i_speed;
    auto freeTowards = [&](double angle) {
      return PlaceFree(self, self.i_x + std::cos(angle * kRad) * speed, self.i_y - std::sin(angle * kRad) * speed,
                       solidOnly);
    };
    double a = d0, b = d0;
    for (int k = 0; k < 35; ++k) {
      a -= 10;
      if (freeTowards(a)) break;
      hit = true;
    }
    for (int k = 0; k < 35; ++k) {
      b += 10;
      if (freeTowards(b)) break;
      hit = true;
    }
    if (hit) self.SetDirection(a + b + 180 - d0);
    return;
  }
  const bool h = !PlaceFree(self, self.i_x + self.i_hspeed, self.i_y, solidOnly);
  const bool v = !PlaceFree(self, self.i_x, self.i_y + self.i_vspeed, solidOnly);
  const bool d = !PlaceFree(self, self.i_x + self.i_hspeed, self.i_y + self.i_vspeed, solidOnly);
  if ((h && v) || (!h && !v && d)) {
    self.SetHspeed(-self.i_hspeed);
    self.SetVspeed(-self.i_vspeed);
  } else if (h) {
    self.SetHspeed(-self.i_hspeed);
  } else if (v) {
    self.SetVspeed(-self.i_vspeed);
  }
}

void MoveRandom(CInstance& self, double hsnap, double vsnap) {
  const CLiveRoom& room = World().Room();
  int64_t xmin = 0, xmax = room.r_width, ymin = 0, ymax = room.r_height;
  if (HasShape(self)) {
    const RRect& b = self.i_bbox;
    xmin = RoundToInt64(self.i_x - b.Left);
    xmax = RoundToInt64(self.i_x + room.r_width - b.Right);
    ymin = RoundToInt64(self.i_y - b.Top);
    ymax = RoundToInt64(self.i_y + room.r_height - b.Bottom);
  }
  const int64_t hs = RoundToInt64(hsnap), vs = RoundToInt64(vsnap);
  for (int k = 0; k < 100; ++k) {
    double nx = double(xmin + int64_t(RandomBelow(uint64_t(std::max<int64_t>(0, xmax - xmin)))));
    double ny = double(ymin + int64_t(RandomBelow(uint64_t(std::max<int64_t>(0, ymax - ymin)))));
    if (hs > 0) nx = double(hs) * std::floor(nx / double(hs));
    if (vs > 0) ny = double(vs) * std::floor(ny / double(vs));
    if (PlaceFree(self, nx, ny, true)) {
      self.SetPosition(nx, ny);
      return;
    }
  }
}

void MoveWrap(CInstance& self, bool hor, bool vert, double margin) {
  const CLiveRoom& room = World().Room();
  double x = self.i_x, y = self.i_y;
  if (hor) {
    if (x < -margin) x += room.r_width + 2 * margin;
    if (x > room.r_width + margin) x -= room.r_width + 2 * margin;
  }
  if (vert) {
    if (y < -margin) y += room.r_height + 2 * margin;
    if (y > room.r_height + margin) y -= room.r_height + 2 * margin;
  }
  self.SetPosition(x, y);
}

double DistanceToPoint(const CInstance& self, double x, double y) {
  const RRect& b = self.i_bbox;
  const double dx = x > b.Right ? x - b.Right : x < b.Left ? x - b.Left : 0;
  const double dy = y > b.Bottom ? y - b.Bottom : y < b.Top ? y - b.Top : 0;
  return std::sqrt(dx * dx + dy * dy);
}

double DistanceToObject(CInstance& self, CInstance* other, int32_t designator) {
  std::vector<CInstance*> found;
  if (designator == kDesignatorOther) {
    if (other && !other->i_marked && !other->i_deactivated) found.push_back(other);
  } else if (designator == kDesignatorAll || designator >= 0) {
    const RRect everywhere{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
                           std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};
    AnyCandidate(designator, everywhere, [&](const RCandidate& c) {
      found.push_back(c.inst);
      return designator >= kFirstInstanceId;
    });
  }
  double best = 1000000;
  const RRect& a = self.i_bbox;
  for (const CInstance* inst : found) {
    if (inst == &self || inst->i_marked) continue;
    const RRect& b = inst->i_bbox;
    const double dx = b.Left > a.Right ? double(b.Left) - a.Right : b.Right < a.Left ? double(b.Right) - a.Left : 0;
    const double dy = b.Top > a.Bottom ? double(b.Top) - a.Bottom : b.Bottom < a.Top ? double(b.Bottom) - a.Top : 0;
    best = std::min(best, std::sqrt(dx * dx + dy * dy));
  }
  return best;
}

void PerformBoundaryEvents() {
  CLiveRoom& room = World().Room();
  const double w = room.r_width, h = room.r_height;
  DispatchEventIf(kEventOther, 0, [&](const CInstance& i) { return OutsideOf(i, 0, 0, w, h); });
  DispatchEventIf(kEventOther, 1, [&](const CInstance& i) { return CrossesEdgeOf(i, 0, 0, w, h); });
  for (int edge = 0; edge < 2; ++edge)
    for (int k = 0; k < kRoomViews; ++k) {
      if (Pending()) return;
      const CView& v = room.r_view[size_t(k)];
      if (!room.r_enableviews || !v.visible) continue;
      const double left = v.xview, top = v.yview, right = double(v.xview) + v.wview, bottom = double(v.yview) + v.hview;
      DispatchEventIf(kEventOther, (edge == 0 ? 40 : 50) + k, [&](const CInstance& i) {
        return edge == 0 ? OutsideOf(i, left, top, right, bottom) : CrossesEdgeOf(i, left, top, right, bottom);
      });
    }
}

void PerformCollisionEvents() {
  CLiveRoom& room = World().Room();
  CCollisionGrid& grid = CollisionGrid();
  std::vector<std::pair<int, int>> found;
  for (const RCollisionPair& pair : EventLists().CollisionPairs()) {
    const bool useGrid = UseGrid(room.Obj_Number(pair.b));
    if (useGrid) grid.Sync(room);
    for (int i = 0; i < room.Obj_Number(pair.a); ++i) {
      if (Pending()) return;
      if (useGrid)
        grid.LookAhead(room, i, [&](int k) { return room.Obj_Instance(pair.a, k); });
      CInstance* I = room.Obj_Instance(pair.a, i);
      if (!I || I->i_marked) continue;
      const int from = pair.a == pair.b ? i : 0;
      const bool done = useGrid ? MeetAllGrid(room, *I, pair.b, from, found) : MeetAllNaive(room, *I, pair.b, from);
      if (!done) return;
    }
  }
}

}  // namespace kestro
