#include "datastructures/DataStructures.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "script/builtins/Random.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// Comparison

namespace {
double g_precision = kDefaultDsPrecision;
}  // namespace

void DsSetPrecision(double precision) { g_precision = std::fabs(precision); }
double DsPrecision() { return g_precision; }

int DsCompare(const RValue& a, const RValue& b) {
  if (a.kind != b.kind) return a.IsReal() ? -1 : 1;
  if (a.IsString()) {
    const int c = CompareStrings(a.str.view(), b.str.view());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  // Not-a-number sorts after every other real and equals itself, so the order stays one order.
  const bool aNan = std::isnan(a.val), bNan = std::isnan(b.val);
  if (aNan || bNan) return aNan == bNan ? 0 : aNan ? 1 : -1;
  double tolerance = g_precision;
  if (tolerance == 0) tolerance = std::max(1e-12 * std::min(std::fabs(a.val), std::fabs(b.val)), 1e-12);
  if (std::fabs(a.val - b.val) <= tolerance) return 0;
  return a.val < b.val ? -1 : 1;
}

void ApplyCell(RValue& cell, const RValue& v, ECellOp op) {
  switch (op) {
    case ECellOp::kSet: cell = v; return;
    case ECellOp::kAdd:
      if (cell.IsReal() && v.IsReal()) {
        cell.val += v.val;
      } else if (cell.IsString() && v.IsString()) {
        // A join that would pass the longest string a value may hold leaves the cell as it is.
        if (cell.str.size() + v.str.size() <= kMaxStringLength)
          cell.str = RString::Concat(cell.str.view(), v.str.view());
      } else {
        cell = v;
      }
      return;
    case ECellOp::kMultiply:
      if (cell.IsReal() && v.IsReal()) cell.val *= v.val;
      return;
  }
}

// ---------------------------------------------------------------------------------------------
// Stack, queue, list

RValue CDS_Stack::Pop() {
  if (i_val.empty()) return {};
  RValue v = std::move(i_val.back());
  i_val.pop_back();
  return v;
}

void CDS_Queue::Clear() {
  i_first = i_last = 0;
  i_val.clear();
}

void CDS_Queue::Enqueue(const RValue& v) {
  if (size_t(i_first) >= i_val.size()) i_val.resize(i_val.size() + 16);
  i_val[size_t(i_first)] = v;
  ++i_first;
}

RValue CDS_Queue::Dequeue() {
  if (Size() <= 0) return {};
  RValue v = std::move(i_val[size_t(i_last)]);
  i_val[size_t(i_last)] = RValue();
  ++i_last;
  if (i_last > 16 && i_last > i_first / 2) {
    // Move what is left to the front, so a queue in steady use does not keep growing.
    std::move(i_val.begin() + i_last, i_val.begin() + i_first, i_val.begin());
    std::fill(i_val.begin() + (i_first - i_last), i_val.begin() + i_first, RValue());
    i_first -= i_last;
    i_last = 0;
  }
  return v;
}

void CDS_List::Insert(int64_t pos, const RValue& v) {
  if (pos < 0 || pos > int64_t(i_val.size())) return;
  i_val.insert(size_t(pos), v);
}

void CDS_List::Replace(int64_t pos, const RValue& v) {
  if (pos < 0 || pos >= int64_t(i_val.size())) return;
  i_val[size_t(pos)] = v;
}

void CDS_List::Delete(int64_t pos) {
  if (pos < 0 || pos >= int64_t(i_val.size())) return;
  i_val.erase(size_t(pos));
}

int32_t CDS_List::FindIndex(const RValue& v) const {
  for (size_t i = 0; i < i_val.size(); ++i)
    if (DsCompare(i_val[i], v) == 0) return static_cast<int32_t>(i);
  return -1;
}

namespace {

// A stable merge sort in which `after(a, b)` says that a must follow b. The comparison may not be
// a strict order (reals equal within a tolerance need not be transitively equal), so nothing here
// relies on it being one: every loop is bounded by its ranges.
template <class After>
void StableSort(CValueArray& v, After after) {
  const size_t n = v.size();
  // Short runs by straight insertion: an element moves left past neighbours it must follow.
  constexpr size_t kRun = 16;
  for (size_t lo = 0; lo < n; lo += kRun) {
    const size_t hi = std::min(n, lo + kRun);
    for (size_t i = lo + 1; i < hi; ++i) {
      RValue x = std::move(v[i]);
      size_t j = i;
      while (j > lo && after(v[j - 1], x)) {
        v[j] = std::move(v[j - 1]);
        --j;
      }
      v[j] = std::move(x);
    }
  }
  if (n <= kRun) return;
  std::vector<RValue> a(std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
  std::vector<RValue> b(n);
  std::vector<RValue>* from = &a;
  std::vector<RValue>* to = &b;
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(n, lo + width), hi = std::min(n, lo + 2 * width);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) (*to)[k++] = std::move(after((*from)[i], (*from)[j]) ? (*from)[j++] : (*from)[i++]);
      while (i < mid) (*to)[k++] = std::move((*from)[i++]);
      while (j < hi) (*to)[k++] = std::move((*from)[j++]);
    }
    std::swap(from, to);
  }
  for (size_t i = 0; i < n; ++i) v[i] = std::move((*from)[i]);
}

}  // namespace

void CDS_List::Sort(bool ascending) {
  if (ascending) {
    StableSort(i_val, [](const RValue& a, const RValue& b) { return DsCompare(a, b) > 0; });
  } else {
    // Equal elements end up in reverse order: the order an insertion sort gives that moves each
    // element past every neighbour that is less or equal.
    std::reverse(i_val.begin(), i_val.end());
    StableSort(i_val, [](const RValue& a, const RValue& b) { return DsCompare(a, b) < 0; });
  }
}

void CDS_List::Shuffle() {
  const size_t n = i_val.size();
  if (n == 0) return;
  for (size_t k = 0; k < 8 * n; ++k) {
    const uint32_t i = RandomBelow(n);
    const uint32_t j = RandomBelow(n);
    std::swap(i_val[i], i_val[j]);
  }
}

// ---------------------------------------------------------------------------------------------
// Map

RValue* CDS_Map::Find(const RValue& key) {
  auto it = i_pairs.lower_bound(key);
  if (it == i_pairs.end() || DsCompare(it->first, key) != 0) return nullptr;
  return &it->second;
}

void CDS_Map::Delete(const RValue& key) {
  auto it = i_pairs.lower_bound(key);
  if (it != i_pairs.end() && DsCompare(it->first, key) == 0) i_pairs.erase(it);
}

const RValue* CDS_Map::Previous(const RValue& key) const {
  auto it = i_pairs.lower_bound(key);
  if (it == i_pairs.begin()) return nullptr;
  return &std::prev(it)->first;
}

const RValue* CDS_Map::Next(const RValue& key) const {
  auto it = i_pairs.upper_bound(key);
  return it == i_pairs.end() ? nullptr : &it->first;
}

// ---------------------------------------------------------------------------------------------
// Priority queue

void CDS_Priority::Clear() {
  i_entries.clear();
  builtWith_ = -1;
}

bool CDS_Priority::Current() const { return builtWith_ >= 0 && builtWith_ == DsPrecision(); }

void CDS_Priority::Add(const RValue& v, const RValue& priority) {
  i_entries.push_back({v, priority});
  if (Current() && i_entries.size() <= leaves_)
    Update(i_entries.size() - 1);
  else
    builtWith_ = -1;  // rebuilt, larger, when next asked
}

void CDS_Priority::SetPriority(int32_t i, const RValue& priority) {
  if (i < 0 || size_t(i) >= i_entries.size()) return;
  i_entries[size_t(i)].priority = priority;
  if (Current()) Update(size_t(i));
}

int32_t CDS_Priority::FindValue(const RValue& v) const {
  for (size_t i = 0; i < i_entries.size(); ++i)
    if (DsCompare(i_entries[i].value, v) == 0) return static_cast<int32_t>(i);
  return -1;
}

void CDS_Priority::Rebuild() {
  leaves_ = 16;
  while (leaves_ < i_entries.size()) leaves_ *= 2;
  min_.assign(2 * leaves_, -1);
  max_.assign(2 * leaves_, -1);
  for (size_t k = 0; k < i_entries.size(); ++k) min_[leaves_ + k] = max_[leaves_ + k] = int32_t(k);
  builtWith_ = DsPrecision();
  for (size_t n = leaves_ - 1; n >= 1; --n) {
    const int32_t l = min_[2 * n], r = min_[2 * n + 1];
    min_[n] = r >= 0 && (l < 0 || DsCompare(i_entries[size_t(r)].priority, i_entries[size_t(l)].priority) < 0) ? r : l;
    const int32_t ml = max_[2 * n], mr = max_[2 * n + 1];
    max_[n] =
        mr >= 0 && (ml < 0 || DsCompare(i_entries[size_t(mr)].priority, i_entries[size_t(ml)].priority) > 0) ? mr : ml;
  }
}

void CDS_Priority::Update(size_t i) {
  size_t n = leaves_ + i;
  min_[n] = max_[n] = i < i_entries.size() ? int32_t(i) : -1;
  for (n /= 2; n >= 1; n /= 2) {
    const int32_t l = min_[2 * n], r = min_[2 * n + 1];
    min_[n] = r >= 0 && (l < 0 || DsCompare(i_entries[size_t(r)].priority, i_entries[size_t(l)].priority) < 0) ? r : l;
    const int32_t ml = max_[2 * n], mr = max_[2 * n + 1];
    max_[n] =
        mr >= 0 && (ml < 0 || DsCompare(i_entries[size_t(mr)].priority, i_entries[size_t(ml)].priority) > 0) ? mr : ml;
  }
}

int32_t CDS_Priority::FindMin() {
  if (i_entries.empty()) return -1;
  if (!Current()) Rebuild();
  return min_[1];
}

int32_t CDS_Priority::FindMax() {
  if (i_entries.empty()) return -1;
  if (!Current()) Rebuild();
  return max_[1];
}

RValue CDS_Priority::Remove(int32_t i) {
  if (i < 0 || size_t(i) >= i_entries.size()) return {};
  RValue removed = std::move(i_entries[size_t(i)].value);
  const size_t last = i_entries.size() - 1;
  if (size_t(i) != last) i_entries[size_t(i)] = std::move(i_entries.back());
  i_entries.pop_back();
  if (Current()) {
    Update(last);
    if (size_t(i) != last) Update(size_t(i));
  }
  return removed;
}

// ---------------------------------------------------------------------------------------------
// Grid

bool CDS_Grid::Resize(int64_t w, int64_t h) {
  w = std::max<int64_t>(w, 0);
  h = std::max<int64_t>(h, 0);
  if (w > kMaxCells || h > kMaxCells || (w > 0 && h > kMaxCells / w)) return false;
  if (w == i_w && h == i_h) return true;
  std::vector<RValue> cells(size_t(w * h));
  const int64_t cw = std::min<int64_t>(w, i_w), ch = std::min<int64_t>(h, i_h);
  for (int64_t x = 0; x < cw; ++x)
    for (int64_t y = 0; y < ch; ++y) cells[size_t(x * h + y)] = std::move(Cell(x, y));
  i_val = std::move(cells);
  i_w = static_cast<int32_t>(w);
  i_h = static_cast<int32_t>(h);
  return true;
}

void CDS_Grid::Fill(const RValue& v) {
  for (RValue& c : i_val) c = v;
}

void CDS_Grid::Apply(int64_t x, int64_t y, const RValue& v, ECellOp op) {
  if (Inside(x, y)) ApplyCell(Cell(x, y), v, op);
}

bool CDS_Grid::Clip(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2) const {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::max<int64_t>(x1, 0);
  y1 = std::max<int64_t>(y1, 0);
  x2 = std::min<int64_t>(x2, i_w - 1);
  y2 = std::min<int64_t>(y2, i_h - 1);
  return x1 <= x2 && y1 <= y2;
}

void CDS_Grid::ApplyRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, ECellOp op) {
  if (!Clip(x1, y1, x2, y2)) return;
  for (int64_t x = x1; x <= x2; ++x)
    for (int64_t y = y1; y <= y2; ++y) ApplyCell(Cell(x, y), v, op);
}

bool CDS_Grid::DiskBounds(double xm, double ym, double r, int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2) const {
  // NaN and far-away values fall out here, before anything becomes an integer.
  auto low = [](double v) { return std::isnan(v) ? 0.0 : std::clamp(std::floor(v), -1.0, 1e12); };
  auto high = [](double v) { return std::isnan(v) ? -1.0 : std::clamp(std::ceil(v), -1.0, 1e12); };
  x1 = std::max<int64_t>(0, int64_t(low(xm - r)));
  x2 = std::min<int64_t>(i_w - 1, int64_t(high(xm + r)));
  y1 = std::max<int64_t>(0, int64_t(low(ym - r)));
  y2 = std::min<int64_t>(i_h - 1, int64_t(high(ym + r)));
  return x1 <= x2 && y1 <= y2;
}

namespace {
bool InDisk(int64_t x, int64_t y, double xm, double ym, double r) {
  const double dx = double(x) - xm, dy = double(y) - ym;
  return dx * dx + dy * dy <= r * r;
}
}  // namespace

void CDS_Grid::ApplyDisk(double xm, double ym, double r, const RValue& v, ECellOp op) {
  int64_t x1, y1, x2, y2;
  if (!DiskBounds(xm, ym, r, x1, y1, x2, y2)) return;
  for (int64_t x = x1; x <= x2; ++x)
    for (int64_t y = y1; y <= y2; ++y)
      if (InDisk(x, y, xm, ym, r)) ApplyCell(Cell(x, y), v, op);
}

void CDS_Grid::ApplyGridRegion(const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t xpos,
                               int64_t ypos, ECellOp op) {
  if (!source.Clip(x1, y1, x2, y2)) return;
  // A negative destination moves the start of the source by as much.
  if (xpos < 0) {
    x1 -= xpos;
    xpos = 0;
  }
  if (ypos < 0) {
    y1 -= ypos;
    ypos = 0;
  }
  // Then the rectangle is cut to what fits into this grid.
  if (xpos + (x2 - x1) > int64_t(i_w) - 1) x2 = x1 + (int64_t(i_w) - 1 - xpos);
  if (ypos + (y2 - y1) > int64_t(i_h) - 1) y2 = y1 + (int64_t(i_h) - 1 - ypos);
  if (x1 > x2 || y1 > y2) return;
  const int64_t nx = x2 - x1 + 1, ny = y2 - y1 + 1;
  // Working from the far end when the destination lies beyond the source start: a copy within one
  // grid then reads every source cell before it is overwritten.
  const bool backX = xpos > x1, backY = ypos > y1;
  for (int64_t i = 0; i < nx; ++i) {
    const int64_t dx = backX ? nx - 1 - i : i;
    for (int64_t j = 0; j < ny; ++j) {
      const int64_t dy = backY ? ny - 1 - j : j;
      const RValue v = source.Cell(x1 + dx, y1 + dy);
      ApplyCell(Cell(xpos + dx, ypos + dy), v, op);
    }
  }
}

namespace {
void Take(RGridAggregate& a, const RValue& c) {
  if (!c.IsReal()) return;
  a.sum += c.val;
  if (c.val >= a.max) a.max = c.val;
  if (c.val <= a.min) a.min = c.val;
  ++a.count;
}
}  // namespace

RGridAggregate CDS_Grid::Aggregate(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  RGridAggregate a;
  if (!Clip(x1, y1, x2, y2)) return a;
  for (int64_t x = x1; x <= x2; ++x) {
    const RValue* column = &i_val[size_t(x * i_h)];
    for (int64_t y = y1; y <= y2; ++y) Take(a, column[y]);
  }
  return a;
}

RGridAggregate CDS_Grid::AggregateDisk(double xm, double ym, double r) const {
  RGridAggregate a;
  int64_t x1, y1, x2, y2;
  if (!DiskBounds(xm, ym, r, x1, y1, x2, y2)) return a;
  for (int64_t x = x1; x <= x2; ++x)
    for (int64_t y = y1; y <= y2; ++y)
      if (InDisk(x, y, xm, ym, r)) Take(a, Cell(x, y));
  return a;
}

bool CDS_Grid::FindValue(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, int64_t& x,
                         int64_t& y) const {
  if (!Clip(x1, y1, x2, y2)) return false;
  for (int64_t i = x1; i <= x2; ++i)
    for (int64_t j = y1; j <= y2; ++j)
      if (DsCompare(Cell(i, j), v) == 0) {
        x = i, y = j;
        return true;
      }
  return false;
}

bool CDS_Grid::FindValueDisk(double xm, double ym, double r, const RValue& v, int64_t& x, int64_t& y) const {
  int64_t x1, y1, x2, y2;
  if (!DiskBounds(xm, ym, r, x1, y1, x2, y2)) return false;
  for (int64_t i = x1; i <= x2; ++i)
    for (int64_t j = y1; j <= y2; ++j)
      if (InDisk(i, j, xm, ym, r) && DsCompare(Cell(i, j), v) == 0) {
        x = i, y = j;
        return true;
      }
  return false;
}

void CDS_Grid::Shuffle() {
  if (i_w <= 0 || i_h <= 0) return;
  const int64_t n = 8 * int64_t(i_w) * int64_t(i_h);
  for (int64_t k = 0; k < n; ++k) {
    const uint32_t x1 = RandomBelow(uint64_t(i_w)), y1 = RandomBelow(uint64_t(i_h));
    const uint32_t x2 = RandomBelow(uint64_t(i_w)), y2 = RandomBelow(uint64_t(i_h));
    std::swap(Cell(x1, y1), Cell(x2, y2));
  }
}

// ---------------------------------------------------------------------------------------------
// The run's tables

CDataStructures& DataStructures() {
  static CDataStructures tables;
  return tables;
}

void ResetDataStructures() {
  CDataStructures& t = DataStructures();
  t.stacks.Clear();
  t.queues.Clear();
  t.lists.Clear();
  t.maps.Clear();
  t.priorities.Clear();
  t.grids.Clear();
  DsSetPrecision(kDefaultDsPrecision);
}

}  // namespace kestro
