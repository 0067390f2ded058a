#include "world/MotionCollision.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "resources/GameResources.h"
#include "script/Designators.h"
#include "world/InstanceCollision.h"
#include "world/SpriteCollision.h"
#include "world/World.h"
#include "world/WorldHost.h"

namespace kestro {

namespace {

// Puts the instance at (x, y) for its lifetime and back afterwards.
class CTemporaryMove {
 public:
  CTemporaryMove(CInstance& inst, double x, double y) : inst_(inst), x_(inst.i_x), y_(inst.i_y) {
    inst_.SetPosition(x, y);
  }
  ~CTemporaryMove() { inst_.SetPosition(x_, y_); }
  CTemporaryMove(const CTemporaryMove&) = delete;
  CTemporaryMove& operator=(const CTemporaryMove&) = delete;

 private:
  CInstance& inst_;
  double x_, y_;
};

}  // namespace

bool MotionPlaceFree(CInstance& self, CInstance* other, double x, double y, int32_t target, bool checkall) {
  std::vector<CInstance*> candidates;
  if (target == kDesignatorSelf) {
    candidates.push_back(&self);  // self never meets itself
  } else if (target == kDesignatorOther) {
    if (other) candidates.push_back(other);
  } else if (target != kDesignatorAll) {
    DesignatedInstances(target, candidates);
  }
  CTemporaryMove move(self, x, y);
  if (target == kDesignatorAll) {
    for (const auto& inst : World().Room().Active())
      if ((checkall || inst->i_solid) && Collision_Instance(*inst, self, true)) return false;
    return true;
  }
  for (CInstance* inst : candidates)
    if (inst && !inst->i_marked && Collision_Instance(*inst, self, true)) return false;
  return true;
}

bool MotionCollisionRectangle(const CInstance& inst, bool prec, double x1, double y1, double x2, double y2) {
  const RRect& b = inst.i_bbox;
  const double minx = std::min(x1, x2), maxx = std::max(x1, x2), miny = std::min(y1, y2), maxy = std::max(y1, y2);
  if (inst.i_marked || !(minx < b.Right + 1 && maxx >= b.Left && miny < b.Bottom + 1 && maxy >= b.Top)) return false;
  if (!prec) return true;
  const CSprite* s = Sprites().Get(inst.i_maskindex >= 0 ? inst.i_maskindex : inst.i_spriteindex);
  if (!s || s->i_numb <= 0) return false;
  const double f = std::floor(inst.i_imageindex);
  const int image = std::isfinite(f) && std::fabs(f) < 1e9 ? int(f) : 0;
  const RMaskPlace place{RoundToInt32(inst.i_x), RoundToInt32(inst.i_y), s->i_xorig,       s->i_yorig,
                         inst.i_imagescalex,     inst.i_imagescaley,     inst.i_imageangle};
  const RRect rect{RoundToInt32(minx), RoundToInt32(miny), RoundToInt32(maxx), RoundToInt32(maxy)};
  return SpriteCollisionRectangle(*s, image, place, b, rect);
}

}  // namespace kestro
