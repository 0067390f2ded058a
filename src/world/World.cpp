#include "world/World.h"

#include <string>

#include "resources/GameResources.h"
#include "world/ErrorReport.h"

namespace kestro {

CWorld::CWorld() : room_(std::make_unique<CLiveRoom>()) {}

void CWorld::Reset() {
  room_ = std::make_unique<CLiveRoom>();
  roomIndex = -1;
  lastInstanceId = GameResources().rooms.lastInstanceId;
  pendingChange = kNoChange;
  transitionKind = 0;
  transitionSteps = 80;
}

void CWorld::SetRoom(std::unique_ptr<CLiveRoom> room, int index) {
  room_ = room ? std::move(room) : std::make_unique<CLiveRoom>();
  roomIndex = index;
}

CWorld& World() {
  static CWorld world;
  return world;
}

void RequestRoom(int index, int transition) {
  if (!Rooms().Exists(index)) {
    ReportActionError("Unexisting room number: " + std::to_string(index), true);
    World().pendingChange = kChangeAbort;
    return;
  }
  World().pendingChange = index;
  World().transitionKind = transition;
}

}  // namespace kestro
