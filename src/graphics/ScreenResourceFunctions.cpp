// Sprites and backgrounds made from what has been drawn: a rectangle of the screen or of a
// surface becomes a new sprite or background, or one more image of a sprite. A grab that finds
// nothing (no device, a rectangle outside, a missing surface) gives one 0 x 0 image.
#include <algorithm>
#include <cmath>
#include <memory>

#include "graphics/Bindings.h"
#include "graphics/Graphics.h"
#include "graphics/Surfaces.h"
#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"
#include "resources/SpriteFile.h"
#include "world/ResourceChanges.h"

namespace kestro {

namespace {

TBitmap32 ToBitmap(const RGrab& g) {
  TBitmap32 bm;
  if (g.width <= 0 || g.height <= 0 || g.bgra.size() != size_t(g.width) * size_t(g.height) * 4) return bm;
  bm.Create(g.width, g.height);
  std::copy(g.bgra.begin(), g.bgra.end(), reinterpret_cast<uint8_t*>(bm.Data()));
  return bm;
}

TBitmap32 GrabScreen(const RValue* a) {
  RGrab g;
  Graphics().GrabScreen(ArgInt32(a[0]), ArgInt32(a[1]), ArgInt32(a[2]), ArgInt32(a[3]), g);
  return ToBitmap(g);
}

TBitmap32 GrabSurface(const RValue& id, const RValue* a) {
  RGrab g;
  if (const RSurface* s = Surfaces().Get(ArgIndex(id)))
    Graphics().GrabTexture(s->tex, ArgInt32(a[0]), ArgInt32(a[1]), ArgInt32(a[2]), ArgInt32(a[3]), g);
  return ToBitmap(g);
}

// The three-way background removal of new sprites and backgrounds, truncated toward zero: 1
// remove, -1 make opaque, 2 copy as it is, anything else 0.
int RemoveBack(const RValue& v) {
  const double t = std::trunc(v.val);
  return t == 1 || t == -1 || t == 2 ? int(t) : 0;
}

int NewSprite(const TBitmap32& bm, const RValue* a) {
  const int i = SpriteCreateEmpty(Sprites());
  Sprites().Get(i)->CreateFromBitmap(bm, RemoveBack(a[0]), ArgAboveHalf(a[1]), ArgInt32(a[2]), ArgInt32(a[3]));
  return i;
}

int NewBackground(const TBitmap32& bm, const RValue* a) {
  auto b = std::make_unique<CBackground>();
  b->CreateFromBitmap(bm, RemoveBack(a[0]), ArgAboveHalf(a[1]));
  const int i = Backgrounds().Count();
  return Backgrounds().Add(std::move(b), NewSlotName<CBackground>(i));
}

void AddToSprite(const RValue& ind, const TBitmap32& bm, const RValue* a) {
  CSprite* s = Sprites().Get(ArgIndex(ind));
  if (!s) return ReportBuiltinError("Trying to add to non-existing sprite.");
  s->AddFromBitmap(bm, ArgAboveHalf(a[0]) ? 1 : 0, ArgAboveHalf(a[1]));
  SpriteChanged(ArgIndex(ind));
}

KESTRO_BUILTIN(F_sprite_create_from_screen) { r.SetReal(NewSprite(GrabScreen(a), a + 4)); }
KESTRO_BUILTIN(F_sprite_create_from_surface) { r.SetReal(NewSprite(GrabSurface(a[0], a + 1), a + 5)); }
KESTRO_BUILTIN(F_sprite_add_from_screen) {
  if (!Sprites().Exists(ArgIndex(a[0]))) return ReportBuiltinError("Trying to add to non-existing sprite.");
  AddToSprite(a[0], GrabScreen(a + 1), a + 5);
}
KESTRO_BUILTIN(F_sprite_add_from_surface) {
  if (!Sprites().Exists(ArgIndex(a[0]))) return ReportBuiltinError("Trying to add to non-existing sprite.");
  AddToSprite(a[0], GrabSurface(a[1], a + 2), a + 6);
}
KESTRO_BUILTIN(F_background_create_from_screen) { r.SetReal(NewBackground(GrabScreen(a), a + 4)); }
KESTRO_BUILTIN(F_background_create_from_surface) { r.SetReal(NewBackground(GrabSurface(a[0], a + 1), a + 5)); }

constexpr RBinding kScreenResourceFunctions[] = {
    {"sprite_create_from_screen", F_sprite_create_from_screen},
    {"sprite_add_from_screen", F_sprite_add_from_screen},
    {"sprite_create_from_surface", F_sprite_create_from_surface},
    {"sprite_add_from_surface", F_sprite_add_from_surface},
    {"background_create_from_screen", F_background_create_from_screen},
    {"background_create_from_surface", F_background_create_from_surface},
};

}  // namespace

RBindingTable ScreenResourceFunctions() { return kScreenResourceFunctions; }

}  // namespace kestro
