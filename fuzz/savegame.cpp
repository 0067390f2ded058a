// Feeds arbitrary bytes to the saved-game reader: a file must be read or refused, never crash, hang
// or allocate beyond what its bytes can hold. The game id is taken from the input, so that most
// inputs get past that check. A game that was read becomes the running one and must write itself
// back in a form that reads and writes again to the same bytes. With KESTRO_FUZZ_SEED set to a
// folder, the first run writes a small saved game there as a starting input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "io/Stream.h"
#include "script/Variables.h"
#include "world/SaveGame.h"
#include "world/World.h"

using namespace kestro;

namespace {

std::vector<uint8_t> Written() {
  CStream s;
  WriteSavedGame(s);
  return s.Buffer();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seedDir = std::getenv("KESTRO_FUZZ_SEED")) {
    RunState().gameId = 7;
    auto room = std::make_unique<CLiveRoom>();
    room->r_caption = "seed";
    CInstance* a = room->AddInstanceWithId(100001, -1, 10, 20);
    a->i_vars.SetVar(kUserVariableBase, 0, RValue::Real(3));
    a->i_vars.SetVar(kUserVariableBase + 1, 32001, RValue::String(RString("text")));
    CInstance* b = room->AddInstanceWithId(100002, -1, 30, 40);
    b->i_deactivated = true;
    room->UpdateActive();
    room->r_tile.push_back(RTile{});
    World().SetRoom(std::move(room), 1);
    // A short flag table keeps the seed small.
    CVariableList globals;
    globals.SetVar(kUserVariableBase + 2, 0, RValue::Real(1.5));
    SetGlobals(std::move(globals), std::vector<bool>(3, true));
    const std::vector<uint8_t> bytes = Written();
    std::ofstream(std::string(seedDir) + "/seed.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    World().Reset();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t id = 0;
  if (size >= 8) std::memcpy(&id, data + 4, 4);
  RunState().gameId = id;
  CStream s(std::vector<uint8_t>(data, data + size));
  RSavedGame game;
  if (ReadSavedGame(s, id, game) != ESavedGameRead::kRead) return 0;
  ApplySavedGame(game);
  const std::vector<uint8_t> once = Written();
  CStream again(once);
  RSavedGame second;
  if (ReadSavedGame(again, id, second) != ESavedGameRead::kRead) std::abort();
  ApplySavedGame(second);
  if (Written() != once) std::abort();
  return 0;
}
