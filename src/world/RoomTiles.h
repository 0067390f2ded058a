// The tiles of a room as game code changes them: adding with the game-wide id counter, finding by
// id (the index last used is tried first), deleting, the depth sort of the draw step, and the
// searches and layer operations of the tile functions. The array order is the draw order of the
// last sort; deleting keeps the order of the rest.
#pragma once

#include <functional>

#include "resources/Room.h"

namespace kestro {

// Appends `tile` with the id ++lastTileId; the room remembers its index. Returns the id.
int AddTile(CRoom& room, RTile tile, int& lastTileId);
// The index of the tile with that id, or -1. Tries the remembered index first and remembers
// the one found.
int FindTile(CRoom& room, int id);
// The tile with that id, or null.
RTile* TileById(CRoom& room, int id);
// Removes the tile with that id; false when there is none.
bool DeleteTile(CRoom& room, int id);
// Removes every tile `doomed` picks, keeping the order of the rest; the number removed.
int DeleteTilesWhere(CRoom& room, const std::function<bool(const RTile&)>& doomed);
void ClearTiles(CRoom& room);

// Depth order, higher first; tiles of equal depth keep their order. Nothing moves when the array
// is already in order.
void SortTiles(CRoom& room);

// The tile's box, each pair ordered so that negative scales give the mirrored box.
struct RTileBox {
  double left = 0, top = 0, right = 0, bottom = 0;
};
RTileBox TileBox(const RTile& t);
// (x, y) in the box with the left and top edges inside and the right and bottom ones outside.
bool BoxHolds(const RTileBox& b, double x, double y);
// (x, y) in the box with every edge inside.
bool BoxHoldsClosed(const RTileBox& b, double x, double y);

}  // namespace kestro
