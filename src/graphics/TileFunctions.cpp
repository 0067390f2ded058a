// The tile functions: tiles of the current room by id, and the searches and layer operations by
// position and depth. Regions, colours and ids are rounded; positions, depths, scales and alpha
// are kept as reals. An unknown id reports "Tile does not exist." and does nothing (a value is
// then 0); searches that find nothing give -1.
#include <functional>

#include "graphics/Bindings.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/RoomTiles.h"
#include "world/World.h"

namespace kestro {

namespace {

constexpr const char* kNoTile = "Tile does not exist.";
constexpr const char* kNoBackground = "Background does not exist.";

CRoom& Room() { return World().Room(); }

int Int(const RValue& v) { return RoundToInt32(v.val); }

// The tile named by the first argument, or null after reporting.
RTile* Tile(const RValue* a) {
  RTile* t = TileById(Room(), Int(a[0]));
  if (!t) ReportBuiltinError(kNoTile);
  return t;
}

// Reads a field of the tile named by a[0] into r.
template <typename Field>
void Get(RValue& r, const RValue* a, Field field) {
  if (const RTile* t = Tile(a)) r.SetReal(field(*t));
}

KESTRO_BUILTIN(F_tile_add) {
  const int back = Int(a[0]);
  if (!Backgrounds().Exists(back)) {
    ReportBuiltinError(kNoBackground);
    r.SetReal(-1);
    return;
  }
  RTile t;
  t.index = back;
  t.xo = Int(a[1]);
  t.yo = Int(a[2]);
  t.w = Int(a[3]);
  t.h = Int(a[4]);
  t.x = a[5].val;
  t.y = a[6].val;
  t.depth = a[7].val;
  r.SetReal(AddTile(Room(), t, World().lastTileId));
}

KESTRO_BUILTIN(F_tile_delete) {
  if (!DeleteTile(Room(), Int(a[0]))) ReportBuiltinError(kNoTile);
}
KESTRO_BUILTIN(F_tile_exists) { r.SetReal(FindTile(Room(), Int(a[0])) >= 0 ? 1 : 0); }

KESTRO_BUILTIN(F_tile_get_x) {
  Get(r, a, [](const RTile& t) { return t.x; });
}
KESTRO_BUILTIN(F_tile_get_y) {
  Get(r, a, [](const RTile& t) { return t.y; });
}
KESTRO_BUILTIN(F_tile_get_left) {
  Get(r, a, [](const RTile& t) { return double(t.xo); });
}
KESTRO_BUILTIN(F_tile_get_top) {
  Get(r, a, [](const RTile& t) { return double(t.yo); });
}
KESTRO_BUILTIN(F_tile_get_width) {
  Get(r, a, [](const RTile& t) { return double(t.w); });
}
KESTRO_BUILTIN(F_tile_get_height) {
  Get(r, a, [](const RTile& t) { return double(t.h); });
}
KESTRO_BUILTIN(F_tile_get_depth) {
  Get(r, a, [](const RTile& t) { return t.depth; });
}
KESTRO_BUILTIN(F_tile_get_visible) {
  Get(r, a, [](const RTile& t) { return t.visible ? 1.0 : 0.0; });
}
KESTRO_BUILTIN(F_tile_get_xscale) {
  Get(r, a, [](const RTile& t) { return t.xscale; });
}
KESTRO_BUILTIN(F_tile_get_yscale) {
  Get(r, a, [](const RTile& t) { return t.yscale; });
}
KESTRO_BUILTIN(F_tile_get_blend) {
  Get(r, a, [](const RTile& t) { return double(t.blend); });
}
KESTRO_BUILTIN(F_tile_get_alpha) {
  Get(r, a, [](const RTile& t) { return t.alpha; });
}
KESTRO_BUILTIN(F_tile_get_background) {
  Get(r, a, [](const RTile& t) { return double(t.index); });
}

KESTRO_BUILTIN(F_tile_set_visible) {
  if (RTile* t = Tile(a)) t->visible = ArgBool(a[1]);
}
KESTRO_BUILTIN(F_tile_set_background) {
  if (RTile* t = Tile(a)) t->index = Int(a[1]);
}
KESTRO_BUILTIN(F_tile_set_region) {
  if (RTile* t = Tile(a)) {
    t->xo = Int(a[1]);
    t->yo = Int(a[2]);
    t->w = Int(a[3]);
    t->h = Int(a[4]);
  }
}
KESTRO_BUILTIN(F_tile_set_position) {
  if (RTile* t = Tile(a)) {
    t->x = a[1].val;
    t->y = a[2].val;
  }
}
KESTRO_BUILTIN(F_tile_set_depth) {
  if (RTile* t = Tile(a)) t->depth = a[1].val;
}
KESTRO_BUILTIN(F_tile_set_scale) {
  if (RTile* t = Tile(a)) {
    t->xscale = a[1].val;
    t->yscale = a[2].val;
  }
}
KESTRO_BUILTIN(F_tile_set_blend) {
  if (RTile* t = Tile(a)) t->blend = Int(a[1]);
}
KESTRO_BUILTIN(F_tile_set_alpha) {
  if (RTile* t = Tile(a)) t->alpha = a[1].val;
}

// The id of the first tile in room order that `pick` accepts, or -1.
double FirstId(const std::function<bool(const RTile&)>& pick) {
  for (const RTile& t : Room().r_tile)
    if (pick(t)) return t.id;
  return -1;
}

// Background tiles have depths of 0 and more; foreground tiles lie below 0 (for deleting, 0
// counts as both).
KESTRO_BUILTIN(F_tile_find) {
  const double x = a[0].val, y = a[1].val;
  const bool foreground = ArgBool(a[2]);
  r.SetReal(
      FirstId([&](const RTile& t) { return (foreground ? t.depth < 0 : t.depth >= 0) && BoxHolds(TileBox(t), x, y); }));
}
KESTRO_BUILTIN(F_tile_delete_at) {
  const double x = a[0].val, y = a[1].val;
  const bool foreground = ArgBool(a[2]);
  DeleteTilesWhere(Room(), [&](const RTile& t) {
    return (foreground ? t.depth <= 0 : t.depth >= 0) && BoxHoldsClosed(TileBox(t), x, y);
  });
}

KESTRO_BUILTIN(F_tile_layer_hide) {
  for (RTile& t : Room().r_tile)
    if (t.depth == a[0].val) t.visible = false;
}
KESTRO_BUILTIN(F_tile_layer_show) {
  for (RTile& t : Room().r_tile)
    if (t.depth == a[0].val) t.visible = true;
}
KESTRO_BUILTIN(F_tile_layer_delete) {
  const double depth = a[0].val;
  DeleteTilesWhere(Room(), [depth](const RTile& t) { return t.depth == depth; });
}
KESTRO_BUILTIN(F_tile_layer_shift) {
  for (RTile& t : Room().r_tile)
    if (t.depth == a[0].val) {
      t.x += a[1].val;
      t.y += a[2].val;
    }
}
KESTRO_BUILTIN(F_tile_layer_find) {
  const double depth = a[0].val, x = a[1].val, y = a[2].val;
  r.SetReal(FirstId([&](const RTile& t) { return t.depth == depth && BoxHolds(TileBox(t), x, y); }));
}
KESTRO_BUILTIN(F_tile_layer_delete_at) {
  const double depth = a[0].val, x = a[1].val, y = a[2].val;
  DeleteTilesWhere(Room(), [&](const RTile& t) { return t.depth == depth && BoxHolds(TileBox(t), x, y); });
}
KESTRO_BUILTIN(F_tile_layer_depth) {
  for (RTile& t : Room().r_tile)
    if (t.depth == a[0].val) t.depth = a[1].val;
}

constexpr RBinding kTileFunctions[] = {
    {"tile_add", F_tile_add},
    {"tile_delete", F_tile_delete},
    {"tile_exists", F_tile_exists},
    {"tile_get_x", F_tile_get_x},
    {"tile_get_y", F_tile_get_y},
    {"tile_get_left", F_tile_get_left},
    {"tile_get_top", F_tile_get_top},
    {"tile_get_width", F_tile_get_width},
    {"tile_get_height", F_tile_get_height},
    {"tile_get_depth", F_tile_get_depth},
    {"tile_get_visible", F_tile_get_visible},
    {"tile_get_xscale", F_tile_get_xscale},
    {"tile_get_yscale", F_tile_get_yscale},
    {"tile_get_blend", F_tile_get_blend},
    {"tile_get_alpha", F_tile_get_alpha},
    {"tile_get_background", F_tile_get_background},
    {"tile_set_visible", F_tile_set_visible},
    {"tile_set_background", F_tile_set_background},
    {"tile_set_region", F_tile_set_region},
    {"tile_set_position", F_tile_set_position},
    {"tile_set_depth", F_tile_set_depth},
    {"tile_set_scale", F_tile_set_scale},
    {"tile_set_blend", F_tile_set_blend},
    {"tile_set_alpha", F_tile_set_alpha},
    {"tile_find", F_tile_find},
    {"tile_delete_at", F_tile_delete_at},
    {"tile_layer_hide", F_tile_layer_hide},
    {"tile_layer_show", F_tile_layer_show},
    {"tile_layer_delete", F_tile_layer_delete},
    {"tile_layer_shift", F_tile_layer_shift},
    {"tile_layer_find", F_tile_layer_find},
    {"tile_layer_delete_at", F_tile_layer_delete_at},
    {"tile_layer_depth", F_tile_layer_depth},
};

}  // namespace

RBindingTable TileFunctions() { return kTileFunctions; }

}  // namespace kestro
