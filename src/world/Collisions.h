// Collision handling of the step (collision events with the solid rule; outside-room, boundary
// and view events) and what scripts ask of places and motion: free tests, searches over the
// room's instances, moving until contact, out of contact, bouncing, random places and wrapping.
//
// Searches look only at instances whose boxes overlap the place they test; with many instances
// the collision grid (CollisionGrid.h) finds those, otherwise the lists are walked. Both ways give
// the same instances in the same order, and the events of the collision phase in the same order:
// SetCollisionSearch(kNaive) walks every list, the reference the grid is checked against.
#pragma once

#include <cstdint>
#include <vector>

#include "world/Instance.h"

namespace kestro {

enum class ECollisionSearch { kGrid, kNaive };
void SetCollisionSearch(ECollisionSearch search);
ECollisionSearch CollisionSearch();

// The pixels a test of the real rectangle can touch: floor of its corners (in any order), within
// the range of boxes. Empty (Left > Right) when a coordinate is not a number.
RRect AreaOf(double x1, double y1, double x2, double y2);

// The unmarked active instances a designator names (-3 all, an object with its descendants, an
// instance id) whose boxes overlap `area`: every instance a test within the area can find. In
// list order (the active list for all, the object's list) unless `ordered` is false.
void Candidates(int32_t designator, const RRect& area, std::vector<CInstance*>& out, bool ordered = true);

// Self put at (x, y) (and back) meets no solid instance (`solidOnly`) or no instance at all,
// precisely.
bool PlaceFree(CInstance& self, double x, double y, bool solidOnly);
// The first instance the designator names that self at (x, y) would meet precisely, or null.
CInstance* InstancePlace(CInstance& self, double x, double y, int32_t designator);

// Moves self in direction `dir` (degrees) one pixel at a time until the next pixel is not free,
// at most round(maxdist) times (1000 when maxdist <= 0); nothing when self is not free already.
void MoveContact(CInstance& self, double dir, double maxdist, bool solidOnly);
// Moves self in direction `dir` while it is not free, at most as many times.
void MoveOutside(CInstance& self, double dir, double maxdist, bool solidOnly);
// Bounces against solid (or all) instances: the advanced mode looks for the free directions
// around the motion in steps of 10 degrees, the simple one reverses the blocked components.
void MoveBounce(CInstance& self, bool advanced, bool solidOnly);
// A free random place (solid sense) with the whole box in the room, snapped; 100 tries.
void MoveRandom(CInstance& self, double hsnap, double vsnap);
// Leaving the room by more than `margin` on one side brings self in on the other.
void MoveWrap(CInstance& self, bool hor, bool vert, double margin);
// The distance from self's box to the point, 0 inside it.
double DistanceToPoint(const CInstance& self, double x, double y);
// The smallest distance between self's box and the box of an instance the designator names
// (-2 other, -3 all, an object, an id); 1000000 without one.
double DistanceToObject(CInstance& self, CInstance* other, int32_t designator);

// The step: outside room, intersect boundary, outside view and boundary view events.
void PerformBoundaryEvents();
// The step: collision events of every pair of objects with a collision event, solid instances
// put back to where they were.
void PerformCollisionEvents();

}  // namespace kestro
