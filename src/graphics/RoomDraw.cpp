#include "graphics/RoomDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "graphics/Display.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "graphics/SpriteDraw.h"
#include "resources/GameResources.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/GameState.h"
#include "world/RoomTiles.h"
#include "world/World.h"

namespace kestro {

namespace {

IRoomParticles* g_particles = nullptr;

// Particle depths at or below this mean "no more systems".
constexpr double kNoParticles = -1e8;
// Depths above this are drawn at this z (it matters only with hidden-surface removal).
constexpr double kNearestDepth = 11000;
constexpr int32_t kWhite = 0xFFFFFF;

// The part of the room a view shows: left, top, right, bottom.
struct RViewRect {
  double left = 0, top = 0, right = 0, bottom = 0;
};

int ClampToInt(int64_t v) {
  return int(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// One direction of following: the view's new left (top) for the instance at p.
int FollowAxis(int pos, int64_t p, int border, int size, int roomSize, int speed) {
  int64_t start = pos;
  int64_t next = start;
  if (2 * int64_t(border) < size) {
    if (p - border < start)
      next = p - border;
    else if (p + border > start + size)
      next = p + border - size;
  } else {
    next = p - size / 2;
  }
  if (next < 0) next = 0;
  // A view wider than the room ends up at a negative left, showing the room at its right edge.
  if (next + size > roomSize) next = int64_t(roomSize) - size;
  if (speed >= 0 && std::llabs(next - start) > speed) next = next < start ? start - speed : start + speed;
  return ClampToInt(next);
}

// The instance a view follows: an instance id, or the first instance of an object or of one of
// its descendants; destroyed ones are passed over.
CInstance* FollowedInstance(const CLiveRoom& room, int index) {
  if (index > 99999) return room.FindId(index);
  if (!Objects().Exists(index)) return nullptr;
  const int count = room.Obj_Number_Recursive(index);
  for (int k = 0; k < count; ++k) {
    CInstance* inst = room.Obj_Instance_Recursive(index, k);
    if (inst && !inst->i_marked) return inst;
  }
  return nullptr;
}

void DrawLayers(const CLiveRoom& room, bool foreground, const RViewRect& r) {
  for (const CBack& b : room.r_background) {
    if (!b.visible || b.foreground != foreground) continue;
    const CBackground* bg = Backgrounds().Get(b.index);
    if (!bg) continue;
    DrawTiled(*bg, b.htiled, b.vtiled, b.x, b.y, b.xscale, b.yscale, r.left, r.top, r.right - r.left, r.bottom - r.top,
              b.blend, b.alpha);
  }
}

void DrawTile(const RTile& t, const RViewRect& r) {
  const RTileBox box = TileBox(t);
  if (!(r.right >= box.left && r.bottom >= box.top && r.left <= box.right && r.top <= box.bottom)) return;
  const CBackground* bg = Backgrounds().Get(t.index);
  if (!bg) return;
  DrawPart(*bg, t.blend, t.alpha, t.xo, t.yo, t.w, t.h, t.x, t.y, t.xscale, t.yscale);
}

// Whether an object draws its instances itself (a draw event, own or inherited), asked once per
// object and draw step.
class CDrawEventCache {
 public:
  void Reset() { known_.assign(size_t(std::max(0, Objects().Count())), kUnknown); }
  bool HasDrawEvent(int obj) {
    if (obj < 0) return false;
    if (size_t(obj) >= known_.size()) return bool(FindEvent(Objects(), obj, kEventDraw, 0));
    int8_t& k = known_[size_t(obj)];
    if (k == kUnknown) k = FindEvent(Objects(), obj, kEventDraw, 0) ? 1 : 0;
    return k == 1;
  }

 private:
  static constexpr int8_t kUnknown = -1;
  std::vector<int8_t> known_;
};
CDrawEventCache g_drawEvents;

int ImageOf(double imageIndex) {
  const double f = std::floor(imageIndex);
  return std::isfinite(f) && std::fabs(f) < 1e9 ? int(f) : 0;
}

void DrawInstance(CInstance* inst) {
  Graphics().SetDepth(std::min(inst->i_depth, kNearestDepth));
  if (g_drawEvents.HasDrawEvent(inst->i_objectindex)) {
    PerformInstanceEvent(inst, inst, kEventDraw, 0);
    return;
  }
  const CSprite* s = Sprites().Get(inst->i_spriteindex);
  if (!s) return;
  const int frame = ImageOf(inst->i_imageindex);
  if (inst->i_imagescalex != 1 || inst->i_imagescaley != 1 || inst->i_imageangle != 0 || inst->i_imageblend != kWhite ||
      inst->i_imagealpha != 1)
    Draw(*s, frame, inst->i_imageblend, inst->i_imagealpha, inst->i_imageangle, inst->i_imagescalex,
         inst->i_imagescaley, inst->i_x, inst->i_y);
  else
    DrawSimple(*s, frame, inst->i_x, inst->i_y);
}

// Instances, tiles and particle systems from the highest depth down. At equal depths particle
// systems come first, then the instance, then the tile. Indices are re-checked on every turn:
// draw events may create and destroy instances and tiles.
void MergeByDepth(CLiveRoom& room, const RViewRect& r) {
  IRoomParticles* particles = g_particles;
  double p = particles ? particles->HighestDepth() : -1e9;
  size_t i = 0, j = 0;
  for (;;) {
    const auto& instances = room.Active();
    const std::vector<RTile>& tiles = room.r_tile;
    while (i < instances.size() && (instances[i]->i_marked || !instances[i]->i_visible)) ++i;
    while (j < tiles.size() && !tiles[j].visible) ++j;
    const bool hasInstance = i < instances.size(), hasTile = j < tiles.size();
    const bool hasParticles = particles && p > kNoParticles;
    if (!hasInstance && !hasTile && !hasParticles) break;
    if (hasParticles && (!hasInstance || p >= instances[i]->i_depth) && (!hasTile || p >= tiles[j].depth)) {
      Graphics().SetDepth(std::min(p, kNearestDepth));
      particles->DrawAt(p);
      const double below = particles->DepthBelow(p);
      // A depth that does not go down would never end the loop.
      p = below < p ? below : -1e9;
      continue;
    }
    if (!hasInstance || (hasTile && tiles[j].depth > instances[i]->i_depth)) {
      const RTile tile = tiles[j++];
      DrawTile(tile, r);
    } else {
      DrawInstance(instances[i++].get());
    }
  }
}

void DrawView(CLiveRoom& room, const RViewRect& r) {
  CGraphics& g = Graphics();
  g.ClearDepth();
  if (room.r_showcolor) g.ClearScreen(room.r_color);
  g.SetDepth(12000);
  DrawLayers(room, false, r);
  MergeByDepth(room, r);
  g.SetDepth(-12000);
  DrawLayers(room, true, r);
  g.SetDepth(-13000);
  if (const CSprite* cursor = Sprites().Get(GameState().cursorSprite)) {
    int64_t mx = 0, my = 0;
    Input().MouseInRoom(mx, my);
    Draw(*cursor, GameState().cursorFrame, kWhite, 1, 0, 1, 1, double(mx), double(my));
  }
}

}  // namespace

void SetRoomParticles(IRoomParticles* particles) { g_particles = particles; }

void SizeRegionToRoom() {
  const CLiveRoom& room = World().Room();
  int w = room.r_width, h = room.r_height;
  if (room.r_enableviews) {
    w = h = 8;
    for (const CView& v : room.r_view) {
      if (!v.visible) continue;
      w = ClampToInt(std::max<int64_t>(w, int64_t(v.xport) + v.wport));
      h = ClampToInt(std::max<int64_t>(h, int64_t(v.yport) + v.hport));
    }
  }
  w = std::max(1, std::min(w, Display().Width()));
  h = std::max(1, std::min(h, Display().Height()));
  Ports().Clear();
  if (CGameWindow* window = GameWindow()) {
    const CWindowState& s = window->State();
    if (s.regionW != w || s.regionH != h) {
      window->SetRegionSize(w, h, true);
      window->Default();
    }
  }
  Graphics().SetDeviceRegion(w, h);
}

void FollowViews(CLiveRoom& room) {
  CPortTable& ports = Ports();
  if (!room.r_enableviews) {
    for (int k = 0; k < kRoomViews; ++k) ports.Set(k, RPort{});
    return;
  }
  for (CView& v : room.r_view) {
    if (!v.visible) continue;
    const CInstance* target = FollowedInstance(room, v.index);
    if (!target) continue;
    v.xview = FollowAxis(v.xview, RoundEven(target->i_x), v.hborder, v.wview, room.r_width, v.hspeed);
    v.yview = FollowAxis(v.yview, RoundEven(target->i_y), v.vborder, v.hview, room.r_height, v.vspeed);
  }
  for (int k = 0; k < kRoomViews; ++k) {
    const CView& v = room.r_view[size_t(k)];
    if (!v.visible) {
      ports.Set(k, RPort{});
      continue;
    }
    ports.Set(k, RPort{true, double(v.xview), double(v.yview), double(v.wview), double(v.hview), double(v.xport),
                       double(v.yport), double(v.wport), double(v.hport), v.angle});
  }
}

std::string RoomCaption() { return BuildCaption(World().Room().r_caption, GameState()); }

void DrawRoom() {
  // A draw event that asks for the room to be drawn again would otherwise never end.
  static bool drawing = false;
  if (drawing) return;
  struct RDrawing {
    RDrawing() { drawing = true; }
    ~RDrawing() { drawing = false; }
  } scope;
  CLiveRoom& room = World().Room();
  CGraphics& g = Graphics();
  CGameState& state = GameState();
  FollowViews(room);
  room.SortInstances();
  SortTiles(room);
  g_drawEvents.Reset();
  if (room.r_enableviews) {
    CGameWindow* window = GameWindow();
    g.SetViewport(0, 0, g.RegionWidth(), g.RegionHeight());
    g.ClearScreen(window ? window->State().colour : 0);
    for (int k = 0; k < kRoomViews; ++k) {
      // A copy: draw events may change the views, and this one is drawn as it was when it began.
      const CView v = room.r_view[size_t(k)];
      if (!v.visible) continue;
      state.viewCurrent = k;
      g.SetViewport(v.xport, v.yport, v.wport, v.hport);
      g.SetProjection(v.xview, v.yview, v.wview, v.hview, v.angle);
      RViewRect r{double(v.xview), double(v.yview), double(v.xview) + v.wview, double(v.yview) + v.hview};
      if (std::fabs(v.angle) >= 0.01) {
        // A turned view shows more than its rectangle: widen it by half the other side.
        r.left -= v.hview / 2;
        r.top -= v.wview / 2;
        r.right += v.hview / 2;
        r.bottom += v.wview / 2;
      }
      DrawView(room, r);
    }
    g.SetViewport(0, 0, g.RegionWidth(), g.RegionHeight());
    g.SetProjection(0, 0, g.RegionWidth(), g.RegionHeight(), 0);
  } else {
    state.viewCurrent = 0;
    g.SetViewport(0, 0, room.r_width, room.r_height);
    g.SetProjection(0, 0, room.r_width, room.r_height, 0);
    DrawView(room, RViewRect{0, 0, double(room.r_width), double(room.r_height)});
  }
  if (CGameWindow* window = GameWindow()) {
    std::string caption = RoomCaption();
    // The caption is set every step; the window is only told when it changes.
    if (caption != window->Caption()) window->SetCaption(caption);
  }
  state.viewCurrent = 0;
}

}  // namespace kestro
