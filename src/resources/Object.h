// CObject: the template of instances (sprite, mask, depth, flags, parent) with its events.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "resources/Event.h"
#include "resources/ResourceList.h"

namespace kestro {

class CObject {
 public:
  int o_spriteindex = -1;
  bool o_solid = false;
  bool o_visible = true;
  int o_depth = 0;
  bool o_persistent = false;
  int o_parent = -1;
  int o_mask = -1;
  // Per event type, the events by number. Kept sparse: a number that was never defined reads
  // as an empty (not defined) event, so a huge stored number costs nothing.
  std::array<std::map<int, CEvent>, kEventTypeCount> o_events;

  void Create() { Clear(); }
  void Clear() { *this = CObject(); }
  void Assign(const CObject& o) { *this = o; }
  void Destroy() { Clear(); }
  // Stored form: int 430, the fields, the last event type L, then per type 0..L the entries
  // (number, event) ended by a negative number.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // The event (etype, enumb), created when missing; none for a type outside 0..11 or a
  // negative number.
  CEvent* CreateEvent(int etype, int enumb);
  // The own event when it has at least one action.
  const CEvent* GetEventDirect(int etype, int enumb) const;
  bool HasEventDirect(int etype) const;
  // The highest number defined for the type + 1: the length of the type's event array.
  int EventCount(int etype) const;
};

// Parent chains. Game data may give any parent index, also one naming no object or one that
// leads round in a cycle: every walk stops at a negative index, at a slot holding no object, and
// at an object it has already met, so it takes at most as many steps as the list has slots.

// The ancestors of `objind`, nearest first (its parent, the parent's parent, ...). Never holds
// `objind` itself; empty when `objind` names no object.
std::vector<int32_t> AncestorsOf(const CResourceList<CObject>& list, int32_t objind);
// `anc` is among the ancestors of `objind`.
bool IsDecendentOf(const CResourceList<CObject>& list, int32_t objind, int32_t anc);
// A cycle of parents, if the list has one: its objects in parent order, starting with the lowest
// slot on it (a -> b -> a gives {a, b}; an object that is its own parent gives {a}). Of several
// cycles, the one reached first walking from slot 0 upwards; empty when there is none.
std::vector<int32_t> FindParentCycle(const CResourceList<CObject>& list);

bool LoadObjectBlock(CStream& s, CResourceList<CObject>& list);
void SaveObjectBlock(CStream& s, const CResourceList<CObject>& list);

}  // namespace kestro
