// The pixel tests of collision masks: mask against mask, point, rectangle, ellipse and line. Each
// mask is placed in the room by the instance's rounded position, the sprite's origin, the scales
// and the rotation; the instance boxes (already computed by the caller) limit every scan.
#pragma once

#include "resources/CollisionMask.h"

namespace kestro {

// Where a mask lies in the room.
struct RMaskPlace {
  int xi = 0, yi = 0;  // instance position, rounded
  int xo = 0, yo = 0;  // sprite origin
  double sx = 1, sy = 1;
  double angle = 0;  // degrees, counter-clockwise on the screen
};

// True when some room pixel inside both boxes is solid for both masks. False for an absent
// second mask.
bool CollisionMask(const TMask& m1, const RMaskPlace& p1, const RRect& box1, const TMask* m2,
                   const RMaskPlace& p2, const RRect& box2);
// The mask's flag at room pixel (x, y); the box test is the caller's.
bool CollisionPoint(const TMask& m, const RMaskPlace& p, int x, int y);
// True when a pixel of the (inclusive) rectangle inside the box is solid.
bool CollisionRectangle(const TMask& m, const RMaskPlace& p, const RRect& box, RRect rect);
// The same for the pixels within the ellipse inscribed in the rectangle.
bool CollisionEllipse(const TMask& m, const RMaskPlace& p, const RRect& box, RRect rect);
// True when a pixel of the line from (xl, yl) to (xr, yr) is solid.
bool CollisionLine(const TMask& m, const RMaskPlace& p, const RRect& box, int xl, int yl, int xr, int yr);

}  // namespace kestro
