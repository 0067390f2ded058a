#include "world/InstanceCollision.h"

#include <algorithm>
#include <cmath>

#include "resources/GameResources.h"
#include "world/SpriteCollision.h"

namespace kestro {

namespace {

// Null for an instance without a shape: its box is the sentinel box, which spans no place of the
// room, so it meets nothing, precise or not.
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
  if (!prec) return MaskSprite(inst) != nullptr;
  const CSprite* s = MaskSprite(inst);
  return s && s->i_numb > 0 && SpriteCollisionPoint(*s, Image(inst), Place(inst, *s), RoundToInt32(x), RoundToInt32(y));
}

bool Collision_Rectangle(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2) {
  const double minX = std::min(x1, x2), maxX = std::max(x1, x2), minY = std::min(y1, y2), maxY = std::max(y1, y2);
  const RRect& b = inst.i_bbox;
  if (inst.i_marked || !(minX < b.Right + 1 && maxX >= b.Left && minY < b.Bottom + 1 && maxY >= b.Top)) return false;
  if (!prec) return MaskSprite(inst) != nullptr;
  const CSprite* s = MaskSprite(inst);
  if (!s || s->i_numb <= 0) return false;
  const RRect r{RoundToInt32(minX), RoundToInt32(minY), RoundToInt32(maxX), RoundToInt32(maxY)};
  return SpriteCollisionRectangle(*s, Image(inst), Place(inst, *s), b, r);
}

bool Collision_Ellipse(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2) {
  const double minX = std::min(x1, x2), maxX = std::max(x1, x2), minY = std::min(y1, y2), maxY = std::max(y1, y2);
  const RRect& b = inst.i_bbox;
  if (inst.i_marked || !(minX < b.Right + 1 && maxX >= b.Left && minY < b.Bottom + 1 && maxY >= b.Top)) return false;
  if (RoundToInt32(x1) == RoundToInt32(x2) || RoundToInt32(y1) == RoundToInt32(y2))
    return Collision_Rectangle(inst, prec, x1, y1, x2, y2);
  const RRect r{RoundToInt32(minX), RoundToInt32(minY), RoundToInt32(maxX), RoundToInt32(maxY)};
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  if ((cx < b.Left || cx > b.Right) && (cy < b.Top || cy > b.Bottom)) {
    // The centre is beside a corner of the box: they meet only if a corner lies in the ellipse.
    const double ex = (double(r.Left) + r.Right) / 2, ey = (double(r.Top) + r.Bottom) / 2;
    const double rx = (double(r.Right) - r.Left) / 2, ry = (double(r.Bottom) - r.Top) / 2;
    auto inside = [&](double px, double py) {
      const double dx = (px - ex) / rx, dy = (py - ey) / ry;
      return dx * dx + dy * dy <= 1;
    };
    if (!inside(b.Left, b.Top) && !inside(b.Right, b.Top) && !inside(b.Left, b.Bottom) && !inside(b.Right, b.Bottom))
      return false;
  }
  if (!prec) return MaskSprite(inst) != nullptr;
  const CSprite* s = MaskSprite(inst);
  if (!s || s->i_numb <= 0) return false;
  return SpriteCollisionEllipse(*s, Image(inst), Place(inst, *s), b, r);
}

bool Collision_Line(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2) {
  const RRect& b = inst.i_bbox;
  if (inst.i_marked || std::min(x1, x2) >= b.Right + 1 || std::max(x1, x2) < b.Left ||
      std::min(y1, y2) >= b.Bottom + 1 || std::max(y1, y2) < b.Top)
    return false;
  if (x2 < x1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  // Clipped to the box's columns along the line (a vertical line lies within them already).
  double ya = y1, yb = y2;
  if (x1 < b.Left) ya = y1 + (b.Left - x1) * (y2 - y1) / (x2 - x1);
  if (x2 > b.Right + 1) yb = y1 + (b.Right + 1 - x1) * (y2 - y1) / (x2 - x1);
  const double xa = std::max(x1, double(b.Left)), xb = std::min(x2, double(b.Right) + 1);
  if ((ya < b.Top && yb < b.Top) || (ya >= b.Bottom + 1 && yb >= b.Bottom + 1)) return false;
  if (!prec) return MaskSprite(inst) != nullptr;
  const CSprite* s = MaskSprite(inst);
  if (!s || s->i_numb <= 0) return false;
  return SpriteCollisionLine(*s, Image(inst), Place(inst, *s), b, RoundToInt32(xa), RoundToInt32(ya), RoundToInt32(xb),
                             RoundToInt32(yb));
}

bool Collision_Instance(const CInstance& a, const CInstance& b, bool prec) {
  return Collision_Shapes(ShapeOf(a), ShapeOf(b), prec);
}

bool Collision_Shapes(const RCollisionShape& a, const RCollisionShape& b, bool prec) {
  if (a.inst == b.inst || a.marked || b.marked) return false;
  const RRect &p = a.box, &q = b.box;
  if (p.Left >= q.Right + 1 || q.Left >= p.Right + 1 || p.Top >= q.Bottom + 1 || q.Top >= p.Bottom + 1) return false;
  const CSprite* sa = Sprites().Get(a.maskSprite);
  const CSprite* sb = Sprites().Get(b.maskSprite);
  if (!prec) return sa && sb;
  if (!sa || !sb || sa->i_numb <= 0 || sb->i_numb <= 0) return false;
  auto image = [](const RCollisionShape& c, const CSprite& s) { return s.i_sepmasks ? Image(*c.inst) : 0; };
  auto place = [](const RCollisionShape& c, const CSprite& s) {
    return c.plain ? RMaskPlace{c.xi, c.yi, s.i_xorig, s.i_yorig, 1, 1, 0} : Place(*c.inst, s);
  };
  return SpriteCollision(*sa, image(a, *sa), place(a, *sa), p, sb, image(b, *sb), place(b, *sb), q);
}

}  // namespace kestro
