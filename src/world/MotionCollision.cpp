#include "world/MotionCollision.h"

#include "script/Designators.h"
#include "world/Collisions.h"
#include "world/InstanceCollision.h"

namespace kestro {

bool MotionPlaceFree(CInstance& self, CInstance* other, double x, double y, int32_t target, bool checkall) {
  if (target == kDesignatorAll) return PlaceFree(self, x, y, !checkall);
  if (target == kDesignatorSelf) return true;  // self never meets itself
  if (target == kDesignatorOther) {
    if (!other || other == &self || other->i_marked) return true;
    target = other->i_id;
  }
  return InstancePlace(self, x, y, target) == nullptr;
}

bool MotionCollisionRectangle(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2) {
  return Collision_Rectangle(inst, prec, x1, y1, x2, y2);
}

}  // namespace kestro
