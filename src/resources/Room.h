// CRoom: a designed room (size, speed, caption, colour, eight background layers, eight views,
// the instances placed in it with their creation code, tiles, creation code), and the room order.
// The designed rooms are never played; the world makes live copies of them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "resources/Background.h"
#include "resources/ResourceList.h"

namespace kestro {

class CBack {
 public:
  bool visible = false;
  bool foreground = false;
  int index = -1;
  double x = 0, y = 0;
  bool htiled = true, vtiled = true;
  double hspeed = 0, vspeed = 0;
  double xscale = 1, yscale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  // The stored stretch choice, kept so the room can be written back; drawing uses the scales.
  bool stretch = false;
};

class CView {
 public:
  bool visible = false;
  int xview = 0, yview = 0, wview = 640, hview = 480;
  int xport = 0, yport = 0, wport = 640, hport = 480;
  double angle = 0;
  int hborder = 32, vborder = 32;
  int hspeed = -1, vspeed = -1;
  int index = -1;
};

struct RTile {
  double x = 0, y = 0;
  int index = -1;
  int xo = 0, yo = 0, w = 0, h = 0;
  double depth = 0;
  int id = 0;
  double xscale = 1, yscale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  bool visible = true;
};

// An instance placed in the designed room; the world creates the instance from it when the
// room is entered.
struct RRoomInstance {
  int x = 0, y = 0;
  int object = -1;
  int id = 0;
  std::string code;  // creation code
  // Instances added by game code are placed at real positions: then `exact` is set and the
  // instance is made at (xExact, yExact) instead of (x, y).
  bool exact = false;
  double xExact = 0, yExact = 0;
};

inline constexpr int kRoomLayers = 8;
inline constexpr int kRoomViews = 8;

class CRoom {
 public:
  std::string r_caption;
  int r_speed = 30;
  int r_width = 640, r_height = 480;
  bool r_persistent = false;
  int r_color = 0xC0C0C0;
  bool r_showcolor = true;
  std::array<CBack, kRoomLayers> r_background;
  bool r_enableviews = false;
  std::array<CView, kRoomViews> r_view;
  std::string r_code;
  std::vector<RRoomInstance> r_placed;
  std::vector<RTile> r_tile;
  int r_tnumb = 0;
  int r_lasttile = -1;
  // How many layers and views the stored form held (8 when written by the builder).
  int storedLayers = kRoomLayers;
  int storedViews = kRoomViews;

  void Create() { Clear(); }
  void Clear() { *this = CRoom(); }
  void Assign(const CRoom& o) {
    *this = o;
    r_lasttile = -1;
  }
  void Destroy() { Clear(); }
  // Stored form: int 541 and the fields. A stretched layer takes its scales from the background
  // in `backgrounds`.
  bool LoadFromStream(CStream& s, const CResourceList<CBackground>& backgrounds);
  void SaveToStream(CStream& s) const;
};

struct CRoomBlock {
  CResourceList<CRoom> rooms;
  int lastInstanceId = 100000;
  int lastTileId = 10000000;
};

bool LoadRoomBlock(CStream& s, CRoomBlock& block, const CResourceList<CBackground>& backgrounds);
void SaveRoomBlock(CStream& s, const CRoomBlock& block);

// The room order: room slots in visiting order, at least one.
bool LoadRoomOrderBlock(CStream& s, std::vector<int>& order);
void SaveRoomOrderBlock(CStream& s, const std::vector<int>& order);

}  // namespace kestro
