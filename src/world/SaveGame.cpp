#include "world/SaveGame.h"

#include <filesystem>
#include <system_error>

#include "io/RunState.h"
#include "io/Stream.h"
#include "platform/posix/Files.h"
#include "platform/posix/GameNames.h"
#include "platform/posix/HostFiles.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinError.h"
#include "world/GameState.h"
#include "world/World.h"

namespace kestro {

namespace {

namespace fs = std::filesystem;

std::string g_pendingLoadFile;

// The fewest bytes each record can take, so that a count is checked against the bytes left
// before anything is allocated for it. Bools, counts and string lengths take 4 bytes, reals 8.
constexpr size_t kInstanceRecordBytes = 33 * 4 + 29 * 8;
constexpr size_t kSlotBytes = 4;
constexpr size_t kLayerBytes = 6 * 4 + 7 * 8;
constexpr size_t kViewBytes = 14 * 4 + 8;
constexpr size_t kTileBytes = 8 * 4 + 6 * 8;

// ---------------------------------------------------------------------------------------------
// Writing

void WriteInstance(CStream& s, const CInstance& i) {
  s.WriteInteger(i.i_id);
  s.WriteInteger(i.i_spriteindex);
  for (double d : {i.i_imageindex, i.i_imagespeed, i.i_imagescalex, i.i_imagescaley, i.i_imageangle, i.i_imagealpha})
    s.WriteReal(d);
  s.WriteInteger(i.i_imageblend);
  s.WriteInteger(i.i_maskindex);
  for (double d : {i.i_depth, i.i_x, i.i_y, i.i_xstart, i.i_ystart, i.i_xprevious, i.i_yprevious, i.i_direction,
                   i.i_speed, i.i_friction, i.i_gravitydir, i.i_gravity, i.i_hspeed, i.i_vspeed})
    s.WriteReal(d);
  for (int32_t b : {i.i_bbox.Left, i.i_bbox.Right, i.i_bbox.Top, i.i_bbox.Bottom}) s.WriteInteger(b);
  s.WriteBoolean(i.i_visible);
  s.WriteBoolean(i.i_solid);
  s.WriteBoolean(i.i_persistent);
  s.WriteInteger(i.i_objectindex);
  for (int t : i.i_timer) s.WriteInteger(t);
  s.WriteBoolean(i.i_marked);
  s.WriteBoolean(i.i_deactivated);
  s.WriteInteger(i.i_pathindex);
  for (double d : {i.i_pathposition, i.i_pathpositionprevious, i.i_pathspeed, i.i_pathscale, i.i_pathorientation})
    s.WriteReal(d);
  s.WriteInteger(i.i_pathend);
  s.WriteReal(i.i_pathxstart);
  s.WriteReal(i.i_pathystart);
  s.WriteInteger(i.i_timelineindex);
  s.WriteReal(i.i_timelineposition);
  s.WriteReal(i.i_timelinespeed);
  s.WriteBoolean(i.i_timelinerunning);
  s.WriteBoolean(i.i_timelineloop);
  s.WriteString(i.i_initcode);
  CStream vars;
  i.i_vars.SaveToStream(vars);
  s.WriteStream(vars);
}

void WriteRoom(CStream& s, const CLiveRoom& r) {
  s.WriteInteger(kSavedGameVersion);
  s.WriteString(r.r_caption);
  s.WriteInteger(r.r_width);
  s.WriteInteger(r.r_height);
  s.WriteInteger(r.r_speed);
  s.WriteBoolean(r.r_persistent);
  s.WriteInteger(r.r_color);
  s.WriteBoolean(r.r_showcolor);
  s.WriteString(r.r_code);
  s.WriteInteger(kRoomLayers);
  for (const CBack& b : r.r_background) {
    s.WriteBoolean(b.visible);
    s.WriteBoolean(b.foreground);
    s.WriteInteger(b.index);
    s.WriteReal(b.x);
    s.WriteReal(b.y);
    s.WriteBoolean(b.htiled);
    s.WriteBoolean(b.vtiled);
    s.WriteReal(b.xscale);
    s.WriteReal(b.yscale);
    s.WriteReal(b.hspeed);
    s.WriteReal(b.vspeed);
    s.WriteInteger(b.blend);
    s.WriteReal(b.alpha);
  }
  s.WriteBoolean(r.r_enableviews);
  s.WriteInteger(kRoomViews);
  for (const CView& v : r.r_view) {
    s.WriteBoolean(v.visible);
    for (int n : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport}) s.WriteInteger(n);
    s.WriteReal(v.angle);
    for (int n : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.index}) s.WriteInteger(n);
  }
  s.WriteInteger(r.ActiveCount());
  for (const auto& inst : r.Active()) WriteInstance(s, *inst);
  s.WriteInteger(int32_t(r.Deactivated().size()));
  for (const auto& inst : r.Deactivated()) WriteInstance(s, *inst);
  s.WriteInteger(int32_t(r.r_tile.size()));
  for (const RTile& t : r.r_tile) {
    s.WriteReal(t.x);
    s.WriteReal(t.y);
    for (int n : {t.index, t.xo, t.yo, t.w, t.h}) s.WriteInteger(n);
    s.WriteReal(t.depth);
    s.WriteInteger(t.id);
    s.WriteReal(t.xscale);
    s.WriteReal(t.yscale);
    s.WriteInteger(t.blend);
    s.WriteReal(t.alpha);
    s.WriteBoolean(t.visible);
  }
}

// ---------------------------------------------------------------------------------------------
// Reading: every damage raises EStreamError, which ReadSavedGame turns into kDamaged.

[[noreturn]] void Damaged(const char* what) { throw EStreamError(what); }

// A count of records of at least `recordBytes` each: never negative and never more than the
// bytes left can hold.
int32_t ReadCount(CStream& s, size_t recordBytes) {
  const int32_t n = s.ReadInteger();
  if (n < 0 || size_t(n) > s.Remaining() / recordBytes) Damaged("Damaged count in saved game");
  return n;
}

void ReadInstance(CStream& s, CInstance& i) {
  i.i_id = s.ReadInteger();
  i.i_spriteindex = s.ReadInteger();
  for (double* d : {&i.i_imageindex, &i.i_imagespeed, &i.i_imagescalex, &i.i_imagescaley, &i.i_imageangle,
                    &i.i_imagealpha})
    *d = s.ReadReal();
  i.i_imageblend = s.ReadInteger();
  i.i_maskindex = s.ReadInteger();
  for (double* d : {&i.i_depth, &i.i_x, &i.i_y, &i.i_xstart, &i.i_ystart, &i.i_xprevious, &i.i_yprevious,
                    &i.i_direction, &i.i_speed, &i.i_friction, &i.i_gravitydir, &i.i_gravity, &i.i_hspeed,
                    &i.i_vspeed})
    *d = s.ReadReal();
  for (int32_t* b : {&i.i_bbox.Left, &i.i_bbox.Right, &i.i_bbox.Top, &i.i_bbox.Bottom}) *b = s.ReadInteger();
  i.i_visible = s.ReadBoolean();
  i.i_solid = s.ReadBoolean();
  i.i_persistent = s.ReadBoolean();
  i.i_objectindex = s.ReadInteger();
  i.i_object = Objects().Get(i.i_objectindex);
  for (int& t : i.i_timer) t = s.ReadInteger();
  i.i_marked = s.ReadBoolean();
  i.i_deactivated = s.ReadBoolean();
  i.i_pathindex = s.ReadInteger();
  for (double* d : {&i.i_pathposition, &i.i_pathpositionprevious, &i.i_pathspeed, &i.i_pathscale,
                    &i.i_pathorientation})
    *d = s.ReadReal();
  i.i_pathend = s.ReadInteger();
  i.i_pathxstart = s.ReadReal();
  i.i_pathystart = s.ReadReal();
  i.i_timelineindex = s.ReadInteger();
  i.i_timelineposition = s.ReadReal();
  i.i_timelinespeed = s.ReadReal();
  i.i_timelinerunning = s.ReadBoolean();
  i.i_timelineloop = s.ReadBoolean();
  i.i_initcode = s.ReadString();
  std::unique_ptr<CStream> vars = s.ReadStream();
  if (!i.i_vars.LoadFromStream(*vars) || vars->Remaining() != 0) Damaged("Damaged instance variables");
}

// Reads `count` instance records into the room's active list, each flagged as its list says.
void ReadInstances(CStream& s, CLiveRoom& room, bool deactivated) {
  const int32_t count = ReadCount(s, kInstanceRecordBytes);
  for (int32_t k = 0; k < count; ++k) {
    CInstance read;
    ReadInstance(s, read);
    read.i_deactivated = deactivated;
    CInstance* inst = room.AddInstanceWithId(read.i_id, read.i_objectindex, read.i_x, read.i_y);
    *inst = std::move(read);
  }
}

std::unique_ptr<CLiveRoom> ReadRoom(CStream& s) {
  if (s.ReadInteger() != kSavedGameVersion) Damaged("Damaged room in saved game");
  auto room = std::make_unique<CLiveRoom>();
  CLiveRoom& r = *room;
  r.r_caption = s.ReadString();
  r.r_width = s.ReadInteger();
  r.r_height = s.ReadInteger();
  r.r_speed = s.ReadInteger();
  r.r_persistent = s.ReadBoolean();
  r.r_color = s.ReadInteger();
  r.r_showcolor = s.ReadBoolean();
  r.r_code = s.ReadString();
  // Eight layers and eight views are written; fewer leave the rest at their defaults.
  const int32_t layers = ReadCount(s, kLayerBytes);
  if (layers > kRoomLayers) Damaged("Damaged room in saved game");
  for (int32_t k = 0; k < layers; ++k) {
    CBack& b = r.r_background[size_t(k)];
    b.visible = s.ReadBoolean();
    b.foreground = s.ReadBoolean();
    b.index = s.ReadInteger();
    b.x = s.ReadReal();
    b.y = s.ReadReal();
    b.htiled = s.ReadBoolean();
    b.vtiled = s.ReadBoolean();
    b.xscale = s.ReadReal();
    b.yscale = s.ReadReal();
    b.hspeed = s.ReadReal();
    b.vspeed = s.ReadReal();
    b.blend = s.ReadInteger();
    b.alpha = s.ReadReal();
  }
  r.r_enableviews = s.ReadBoolean();
  const int32_t views = ReadCount(s, kViewBytes);
  if (views > kRoomViews) Damaged("Damaged room in saved game");
  for (int32_t k = 0; k < views; ++k) {
    CView& v = r.r_view[size_t(k)];
    v.visible = s.ReadBoolean();
    for (int* n : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
      *n = s.ReadInteger();
    v.angle = s.ReadReal();
    for (int* n : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.index}) *n = s.ReadInteger();
  }
  ReadInstances(s, r, false);
  ReadInstances(s, r, true);
  const int32_t tiles = ReadCount(s, kTileBytes);
  r.r_tile.reserve(size_t(tiles));
  for (int32_t k = 0; k < tiles; ++k) {
    RTile t;
    t.x = s.ReadReal();
    t.y = s.ReadReal();
    for (int* n : {&t.index, &t.xo, &t.yo, &t.w, &t.h}) *n = s.ReadInteger();
    t.depth = s.ReadReal();
    t.id = s.ReadInteger();
    t.xscale = s.ReadReal();
    t.yscale = s.ReadReal();
    t.blend = s.ReadInteger();
    t.alpha = s.ReadReal();
    t.visible = s.ReadBoolean();
    r.r_tile.push_back(t);
  }
  r.r_tnumb = int(r.r_tile.size());
  r.r_lasttile = -1;
  // The deactivated instances to their list, then the per-object lists and the id index.
  r.UpdateActive();
  r.RebuildObjectLists();
  return room;
}

// ---------------------------------------------------------------------------------------------

// In secure mode a name with a folder part is refused (the system's own quick-save name is never
// asked about).
bool SecureRefuses(const std::string& fname) {
  return RunState().secureMode && fname.find_first_of("\\/") != std::string::npos;
}

bool WriteSaveFile(const std::string& path, const std::string& shownName) {
  CStream s;
  WriteSavedGame(s);
  const std::vector<uint8_t>& bytes = s.Buffer();
  if (path.empty() || !os::WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()))) {
    ReportBuiltinError("Failed to save game to file " + shownName);
    return false;
  }
  return true;
}

bool ReadSaveFile(const std::string& path, const std::string& shownName) {
  std::error_code ec;
  if (path.empty() || !fs::exists(path, ec)) return false;
  std::vector<uint8_t> bytes;
  if (!os::ReadFileBytes(path, bytes, kMaxSavedGameBytes)) {
    ReportBuiltinError("Failed to load game from file " + shownName);
    return false;
  }
  CStream s(std::move(bytes));
  return LoadGameFrom(s, shownName);
}

}  // namespace

bool LoadGameFrom(CStream& s, const std::string& fname) {
  RSavedGame game;
  switch (ReadSavedGame(s, RunState().gameId, game)) {
    case ESavedGameRead::kRead:
      ApplySavedGame(game);
      return true;
    case ESavedGameRead::kOtherVersion:
      ReportBuiltinError("Cannot load game saved with other version.");
      return false;
    case ESavedGameRead::kOtherGame:
      ReportBuiltinError("This is a save file for a different game!");
      return false;
    case ESavedGameRead::kDamaged:
      break;
  }
  ReportBuiltinError("Failed to load game from file " + fname);
  return false;
}

void WriteSavedGame(CStream& s) {
  const CWorld& w = World();
  const CGameState& g = GameState();
  s.WriteInteger(kSavedGameVersion);
  s.WriteInteger(RunState().gameId);
  s.WriteInteger(w.roomIndex);
  s.WriteInteger(w.transitionKind);
  s.WriteInteger(g.score);
  s.WriteInteger(g.lives);
  s.WriteReal(g.health);
  s.WriteInteger(g.cursorSprite);
  s.WriteInteger(g.cursorFrame);
  s.WriteBoolean(g.automaticDraw);
  CStream globals;
  SaveGlobals(globals);
  s.WriteStream(globals);
  s.WriteInteger(int32_t(w.liveRooms.size()));
  for (const auto& room : w.liveRooms) {
    s.WriteBoolean(room != nullptr);
    if (room) WriteRoom(s, *room);
  }
  s.WriteInteger(w.lastInstanceId);
  s.WriteInteger(w.lastTileId);
}

ESavedGameRead ReadSavedGame(CStream& s, int32_t gameId, RSavedGame& out) {
  try {
    if (s.ReadInteger() != kSavedGameVersion) return ESavedGameRead::kOtherVersion;
    if (s.ReadInteger() != gameId) return ESavedGameRead::kOtherGame;
    out.roomIndex = s.ReadInteger();
    out.transitionKind = s.ReadInteger();
    out.score = s.ReadInteger();
    out.lives = s.ReadInteger();
    out.health = s.ReadReal();
    out.cursorSprite = s.ReadInteger();
    out.cursorFrame = s.ReadInteger();
    out.automaticDraw = s.ReadBoolean();
    std::unique_ptr<CStream> globals = s.ReadStream();
    if (!ReadGlobals(*globals, out.globals, out.declaredGlobals) || globals->Remaining() != 0)
      return ESavedGameRead::kDamaged;
    const int32_t slots = ReadCount(s, kSlotBytes);
    out.rooms.clear();
    out.rooms.resize(size_t(slots));
    for (auto& room : out.rooms) {
      if (s.ReadBoolean()) room = ReadRoom(s);
    }
    out.lastInstanceId = s.ReadInteger();
    out.lastTileId = s.ReadInteger();
    // The game goes on in the current room: its slot must hold one. Nothing may follow the end.
    if (out.roomIndex < 0 || out.roomIndex >= slots || !out.rooms[size_t(out.roomIndex)] || s.Remaining() != 0)
      return ESavedGameRead::kDamaged;
    return ESavedGameRead::kRead;
  } catch (const std::exception&) {
    // Read past the end, a damaged count or value, or memory refused: all damage.
    return ESavedGameRead::kDamaged;
  }
}

void ApplySavedGame(RSavedGame& game) {
  CWorld& w = World();
  CGameState& g = GameState();
  g.score = game.score;
  g.lives = game.lives;
  g.health = game.health;
  g.cursorSprite = game.cursorSprite;
  g.cursorFrame = game.cursorFrame;
  g.automaticDraw = game.automaticDraw;
  w.transitionKind = game.transitionKind;
  SetGlobals(std::move(game.globals), std::move(game.declaredGlobals));
  w.carried.clear();
  std::unique_ptr<CLiveRoom> current = std::move(game.rooms[size_t(game.roomIndex)]);
  // The old rooms and their instances go here; the new rooms' lists were built as they were read,
  // and the collision grid builds itself again at its next use (another room is current).
  w.liveRooms = std::move(game.rooms);
  w.SetRoom(std::move(current), game.roomIndex);
  w.lastInstanceId = game.lastInstanceId;
  w.lastTileId = game.lastTileId;
  if (w.hooks.sizeRegion) w.hooks.sizeRegion();
}

bool SaveGame(const std::string& fname) {
  if (SecureRefuses(fname)) {
    ReportBuiltinError("In secure mode you cannot save game to file " + fname);
    return false;
  }
  return WriteSaveFile(os::HostPath(fname), fname);
}

bool LoadGame(const std::string& fname) { return ReadSaveFile(os::HostPath(fname), fname); }

bool SaveQuickGame() {
  const std::string path = QuickSavePath();
  return WriteSaveFile(path, path);
}

bool LoadQuickGame() {
  const std::string path = QuickSavePath();
  return ReadSaveFile(path, path);
}

void RequestLoadGame(const std::string& fname) {
  g_pendingLoadFile = fname;
  World().pendingChange = kChangeLoad;
}

const std::string& PendingLoadFile() { return g_pendingLoadFile; }

std::string QuickSaveName(int32_t gameId) { return "_save" + std::to_string(gameId) + ".sav"; }

std::string QuickSavePath() {
  const std::string& folder = RunState().gameFolder;
  return (fs::path(folder.empty() ? "." : folder) / QuickSaveName(RunState().gameId)).string();
}

}  // namespace kestro
