#include "world/CollisionGrid.h"

#include <algorithm>

#include "resources/GameResources.h"
#include "world/World.h"

namespace kestro {

namespace {

bool IsSentinel(const RRect& b) {
  return b.Left == kNoBox && b.Top == kNoBox && b.Right == kNoBox && b.Bottom == kNoBox;
}

int64_t Extent(const RRect& b) { return std::max(int64_t(b.Right) - b.Left + 1, int64_t(b.Bottom) - b.Top + 1); }

int CeilLog2(int64_t v) {
  int k = 0;
  while (k < 62 && (int64_t(1) << k) < v) ++k;
  return k;
}

}  // namespace

CCollisionGrid& CollisionGrid() {
  static CCollisionGrid grid;
  return grid;
}

void CCollisionGrid::Reset() { *this = CCollisionGrid(); }

void CCollisionGrid::Sync(CLiveRoom& room) {
  ++queries_;
  if (&room != room_ || room.ListsGeneration() != generation_) {
    Build(room);
    return;
  }
  if (!dirty_.empty()) Flush();
  if (relinks_ > int(slots_.size() / 4) + 64) Relayout();
  const auto& order = room.ListOrder();
  if (order.size() == slots_.size()) return;
  for (size_t k = slots_.size(); k < order.size(); ++k) Append(order[k]);
  ++changes_;
}

void CCollisionGrid::Build(CLiveRoom& room) {
  room_ = &room;
  generation_ = room.ListsGeneration();
  orderStamp_ = 0;  // ranks are computed when first asked for
  rankedCount_ = 0;
  ++changes_;
  slots_.clear();
  entries_.clear();
  relinks_ = 0;
  dirty_.clear();
  far_ = huge_ = kNone;
  std::fill(std::begin(levelCount_), std::end(levelCount_), 0);
  ownSlots_.resize(size_t(std::max(0, Objects().Count())));
  for (auto& own : ownSlots_) own.clear();
  ownSolid_.assign(ownSlots_.size(), 0);
  const auto& order = room.ListOrder();

  // The region of the boxes, and the cell size: a power of two near the middle box size, made
  // larger while the finest level would have more than about two cells per instance.
  int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool any = false;
  std::vector<int64_t> sizes;
  for (const CInstance* inst : order) {
    const RRect& b = inst->i_bbox;
    if (IsSentinel(b)) continue;
    if (!any) {
      minX = b.Left, minY = b.Top, maxX = b.Right, maxY = b.Bottom;
      any = true;
    }
    minX = std::min<int64_t>(minX, b.Left);
    minY = std::min<int64_t>(minY, b.Top);
    maxX = std::max<int64_t>(maxX, b.Right);
    maxY = std::max<int64_t>(maxY, b.Bottom);
    if (sizes.size() < 4096) sizes.push_back(Extent(b));
  }
  int64_t middle = 32;
  if (!sizes.empty()) {
    std::nth_element(sizes.begin(), sizes.begin() + ptrdiff_t(sizes.size() / 2), sizes.end());
    middle = sizes[sizes.size() / 2];
  }
  baseShift_ = std::clamp(CeilLog2(middle), 3, 24);
  const int64_t limit = 2 * int64_t(order.size()) + 1024;
  while (baseShift_ < 40 && (((maxX - minX) >> baseShift_) + 1) * (((maxY - minY) >> baseShift_) + 1) > limit)
    ++baseShift_;
  originX_ = minX;
  originY_ = minY;
  for (int k = 0; k < kLevels; ++k) {
    RLevel& l = levels_[k];
    l.shift = baseShift_ + k;
    l.width = ((maxX - minX) >> l.shift) + 1;
    l.height = ((maxY - minY) >> l.shift) + 1;
    l.head.assign(2 * size_t(l.width * l.height), kNone);
    l.occupied.assign((l.head.size() + 63) / 64, 0);
  }
  // Slots in list order; entries ordered by level and cell (a counting sort), so the entries of a
  // cell, and of the cells beside it, lie together.
  slots_.reserve(order.size());
  entries_.resize(order.size());
  std::vector<int> level(order.size()), cell(order.size());
  std::vector<int64_t> start;
  std::vector<int64_t> offset(kLevels + 3, 0);  // the lists first, then each level's cells
  for (int k = 0; k < kLevels; ++k)
    offset[size_t(k) + 3] = offset[size_t(k) + 2] + 2 * levels_[k].width * levels_[k].height;
  // A cell's other records, then its solid ones.
  auto key = [&](int lv, int c, bool solid) {
    return c == kFarList ? 0 : c == kHugeList ? 1 : offset[size_t(lv) + 2] + 2 + 2 * int64_t(c) + (solid ? 1 : 0);
  };
  start.assign(size_t(offset[kLevels + 2] + 3), 0);
  for (size_t k = 0; k < order.size(); ++k) {
    Locate(order[k]->i_bbox, level[k], cell[k]);
    ++start[size_t(key(level[k], cell[k], order[k]->i_solid)) + 1];
  }
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  for (size_t k = 0; k < order.size(); ++k) {
    const int e = int(start[size_t(key(level[k], cell[k], order[k]->i_solid))]++);
    RCollider& entry = AddSlot(order[k], e);
    entry.level = int8_t(level[k]);
    entry.cell = cell[k];
  }
  // Linked from the back, so each cell's list runs forwards through memory.
  for (int e = int(entries_.size()) - 1; e >= 0; --e) Place(e);
  dirtyBits_.assign((slots_.size() + 63) / 64, 0);
}

void CCollisionGrid::Relayout() {
  // The same counting sort as Build's, over the records: they are read in memory order, where
  // reading the instances again would wait for memory once per instance.
  std::vector<int64_t> offset(kLevels + 3, 0);
  for (int k = 0; k < kLevels; ++k)
    offset[size_t(k) + 3] = offset[size_t(k) + 2] + 2 * levels_[k].width * levels_[k].height;
  auto key = [&](const RCollider& c) {
    return c.cell == kFarList    ? 0
           : c.cell == kHugeList ? 1
                                 : offset[size_t(c.level) + 2] + 2 + 2 * int64_t(c.cell) + (c.solid ? 1 : 0);
  };
  // Both buffers are kept from one layout to the next: fresh memory costs a page fault a page.
  std::vector<int>& start = layoutStart_;
  start.assign(size_t(offset[kLevels + 2] + 3), 0);
  for (const RCollider& c : entries_) ++start[size_t(key(c)) + 1];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<RCollider>& laid = layoutSpare_;
  laid.resize(entries_.size());
  for (const RCollider& c : entries_) {
    const int e = start[size_t(key(c))]++;
    laid[size_t(e)] = c;
    slots_[size_t(c.slot)].entry = e;
  }
  entries_.swap(laid);
  far_ = huge_ = kNone;
  std::fill(std::begin(levelCount_), std::end(levelCount_), 0);
  for (int k = 0; k < kLevels; ++k) {
    std::fill(levels_[k].head.begin(), levels_[k].head.end(), kNone);
    std::fill(levels_[k].occupied.begin(), levels_[k].occupied.end(), 0);
  }
  for (int e = int(entries_.size()) - 1; e >= 0; --e) Place(e);
  relinks_ = 0;
  ++changes_;  // record indices held by searches are stale
}

CCollisionGrid::RCollider& CCollisionGrid::AddSlot(CInstance* inst, int e) {
  const int s = int(slots_.size());
  slots_.push_back({});
  RSlot& slot = slots_.back();
  slot.inst = inst;
  slot.entry = e;
  RCollider& entry = entries_[size_t(e)];
  Fill(entry, *inst);
  entry.slot = s;
  const int obj = inst->i_objectindex;
  if (obj >= 0 && size_t(obj) < ownSlots_.size()) {
    entry.object = obj;
    entry.ownPos = int(ownSlots_[size_t(obj)].size());
    ownSlots_[size_t(obj)].push_back(s);
    if (entry.solid) ++ownSolid_[size_t(obj)];
  }
  inst->i_gridslot = s;
  return entry;
}

void CCollisionGrid::Fill(RCollider& c, const CInstance& inst) {
  const RCollisionShape shape = ShapeOf(inst);
  c.box = shape.box;
  c.inst = const_cast<CInstance*>(&inst);
  c.maskSprite = shape.maskSprite;
  c.xi = shape.xi;
  c.yi = shape.yi;
  c.plain = shape.plain;
  c.marked = shape.marked;
  c.solid = inst.i_solid;
}

void CCollisionGrid::Append(CInstance* inst) {
  const int e = int(entries_.size());
  entries_.push_back({});
  dirtyBits_.resize((slots_.size() + 1 + 63) / 64, 0);
  RCollider& entry = AddSlot(inst, e);
  int level;
  Locate(entry.box, level, entry.cell);
  entry.level = int8_t(level);
  Place(e);
}

void CCollisionGrid::Locate(const RRect& b, int& level, int& cell) const {
  level = 0;
  if (IsSentinel(b)) {
    cell = kFarList;
    return;
  }
  const int k = std::max(0, CeilLog2(Extent(b)) - baseShift_);
  if (k >= kLevels) {
    cell = kHugeList;
    return;
  }
  const RLevel& l = levels_[k];
  level = k;
  cell = int(CellY(l, b.Top) * l.width + CellX(l, b.Left));
}

void CCollisionGrid::Place(int e) {
  RCollider& entry = entries_[size_t(e)];
  int& head = Head(entry.level, entry.cell, entry.solid);
  entry.prev = kNone;
  entry.next = head;
  if (head != kNone) entries_[size_t(head)].prev = e;
  head = e;
  if (entry.cell >= 0) {
    ++levelCount_[entry.level];
    const size_t h = 2 * size_t(entry.cell) + (entry.solid ? 1 : 0);
    levels_[entry.level].occupied[h >> 6] |= uint64_t(1) << (h & 63);
  }
}

void CCollisionGrid::Unlink(int e) {
  RCollider& entry = entries_[size_t(e)];
  if (entry.prev != kNone)
    entries_[size_t(entry.prev)].next = entry.next;
  else
    Head(entry.level, entry.cell, entry.solid) = entry.next;
  if (entry.next != kNone) entries_[size_t(entry.next)].prev = entry.prev;
  if (entry.cell >= 0) {
    --levelCount_[entry.level];
    RLevel& l = levels_[entry.level];
    if (const size_t h = 2 * size_t(entry.cell) + (entry.solid ? 1 : 0); l.head[h] == kNone)
      l.occupied[h >> 6] &= ~(uint64_t(1) << (h & 63));
  }
}

void CCollisionGrid::Changed(CInstance& inst) {
  // Only the grid of the current room, as it was built: after a rebuild of the room's lists
  // instances may have been freed, and the next Sync builds the grid again anyway. Neither the
  // slot nor the record is read here (they lie elsewhere in memory): an instance reporting a slot
  // that is not its own (it was in an earlier grid) only makes that slot's record copy its own
  // instance again.
  if (held_ > 0 || !Current(World().Room())) return;
  const int s = inst.i_gridslot;
  if (s < 0 || size_t(s) >= slots_.size()) return;
  uint64_t& word = dirtyBits_[size_t(s) >> 6];
  const uint64_t bit = uint64_t(1) << (s & 63);
  if (word & bit) return;
  word |= bit;
  dirty_.push_back(s);
  ++changes_;
}

void CCollisionGrid::Flush() {
  // The slots, their records and then the instances, asked for some places ahead: the records lie
  // by cell, the slots and instances in the order they reported, so none is near the last one.
  constexpr size_t kAhead = 8;
  const size_t n = dirty_.size();
  auto entryOf = [&](size_t k) { return size_t(slots_[size_t(dirty_[k])].entry); };
  for (size_t k = 0; k < n && k < 3 * kAhead; ++k) PrefetchLine(&slots_[size_t(dirty_[k])]);
  for (size_t k = 0; k < n && k < 2 * kAhead; ++k) PrefetchLine(&entries_[entryOf(k)]);
  for (size_t k = 0; k < n; ++k) {
    if (k + 3 * kAhead < n) PrefetchLine(&slots_[size_t(dirty_[k + 3 * kAhead])]);
    if (k + 2 * kAhead < n) PrefetchLine(&entries_[entryOf(k + 2 * kAhead)]);
    if (k + kAhead < n) PrefetchInstance(entries_[entryOf(k + kAhead)].inst);
    const int s = dirty_[k];
    dirtyBits_[size_t(s) >> 6] &= ~(uint64_t(1) << (s & 63));
    Refresh(slots_[size_t(s)].entry);
  }
  dirty_.clear();
}

void CCollisionGrid::Refresh(int e) {
  RCollider& entry = entries_[size_t(e)];
  const RRect old = entry.box;
  const bool wasSolid = entry.solid;
  Fill(entry, *entry.inst);
  const bool solid = entry.solid;
  if (entry.box == old && solid == wasSolid) return;
  if (solid != wasSolid && entry.object >= 0) ownSolid_[size_t(entry.object)] += solid ? 1 : size_t(-1);
  int level, cell;
  Locate(entry.box, level, cell);
  if (level == entry.level && cell == entry.cell && solid == wasSolid) return;
  entry.solid = wasSolid;  // unlinked from the list it is in
  Unlink(e);
  entry.solid = solid;
  entry.level = int8_t(level);
  entry.cell = cell;
  Place(e);
  ++relinks_;
}

bool CCollisionGrid::RecordsFollowInstances() {
  Flush();
  for (size_t s = 0; s < slots_.size(); ++s) {
    const RCollider& c = entries_[size_t(slots_[s].entry)];
    const CInstance* inst = slots_[s].inst;
    const RCollisionShape shape = ShapeOf(*inst);
    if (c.inst != inst || c.slot != int(s) || SlotOf(*inst) != int(s) || !(c.box == shape.box) ||
        c.solid != inst->i_solid || c.maskSprite != shape.maskSprite || c.xi != shape.xi || c.yi != shape.yi ||
        c.plain != shape.plain || c.marked != shape.marked)
      return false;
    const int obj = inst->i_objectindex;
    if (c.object != (obj >= 0 && size_t(obj) < ownSlots_.size() ? obj : -1)) return false;
    if (c.object >= 0 && OwnSlot(c.object, c.ownPos) != int(s)) return false;
  }
  // The solid counts, and every record in the list of its cell and solid flag.
  for (size_t obj = 0; obj < ownSlots_.size(); ++obj) {
    size_t solid = 0;
    for (const int s : ownSlots_[obj]) solid += entries_[size_t(slots_[size_t(s)].entry)].solid ? 1 : 0;
    if (solid != ownSolid_[obj]) return false;
  }
  size_t listed = 0;
  auto walk = [&](int e, int level, int cell, int solid) {
    for (; e != kNone; e = entries_[size_t(e)].next, ++listed) {
      const RCollider& c = entries_[size_t(e)];
      if (c.cell != cell || (cell >= 0 && (c.level != level || int(c.solid) != solid))) return false;
    }
    return true;
  };
  if (!walk(far_, 0, kFarList, 0) || !walk(huge_, 0, kHugeList, 0)) return false;
  for (int k = 0; k < kLevels; ++k)
    for (size_t h = 0; h < levels_[k].head.size(); ++h)
      if (levels_[k].Occupied(h) != (levels_[k].head[h] != kNone) || !walk(levels_[k].head[h], k, int(h / 2), int(h % 2)))
        return false;
  return listed == entries_.size();
}

int CCollisionGrid::ActiveRank(int slot) {
  if (room_ && orderStamp_ != room_->OrderStamp()) {
    orderStamp_ = room_->OrderStamp();
    rankedCount_ = Count();
    rank_.assign(size_t(rankedCount_), 0);
    int k = 0;
    for (const auto& inst : room_->Active()) {
      const int s = SlotOf(*inst);
      if (s >= 0 && s < rankedCount_) rank_[size_t(s)] = k;
      ++k;
    }
  }
  // Instances appended since the ranks were taken follow all others, in creation order.
  return slot < rankedCount_ ? rank_[size_t(slot)] : slot;
}

}  // namespace kestro
