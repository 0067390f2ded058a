#include "world/World.h"

#include <algorithm>
#include <string>

#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Variables.h"
#include "script/builtins/Random.h"
#include "world/ErrorReport.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/Extensions.h"
#include "world/GameState.h"

namespace kestro {

CWorld::CWorld() : outside_(std::make_unique<CLiveRoom>()), current_(outside_.get()) {}

void CWorld::Reset() {
  liveRooms.clear();
  carried.clear();
  outside_ = std::make_unique<CLiveRoom>();
  current_ = outside_.get();
  roomIndex = -1;
  lastInstanceId = GameResources().rooms.lastInstanceId;
  lastTileId = GameResources().rooms.lastTileId;
  pendingChange = kNoChange;
  transitionKind = 0;
  transitionSteps = 80;
}

void CWorld::SetRoom(std::unique_ptr<CLiveRoom> room, int index) {
  if (!room) room = std::make_unique<CLiveRoom>();
  current_ = room.get();
  roomIndex = index;
  if (index < 0) {
    outside_ = std::move(room);
    return;
  }
  if (size_t(index) >= liveRooms.size()) liveRooms.resize(size_t(index) + 1);
  liveRooms[size_t(index)] = std::move(room);
}

void CWorld::DropCurrentRoom() {
  if (roomIndex >= 0 && size_t(roomIndex) < liveRooms.size()) liveRooms[size_t(roomIndex)].reset();
  outside_ = std::make_unique<CLiveRoom>();
  current_ = outside_.get();
  roomIndex = -1;
}

CWorld& World() {
  static CWorld world;
  return world;
}

namespace {

void Call(const std::function<void()>& hook) {
  if (hook) hook();
}

// Compiles and runs a piece of creation or library code with `self` as self and other; errors are
// shown behind the header `compileHeader` / `runHeader`.
void RunCreationCode(const std::string& text, CInstance* self, const std::string& compileHeader,
                     const std::string& runHeader, bool fatal) {
  ClearCodeError();
  CCode code(text, CodeKind::kProgram);
  if (!code.Compile()) {
    HandlePendingCodeError(compileHeader, fatal);
    return;
  }
  RValue result;
  if (!ExecuteCode(self, self, code, result)) HandlePendingCodeError(runHeader, fatal);
}

// The instance code that belongs to no instance runs as: id 0, object 0, at (0, 0), in no room.
std::unique_ptr<CInstance> TemporaryInstance() {
  auto inst = std::make_unique<CInstance>();
  inst->Create(0, 0, 0, 0);
  return inst;
}

}  // namespace

void StartGame() {
  CWorld& w = World();
  BuildEventLists();
  ResetGlobals();
  w.transitionKind = 0;
  GameState().ResetForGameStart();
  Call(w.hooks.resetParticles);
  if (w.hooks.seedRandom)
    w.hooks.seedRandom();
  else
    RandomizeSeed();
  const std::vector<std::string>& pieces = LibraryCode().pieces;
  for (const std::string& piece : pieces) {
    auto self = TemporaryInstance();
    RunCreationCode(piece, self.get(), errhdr::kLibraryCompile, "ERROR in library initialization code\r", true);
    if (w.pendingChange == kChangeAbort) return;
  }
  // A package that cannot start (reported as a fatal error) keeps the game from starting.
  if (!InitializeExtensions()) {
    w.pendingChange = kChangeAbort;
    return;
  }
  w.liveRooms.clear();
  w.liveRooms.resize(size_t(std::max(0, Rooms().Count())));
  w.carried.clear();
  const std::vector<int>& order = RoomOrder();
  if (order.empty() || !Rooms().Exists(order.front())) {
    ReportActionError("Unexisting room number: " + std::to_string(order.empty() ? -1 : order.front()), true);
    w.pendingChange = kChangeAbort;
    return;
  }
  EnterRoom(order.front(), true);
}

void EnterRoom(int index, bool firstRoom) {
  CWorld& w = World();
  w.pendingChange = kNoChange;
  Call(w.hooks.clearInput);
  Call(w.hooks.clearEffects);
  if (size_t(index) >= w.liveRooms.size()) w.liveRooms.resize(size_t(index) + 1);
  const bool existed = w.liveRooms[size_t(index)] != nullptr;
  if (existed) {
    std::unique_ptr<CLiveRoom> room = std::move(w.liveRooms[size_t(index)]);
    w.SetRoom(std::move(room), index);
  } else {
    auto room = std::make_unique<CLiveRoom>();
    if (const CRoom* design = Rooms().Get(index)) room->MakeFrom(*design);
    w.SetRoom(std::move(room), index);
  }
  CLiveRoom& room = w.Room();
  Call(w.hooks.sizeRegion);
  if (firstRoom) Call(w.hooks.showWindow);
  // The instances placed in the designed room come first in the list; carried ones follow them.
  const size_t designed = room.Active().size();
  for (std::unique_ptr<CInstance>& c : w.carried) {
    for (const auto& inst : room.Active())
      if (inst->i_id == c->i_id) room.Mark(inst.get());
    CInstance* inst = room.AddInstance(c->i_objectindex, c->i_x, c->i_y, w.lastInstanceId);
    const int formerId = inst->i_id;
    inst->Assign(*c);
    room.Reindex(inst, formerId);
  }
  w.carried.clear();
  const std::string roomName = Rooms().Name(index);
  if (!existed) {
    for (size_t k = 0; k < designed && k < room.Active().size(); ++k) {
      CInstance* inst = room.Active()[k].get();
      if (inst->i_marked) continue;
      if (!inst->i_initcode.empty())
        RunCreationCode(inst->i_initcode, inst, errhdr::InstanceCreation(true, inst->i_id, roomName),
                        errhdr::InstanceCreation(false, inst->i_id, roomName), false);
      PerformInstanceEvent(inst, inst, kEventCreate, 0);
    }
  }
  if (firstRoom) PerformEventForAll(kEventOther, 2);
  if (!existed && !room.r_code.empty()) {
    auto self = TemporaryInstance();
    RunCreationCode(room.r_code, self.get(), errhdr::RoomCreation(true, roomName), errhdr::RoomCreation(false, roomName),
                    false);
  }
  PerformEventForAll(kEventOther, 4);
  if (w.pendingChange == kNoChange) {
    if (GameState().automaticDraw) Call(w.hooks.drawRoom);
    w.transitionKind = 0;
  }
  if (w.pendingChange != kNoChange || !GameState().automaticDraw) Call(w.hooks.dropTransition);
}

void LeaveRoom(bool gameEnd) {
  CWorld& w = World();
  if (!w.InGame()) return;
  CLiveRoom& room = w.Room();
  if (w.hooks.captureTransition) w.hooks.captureTransition(w.transitionKind);
  room.RemoveMarked();
  const int pending = w.pendingChange;
  w.pendingChange = kNoChange;
  PerformEventForAll(kEventOther, 5);
  if (gameEnd) PerformEventForAll(kEventOther, 3);
  w.pendingChange = pending;
  w.carried.clear();
  for (const auto& inst : room.Active()) {
    if (!inst->i_persistent || inst->i_marked) continue;
    auto copy = std::make_unique<CInstance>();
    copy->Create(inst->i_id, inst->i_objectindex, inst->i_x, inst->i_y);
    copy->Assign(*inst);
    w.carried.push_back(std::move(copy));
    room.Mark(inst.get());
  }
  if (room.r_persistent) {
    // The room stays in its slot with its instances; nothing is current until the next room.
    const int index = w.roomIndex;
    std::unique_ptr<CLiveRoom> keep = std::move(w.liveRooms[size_t(index)]);
    w.DropCurrentRoom();
    w.liveRooms[size_t(index)] = std::move(keep);
  } else {
    w.DropCurrentRoom();
  }
}

void GotoRoom(int index) {
  LeaveRoom(false);
  EnterRoom(index, false);
}

void EndGame() {
  LeaveRoom(true);
  World().liveRooms.clear();
  World().carried.clear();
  FinalizeExtensions();
}

int RoomPrevious(int index) {
  const std::vector<int>& order = RoomOrder();
  if (!Rooms().Exists(index)) return -1;
  auto it = std::find(order.begin(), order.end(), index);
  return it == order.end() || it == order.begin() ? -1 : *(it - 1);
}

int RoomNext(int index) {
  const std::vector<int>& order = RoomOrder();
  if (!Rooms().Exists(index)) return -1;
  auto it = std::find(order.begin(), order.end(), index);
  return it == order.end() || it + 1 == order.end() ? -1 : *(it + 1);
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
