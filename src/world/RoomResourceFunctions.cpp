// The room resource functions: they change the designed rooms of the room list (size, caption,
// persistence, code, colour, layers, views, the instances placed and the tiles) and add, copy and
// assign rooms. A live room (the one being played, or a persistent one kept from a visit) is a
// copy of its own: a change shows when a live copy is next made from the design.
#include <memory>
#include <string>

#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"
#include "world/Bindings.h"
#include "world/RoomTiles.h"
#include "world/World.h"

namespace kestro {

namespace {

CRoom* Find(const RValue& v) { return Rooms().Get(ArgIndex(v)); }
std::string NewRoomName(int index) { return "__newroom" + std::to_string(index); }

KESTRO_BUILTIN(F_room_exists) { r.SetReal(Find(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_room_get_name) { SetText(r, Rooms().Name(ArgIndex(a[0]))); }
KESTRO_BUILTIN(F_room_set_width) {
  if (CRoom* room = Find(a[0])) room->r_width = ArgInt32(a[1]);
}
KESTRO_BUILTIN(F_room_set_height) {
  if (CRoom* room = Find(a[0])) room->r_height = ArgInt32(a[1]);
}
KESTRO_BUILTIN(F_room_set_caption) {
  if (CRoom* room = Find(a[0])) room->r_caption = ArgText(a[1]);
}
KESTRO_BUILTIN(F_room_set_persistent) {
  if (CRoom* room = Find(a[0])) room->r_persistent = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_room_set_code) {
  if (CRoom* room = Find(a[0])) room->r_code = ArgText(a[1]);
}
KESTRO_BUILTIN(F_room_set_view_enabled) {
  if (CRoom* room = Find(a[0])) room->r_enableviews = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_room_set_background_color) {
  if (CRoom* room = Find(a[0])) {
    room->r_color = ArgInt32(a[1]);
    room->r_showcolor = ArgBool(a[2]);
  }
}

KESTRO_BUILTIN(F_room_set_background) {
  CRoom* room = Find(a[0]);
  const int64_t layer = ArgInt(a[1]);
  if (!room || layer < 0 || layer >= kRoomLayers) return;
  CBack& b = room->r_background[size_t(layer)];
  b.visible = ArgBool(a[2]);
  b.foreground = ArgBool(a[3]);
  b.index = ArgInt32(a[4]);
  b.x = a[5].val;
  b.y = a[6].val;
  b.htiled = ArgBool(a[7]);
  b.vtiled = ArgBool(a[8]);
  b.hspeed = a[9].val;
  b.vspeed = a[10].val;
  b.alpha = a[11].val;
  b.xscale = b.yscale = 1;
  b.stretch = false;  // the scales are no longer the stretched ones
}

KESTRO_BUILTIN(F_room_set_view) {
  CRoom* room = Find(a[0]);
  const int64_t view = ArgInt(a[1]);
  if (!room || view < 0 || view >= kRoomViews) return;
  CView& v = room->r_view[size_t(view)];
  v.visible = ArgBool(a[2]);
  int* fields[] = {&v.xview, &v.yview,   &v.wview,   &v.hview,  &v.xport,  &v.yport, &v.wport,
                   &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.index};
  for (size_t k = 0; k < std::size(fields); ++k) *fields[k] = ArgInt32(a[3 + k]);
}

KESTRO_BUILTIN(F_room_add) {
  const int i = Rooms().Count();
  r.SetReal(Rooms().Add(std::make_unique<CRoom>(), NewRoomName(i)));
}

KESTRO_BUILTIN(F_room_duplicate) {
  const CRoom* src = Find(a[0]);
  if (!src) return ReportBuiltinError("Trying to duplicate non-existing room.");
  auto copy = std::make_unique<CRoom>();
  copy->Assign(*src);
  const int i = Rooms().Count();
  r.SetReal(Rooms().Add(std::move(copy), NewRoomName(i)));
}

KESTRO_BUILTIN(F_room_assign) {
  const int ind = ArgIndex(a[0]), from = ArgIndex(a[1]);
  const CRoom* src = Rooms().Get(from);
  if (!src || ind < 0 || ind >= Rooms().Count()) return ReportBuiltinError("Error assigning a room.");
  if (ind == from) return;
  CRoom* dst = Rooms().Get(ind);
  if (!dst) dst = Rooms().Put(ind, std::make_unique<CRoom>(), NewRoomName(ind));
  dst->Assign(*src);
}

KESTRO_BUILTIN(F_room_instance_add) {
  CRoom* room = Find(a[0]);
  if (!room) return r.SetReal(-1);
  RRoomInstance placed;
  placed.id = ++World().lastInstanceId;
  placed.object = ArgInt32(a[3]);
  placed.exact = true;
  placed.xExact = a[1].val;
  placed.yExact = a[2].val;
  placed.x = ArgInt32(a[1]);
  placed.y = ArgInt32(a[2]);
  room->r_placed.push_back(std::move(placed));
  r.SetReal(room->r_placed.back().id);
}

KESTRO_BUILTIN(F_room_instance_clear) {
  if (CRoom* room = Find(a[0])) room->r_placed.clear();
}

// room_tile_add and room_tile_add_ext: the background is tested before the room.
void AddRoomTile(const RValue* a, bool ext, RValue& r) {
  const int back = ArgIndex(a[1]);
  if (!Backgrounds().Exists(back)) return ReportBuiltinError("Background does not exist.");
  CRoom* room = Find(a[0]);
  if (!room) return r.SetReal(ext ? 0 : -1);
  RTile t;
  t.index = back;
  t.xo = ArgInt32(a[2]);
  t.yo = ArgInt32(a[3]);
  t.w = ArgInt32(a[4]);
  t.h = ArgInt32(a[5]);
  t.x = a[6].val;
  t.y = a[7].val;
  t.depth = a[8].val;
  if (ext) {
    t.xscale = a[9].val;
    t.yscale = a[10].val;
    t.alpha = a[11].val;
  }
  r.SetReal(AddTile(*room, t, World().lastTileId));
}

KESTRO_BUILTIN(F_room_tile_add) { AddRoomTile(a, false, r); }
KESTRO_BUILTIN(F_room_tile_add_ext) { AddRoomTile(a, true, r); }
KESTRO_BUILTIN(F_room_tile_clear) {
  if (CRoom* room = Find(a[0])) ClearTiles(*room);
}

constexpr RBinding kRoomResourceFunctions[] = {
    {"room_name", F_room_get_name},
    {"room_exists", F_room_exists},
    {"room_get_name", F_room_get_name},
    {"room_set_width", F_room_set_width},
    {"room_set_height", F_room_set_height},
    {"room_set_caption", F_room_set_caption},
    {"room_set_persistent", F_room_set_persistent},
    {"room_set_code", F_room_set_code},
    {"room_set_background_color", F_room_set_background_color},
    {"room_set_background", F_room_set_background},
    {"room_set_view", F_room_set_view},
    {"room_set_view_enabled", F_room_set_view_enabled},
    {"room_add", F_room_add},
    {"room_duplicate", F_room_duplicate},
    {"room_assign", F_room_assign},
    {"room_instance_add", F_room_instance_add},
    {"room_instance_clear", F_room_instance_clear},
    {"room_tile_add", F_room_tile_add},
    {"room_tile_add_ext", F_room_tile_add_ext},
    {"room_tile_clear", F_room_tile_clear},
};

}  // namespace

RBindingTable RoomResourceFunctions() { return kRoomResourceFunctions; }

}  // namespace kestro
