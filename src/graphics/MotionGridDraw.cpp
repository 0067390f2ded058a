// mp_grid_draw: every cell of a motion grid as a filled rectangle, red when forbidden and green
// otherwise, in the kept alpha.
#include "graphics/Bindings.h"
#include "graphics/Graphics.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/MotionPlanning.h"

namespace kestro {

namespace {

constexpr int32_t kForbiddenColour = 0x0000FF;  // red
constexpr int32_t kFreeColour = 0x008000;       // green

KESTRO_BUILTIN(F_mp_grid_draw) {
  const CGrid* g = Grid(RoundToInt32(a[0].val));
  if (!g) return;
  CGraphics& graphics = Graphics();
  const uint32_t forbidden = graphics.ColourWithAlpha(kForbiddenColour), free = graphics.ColourWithAlpha(kFreeColour);
  for (int h = 0; h < g->i_hcells; ++h)
    for (int v = 0; v < g->i_vcells; ++v) {
      const uint32_t c = g->Cell(h, v) == kCellForbidden ? forbidden : free;
      const uint32_t colours[4] = {c, c, c, c};
      const double x = double(h) * g->i_cellw + g->i_left, y = double(v) * g->i_cellh + g->i_top;
      graphics.DrawRectangle(x, y, x + g->i_cellw - 1, y + g->i_cellh - 1, colours, false);
    }
}

constexpr RBinding kMotionGridDrawFunctions[] = {
    {"mp_grid_draw", F_mp_grid_draw},
};

}  // namespace

RBindingTable MotionGridDrawFunctions() { return kMotionGridDrawFunctions; }

}  // namespace kestro
