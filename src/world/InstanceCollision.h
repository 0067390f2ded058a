// Collision tests of instances: the bounding boxes first, then, when precise, the masks of the
// instances' mask sprites placed at their rounded positions with origin, scales, angle and image.
#pragma once

#include "world/Instance.h"

namespace kestro {

// Left <= x < Right + 1 and Top <= y < Bottom + 1, not marked, and when precise the mask pixel at
// the rounded point is solid.
bool Collision_Point(const CInstance& inst, bool prec, double x, double y);
// The boxes overlap, the instances differ, neither is marked, and when precise the masks meet.
bool Collision_Instance(const CInstance& a, const CInstance& b, bool prec);

}  // namespace kestro
