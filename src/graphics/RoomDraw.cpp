#include "graphics/RoomDraw.h"

#include <cmath>

#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/SpriteDraw.h"
#include "resources/GameResources.h"
#include "world/EventLists.h"
#include "world/Events.h"
#include "world/World.h"

namespace kestro {

namespace {

void DrawLayers(const CLiveRoom& room, bool foreground) {
  for (const CBack& b : room.r_background) {
    if (!b.visible || b.foreground != foreground) continue;
    const CBackground* bg = Backgrounds().Get(b.index);
    if (!bg) continue;
    if (b.htiled || b.vtiled)
      DrawTiled(*bg, b.htiled, b.vtiled, b.x, b.y, b.xscale, b.yscale, 0, 0, room.r_width, room.r_height, b.blend,
                b.alpha);
    else
      Draw(*bg, b.blend, b.alpha, 0, b.xscale, b.yscale, b.x, b.y);
  }
}

}  // namespace

void SizeRegionToRoom() {
  const CLiveRoom& room = World().Room();
  if (CGameWindow* window = GameWindow()) window->SetRegionSize(room.r_width, room.r_height, true);
  Graphics().SetDeviceRegion(room.r_width, room.r_height);
}

void DrawRoom() {
  CLiveRoom& room = World().Room();
  if (room.r_showcolor) Graphics().ClearScreen(room.r_color);
  DrawLayers(room, false);
  room.SortInstances();
  for (size_t k = 0; k < room.Active().size(); ++k) {
    CInstance* inst = room.Active()[k].get();
    if (inst->i_marked || !inst->i_visible) continue;
    if (FindEvent(Objects(), inst->i_objectindex, kEventDraw, 0)) {
      PerformInstanceEvent(inst, inst, kEventDraw, 0);
    } else if (const CSprite* s = Sprites().Get(inst->i_spriteindex)) {
      const double f = std::floor(inst->i_imageindex);
      Draw(*s, std::isfinite(f) && std::fabs(f) < 1e9 ? int(f) : 0, inst->i_imageblend, inst->i_imagealpha,
           inst->i_imageangle, inst->i_imagescalex, inst->i_imagescaley, inst->i_x, inst->i_y);
    }
  }
  DrawLayers(room, true);
}

}  // namespace kestro
