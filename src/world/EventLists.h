// Which objects respond to which event, through their parents: the event lookup of one object
// and the lists the dispatcher walks each step, built once the objects are prepared and rebuilt
// when a game changes parents or events.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "resources/Object.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// The event an object performs.

struct RFoundEvent {
  const CEvent* event = nullptr;  // none when nullptr
  int32_t object = -1;            // the object that defines it: `objind` or one of its ancestors
  explicit operator bool() const { return event != nullptr; }
};

// The event (type, number) as object `objind` performs it: its own event when that has at least
// one action, else the nearest ancestor's (an event with no actions does not hide the parent's).
// For a collision (type 4) with an existing object `number` that finds nothing, the collision
// events with the ancestors of `number` are tried in turn, nearest first, each along the whole
// chain of `objind`. None when `objind` names no object.
RFoundEvent FindEvent(const CResourceList<CObject>& objects, int32_t objind, int32_t type, int32_t number);

// ---------------------------------------------------------------------------------------------
// The lists.

struct RCollisionPair {
  int32_t a = 0;  // a <= b
  int32_t b = 0;
  bool operator==(const RCollisionPair&) const = default;
};

class CEventLists {
 public:
  // From the objects (every walk bounded, also through broken parent chains) and the number of
  // trigger slots.
  void Build(const CResourceList<CObject>& objects, int32_t triggerCount);
  void Clear() { *this = CEventLists(); }

  // How many numbers type `type` has lists for: 1 for create, destroy and draw, 12 alarms, 17
  // step kinds, 129 codes for keyboard, mouse, other, key press and key release, one per trigger
  // slot; 0 for collisions (see below) and unknown types.
  static int32_t NumberCount(int32_t type, int32_t triggerCount);
  int32_t NumberCount(int32_t type) const { return NumberCount(type, triggerCount_); }

  // The objects, ascending, that have the event (type, number) themselves or through a parent
  // (FindEvent finds it). Empty for a number outside the type's range and for collisions.
  const std::vector<int32_t>& Objects(int32_t type, int32_t number) const;

  // The objects, ascending, that have a collision event for an instance of object `other`: with
  // `other` itself or with one of its ancestors, own or inherited. Empty when `other` names no
  // object.
  const std::vector<int32_t>& CollisionObjects(int32_t other) const;

  // Every pair of existing objects a <= b where a has a collision event for b or b for a, ordered
  // by a, then b: the pairs the collision phase tests.
  const std::vector<RCollisionPair>& CollisionPairs() const { return pairs_; }

 private:
  int32_t triggerCount_ = 0;
  std::vector<std::vector<std::vector<int32_t>>> lists_;  // [type][number] -> objects
  std::vector<std::vector<int32_t>> collisions_;          // [other] -> objects
  std::vector<RCollisionPair> pairs_;
};

// The run's lists, and building them from the game's objects and triggers.
CEventLists& EventLists();
void BuildEventLists();

}  // namespace kestro
