// The game world of the run: the current live room, the last instance id, and the pending
// change through which everything asks for a room change or the end of the game (carried out
// between steps by the main loop).
#pragma once

#include <cstdint>
#include <memory>

#include "world/LiveRoom.h"

namespace kestro {

// Values of the pending change besides a room index.
inline constexpr int kNoChange = -1;
inline constexpr int kChangeEndGame = -100;
inline constexpr int kChangeRestart = -200;
inline constexpr int kChangeLoad = -300;
inline constexpr int kChangeAbort = -400;

class CWorld {
 public:
  CWorld();
  // The current live room: always one (an empty room of the defaults before the game starts, so
  // code run outside a game, e.g. by `kestro script`, has a world to act on).
  CLiveRoom& Room() { return *room_; }
  // Index of the current room in the room list; -1 before a room is entered.
  int roomIndex = -1;
  // The game-wide instance id counter (read from the game data; stored in saved games).
  int lastInstanceId = 100000;
  int pendingChange = kNoChange;
  int transitionKind = 0;
  int transitionSteps = 80;

  // Back to the state of a fresh process: an empty default room, the last id from the game data.
  void Reset();
  // Makes `room` the current room (the caller has built it).
  void SetRoom(std::unique_ptr<CLiveRoom> room, int index);

 private:
  std::unique_ptr<CLiveRoom> room_;
};
CWorld& World();

// Asks for the room with that index: the pending change becomes the index and the transition
// kind `transition`. A room that does not exist is the fatal error "Unexisting room number: N"
// and the pending change -400.
void RequestRoom(int index, int transition);

}  // namespace kestro
