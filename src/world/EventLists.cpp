#include "world/EventLists.h"

#include <algorithm>
#include <set>

#include "resources/GameResources.h"

namespace kestro {

namespace {

// The first object on the chain of `objind` (itself, then its ancestors) with the event. Run for
// every event an instance performs, so it allocates nothing: a chain that goes round in a cycle
// is cut after as many steps as the list has slots, which no chain without one needs.
RFoundEvent FindOnChain(const CResourceList<CObject>& objects, int32_t objind, int32_t type, int32_t number) {
  int32_t steps = objects.Count();
  for (int32_t o = objind; const CObject* obj = objects.Get(o); o = obj->o_parent) {
    if (const CEvent* ev = obj->GetEventDirect(type, number)) return {ev, o};
    if (--steps <= 0) break;
  }
  return {};
}

const std::vector<int32_t>& NoObjects() {
  static const std::vector<int32_t> none;
  return none;
}

}  // namespace

RFoundEvent FindEvent(const CResourceList<CObject>& objects, int32_t objind, int32_t type, int32_t number) {
  if (RFoundEvent found = FindOnChain(objects, objind, type, number)) return found;
  if (type != kEvCollision || !objects.Exists(objind) || !objects.Exists(number)) return {};
  int32_t steps = objects.Count();
  for (int32_t p = objects.Get(number)->o_parent; const CObject* other = objects.Get(p); p = other->o_parent) {
    if (RFoundEvent found = FindOnChain(objects, objind, type, p)) return found;
    if (--steps <= 0) break;
  }
  return {};
}

int32_t CEventLists::NumberCount(int32_t type, int32_t triggerCount) {
  switch (type) {
    case kEvCreate:
    case kEvDestroy:
    case kEvDraw: return 1;
    case kEvAlarm: return 12;
    case kEvStep: return 17;
    case kEvKeyboard:
    case kEvMouse:
    case kEvOther:
    case kEvKeyPress:
    case kEvKeyRelease: return 129;
    case kEvTrigger: return std::max(triggerCount, 0);
    default: return 0;
  }
}

void CEventLists::Build(const CResourceList<CObject>& objects, int32_t triggerCount) {
  Clear();
  triggerCount_ = std::max(triggerCount, 0);
  lists_.resize(kEventTypeCount);
  for (int32_t type = 0; type < kEventTypeCount; ++type) lists_[size_t(type)].resize(size_t(NumberCount(type)));
  const int32_t count = objects.Count();
  collisions_.resize(size_t(count));

  // byTarget[t]: the objects whose chain defines a collision event with object t.
  std::vector<std::vector<int32_t>> byTarget(static_cast<size_t>(count));
  for (int32_t o = 0; o < count; ++o) {
    if (!objects.Exists(o)) continue;
    std::vector<int32_t> chain = AncestorsOf(objects, o);
    chain.insert(chain.begin(), o);
    for (int32_t type = 0; type < kEventTypeCount; ++type) {
      // The numbers with an event somewhere on the chain: the object has each of them.
      std::set<int32_t> numbers;
      for (int32_t c : chain)
        for (const auto& [number, ev] : objects.Get(c)->o_events[size_t(type)])
          if (ev.e_number > 0) numbers.insert(number);
      if (type == kEvCollision) {
        for (int32_t t : numbers)
          if (objects.Exists(t)) byTarget[size_t(t)].push_back(o);
        continue;
      }
      auto& lists = lists_[size_t(type)];
      for (int32_t n : numbers) {
        if (n >= int32_t(lists.size())) break;
        lists[size_t(n)].push_back(o);  // objects come in ascending order
      }
    }
  }

  // An object responds to a collision with `other` when it has an event with `other` or with one
  // of its ancestors.
  for (int32_t other = 0; other < count; ++other) {
    if (!objects.Exists(other)) continue;
    std::vector<int32_t> targets = AncestorsOf(objects, other);
    targets.insert(targets.begin(), other);
    std::vector<int32_t>& responders = collisions_[size_t(other)];
    for (int32_t t : targets) responders.insert(responders.end(), byTarget[size_t(t)].begin(), byTarget[size_t(t)].end());
    std::sort(responders.begin(), responders.end());
    responders.erase(std::unique(responders.begin(), responders.end()), responders.end());
    for (int32_t a : responders) pairs_.push_back({std::min(a, other), std::max(a, other)});
  }
  std::sort(pairs_.begin(), pairs_.end(),
            [](const RCollisionPair& x, const RCollisionPair& y) { return std::pair(x.a, x.b) < std::pair(y.a, y.b); });
  pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
}

const std::vector<int32_t>& CEventLists::Objects(int32_t type, int32_t number) const {
  if (type < 0 || type >= int32_t(lists_.size()) || number < 0 || number >= int32_t(lists_[size_t(type)].size()))
    return NoObjects();
  return lists_[size_t(type)][size_t(number)];
}

const std::vector<int32_t>& CEventLists::CollisionObjects(int32_t other) const {
  if (other < 0 || other >= int32_t(collisions_.size())) return NoObjects();
  return collisions_[size_t(other)];
}

CEventLists& EventLists() {
  static CEventLists lists;
  return lists;
}

void BuildEventLists() { EventLists().Build(Objects(), Triggers().Count()); }

}  // namespace kestro
