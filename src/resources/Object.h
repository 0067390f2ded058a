// CObject: the template of instances (sprite, mask, depth, flags, parent) with its events.
#pragma once

#include <array>
#include <map>

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

bool LoadObjectBlock(CStream& s, CResourceList<CObject>& list);
void SaveObjectBlock(CStream& s, const CResourceList<CObject>& list);

}  // namespace kestro
