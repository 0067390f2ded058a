#include "world/InstanceCollision.h"

#include <cmath>

#include "resources/GameResources.h"
#include "world/SpriteCollision.h"

namespace kestro {

namespace {

const CSprite* MaskSprite(const CInstance& inst) {
  return Sprites().Get(inst.i_maskindex >= 0 ? inst.i_maskindex : inst.i_spriteindex);
}

RMaskPlace Place(const CInstance& inst, const CSprite& s) {
  return {RoundToInt32(inst.i_x), RoundToInt32(inst.i_y), s.i_xorig,         s.i_yorig,
          inst.i_imagescalex,     inst.i_imagescaley,     inst.i_imageangle};
}

int Image(const CInstance& inst) {
  const double f = std::floor(inst.i_imageindex);
  return std::isfinite(f) && std::fabs(f) < 1e9 ? int(f) : 0;
}

}  // namespace

bool Collision_Point(const CInstance& inst, bool prec, double x, double y) {
  const RRect& b = inst.i_bbox;
  if (inst.i_marked || !(b.Left <= x && x < b.Right + 1 && b.Top <= y && y < b.Bottom + 1)) return false;
  if (!prec) return true;
  const CSprite* s = MaskSprite(inst);
  return s && s->i_numb > 0 && SpriteCollisionPoint(*s, Image(inst), Place(inst, *s), RoundToInt32(x), RoundToInt32(y));
}

bool Collision_Instance(const CInstance& a, const CInstance& b, bool prec) {
  if (&a == &b || a.i_marked || b.i_marked) return false;
  const RRect &p = a.i_bbox, &q = b.i_bbox;
  if (p.Left >= q.Right + 1 || q.Left >= p.Right + 1 || p.Top >= q.Bottom + 1 || q.Top >= p.Bottom + 1) return false;
  if (!prec) return true;
  const CSprite* sa = MaskSprite(a);
  const CSprite* sb = MaskSprite(b);
  if (!sa || !sb || sa->i_numb <= 0 || sb->i_numb <= 0) return false;
  return SpriteCollision(*sa, Image(a), Place(a, *sa), p, sb, Image(b), Place(b, *sb), q);
}

}  // namespace kestro
