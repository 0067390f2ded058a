// Saved games: the running game written to a file and read back. The file holds the game-wide
// values (room index, transition kind, score, lives, health, cursor), the global variables, every
// live room with its instances and tiles, and the id counters; resources, particles, data
// structures, sounds and the designed rooms are not in it.
//
// Loading reads and checks the whole file into a staged copy first and replaces the running game
// only when all of it read correctly, so a damaged, truncated or hostile file leaves the game
// exactly as it was. Saving writes a temporary file beside the target and renames it over it, so a
// failed write leaves an older save intact.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/Variables.h"
#include "world/LiveRoom.h"

namespace kestro {

class CStream;

inline constexpr int32_t kSavedGameVersion = 540;
// A saved game larger than this is not read (refused as a failed read, never allocated).
inline constexpr uint64_t kMaxSavedGameBytes = uint64_t(1) << 30;

// A saved game as read from its file, not yet part of the running game.
struct RSavedGame {
  int32_t roomIndex = -1;
  int32_t transitionKind = 0;
  int32_t score = 0;
  int32_t lives = -1;
  double health = 100;
  int32_t cursorSprite = -1;
  int32_t cursorFrame = 0;
  bool automaticDraw = true;
  CVariableList globals;
  std::vector<bool> declaredGlobals;
  std::vector<std::unique_ptr<CLiveRoom>> rooms;  // by room index; empty slots null
  int32_t lastInstanceId = 0;
  int32_t lastTileId = 0;
};

enum class ESavedGameRead { kRead, kDamaged, kOtherVersion, kOtherGame };

// The running game in the saved-game form.
void WriteSavedGame(CStream& s);
// Reads a whole saved-game file into `out` without touching the running game. kRead only when
// every part read correctly, the current room's slot holds a room and nothing follows the end;
// `gameId` is this game's.
ESavedGameRead ReadSavedGame(CStream& s, int32_t gameId, RSavedGame& out);
// Makes a game ReadSavedGame read (kRead) the running one: game-wide values, globals, live rooms
// and the current room, the id counters; the drawing region is sized to the room. No event is
// performed.
void ApplySavedGame(RSavedGame& game);

// game_save: writes the file at once. Failures are reported as non-fatal errors; false then.
bool SaveGame(const std::string& fname);
// The pending change -300 (game_load): loads at once. A missing file does nothing; other failures
// are reported as non-fatal errors and change nothing. True when the game was replaced.
bool LoadGame(const std::string& fname);
// What LoadGame does once the file `fname` has been read into `s`.
bool LoadGameFrom(CStream& s, const std::string& fname);

// F5 and F6: the same for the quick-save file (QuickSavePath), a name of the system's own that
// secure mode does not refuse.
bool SaveQuickGame();
bool LoadQuickGame();

// game_load: remembers the file and asks for the load between steps (pending change -300).
void RequestLoadGame(const std::string& fname);
const std::string& PendingLoadFile();

// The quick-save file of F5 and F6: "_save" + game id + ".sav" in the game's folder.
std::string QuickSaveName(int32_t gameId);
std::string QuickSavePath();

}  // namespace kestro
