#include "world/ResourceChanges.h"

#include <utility>
#include <vector>

#include "resources/GameResources.h"
#include "world/EventLists.h"
#include "world/World.h"

namespace kestro {

namespace {

std::vector<std::shared_ptr<void>>& Retired() {
  static std::vector<std::shared_ptr<void>> retired;
  return retired;
}

template <typename Visit>
void ForEachLiveRoom(Visit visit) {
  CWorld& w = World();
  visit(w.Room());
  for (const auto& room : w.liveRooms)
    if (room && room.get() != &w.Room()) visit(*room);
}

}  // namespace

void RetireUntilStepEnd(std::shared_ptr<void> thing) {
  if (thing) Retired().push_back(std::move(thing));
}

void ReleaseRetired() {
  // Freeing may free code whose destruction retires nothing, but the list is swapped out first.
  std::vector<std::shared_ptr<void>> doomed;
  doomed.swap(Retired());
}

void DetachActions(CEvent& event) {
  auto old = std::make_shared<std::vector<CAction>>(std::move(event.e_actions));
  event.e_actions.assign(old->begin(), old->begin() + std::min<size_t>(old->size(), size_t(event.e_number)));
  RetireUntilStepEnd(std::move(old));
}

void ClearActions(CEvent& event) {
  RetireUntilStepEnd(std::make_shared<std::vector<CAction>>(std::move(event.e_actions)));
  event.Clear();
}

bool DeleteObjectRetiring(int ind) {
  std::unique_ptr<CObject> obj = Objects().Take(ind);
  if (!obj) return false;
  RetireUntilStepEnd(std::shared_ptr<CObject>(std::move(obj)));
  return true;
}

void ObjectsChanged(bool parents) {
  RetireUntilStepEnd(std::make_shared<CEventLists>(std::move(EventLists())));
  BuildEventLists();
  if (parents) ForEachLiveRoom([](CLiveRoom& room) { room.RebuildRecursiveLists(); });
}

void SpriteChanged(int ind) {
  if (ind < 0) return;
  ForEachLiveRoom([ind](CLiveRoom& room) {
    auto update = [ind](const std::vector<std::unique_ptr<CInstance>>& list) {
      for (const auto& inst : list)
        if (inst->i_spriteindex == ind || inst->i_maskindex == ind) inst->ComputeBoundingBox();
    };
    update(room.Active());
    update(room.Deactivated());
  });
}

}  // namespace kestro
