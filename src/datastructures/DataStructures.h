// The containers game code keeps values in besides variables: stacks, queues, lists, maps,
// priority queues and grids of script values, each named by an id within its kind, with one
// comparison of values (its precision settable) and a text form every container writes and reads.
//
// The containers belong to the run, not to rooms or instances: a game restart keeps them, and the
// layer that starts a fresh run calls ResetDataStructures.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datastructures/ValueArray.h"
#include "script/Value.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// Comparison

inline constexpr double kDefaultDsPrecision = 0.00000001;

// The precision reals compare with (its absolute value is kept).
void DsSetPrecision(double precision);
double DsPrecision();

// Negative, 0 or positive. Reals are equal within the precision (with precision 0: within 1e-12
// times the smaller magnitude, at least 1e-12); strings compare by UTF-16 code units; a real is
// smaller than any string, and values of different kinds are never equal.
int DsCompare(const RValue& a, const RValue& b);

struct RDsLess {
  bool operator()(const RValue& a, const RValue& b) const { return DsCompare(a, b) < 0; }
};

// What reading a text form did. A text of another kind leaves the container as it is, silently;
// a damaged text (not hexadecimal, shorter than its counts, impossible counts) also leaves it as
// it is, and the caller reports it.
enum class EDsRead { kRead, kOtherKind, kDamaged };

// The kind codes at the start of each text form.
inline constexpr int32_t kDsStackCode = 101;
inline constexpr int32_t kDsQueueCode = 201;
inline constexpr int32_t kDsListCode = 301;
inline constexpr int32_t kDsMapCode = 401;
inline constexpr int32_t kDsPriorityCode = 501;
inline constexpr int32_t kDsGridCode = 601;

// ---------------------------------------------------------------------------------------------
// Containers

class CDS_Stack {
 public:
  CValueArray i_val;  // element 0 is the bottom

  int32_t Size() const { return static_cast<int32_t>(i_val.size()); }
  void Clear() { i_val.clear(); }
  void Push(const RValue& v) { i_val.push_back(v); }
  // The top value, removed; real 0 when empty.
  RValue Pop();
  RValue Top() const { return i_val.empty() ? RValue() : i_val.back(); }

  std::string Write() const;
  EDsRead Read(std::string_view text);
};

// The elements are i_val[i_last .. i_first - 1]: i_last is the head (oldest), i_first where the
// next value goes. The array grows by 16 slots when full and is compacted as values leave, as the
// text form (which holds the whole array) shows.
class CDS_Queue {
 public:
  int32_t i_first = 0;
  int32_t i_last = 0;
  std::vector<RValue> i_val;

  int32_t Size() const { return i_first - i_last; }
  void Clear();
  void Enqueue(const RValue& v);
  RValue Dequeue();
  RValue Head() const { return Size() > 0 ? i_val[size_t(i_last)] : RValue(); }
  RValue Tail() const { return Size() > 0 ? i_val[size_t(i_first - 1)] : RValue(); }

  std::string Write() const;
  EDsRead Read(std::string_view text);
};

class CDS_List {
 public:
  CValueArray i_val;

  int32_t Size() const { return static_cast<int32_t>(i_val.size()); }
  void Clear() { i_val.clear(); }
  void Add(const RValue& v) { i_val.push_back(v); }
  // 0 <= pos <= size; other positions do nothing.
  void Insert(int64_t pos, const RValue& v);
  // 0 <= pos < size; other positions do nothing.
  void Replace(int64_t pos, const RValue& v);
  void Delete(int64_t pos);
  int32_t FindIndex(const RValue& v) const;
  // The value, or nullptr outside the list.
  const RValue* At(int64_t pos) const {
    return pos >= 0 && pos < int64_t(i_val.size()) ? &i_val[size_t(pos)] : nullptr;
  }
  // Stable: ascending keeps equal elements in their order, descending reverses them.
  void Sort(bool ascending);
  void Shuffle();

  std::string Write() const;
  EDsRead Read(std::string_view text);
};

// Keys in ascending order of the comparison; equal keys may occur, a later one after the earlier.
class CDS_Map {
 public:
  using Pairs = std::multimap<RValue, RValue, RDsLess>;
  Pairs i_pairs;

  int32_t Size() const { return static_cast<int32_t>(i_pairs.size()); }
  void Clear() { i_pairs.clear(); }
  // After every key that compares less than or equal to `key`.
  void Add(const RValue& key, const RValue& v) { i_pairs.emplace(key, v); }
  // The first pair whose key equals `key`, or nullptr.
  RValue* Find(const RValue& key);
  void Delete(const RValue& key);
  // The key before the first key not smaller than `key`; the next larger key; nullptr when none.
  const RValue* Previous(const RValue& key) const;
  const RValue* Next(const RValue& key) const;
  const RValue* First() const { return i_pairs.empty() ? nullptr : &i_pairs.begin()->first; }
  const RValue* Last() const { return i_pairs.empty() ? nullptr : &i_pairs.rbegin()->first; }

  std::string Write() const;
  EDsRead Read(std::string_view text);
};

// Entries in insertion order until removals move the last entry into the removed one's place.
// Two tournament trees over the positions (kept up to date as entries change, rebuilt when the
// comparison's precision has changed) give the smallest and largest priority without a scan: each
// node holds the better of its two halves, the left (earlier) one when they compare equal.
class CDS_Priority {
 public:
  struct REntry {
    RValue value;
    RValue priority;
  };

  const std::vector<REntry>& Entries() const { return i_entries; }
  int32_t Size() const { return static_cast<int32_t>(i_entries.size()); }
  void Clear();
  void Add(const RValue& v, const RValue& priority);
  void SetPriority(int32_t i, const RValue& priority);
  // The first entry whose value equals `v`, or -1.
  int32_t FindValue(const RValue& v) const;
  // The entry of the smallest (largest) priority, the earliest among equal ones; -1 when empty.
  int32_t FindMin();
  int32_t FindMax();
  // Removes entry i by moving the last entry into its place; gives the removed value.
  RValue Remove(int32_t i);

  std::string Write() const;
  EDsRead Read(std::string_view text);

 private:
  void Rebuild();
  void Update(size_t i);
  bool Current() const;

  std::vector<REntry> i_entries;
  std::vector<int32_t> min_, max_;  // 2 * leaves_ nodes; node 1 is the root, leaf k is leaves_ + k
  size_t leaves_ = 0;
  double builtWith_ = -1;  // the precision the trees were made with; -1 while they are out of date
};

enum class ECellOp { kSet, kAdd, kMultiply };

// Sums, extremes and means over the real cells of a rectangle or disk.
struct RGridAggregate {
  double sum = 0;
  double max = -100000000;
  double min = 100000000;
  int64_t count = 0;
  double Mean() const { return count > 0 ? sum / double(count) : 0; }
};

// Cell (x, y) is i_val[x * i_h + y]: columns of i_h cells.
class CDS_Grid {
 public:
  int32_t i_w = 0;
  int32_t i_h = 0;
  std::vector<RValue> i_val;

  // Grids hold at most this many cells; a larger size is refused rather than allocated.
  static constexpr int64_t kMaxCells = int64_t(1) << 25;
  int32_t Size() const { return static_cast<int32_t>(i_val.size()); }  // the number of cells
  // False (and nothing changed) when w * h exceeds kMaxCells; negative sizes are taken as 0.
  bool Resize(int64_t w, int64_t h);
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < i_w && y < i_h; }
  RValue& Cell(int64_t x, int64_t y) { return i_val[size_t(x * i_h + y)]; }
  const RValue& Cell(int64_t x, int64_t y) const { return i_val[size_t(x * i_h + y)]; }
  void Fill(const RValue& v);

  void Apply(int64_t x, int64_t y, const RValue& v, ECellOp op);
  void ApplyRegion(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, ECellOp op);
  void ApplyDisk(double xm, double ym, double r, const RValue& v, ECellOp op);
  // Applies the source rectangle (cut to the source) to this grid at (xpos, ypos); overlapping
  // copies within one grid work like a move.
  void ApplyGridRegion(const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t xpos,
                       int64_t ypos, ECellOp op);

  RGridAggregate Aggregate(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  RGridAggregate AggregateDisk(double xm, double ym, double r) const;
  // The first cell equal to `v` (columns from the left, each from the top); false when none.
  bool FindValue(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v, int64_t& x, int64_t& y) const;
  bool FindValueDisk(double xm, double ym, double r, const RValue& v, int64_t& x, int64_t& y) const;
  void Shuffle();

  std::string Write() const;
  EDsRead Read(std::string_view text);

 private:
  // The columns and rows of a rectangle cut to the grid; false when empty.
  bool Clip(int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2) const;
  // The bounding columns and rows of a disk cut to the grid; false when empty.
  bool DiskBounds(double xm, double ym, double r, int64_t& x1, int64_t& y1, int64_t& x2, int64_t& y2) const;
};

// One cell operation: set; add (reals summed, strings joined, otherwise the cell becomes v);
// multiply (reals only, otherwise nothing).
void ApplyCell(RValue& cell, const RValue& v, ECellOp op);

// ---------------------------------------------------------------------------------------------
// Id tables

// Creating takes the lowest empty slot, else appends one; destroying empties the slot.
template <class T>
class CDsTable {
 public:
  int32_t Create() {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (!slots_[i]) {
        slots_[i] = std::make_unique<T>();
        return static_cast<int32_t>(i);
      }
    if (slots_.size() == slots_.capacity()) slots_.reserve(slots_.size() + 16);
    slots_.push_back(std::make_unique<T>());
    return static_cast<int32_t>(slots_.size() - 1);
  }
  T* Get(int64_t id) const { return id >= 0 && id < int64_t(slots_.size()) ? slots_[size_t(id)].get() : nullptr; }
  bool Destroy(int64_t id) {
    if (!Get(id)) return false;
    slots_[size_t(id)].reset();
    return true;
  }
  void Clear() { slots_.clear(); }

 private:
  std::vector<std::unique_ptr<T>> slots_;
};

struct CDataStructures {
  CDsTable<CDS_Stack> stacks;
  CDsTable<CDS_Queue> queues;
  CDsTable<CDS_List> lists;
  CDsTable<CDS_Map> maps;
  CDsTable<CDS_Priority> priorities;
  CDsTable<CDS_Grid> grids;
};
// The run's containers.
CDataStructures& DataStructures();

// A fresh run: every container destroyed, the precision back to its default. A game restart
// does not call this (the containers outlive it).
void ResetDataStructures();

}  // namespace kestro
