// The surface functions: making, freeing and drawing into surfaces, drawing them as backgrounds
// are drawn, reading and saving their pixels, and copying between them.
#include <algorithm>
#include <numbers>

#include "graphics/Bindings.h"
#include "graphics/Surfaces.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/World.h"

namespace kestro {

namespace {

double D(const RValue& v) { return v.val; }
int32_t Col(const RValue& v) { return int32_t(ArgInt(v)); }
int Int(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), -(int64_t(1) << 30), int64_t(1) << 30)); }
void SetReal(RValue& r, double v) { r = RValue::Real(v); }
CGraphics& G() { return Graphics(); }
constexpr double kDegrees = std::numbers::pi / 180;

// The surface an argument names, or null after reporting it.
const RSurface* SurfaceArg(const RValue& v) {
  const RSurface* s = Surfaces().Get(Int(v));
  if (!s) ReportBuiltinError("Trying to use non-existing surface.");
  return s;
}

KESTRO_BUILTIN(SurfaceCreate) { SetReal(r, Surfaces().Create(Int(a[0]), Int(a[1]))); }
KESTRO_BUILTIN(SurfaceFree) {
  if (SurfaceArg(a[0])) Surfaces().Free(Int(a[0]));
}
KESTRO_BUILTIN(SurfaceExists) { SetReal(r, Surfaces().Exists(Int(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(SurfaceGetWidth) {
  const RSurface* s = Surfaces().Get(Int(a[0]));
  SetReal(r, s ? s->w : -1);
}
KESTRO_BUILTIN(SurfaceGetHeight) {
  const RSurface* s = Surfaces().Get(Int(a[0]));
  SetReal(r, s ? s->h : -1);
}
KESTRO_BUILTIN(SurfaceGetTexture) {
  const RSurface* s = Surfaces().Get(Int(a[0]));
  SetReal(r, s ? s->tex : -1);
}
KESTRO_BUILTIN(SurfaceSetTarget) { SetReal(r, Surfaces().SetTarget(Int(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(SurfaceResetTarget) { Surfaces().ResetTarget(); }

KESTRO_BUILTIN(DrawSurface) {
  if (const RSurface* s = SurfaceArg(a[0])) G().DrawTextureSimple(s->tex, D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawSurfaceExt) {
  if (const RSurface* s = SurfaceArg(a[0]))
    G().DrawTexture(s->tex, Col(a[6]), 0, 0, D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]) * kDegrees, D(a[7]));
}
void Stretched(const RSurface& s, int32_t colour, double alpha, double w, double h, double x, double y) {
  if (!(w > 0) || !(h > 0)) return;
  G().DrawTexture(s.tex, colour, 0, 0, x, y, w / s.w, h / s.h, 0, alpha);
}
KESTRO_BUILTIN(DrawSurfaceStretched) {
  if (const RSurface* s = SurfaceArg(a[0])) Stretched(*s, 0xFFFFFF, 1, D(a[3]), D(a[4]), D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawSurfaceStretchedExt) {
  if (const RSurface* s = SurfaceArg(a[0])) Stretched(*s, Col(a[5]), D(a[6]), D(a[3]), D(a[4]), D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawSurfacePart) {
  if (const RSurface* s = SurfaceArg(a[0]))
    G().DrawTexturePart(s->tex, 0xFFFFFF, D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), 1, 1, 0, 1);
}
KESTRO_BUILTIN(DrawSurfacePartExt) {
  if (const RSurface* s = SurfaceArg(a[0]))
    G().DrawTexturePart(s->tex, Col(a[9]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]), 0,
                        D(a[10]));
}
KESTRO_BUILTIN(DrawSurfaceGeneral) {
  if (const RSurface* s = SurfaceArg(a[0])) {
    int32_t c[4] = {Col(a[10]), Col(a[11]), Col(a[12]), Col(a[13])};
    G().DrawTextureGeneral(s->tex, c, D(a[14]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]),
                           D(a[9]) * kDegrees);
  }
}
void Tiled(const RSurface& s, double x, double y, double xs, double ys, int32_t colour, double alpha) {
  const CLiveRoom& room = World().Room();
  G().DrawTextureTiled(s.tex, true, true, 0, 0, x, y, xs, ys, 0, 0, room.r_width, room.r_height, colour, alpha);
}
KESTRO_BUILTIN(DrawSurfaceTiled) {
  if (const RSurface* s = SurfaceArg(a[0])) Tiled(*s, D(a[1]), D(a[2]), 1, 1, 0xFFFFFF, 1);
}
KESTRO_BUILTIN(DrawSurfaceTiledExt) {
  if (const RSurface* s = SurfaceArg(a[0])) Tiled(*s, D(a[1]), D(a[2]), D(a[3]), D(a[4]), Col(a[5]), D(a[6]));
}

KESTRO_BUILTIN(SurfaceGetpixel) {
  const RSurface* s = SurfaceArg(a[0]);
  RGrab g;
  if (!s || !G().GrabTexture(s->tex, Int(a[1]), Int(a[2]), 1, 1, g) || g.bgra.size() < 4) return;
  SetReal(r, double(int32_t(g.bgra[2]) | int32_t(g.bgra[1]) << 8 | int32_t(g.bgra[0]) << 16));
}

void Save(const RValue& id, const RValue& name, int x, int y, int w, int h, bool whole) {
  const RSurface* s = SurfaceArg(id);
  if (!s) return;
  std::string fname = ArgText(name);
  if (fname.empty()) {
    ReportBuiltinError("Trying to save surface to empty image file name.");
    return;
  }
  if (whole) x = 0, y = 0, w = s->w, h = s->h;
  RGrab g;
  if (G().GrabTexture(s->tex, x, y, w, h, g)) SaveGrab(g, fname, false);
}
KESTRO_BUILTIN(SurfaceSave) { Save(a[0], a[1], 0, 0, 0, 0, true); }
KESTRO_BUILTIN(SurfaceSavePart) { Save(a[0], a[1], Int(a[2]), Int(a[3]), Int(a[4]), Int(a[5]), false); }

KESTRO_BUILTIN(SurfaceCopy) {
  const RSurface* d = SurfaceArg(a[0]);
  const RSurface* s = d ? SurfaceArg(a[3]) : nullptr;
  if (s) Surfaces().CopyPart(Int(a[0]), Int(a[1]), Int(a[2]), Int(a[3]), 0, 0, s->w, s->h);
}
KESTRO_BUILTIN(SurfaceCopyPart) {
  const RSurface* d = SurfaceArg(a[0]);
  if (d && SurfaceArg(a[3]))
    Surfaces().CopyPart(Int(a[0]), Int(a[1]), Int(a[2]), Int(a[3]), Int(a[4]), Int(a[5]), Int(a[6]), Int(a[7]));
}

const RBinding kSurfaceFunctions[] = {
    {"surface_create", SurfaceCreate},
    {"surface_free", SurfaceFree},
    {"surface_exists", SurfaceExists},
    {"surface_get_width", SurfaceGetWidth},
    {"surface_get_height", SurfaceGetHeight},
    {"surface_get_texture", SurfaceGetTexture},
    {"surface_set_target", SurfaceSetTarget},
    {"surface_reset_target", SurfaceResetTarget},
    {"draw_surface", DrawSurface},
    {"draw_surface_ext", DrawSurfaceExt},
    {"draw_surface_stretched", DrawSurfaceStretched},
    {"draw_surface_stretched_ext", DrawSurfaceStretchedExt},
    {"draw_surface_part", DrawSurfacePart},
    {"draw_surface_part_ext", DrawSurfacePartExt},
    {"draw_surface_general", DrawSurfaceGeneral},
    {"draw_surface_tiled", DrawSurfaceTiled},
    {"draw_surface_tiled_ext", DrawSurfaceTiledExt},
    {"surface_save", SurfaceSave},
    {"surface_save_part", SurfaceSavePart},
    {"surface_getpixel", SurfaceGetpixel},
    {"surface_copy", SurfaceCopy},
    {"surface_copy_part", SurfaceCopyPart},
};

}  // namespace

RBindingTable SurfaceFunctions() { return kSurfaceFunctions; }

}  // namespace kestro
