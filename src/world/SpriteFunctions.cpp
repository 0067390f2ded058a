// The sprite functions: which sprites exist, their sizes, origins and boxes, and sprites made,
// replaced, merged, copied, deleted, saved and given masks at run time (those taken from the
// screen or a surface are the drawing layer's, graphics/ScreenResourceFunctions.cpp). Instances
// whose sprite or mask changes get their boxes again at once.
#include <string>

#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"
#include "resources/SpriteFile.h"
#include "world/Bindings.h"
#include "world/ResourceChanges.h"

namespace kestro {

namespace {

CSprite* Find(const RValue& v) { return Sprites().Get(ArgIndex(v)); }

template <typename Field>
void Get(const RValue& ind, RValue& r, Field field) {
  const CSprite* s = Find(ind);
  r.SetReal(s ? double(field(*s)) : -1);
}

KESTRO_BUILTIN(F_sprite_exists) { r.SetReal(Find(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(F_sprite_get_name) { SetText(r, Sprites().Name(ArgIndex(a[0]))); }
KESTRO_BUILTIN(F_sprite_get_number) {
  Get(a[0], r, [](const CSprite& s) { return s.i_numb; });
}
KESTRO_BUILTIN(F_sprite_get_width) {
  Get(a[0], r, [](const CSprite& s) { return s.GetWidth(); });
}
KESTRO_BUILTIN(F_sprite_get_height) {
  Get(a[0], r, [](const CSprite& s) { return s.GetHeight(); });
}
KESTRO_BUILTIN(F_sprite_get_xoffset) {
  Get(a[0], r, [](const CSprite& s) { return s.i_xorig; });
}
KESTRO_BUILTIN(F_sprite_get_yoffset) {
  Get(a[0], r, [](const CSprite& s) { return s.i_yorig; });
}
KESTRO_BUILTIN(F_sprite_get_bbox_left) {
  Get(a[0], r, [](const CSprite& s) { return s.i_bbox.Left; });
}
KESTRO_BUILTIN(F_sprite_get_bbox_right) {
  Get(a[0], r, [](const CSprite& s) { return s.i_bbox.Right; });
}
KESTRO_BUILTIN(F_sprite_get_bbox_top) {
  Get(a[0], r, [](const CSprite& s) { return s.i_bbox.Top; });
}
KESTRO_BUILTIN(F_sprite_get_bbox_bottom) {
  Get(a[0], r, [](const CSprite& s) { return s.i_bbox.Bottom; });
}

KESTRO_BUILTIN(F_sprite_set_offset) {
  CSprite* s = Find(a[0]);
  if (!s) return;
  // Masks and box stay; the instances' boxes move with the origin.
  s->i_xorig = ArgInt32(a[1]);
  s->i_yorig = ArgInt32(a[2]);
  SpriteChanged(ArgIndex(a[0]));
}

KESTRO_BUILTIN(F_sprite_set_alpha_from_sprite) {
  CSprite* s = Find(a[0]);
  const CSprite* from = Find(a[1]);
  if (s && from) s->SetAlphaFromSprite(*from);
}

KESTRO_BUILTIN(F_sprite_add) {
  r.SetReal(SpriteAddFromFile(Sprites(), ArgText(a[0]), ArgInt32(a[1]), ArgBool(a[2]), ArgBool(a[3]), ArgInt32(a[4]),
                              ArgInt32(a[5])));
}

KESTRO_BUILTIN(F_sprite_replace) {
  const int ind = ArgIndex(a[0]);
  if (!Sprites().Exists(ind)) return ReportBuiltinError("Trying to replace non-existing sprite.");
  const bool loaded = SpriteReplaceFromFile(Sprites(), ind, ArgText(a[1]), ArgInt32(a[2]), ArgBool(a[3]), ArgBool(a[4]),
                                            ArgInt32(a[5]), ArgInt32(a[6]));
  if (loaded) SpriteChanged(ind);
  r.SetReal(loaded ? 1 : 0);
}

KESTRO_BUILTIN(F_sprite_add_sprite) { r.SetReal(SpriteAddFromSpriteFile(Sprites(), ArgText(a[0]))); }

KESTRO_BUILTIN(F_sprite_replace_sprite) {
  const int ind = ArgIndex(a[0]);
  if (!Sprites().Exists(ind)) return ReportBuiltinError("Trying to replace non-existing sprite.");
  const bool loaded = SpriteReplaceFromSpriteFile(Sprites(), ind, ArgText(a[1]));
  if (loaded) SpriteChanged(ind);
  r.SetReal(loaded ? 1 : 0);
}

KESTRO_BUILTIN(F_sprite_delete) {
  const int ind = ArgIndex(a[0]);
  if (!ResourceDelete(Sprites(), ind)) return ReportBuiltinError("Trying to delete non-existing sprite.");
  SpriteChanged(ind);
  r.SetReal(1);
}

KESTRO_BUILTIN(F_sprite_duplicate) {
  if (!Find(a[0])) return ReportBuiltinError("Trying to duplicate non-existing sprite.");
  r.SetReal(ResourceDuplicate(Sprites(), ArgIndex(a[0])));
}

KESTRO_BUILTIN(F_sprite_assign) {
  const int ind = ArgIndex(a[0]);
  if (!ResourceAssign(Sprites(), ind, ArgIndex(a[1]))) return ReportBuiltinError("Error assigning a sprite.");
  SpriteChanged(ind);
}

KESTRO_BUILTIN(F_sprite_merge) {
  CSprite* to = Find(a[0]);
  if (!to) return ReportBuiltinError("Trying to merge to non-existing sprite.");
  const CSprite* from = Find(a[1]);
  if (!from) return ReportBuiltinError("Trying to merge from non-existing sprite.");
  to->AddFromSprite(*from);
  SpriteChanged(ArgIndex(a[0]));
}

KESTRO_BUILTIN(F_sprite_save) {
  const CSprite* s = Find(a[0]);
  if (!s) return ReportBuiltinError("Trying to save non-existing sprite bitmap.");
  const std::string fname = ArgText(a[2]);
  if (fname.empty()) return ReportBuiltinError("Trying to save sprite bitmap to empty image file name.");
  // The image index is not wrapped: one outside the sprite writes nothing.
  const int64_t img = ArgInt(a[1]);
  if (img < 0 || img >= s->i_numb) return;
  SaveImageFile(s->GetBitmap(int(img)), fname);
}

KESTRO_BUILTIN(F_sprite_save_strip) {
  const CSprite* s = Find(a[0]);
  if (!s) return ReportBuiltinError("Trying to save non-existing sprite bitmap.");
  const std::string fname = ArgText(a[1]);
  if (fname.empty()) return ReportBuiltinError("Trying to save sprite bitmap to empty image file name.");
  SavePngFile(SpriteStrip(*s), fname);
}

KESTRO_BUILTIN(F_sprite_collision_mask) {
  CSprite* s = Find(a[0]);
  if (!s) return ReportBuiltinError("Trying to set collision mode for non-existing sprite.");
  RMaskParams p;
  p.sepmasks = ArgBool(a[1]);
  p.bbmode = ArgInt32(a[2]);
  p.bbox = {ArgInt32(a[3]), ArgInt32(a[4]), ArgInt32(a[5]), ArgInt32(a[6])};
  p.kind = ArgInt32(a[7]);
  p.tolerance = ArgInt32(a[8]);
  s->ComputeMask(p);
  SpriteChanged(ArgIndex(a[0]));
}

constexpr RBinding kSpriteFunctions[] = {
    {"sprite_name", F_sprite_get_name},
    {"sprite_exists", F_sprite_exists},
    {"sprite_get_name", F_sprite_get_name},
    {"sprite_get_number", F_sprite_get_number},
    {"sprite_get_width", F_sprite_get_width},
    {"sprite_get_height", F_sprite_get_height},
    {"sprite_get_xoffset", F_sprite_get_xoffset},
    {"sprite_get_yoffset", F_sprite_get_yoffset},
    {"sprite_get_bbox_left", F_sprite_get_bbox_left},
    {"sprite_get_bbox_right", F_sprite_get_bbox_right},
    {"sprite_get_bbox_top", F_sprite_get_bbox_top},
    {"sprite_get_bbox_bottom", F_sprite_get_bbox_bottom},
    {"sprite_set_offset", F_sprite_set_offset},
    {"sprite_set_alpha_from_sprite", F_sprite_set_alpha_from_sprite},
    {"sprite_add", F_sprite_add},
    {"sprite_replace", F_sprite_replace},
    {"sprite_add_sprite", F_sprite_add_sprite},
    {"sprite_replace_sprite", F_sprite_replace_sprite},
    {"sprite_delete", F_sprite_delete},
    {"sprite_duplicate", F_sprite_duplicate},
    {"sprite_assign", F_sprite_assign},
    {"sprite_merge", F_sprite_merge},
    {"sprite_save", F_sprite_save},
    {"sprite_save_strip", F_sprite_save_strip},
    {"sprite_collision_mask", F_sprite_collision_mask},
};

}  // namespace

RBindingTable SpriteFunctions() { return kSpriteFunctions; }

}  // namespace kestro
