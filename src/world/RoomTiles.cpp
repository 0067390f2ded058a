#include "world/RoomTiles.h"

#include <algorithm>
#include <cmath>

namespace kestro {

namespace {
void Recount(CRoom& room) { room.r_tnumb = int(room.r_tile.size()); }
}  // namespace

int AddTile(CRoom& room, RTile tile, int& lastTileId) {
  tile.id = ++lastTileId;
  room.r_tile.push_back(tile);
  Recount(room);
  room.r_lasttile = room.r_tnumb - 1;
  return tile.id;
}

int FindTile(CRoom& room, int id) {
  const int count = int(room.r_tile.size());
  if (room.r_lasttile >= 0 && room.r_lasttile < count && room.r_tile[size_t(room.r_lasttile)].id == id)
    return room.r_lasttile;
  for (int k = 0; k < count; ++k)
    if (room.r_tile[size_t(k)].id == id) {
      room.r_lasttile = k;
      return k;
    }
  return -1;
}

RTile* TileById(CRoom& room, int id) {
  const int k = FindTile(room, id);
  return k < 0 ? nullptr : &room.r_tile[size_t(k)];
}

bool DeleteTile(CRoom& room, int id) {
  const int k = FindTile(room, id);
  if (k < 0) return false;
  room.r_tile.erase(room.r_tile.begin() + k);
  Recount(room);
  room.r_lasttile = -1;
  return true;
}

int DeleteTilesWhere(CRoom& room, const std::function<bool(const RTile&)>& doomed) {
  const size_t removed = std::erase_if(room.r_tile, doomed);
  if (removed) {
    Recount(room);
    room.r_lasttile = -1;
  }
  return int(removed);
}

void ClearTiles(CRoom& room) {
  room.r_tile.clear();
  Recount(room);
  room.r_lasttile = -1;
}

void SortTiles(CRoom& room) {
  std::vector<RTile>& t = room.r_tile;
  bool sorted = true;
  bool nan = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (i > 0 && t[i].depth > t[i - 1].depth) sorted = false;
    if (std::isnan(t[i].depth)) nan = true;
  }
  if (sorted) return;
  room.r_lasttile = -1;
  if (!nan) {
    // A stable sort on "deeper first" is exactly the insertion sort's order, in n log n.
    std::stable_sort(t.begin(), t.end(), [](const RTile& a, const RTile& b) { return a.depth > b.depth; });
    return;
  }
  // A depth that is not a number compares with nothing; the insertion sort leaves it where it is.
  for (size_t i = 1; i < t.size(); ++i)
    for (size_t j = i; j > 0 && t[j].depth > t[j - 1].depth; --j) std::swap(t[j], t[j - 1]);
}

RTileBox TileBox(const RTile& t) {
  const double x2 = t.x + t.w * t.xscale, y2 = t.y + t.h * t.yscale;
  return {std::min(t.x, x2), std::min(t.y, y2), std::max(t.x, x2), std::max(t.y, y2)};
}

bool BoxHolds(const RTileBox& b, double x, double y) {
  return x >= b.left && x < b.right && y >= b.top && y < b.bottom;
}

bool BoxHoldsClosed(const RTileBox& b, double x, double y) {
  return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
}

}  // namespace kestro
