// Collision tests of instances: the bounding boxes first, then, when precise, the masks of the
// instances' mask sprites placed at their rounded positions with origin, scales, angle and image.
// An instance without a mask sprite meets nothing, whatever its (sentinel) box says.
#pragma once

#include "script/Numeric.h"
#include "world/Instance.h"

namespace kestro {

// Left <= x < Right + 1 and Top <= y < Bottom + 1, not marked, and when precise the mask pixel at
// the rounded point is solid.
bool Collision_Point(const CInstance& inst, bool prec, double x, double y);
// The box overlaps the rectangle (corners in any order), not marked, and when precise the mask has
// a solid pixel in the rounded rectangle.
bool Collision_Rectangle(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2);
// The same for the ellipse inscribed in the rectangle; a rectangle of zero rounded width or
// height is tested as a rectangle.
bool Collision_Ellipse(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2);
// The line from (x1, y1) to (x2, y2), clipped to the box, meets the box (and when precise a solid
// mask pixel).
bool Collision_Line(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2);
// The boxes overlap, the instances differ, neither is marked, and when precise the masks meet.
bool Collision_Instance(const CInstance& a, const CInstance& b, bool prec);

// What a test of two instances reads of each, taken from the instance or from the copy the
// collision grid keeps: the instance itself is read only for what the copy lacks, its image when
// its mask sprite has a mask per image and its scales and angle when they are not 1, 1 and 0.
struct RCollisionShape {
  RRect box;
  const CInstance* inst = nullptr;
  int maskSprite = -1;     // the mask's sprite, else the sprite's
  int32_t xi = 0, yi = 0;  // the rounded position
  bool plain = true;       // scales 1 and angle 0
  bool marked = false;
};
inline RCollisionShape ShapeOf(const CInstance& inst) {
  RCollisionShape s;
  s.box = inst.i_bbox;
  s.inst = &inst;
  s.maskSprite = inst.i_maskindex >= 0 ? inst.i_maskindex : inst.i_spriteindex;
  s.xi = RoundToInt32(inst.i_x);
  s.yi = RoundToInt32(inst.i_y);
  s.plain = inst.i_imagescalex == 1 && inst.i_imagescaley == 1 && inst.i_imageangle == 0;
  s.marked = inst.i_marked;
  return s;
}
// Collision_Instance of the two shapes' instances.
bool Collision_Shapes(const RCollisionShape& a, const RCollisionShape& b, bool prec);

}  // namespace kestro
