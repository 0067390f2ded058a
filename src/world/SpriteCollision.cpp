#include "world/SpriteCollision.h"

namespace kestro {

bool SpriteCollision(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const CSprite* other,
                     int otherInd, const RMaskPlace& otherPlace, const RRect& otherBox) {
  const TMask* m = s.MaskOf(ind);
  return m && other && CollisionMask(*m, p, box, other->MaskOf(otherInd), otherPlace, otherBox);
}

bool SpriteCollisionPoint(const CSprite& s, int ind, const RMaskPlace& p, int x, int y) {
  const TMask* m = s.MaskOf(ind);
  return m && CollisionPoint(*m, p, x, y);
}

bool SpriteCollisionRectangle(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const RRect& r) {
  const TMask* m = s.MaskOf(ind);
  return m && CollisionRectangle(*m, p, box, r);
}

bool SpriteCollisionEllipse(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const RRect& r) {
  const TMask* m = s.MaskOf(ind);
  return m && CollisionEllipse(*m, p, box, r);
}

bool SpriteCollisionLine(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, int x1, int y1, int x2,
                         int y2) {
  const TMask* m = s.MaskOf(ind);
  return m && CollisionLine(*m, p, box, x1, y1, x2, y2);
}

}  // namespace kestro
