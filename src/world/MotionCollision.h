// The collision questions motion planning asks, in its terms: whether an instance would be free at
// a place (the solid sense, the all sense, or free of a designated set) and whether an instance's
// shape meets a rectangle. They are the place and collision tests of the collision functions.
#pragma once

#include <cstdint>

#include "world/Instance.h"

namespace kestro {

// Self moved to (x, y) for the test and put back (the previous position untouched): with the
// designator all (-3), free of solid instances, or of all instances when `checkall`; with -1, -2
// (self's and other's id), an object or an id, meeting no matching instance. Precise tests.
bool MotionPlaceFree(CInstance& self, CInstance* other, double x, double y, int32_t target, bool checkall);

// The instance's box overlaps the rectangle (corners in any order), it is not marked, and when
// `prec` its mask has a solid pixel in the rectangle (rounded corners).
bool MotionCollisionRectangle(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2);

}  // namespace kestro
