// The game world of the run: the current live room, the last instance id, and the pending
// change through which everything asks for a room change or the end of the game (carried out
// between steps by the main loop).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "world/LiveRoom.h"

namespace kestro {

// Values of the pending change besides a room index.
inline constexpr int kNoChange = -1;
inline constexpr int kChangeEndGame = -100;
inline constexpr int kChangeRestart = -200;
inline constexpr int kChangeLoad = -300;
inline constexpr int kChangeAbort = -400;

// What entering a room asks of the layers above the world (input, the window, drawing); empty
// ones do nothing.
struct CRoomHooks {
  std::function<void()> clearInput;     // forget every key and button
  std::function<void()> sizeRegion;     // the drawing region to the new room or its views
  std::function<void()> showWindow;     // the first room: the game window appears
  std::function<void()> drawRoom;       // after room start: draw, show the transition, begin a frame
  std::function<void()> seedRandom;     // the generator at game start (empty: from the clock)
  std::function<void()> resetParticles;  // game start and restart: no particle types or systems
  std::function<void()> clearEffects;    // room start: the effect particle systems emptied
  // Leaving a room, before its room end event: the screen captured for the transition `kind`.
  std::function<void(int kind)> captureTransition;
  // Entering a room that is not drawn right after its start (another change asked for, automatic
  // drawing off): a captured transition is given up.
  std::function<void()> dropTransition;
};

class CWorld {
 public:
  CWorld();
  // The current live room: always one (an empty room of the defaults before the game starts, so
  // code run outside a game, e.g. by `kestro script`, has a world to act on).
  CLiveRoom& Room() { return *current_; }
  // Whether a game is being played: a room of the game data is current.
  bool InGame() const { return roomIndex >= 0; }
  // Index of the current room in the room list; -1 before a room is entered.
  int roomIndex = -1;
  // The game-wide instance id counter (read from the game data; stored in saved games).
  int lastInstanceId = 100000;
  // The game-wide tile id counter: the highest tile id in use (read from the game data).
  int lastTileId = 10000000;
  int pendingChange = kNoChange;
  int transitionKind = 0;
  int transitionSteps = 80;

  // The live copy of each room that is current or persistent, by room index.
  std::vector<std::unique_ptr<CLiveRoom>> liveRooms;
  // Persistent instances travelling from the room being left to the one being entered.
  std::vector<std::unique_ptr<CInstance>> carried;
  CRoomHooks hooks;

  // Back to the state of a fresh process: an empty default room, the last id from the game data.
  void Reset();
  // Makes `room` the current room, in the slot of its index (the caller has built it).
  void SetRoom(std::unique_ptr<CLiveRoom> room, int index);
  // The current room's slot is emptied and the empty default room becomes current.
  void DropCurrentRoom();

 private:
  std::unique_ptr<CLiveRoom> outside_;  // current while no room of the game is
  CLiveRoom* current_ = nullptr;
};
CWorld& World();

// The game's start and end, and moving between rooms: creation codes, create, game start, room
// start, room end and game end events in their order, persistent rooms and instances.
void StartGame();
void EndGame();
void EnterRoom(int index, bool firstRoom);
void LeaveRoom(bool gameEnd);
void GotoRoom(int index);
// The room before / after room `index` in the room order; -1 at the ends or outside the order.
int RoomPrevious(int index);
int RoomNext(int index);

// Asks for the room with that index: the pending change becomes the index and the transition
// kind `transition`. A room that does not exist is the fatal error "Unexisting room number: N"
// and the pending change -400.
void RequestRoom(int index, int transition);

}  // namespace kestro
