// The instance functions: create, copy, destroy, change, find, count, test positions, and
// deactivate or activate instances in the current room.
#include <string>
#include <vector>

#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/Collisions.h"
#include "world/Events.h"
#include "world/InstanceCollision.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {

namespace {

constexpr double kNoone = kDesignatorNoone;

CLiveRoom& Room() { return World().Room(); }
int32_t Designator(const RValue& v) { return DesignatorOf(v.val); }
double IdOf(const CInstance* inst) { return inst ? inst->i_id : kNoone; }
bool Alive(const CInstance* inst) { return inst && !inst->i_marked && !inst->i_deactivated; }

// The matching instances of a designator; self and other stand for themselves where accepted.
void Matching(CInstance* self, CInstance* other, int32_t d, bool selfOther, std::vector<CInstance*>& out) {
  if (d == kDesignatorSelf || d == kDesignatorOther) {
    CInstance* inst = d == kDesignatorSelf ? self : other;
    if (selfOther && Alive(inst)) out.push_back(inst);
    return;
  }
  DesignatedInstances(d, out);
}

// Whether `obj` is `ancestor` or descends from it; the walk is bounded, so damaged parent chains
// cannot loop.
bool IsA(int obj, int ancestor) {
  const int limit = Objects().Count();
  for (int k = 0; k <= limit && obj >= 0; ++k) {
    if (obj == ancestor) return true;
    const CObject* o = Objects().Get(obj);
    if (o == nullptr) return false;
    obj = o->o_parent;
  }
  return false;
}

CInstance* Create(int obj, double x, double y) {
  CInstance* inst = Room().AddInstance(obj, x, y, World().lastInstanceId);
  PerformInstanceEvent(inst, inst, kEventCreate, 0);
  return inst;
}

void Destroy(CInstance* inst) {
  PerformInstanceEvent(inst, inst, kEventDestroy, 0);
  Room().Mark(inst);
}

// Replaces `self` by an instance of `obj` with all its state and id; false (after the error) when
// the object does not exist.
bool Change(CInstance* self, int obj, bool perform) {
  if (!Objects().Exists(obj)) {
    ReportBuiltinError("Asking to change into non-existing object: " + std::to_string(obj));
    return false;
  }
  if (perform) PerformInstanceEvent(self, self, kEventDestroy, 0);
  CInstance* next = Room().AddInstance(obj, self->i_x, self->i_y, World().lastInstanceId);
  const int formerId = next->i_id;
  next->Assign(*self);
  next->SetObjectIndex(obj);
  Room().Replace(self, next, formerId);
  if (perform) PerformInstanceEvent(next, next, kEventCreate, 0);
  return true;
}

// Every unmarked active instance whose precise mask holds the point, in list order.
std::vector<CInstance*> AtPoint(double x, double y, int32_t designator = kDesignatorAll) {
  std::vector<CInstance*> out;
  Candidates(designator, AreaOf(x, y, x, y), out);
  std::erase_if(out, [&](const CInstance* inst) { return !Collision_Point(*inst, true, x, y); });
  return out;
}

KESTRO_BUILTIN(F_instance_create) {
  const int obj = int(ArgInt(a[2]));
  if (!Objects().Exists(obj)) {
    ReportBuiltinError("Creating instance for non-existing object: " + std::to_string(obj));
    r.SetReal(kNoone);
    return;
  }
  r.SetReal(Create(obj, a[0].val, a[1].val)->i_id);
}

KESTRO_BUILTIN(F_instance_copy) {
  if (!self) return;
  CInstance* copy = Room().AddInstance(self->i_objectindex, self->i_x, self->i_y, World().lastInstanceId);
  const int id = copy->i_id;
  copy->Assign(*self);
  copy->i_id = id;
  if (ArgBool(a[0])) PerformInstanceEvent(copy, copy, kEventCreate, 0);
  r.SetReal(id);
}

KESTRO_BUILTIN(F_instance_destroy) {
  if (self) Destroy(self);
}

KESTRO_BUILTIN(F_instance_change) {
  if (self) Change(self, int(ArgInt(a[0])), ArgBool(a[1]));
}

KESTRO_BUILTIN(F_instance_sprite) {
  const int spr = int(ArgInt(a[0]));
  if (!Sprites().Exists(spr)) {
    ReportBuiltinError("Setting instance to non-existing sprite: " + std::to_string(spr));
    return;
  }
  if (self) self->SetSpriteIndex(spr);
}

KESTRO_BUILTIN(F_instance_exists) {
  std::vector<CInstance*> found;
  Matching(self, other, Designator(a[0]), true, found);
  r.SetReal(found.empty() ? 0 : 1);
}

KESTRO_BUILTIN(F_instance_number) {
  std::vector<CInstance*> found;
  Matching(self, other, Designator(a[0]), true, found);
  r.SetReal(double(found.size()));
}

KESTRO_BUILTIN(F_instance_find) {
  const int32_t d = Designator(a[0]);
  const int64_t n = ArgInt(a[1]);
  std::vector<CInstance*> found;
  Matching(self, other, d, false, found);
  if (d >= kFirstInstanceId && n != 0) found.clear();
  r.SetReal(n >= 0 && n < int64_t(found.size()) ? found[size_t(n)]->i_id : kNoone);
}

KESTRO_BUILTIN(F_instance_position) {
  const std::vector<CInstance*> found = AtPoint(a[0].val, a[1].val, Designator(a[2]));
  r.SetReal(found.empty() ? kNoone : found.front()->i_id);
}

// Squared distances from the point; nearest takes strictly smaller values from 10^10, furthest
// strictly greater from -1.
void Extreme(CInstance* self, CInstance* other, const RValue* a, RValue& r, bool nearest) {
  const int32_t d = Designator(a[2]);
  std::vector<CInstance*> found;
  if (d == kDesignatorAll || (d >= 0 && d < kFirstInstanceId)) Matching(self, other, d, false, found);
  double best = nearest ? 1e10 : -1;
  const CInstance* pick = nullptr;
  for (CInstance* inst : found) {
    const double dx = inst->i_x - a[0].val, dy = inst->i_y - a[1].val, v = dx * dx + dy * dy;
    if (nearest ? v < best : v > best) {
      best = v;
      pick = inst;
    }
  }
  r.SetReal(IdOf(pick));
}
KESTRO_BUILTIN(F_instance_nearest) { Extreme(self, other, a, r, true); }
KESTRO_BUILTIN(F_instance_furthest) { Extreme(self, other, a, r, false); }

KESTRO_BUILTIN(F_instance_place) {
  r.SetReal(kNoone);
  if (self) r.SetReal(IdOf(InstancePlace(*self, a[0].val, a[1].val, Designator(a[2]))));
}

KESTRO_BUILTIN(F_position_empty) { r.SetReal(AtPoint(a[0].val, a[1].val).empty() ? 1 : 0); }

KESTRO_BUILTIN(F_position_meeting) {
  int32_t d = Designator(a[2]);
  if (d == kDesignatorSelf || d == kDesignatorOther) {
    const CInstance* inst = d == kDesignatorSelf ? self : other;
    if (!Alive(inst)) return;
    d = inst->i_id;
  }
  r.SetReal(AtPoint(a[0].val, a[1].val, d).empty() ? 0 : 1);
}

KESTRO_BUILTIN(F_position_destroy) {
  for (CInstance* inst : AtPoint(a[0].val, a[1].val)) Destroy(inst);
}

KESTRO_BUILTIN(F_position_change) {
  const int obj = int(ArgInt(a[2]));
  const bool perform = ArgBool(a[3]);
  for (CInstance* inst : AtPoint(a[0].val, a[1].val))
    if (!Change(inst, obj, perform)) return;
}

// ---- deactivation ----

// Outside the region, by box when the instance has a shape, else by position.
bool Outside(const CInstance& inst, double left, double top, double width, double height) {
  const bool shape = Sprites().Exists(inst.i_spriteindex) || Sprites().Exists(inst.i_maskindex);
  if (shape) {
    const RRect& b = inst.i_bbox;
    return !(left <= b.Right && left + width >= b.Left && top <= b.Bottom && top + height >= b.Top);
  }
  return !(left <= inst.i_x && inst.i_x <= left + width && top <= inst.i_y && inst.i_y <= top + height);
}

KESTRO_BUILTIN(F_instance_deactivate_all) {
  const bool notme = ArgBool(a[0]);
  for (const auto& inst : Room().Active())
    if (!(notme && inst.get() == self)) inst->i_deactivated = true;
  Room().UpdateActive();
}

KESTRO_BUILTIN(F_instance_deactivate_object) {
  std::vector<CInstance*> found;
  Matching(self, other, Designator(a[0]), true, found);
  for (CInstance* inst : found) inst->i_deactivated = true;
  Room().UpdateActive();
}

KESTRO_BUILTIN(F_instance_deactivate_region) {
  const bool inside = ArgBool(a[4]), notme = ArgBool(a[5]);
  for (const auto& inst : Room().Active())
    if (Outside(*inst, a[0].val, a[1].val, a[2].val, a[3].val) != inside && !(notme && inst.get() == self))
      inst->i_deactivated = true;
  Room().UpdateActive();
}

KESTRO_BUILTIN(F_instance_activate_all) {
  for (const auto& inst : Room().Deactivated()) inst->i_deactivated = false;
  Room().UpdateActive();
}

KESTRO_BUILTIN(F_instance_activate_object) {
  const int32_t d = Designator(a[0]);
  for (const auto& inst : Room().Deactivated()) {
    const bool match = d == kDesignatorAll || (d == kDesignatorSelf && inst.get() == self) ||
                       (d == kDesignatorOther && inst.get() == other) ||
                       (d >= 0 && d < kFirstInstanceId && IsA(inst->i_objectindex, d)) ||
                       (d >= kFirstInstanceId && inst->i_id == d);
    if (match && !inst->i_marked) inst->i_deactivated = false;
  }
  Room().UpdateActive();
}

KESTRO_BUILTIN(F_instance_activate_region) {
  const bool inside = ArgBool(a[4]);
  for (const auto& inst : Room().Deactivated())
    if (Outside(*inst, a[0].val, a[1].val, a[2].val, a[3].val) != inside) inst->i_deactivated = false;
  Room().UpdateActive();
}

constexpr RBinding kInstanceFunctions[] = {
    {"instance_create", F_instance_create},
    {"instance_copy", F_instance_copy},
    {"instance_destroy", F_instance_destroy},
    {"instance_change", F_instance_change},
    {"instance_sprite", F_instance_sprite},
    {"instance_exists", F_instance_exists},
    {"instance_number", F_instance_number},
    {"instance_find", F_instance_find},
    {"instance_position", F_instance_position},
    {"instance_nearest", F_instance_nearest},
    {"instance_furthest", F_instance_furthest},
    {"instance_place", F_instance_place},
    {"position_empty", F_position_empty},
    {"position_meeting", F_position_meeting},
    {"position_destroy", F_position_destroy},
    {"position_change", F_position_change},
    {"instance_deactivate_all", F_instance_deactivate_all},
    {"instance_deactivate_object", F_instance_deactivate_object},
    {"instance_deactivate_region", F_instance_deactivate_region},
    {"instance_activate_all", F_instance_activate_all},
    {"instance_activate_object", F_instance_activate_object},
    {"instance_activate_region", F_instance_activate_region},
};

}  // namespace

RBindingTable InstanceFunctions() { return kInstanceFunctions; }

}  // namespace kestro
