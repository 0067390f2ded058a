// The collision and movement functions: free places, meeting instances at a place, moving to
// contact, out of contact, bouncing, random places, snapping, wrapping, motion, distances, and
// the searches of points, rectangles, circles, ellipses and lines.
#include <cmath>
#include <vector>

#include "script/Designators.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/Collisions.h"
#include "world/InstanceCollision.h"

namespace kestro {

namespace {

int32_t Designator(const RValue& v) { return DesignatorOf(v.val); }

KESTRO_BUILTIN(F_place_free) {
  if (self) r.SetReal(PlaceFree(*self, a[0].val, a[1].val, true) ? 1 : 0);
}

KESTRO_BUILTIN(F_place_empty) {
  if (self) r.SetReal(PlaceFree(*self, a[0].val, a[1].val, false) ? 1 : 0);
}

KESTRO_BUILTIN(F_place_meeting) {
  if (!self) return;
  int32_t d = Designator(a[2]);
  // Self never meets itself; other is looked at alone.
  if (d == kDesignatorSelf) return;
  if (d == kDesignatorOther) {
    if (!other || other == self) return;
    d = other->i_id;
  }
  r.SetReal(InstancePlace(*self, a[0].val, a[1].val, d) ? 1 : 0);
}

// Within 0.001 of a multiple of the snap, or no snap.
bool Snapped(double v, double snap) { return snap <= 0 || std::fabs(v - snap * std::nearbyint(v / snap)) < 0.001; }

KESTRO_BUILTIN(F_place_snapped) {
  if (self) r.SetReal(Snapped(self->i_x, a[0].val) && Snapped(self->i_y, a[1].val) ? 1 : 0);
}

KESTRO_BUILTIN(F_move_random) {
  if (self) MoveRandom(*self, a[0].val, a[1].val);
}

KESTRO_BUILTIN(F_move_snap) {
  if (!self) return;
  const double h = a[0].val, v = a[1].val;
  const double x = h > 0 ? h * std::nearbyint(self->i_x / h) : self->i_x;
  const double y = v > 0 ? v * std::nearbyint(self->i_y / v) : self->i_y;
  self->SetPosition(x, y);
}

KESTRO_BUILTIN(F_move_towards_point) {
  if (!self) return;
  self->SetHspeed(a[0].val - self->i_x);
  self->SetVspeed(a[1].val - self->i_y);
  self->SetSpeed(a[2].val);
}

KESTRO_BUILTIN(F_move_contact) {
  if (!self) return;
  if (PlaceFree(*self, self->i_x, self->i_y, true))
    MoveContact(*self, a[0].val, 0, true);
  else
    MoveOutside(*self, a[0].val, 0, true);
}

KESTRO_BUILTIN(F_move_contact_solid) {
  if (self) MoveContact(*self, a[0].val, a[1].val, true);
}
KESTRO_BUILTIN(F_move_contact_all) {
  if (self) MoveContact(*self, a[0].val, a[1].val, false);
}
KESTRO_BUILTIN(F_move_outside_solid) {
  if (self) MoveOutside(*self, a[0].val, a[1].val, true);
}
KESTRO_BUILTIN(F_move_outside_all) {
  if (self) MoveOutside(*self, a[0].val, a[1].val, false);
}
KESTRO_BUILTIN(F_move_bounce_solid) {
  if (self) MoveBounce(*self, ArgBool(a[0]), true);
}
KESTRO_BUILTIN(F_move_bounce_all) {
  if (self) MoveBounce(*self, ArgBool(a[0]), false);
}

KESTRO_BUILTIN(F_move_wrap) {
  if (self) MoveWrap(*self, ArgBool(a[0]), ArgBool(a[1]), a[2].val);
}

KESTRO_BUILTIN(F_motion_set) {
  if (!self) return;
  self->SetDirection(a[0].val);
  self->SetSpeed(a[1].val);
}

KESTRO_BUILTIN(F_motion_add) {
  if (self) self->AddTo_Speed(a[1].val, a[0].val);
}

KESTRO_BUILTIN(F_distance_to_point) {
  if (self) r.SetReal(DistanceToPoint(*self, a[0].val, a[1].val));
}

KESTRO_BUILTIN(F_distance_to_object) {
  if (self) r.SetReal(DistanceToObject(*self, other, Designator(a[0])));
}

// The first instance, in list order, of the designator's candidates within `area` that passes
// `test`; noone when none does. Self is skipped when notme is true.
template <class Test>
void FirstFound(CInstance* self, int32_t d, const RRect& area, bool notme, RValue& r, Test test) {
  r.SetReal(kDesignatorNoone);
  if (d != kDesignatorAll && d < 0) return;
  std::vector<CInstance*> found;
  Candidates(d, area, found);
  for (CInstance* inst : found)
    if (!(notme && inst == self) && test(*inst)) return r.SetReal(inst->i_id);
}

KESTRO_BUILTIN(F_collision_point) {
  const double x = a[0].val, y = a[1].val;
  const bool prec = ArgBool(a[3]);
  FirstFound(self, Designator(a[2]), AreaOf(x, y, x, y), ArgBool(a[4]), r,
             [&](const CInstance& inst) { return Collision_Point(inst, prec, x, y); });
}

KESTRO_BUILTIN(F_collision_rectangle) {
  const double x1 = a[0].val, y1 = a[1].val, x2 = a[2].val, y2 = a[3].val;
  const bool prec = ArgBool(a[5]);
  FirstFound(self, Designator(a[4]), AreaOf(x1, y1, x2, y2), ArgBool(a[6]), r,
             [&](const CInstance& inst) { return Collision_Rectangle(inst, prec, x1, y1, x2, y2); });
}

KESTRO_BUILTIN(F_collision_ellipse) {
  const double x1 = a[0].val, y1 = a[1].val, x2 = a[2].val, y2 = a[3].val;
  const bool prec = ArgBool(a[5]);
  FirstFound(self, Designator(a[4]), AreaOf(x1, y1, x2, y2), ArgBool(a[6]), r,
             [&](const CInstance& inst) { return Collision_Ellipse(inst, prec, x1, y1, x2, y2); });
}

KESTRO_BUILTIN(F_collision_circle) {
  const double x1 = a[0].val - a[2].val, y1 = a[1].val - a[2].val;
  const double x2 = a[0].val + a[2].val, y2 = a[1].val + a[2].val;
  const bool prec = ArgBool(a[4]);
  FirstFound(self, Designator(a[3]), AreaOf(x1, y1, x2, y2), ArgBool(a[5]), r,
             [&](const CInstance& inst) { return Collision_Ellipse(inst, prec, x1, y1, x2, y2); });
}

KESTRO_BUILTIN(F_collision_line) {
  const double x1 = a[0].val, y1 = a[1].val, x2 = a[2].val, y2 = a[3].val;
  const bool prec = ArgBool(a[5]);
  FirstFound(self, Designator(a[4]), AreaOf(x1, y1, x2, y2), ArgBool(a[6]), r,
             [&](const CInstance& inst) { return Collision_Line(inst, prec, x1, y1, x2, y2); });
}

constexpr RBinding kCollisionFunctions[] = {
    {"place_free", F_place_free},
    {"place_empty", F_place_empty},
    {"place_meeting", F_place_meeting},
    {"place_snapped", F_place_snapped},
    {"move_random", F_move_random},
    {"move_snap", F_move_snap},
    {"move_towards_point", F_move_towards_point},
    {"move_contact", F_move_contact},
    {"move_contact_solid", F_move_contact_solid},
    {"move_contact_all", F_move_contact_all},
    {"move_outside_solid", F_move_outside_solid},
    {"move_outside_all", F_move_outside_all},
    {"move_bounce", F_move_bounce_solid},
    {"move_bounce_solid", F_move_bounce_solid},
    {"move_bounce_all", F_move_bounce_all},
    {"move_wrap", F_move_wrap},
    {"motion_set", F_motion_set},
    {"motion_add", F_motion_add},
    {"distance_to_point", F_distance_to_point},
    {"distance_to_object", F_distance_to_object},
    {"collision_point", F_collision_point},
    {"collision_rectangle", F_collision_rectangle},
    {"collision_circle", F_collision_circle},
    {"collision_ellipse", F_collision_ellipse},
    {"collision_line", F_collision_line},
};

}  // namespace

RBindingTable CollisionFunctions() { return kCollisionFunctions; }

}  // namespace kestro
