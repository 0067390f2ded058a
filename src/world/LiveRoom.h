// The live room: a copy of a designed room that the game plays, with its instances. The active
// list is in processing order (creation and activation append; drawing sorts it by depth); the
// deactivated list keeps frozen instances; per object, the active instances of that object and
// of it or its descendants; and an index by id, so lookups never walk the room.
//
// Instances are owned here and freed only by RemoveMarked (end of step, leaving the room) or when
// the room is cleared, so a pointer handed to running code stays valid for the whole step; a
// destroyed instance is only marked, and every search skips marked instances.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "resources/Room.h"
#include "world/Instance.h"

namespace kestro {

class CLiveRoom : public CRoom {
 public:
  CLiveRoom() = default;
  CLiveRoom(const CLiveRoom&) = delete;
  CLiveRoom& operator=(const CLiveRoom&) = delete;

  // The designed room's settings, layers, views, tiles and creation code, and an instance for
  // every placed instance (its stored id, object, position and creation code). Instances of
  // objects that do not exist are still made (they have no object).
  void MakeFrom(const CRoom& design);
  // A deep copy of another live room: settings and every active and deactivated instance (ids
  // included), then the per-object lists are rebuilt.
  void Assign(const CLiveRoom& room);

  // Appends a new instance with id = ++lastId; no event is performed.
  CInstance* AddInstance(int objectind, double x, double y, int& lastId);
  // Appends an instance with the given id (placed instances, carried persistent instances).
  CInstance* AddInstanceWithId(int id, int objectind, double x, double y);
  // Frees every instance, active and deactivated.
  void ClearInstances();

  const std::vector<std::unique_ptr<CInstance>>& Active() const { return r_instance; }
  const std::vector<std::unique_ptr<CInstance>>& Deactivated() const { return r_instance_deact; }
  int ActiveCount() const { return int(r_instance.size()); }

  // Per-object lists; out-of-range arguments give 0 and null.
  int Obj_Number(int objind) const;
  CInstance* Obj_Instance(int objind, int numb) const;
  int Obj_Number_Recursive(int objind) const;
  CInstance* Obj_Instance_Recursive(int objind, int numb) const;

  // The active, unmarked instance with that id, or null (constant time).
  CInstance* FindId(int id) const;
  // Marks the instance destroyed: skipped by everything, freed at the next RemoveMarked.
  void Mark(CInstance* inst);
  // Marks `old` and puts `replacement` (which has taken old's id, leaving `formerId`) in its
  // place in the id index.
  void Replace(CInstance* old, CInstance* replacement, int formerId);
  // The instance's id changed from `formerId`: the id index follows.
  void Reindex(CInstance* inst, int formerId);

  // Stable insertion sort by depth, higher first; nothing when already in order.
  void SortInstances();
  // Frees the marked active instances keeping the order of the rest; rebuilds the per-object
  // lists when one was freed.
  void RemoveMarked();
  // Moves instances between the active and deactivated lists as their flags ask.
  void UpdateActive();
  void RebuildObjectLists();
  // Parents changed: the lists of each object and its descendants are made again in the order of
  // the lists, which stay as they are (code walking them keeps its place).
  void RebuildRecursiveLists();

  // The active instances in the order the per-object lists were built from: the active list at
  // their last rebuild, then the instances created since. Every per-object list is this order
  // filtered by object, whatever sorting has since done to the active list.
  const std::vector<CInstance*>& ListOrder() const { return listOrder_; }
  // Changes whenever the per-object lists are rebuilt or the instances cleared (instances may have
  // been freed); the values are unique across rooms.
  uint64_t ListsGeneration() const { return generation_; }
  // Changes whenever the active list changes other than by appending (sorting, rebuilding).
  uint64_t OrderStamp() const { return orderStamp_; }

 private:
  void Index(CInstance* inst);
  void AppendToLists(CInstance* inst);
  // Into the lists of its object and each ancestor.
  void AppendToRecursiveLists(CInstance* inst, int count);

  std::vector<std::unique_ptr<CInstance>> r_instance;
  std::vector<std::unique_ptr<CInstance>> r_instance_deact;
  std::vector<std::vector<CInstance*>> r_obj_instance;
  std::vector<std::vector<CInstance*>> r_obj_instance_recursive;
  std::unordered_map<int, CInstance*> byId_;
  std::vector<CInstance*> listOrder_;
  uint64_t generation_ = NextStamp();
  uint64_t orderStamp_ = NextStamp();

  static uint64_t NextStamp();
};

}  // namespace kestro
