// Moving between rooms and ending the game from scripts: every request goes through the pending
// change, carried out between steps.
#include <string>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/ErrorReport.h"
#include "world/SaveGame.h"
#include "world/World.h"

namespace kestro {

namespace {

void Abort(const char* message) {
  ReportActionError(message, true);
  World().pendingChange = kChangeAbort;
}

KESTRO_BUILTIN(F_room_goto) { RequestRoom(RoundToInt32(a[0].val), World().transitionKind); }
KESTRO_BUILTIN(F_room_goto_previous) {
  const int previous = RoomPrevious(World().roomIndex);
  if (previous < 0) return Abort("Moving to previous room before the first room.");
  RequestRoom(previous, World().transitionKind);
}
KESTRO_BUILTIN(F_room_goto_next) {
  const int next = RoomNext(World().roomIndex);
  if (next < 0) return Abort("Moving to next room after the last room.");
  RequestRoom(next, World().transitionKind);
}
KESTRO_BUILTIN(F_room_restart) { RequestRoom(World().roomIndex, World().transitionKind); }
KESTRO_BUILTIN(F_room_previous) { r.SetReal(RoomPrevious(RoundToInt32(a[0].val))); }
KESTRO_BUILTIN(F_room_next) { r.SetReal(RoomNext(RoundToInt32(a[0].val))); }
KESTRO_BUILTIN(F_game_end) { World().pendingChange = kChangeEndGame; }
KESTRO_BUILTIN(F_game_restart) { World().pendingChange = kChangeRestart; }
// Saving happens at once; loading between steps, like every other change of the room.
KESTRO_BUILTIN(F_game_save) { SaveGame(a[0].str.str()); }
KESTRO_BUILTIN(F_game_load) { RequestLoadGame(a[0].str.str()); }

constexpr RBinding kRoomFunctions[] = {
    {"room_goto", F_room_goto},
    {"room_goto_previous", F_room_goto_previous},
    {"room_goto_next", F_room_goto_next},
    {"room_restart", F_room_restart},
    {"room_previous", F_room_previous},
    {"room_next", F_room_next},
    {"game_end", F_game_end},
    {"game_restart", F_game_restart},
    {"game_save", F_game_save},
    {"game_load", F_game_load},
};

}  // namespace

RBindingTable RoomFunctions() { return kRoomFunctions; }

}  // namespace kestro
