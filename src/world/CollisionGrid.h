// The collision grid: a spatial index over the bounding boxes of the current room's active
// instances, so that collision searches look only at instances near the place they test and their
// cost grows with the number of instances, not its square.
//
// Entries ("slots") follow the room's ListOrder(): slot order is the order of every per-object
// list, so the first match of a per-object list is the smallest slot. The grid is hierarchical:
// a box lives in exactly one cell, the cell of its top left corner on the level whose cells are
// at least as large as the box; a query widens its range by one cell on every level, so every box
// that overlaps it is found, once. Instances without a box (the no-mask sentinel box) sit in a
// list of their own, and positions outside the region the grid was built for fall into its edge
// cells: both only cost time, never a result.
//
// Each entry is the instance's collision record: its box, solid flag, object, mark and its part of
// a precise test beside the links of its cell, so a search filters and tests candidates without
// reading the instances, which it touches only for the instances that meet. Records are laid out
// by cell when the grid is built, so a query walks memory that lies together.
//
// Records follow their instances: CInstance reports every change through Changed, which only
// notes the record, and the next Sync (every query makes one) copies what changed, all records
// noted since in one pass that asks memory ahead; instances created since are appended there too; when the room
// rebuilds its lists (instances freed, activation changed) or another room is current, the next Sync builds the grid
// again. Once many boxes have changed cells, it lays the records out by cell again from the
// records themselves (instances record their slot, which stays, not where their record lies).
#pragma once

#include <cstdint>
#include <vector>

#include "world/InstanceCollision.h"
#include "world/LiveRoom.h"

namespace kestro {

class CCollisionGrid {
 public:
  // What a search reads of an instance before it needs the instance itself: its object and solid
  // flag, its part of a collision test, and its place in the grid. One cache line.
  struct alignas(64) RCollider {
    RRect box;
    CInstance* inst = nullptr;
    int maskSprite = -1;
    int32_t xi = 0, yi = 0;
    int slot = -1;             // the instance's place in list order
    int object = -1;           // the object whose own list holds it, -1 for none
    int ownPos = -1;           // its position in that list
    int next = -1, prev = -1;  // the grid's own: the links of its cell's list
    int cell = -1;             // the grid's own: cell index on `level`, or one of the lists
    int8_t level = 0;
    bool solid = false, plain = true, marked = false;

    RCollisionShape Shape() const { return {box, inst, maskSprite, xi, yi, plain, marked}; }
  };
  static_assert(sizeof(RCollider) == 64);

  // Brings the grid up to `room`: built again when the room or its lists changed, the instances
  // created since appended. Every query of a room calls it first.
  void Sync(CLiveRoom& room);
  // The instance's box, solid flag, shape or mark may have changed: its record follows at the next
  // Sync. Nothing when it is not in the current grid.
  void Changed(CInstance& inst);
  // While held, box changes are not followed: for a test that moves an instance and puts it back
  // exactly where it was before anything else looks at the grid (the instance's old entry stays
  // meanwhile, and the test skips that instance itself).
  void Hold() { ++held_; }
  void Release() { --held_; }
  // Forgets everything (tests, a new game).
  void Reset();

  // For walks that query the grid around each instance of a list in turn (the collision phase, an
  // event of every instance of an object): called before instance k's turn, it asks memory for the
  // first lines of the instance kAheadInstances places on (its box, flags and motion) and for the
  // variables of the one kAheadVariables on, which the walk reads in turn order and would otherwise
  // wait for one by one. `at(k)` is the list's instance k (null past its end). Only for grids from
  // kLookAheadFrom records on (it costs time and gains nothing while everything fits the caches)
  // and only while Current for the room.
  // Asking ahead for the cells and records the next queries read, too, was measured: it costs
  // more than the waits it saves.
  template <class InstanceAt>
  void LookAhead(const CLiveRoom& room, int k, InstanceAt&& at) const;
  // Grows with every query (every Sync): tells a walk whether its instances search the grid.
  uint64_t Queries() const { return queries_; }
  // From how many records on LookAhead asks memory ahead (tests set 0 to run it on small rooms).
  void SetLookAheadFrom(size_t records) { lookAheadFrom_ = records; }
  static constexpr size_t kLookAheadFrom = 8192;  // records (512 KB)
  static constexpr int kAheadInstances = 8, kAheadVariables = 2;

  // Which records a search wants: solid ones, the others, or all. Each cell keeps its solid and
  // its other records in two lists, so a search for solid instances (place_free, the solid
  // objects of a collision pair) does not read the records of all the others around it.
  enum class ESubset { kAll, kSolid, kNotSolid };
  // Calls fn(record) once for every entry of `subset` whose box overlaps `r` (inclusive on all
  // sides), in no particular order. Marked instances are included: the caller's tests skip them.
  template <class F>
  void ForOverlaps(const RRect& r, F&& fn, ESubset subset = ESubset::kAll) const;
  // The records of object `object`'s own list a search needs to look at: kSolid when all of its
  // instances are solid, kNotSolid when none is, else kAll.
  ESubset SubsetOf(int object) const {
    if (object < 0 || size_t(object) >= ownSlots_.size()) return ESubset::kAll;
    const size_t solid = ownSolid_[size_t(object)];
    return solid == 0 ? ESubset::kNotSolid : solid == ownSlots_[size_t(object)].size() ? ESubset::kSolid : ESubset::kAll;
  }

  int Count() const { return int(slots_.size()); }
  CInstance* At(int slot) const { return slots_[size_t(slot)].inst; }
  // A record by its own index (EntryIndex, RCollider::next).
  const RCollider& Entry(int e) const { return entries_[size_t(e)]; }
  int EntryIndex(const RCollider& c) const { return int(&c - entries_.data()); }
  // The grid is the one of `room` as its lists are now (else the next Sync builds it again).
  bool Current(const CLiveRoom& room) const { return &room == room_ && room.ListsGeneration() == generation_; }
  // Every record agrees with its instance once the changes reported are copied: for tests of a
  // current grid.
  bool RecordsFollowInstances();
  // The slot of the instance at position `pos` of the object's own list, or -1.
  int OwnSlot(int object, int pos) const {
    if (object < 0 || size_t(object) >= ownSlots_.size()) return -1;
    const auto& own = ownSlots_[size_t(object)];
    return pos >= 0 && size_t(pos) < own.size() ? own[size_t(pos)] : -1;
  }
  // The slot of an instance of the synced room, or -1.
  int SlotOf(const CInstance& inst) const {
    const int s = inst.i_gridslot;
    return s >= 0 && size_t(s) < slots_.size() && slots_[size_t(s)].inst == &inst ? s : -1;
  }
  // The entry's place in the active list's order (which sorting by depth may have changed):
  // smaller comes first.
  int ActiveRank(int slot);
  // Grows whenever an instance reports a change, entries are appended or the grid is built:
  // results gathered before are stale once it has moved.
  uint64_t Changes() const { return changes_; }

 private:
  static constexpr int kLevels = 16;
  static constexpr int kNone = -1;
  static constexpr int kFarList = -2;            // the sentinel box's list
  static constexpr int kHugeList = -3;           // boxes larger than the top level's cells
  static constexpr size_t kPrefetchFrom = 8192;  // records (512 KB)

  // Per instance, in list order.
  struct RSlot {
    CInstance* inst = nullptr;
    int entry = kNone;
  };
  struct RLevel {
    int shift = 0;
    int64_t width = 0, height = 0;  // cells
    std::vector<int> head;          // two lists a cell: 2 x cell, its other records; + 1, its solid ones
    // A bit for each list of `head`, set while it has records: searches test these (a few kilobytes
    // that stay in the caches) before reading a head, so empty lists cost them no wait for memory.
    std::vector<uint64_t> occupied;
    bool Occupied(size_t list) const { return (occupied[list >> 6] >> (list & 63)) & 1; }
  };

  void Build(CLiveRoom& room);
  // Lays the records out by cell again from the records themselves (the instances and lists are
  // as they were): for a grid whose records have moved to many other cells since it was built.
  void Relayout();
  // A new slot for `inst` (the next in list order) holding entry `e`, which gets its record; the
  // entry's place in the grid is the caller's.
  RCollider& AddSlot(CInstance* inst, int e);
  // The record's copy of what the instance has now (not its slot, object or place in the grid).
  static void Fill(RCollider& c, const CInstance& inst);
  void Append(CInstance* inst);
  // Copies the reported changes into their records (Sync's part).
  void Flush();
  // The record `e` takes its instance's present state, moving to another cell when it must.
  void Refresh(int e);
  void Place(int entry);
  void Unlink(int entry);
  int& Head(int level, int cell, bool solid) {
    return cell == kFarList    ? far_
           : cell == kHugeList ? huge_
                               : levels_[size_t(level)].head[2 * size_t(cell) + (solid ? 1 : 0)];
  }
  // Where a box belongs: its level and cell (or a list).
  void Locate(const RRect& b, int& level, int& cell) const;
  int64_t CellX(const RLevel& l, int64_t x) const;
  int64_t CellY(const RLevel& l, int64_t y) const;
  // Calls fn(level, x0, x1, y0, y1) for every level with entries: the cells a query of `r` visits.
  template <class F>
  void ForCellRanges(const RRect& r, F&& fn) const;

  const CLiveRoom* room_ = nullptr;
  uint64_t generation_ = 0;
  uint64_t orderStamp_ = 0;
  uint64_t changes_ = 0;
  uint64_t queries_ = 0;
  std::vector<RSlot> slots_;
  std::vector<RCollider> entries_;   // the records, by cell
  int relinks_ = 0;                  // entries moved to another cell since the grid was built
  std::vector<RCollider> layoutSpare_;  // Relayout's buffers
  std::vector<int> layoutStart_;
  std::vector<int> dirty_;           // slots whose instances reported changes since the last Sync
  std::vector<uint64_t> dirtyBits_;  // the same by slot, one bit each
  int held_ = 0;
  std::vector<std::vector<int>> ownSlots_;  // per object: the slots of its own list, in order
  std::vector<size_t> ownSolid_;            // per object: how many of them are solid
  std::vector<int> rank_;                   // active-list ranks of the first rankedCount_ slots
  int rankedCount_ = 0;
  int64_t originX_ = 0, originY_ = 0;
  int baseShift_ = 5;
  RLevel levels_[kLevels];
  int levelCount_[kLevels] = {};
  int far_ = kNone, huge_ = kNone;
  size_t lookAheadFrom_ = kLookAheadFrom;
};

// The run's grid (for the current room).
CCollisionGrid& CollisionGrid();

template <class F>
void CCollisionGrid::ForCellRanges(const RRect& r, F&& fn) const {
  for (int k = 0; k < kLevels; ++k) {
    if (levelCount_[k] == 0) continue;
    const RLevel& l = levels_[k];
    // A box on this level is at most one cell wide: its corner lies at most one cell before
    // the query's.
    const int64_t size = int64_t(1) << l.shift;
    fn(l, CellX(l, int64_t(r.Left) - size + 1), CellX(l, r.Right), CellY(l, int64_t(r.Top) - size + 1),
       CellY(l, r.Bottom));
  }
}

template <class F>
void CCollisionGrid::ForOverlaps(const RRect& r, F&& fn, ESubset subset) const {
  auto overlaps = [&r](const RRect& b) {
    return b.Left <= r.Right && r.Left <= b.Right && b.Top <= r.Bottom && r.Top <= b.Bottom;
  };
  auto walk = [&](int e) {
    for (; e != kNone; e = entries_[size_t(e)].next)
      if (const RCollider& c = entries_[size_t(e)]; overlaps(c.box)) fn(c);
  };
  walk(far_);
  walk(huge_);
  ForCellRanges(r, [&](const RLevel& l, int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    // The first record of every cell asked for at once, so a grid too large for the caches waits
    // for memory once per query rather than once per cell.
    const size_t first = subset == ESubset::kSolid ? 1 : 0, last = subset == ESubset::kNotSolid ? 0 : 1;
    if (entries_.size() >= kPrefetchFrom && (x1 - x0 + 1) * (y1 - y0 + 1) <= 16)
      for (int64_t cy = y0; cy <= y1; ++cy)
        for (int64_t cx = x0; cx <= x1; ++cx)
          for (size_t list = first; list <= last; ++list)
            if (const size_t h = 2 * size_t(cy * l.width + cx) + list; l.Occupied(h))
              PrefetchLine(&entries_[size_t(l.head[h])]);
    for (int64_t cy = y0; cy <= y1; ++cy)
      for (int64_t cx = x0; cx <= x1; ++cx)
        for (size_t list = first; list <= last; ++list)
          if (const size_t h = 2 * size_t(cy * l.width + cx) + list; l.Occupied(h)) walk(l.head[h]);
  });
}

template <class InstanceAt>
void CCollisionGrid::LookAhead(const CLiveRoom& room, int k, InstanceAt&& at) const {
  if (entries_.size() < lookAheadFrom_ || !Current(room)) return;
  if (const CInstance* p = at(k + kAheadInstances)) {
    PrefetchInstance(p);
    PrefetchLine(reinterpret_cast<const char*>(p) + 128);  // the motion
  }
  if (const CInstance* p = at(k + kAheadVariables)) PrefetchVariables(*p);
}

inline int64_t CCollisionGrid::CellX(const RLevel& l, int64_t x) const {
  const int64_t c = (x - originX_) >> l.shift;
  return c < 0 ? 0 : c >= l.width ? l.width - 1 : c;
}
inline int64_t CCollisionGrid::CellY(const RLevel& l, int64_t y) const {
  const int64_t c = (y - originY_) >> l.shift;
  return c < 0 ? 0 : c >= l.height ? l.height - 1 : c;
}

}  // namespace kestro
