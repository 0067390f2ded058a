// The list every resource kind is kept in: slots from 0, each holding a resource or nothing plus a
// name. A missing slot is named "<undefined>"; deleting leaves an empty slot.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestro {

inline constexpr const char* kUndefinedName = "<undefined>";

template <typename T>
class CResourceList {
 public:
  int Count() const { return int(items_.size()); }
  bool Exists(int i) const { return i >= 0 && i < Count() && items_[size_t(i)]; }
  T* Get(int i) const { return Exists(i) ? items_[size_t(i)].get() : nullptr; }
  // The slot's name, or "<undefined>" when the slot holds nothing.
  std::string Name(int i) const { return Exists(i) ? names_[size_t(i)] : kUndefinedName; }
  // The lowest non-empty slot with exactly that name, or -1.
  int Find(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[size_t(i)] && names_[size_t(i)] == name) return i;
    return -1;
  }
  // Appends a slot; a null resource makes an empty slot. Returns its index.
  int Add(std::unique_ptr<T> item, std::string name) {
    if (!item) name.clear();
    items_.push_back(std::move(item));
    names_.push_back(std::move(name));
    return Count() - 1;
  }
  // Puts a resource into the existing slot i, freeing what it held; returns it (null when i lies
  // outside the list).
  T* Put(int i, std::unique_ptr<T> item, std::string name) {
    if (i < 0 || i >= Count()) return nullptr;
    if (!item) name.clear();
    items_[size_t(i)] = std::move(item);
    names_[size_t(i)] = std::move(name);
    return items_[size_t(i)].get();
  }
  // Empties slot i and hands over what it held (null when it held nothing), for a caller that
  // must keep the resource alive a while longer.
  std::unique_ptr<T> Take(int i) {
    if (!Exists(i)) return nullptr;
    names_[size_t(i)].clear();
    return std::move(items_[size_t(i)]);
  }
  bool Delete(int i) {
    if (!Exists(i)) return false;
    items_[size_t(i)].reset();
    names_[size_t(i)].clear();
    return true;
  }
  void Clear() {
    items_.clear();
    names_.clear();
  }
  // Room for n slots, for loaders that have checked n against the data.
  void Reserve(size_t n) {
    items_.reserve(n);
    names_.reserve(n);
  }

 private:
  std::vector<std::unique_ptr<T>> items_;
  std::vector<std::string> names_;
};

}  // namespace kestro

#include "io/Stream.h"

namespace kestro {

// A count read from the data: false when it is negative or more items than `minItemBytes`-sized
// items fit in the remaining bytes, so nothing is reserved for counts the data cannot hold.
// Inflates at most as far as the items would reach.
inline bool CountFits(CStream& s, int32_t count, size_t minItemBytes) {
  return count >= 0 && (minItemBytes == 0 || s.Holds(size_t(count) * minItemBytes));
}

// The start of a counted block: its version, then the count of items of at least `minItemBytes`
// each. False on another version or a count the data cannot hold.
inline bool ReadBlockCount(CStream& s, int32_t version, size_t minItemBytes, int32_t& count) {
  if (s.ReadInteger() != version) return false;
  count = s.ReadInteger();
  return CountFits(s, count, minItemBytes);
}

// The version every list block of the resource section carries.
inline constexpr int32_t kListBlockVersion = 800;

// A list block: int version, int count, then one packed block per slot holding a bool exists and,
// when true, (a string name when `named`) and the item's stored form. `load(item, stream)` reads
// the stored form and gives false on a wrong version; the block then fails.
template <typename T, typename Load>
bool LoadListBlock(CStream& s, int32_t version, CResourceList<T>& list, bool named, Load load) {
  list.Clear();
  int32_t count = 0;
  // Every slot takes at least the 4-byte size of its packed block.
  if (!ReadBlockCount(s, version, 4, count)) return false;
  list.Reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    std::unique_ptr<CStream> item = s.ReadStreamC();
    if (!item->ReadBoolean()) {
      list.Add(nullptr, "");
      continue;
    }
    std::string name = named ? item->ReadString() : std::string();
    auto obj = std::make_unique<T>();
    if (!load(*obj, *item)) {
      list.Clear();
      return false;
    }
    list.Add(std::move(obj), std::move(name));
  }
  return true;
}

// The slot names of a list block without its contents ("" for an empty slot): each slot's packed
// block is inflated only as far as its name. An unnamed list reads the name from the start of the
// slot's stored form with `nameInside` (false on a wrong version).
template <typename NameInside>
bool SkimListBlock(CStream& s, int32_t version, std::vector<std::string>& names, bool named, NameInside nameInside) {
  names.clear();
  int32_t count = 0;
  if (!ReadBlockCount(s, version, 4, count)) return false;
  names.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    std::unique_ptr<CStream> item = s.ReadStreamC();
    std::string name;
    if (item->ReadBoolean()) {
      if (named)
        name = item->ReadString();
      else if (!nameInside(*item, name))
        return false;
    }
    names.push_back(std::move(name));
  }
  return true;
}

template <typename T, typename Save>
void SaveListBlock(CStream& s, int32_t version, const CResourceList<T>& list, bool named, Save save) {
  s.WriteInteger(version);
  s.WriteInteger(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    CStream item;
    const T* obj = list.Get(i);
    item.WriteBoolean(obj != nullptr);
    if (obj) {
      if (named) item.WriteString(list.Name(i));
      save(*obj, item);
    }
    s.WriteStreamC(item);
  }
}

}  // namespace kestro
