// The collision tests of a sprite: the mask of the chosen image, then the pixel test.
#include "resources/Sprite.h"

namespace kestro {

const TMask* CSprite::MaskOf(int ind) const {
  if (i_numb <= 0 || i_mask.empty()) return nullptr;
  if (!i_sepmasks) return &i_mask[0];
  int i = ImageIndex(ind);
  return size_t(i) < i_mask.size() ? &i_mask[size_t(i)] : nullptr;
}

bool CSprite::CheckCollision(int ind, const RMaskPlace& p, const RRect& box, const CSprite* other, int otherInd,
                             const RMaskPlace& otherPlace, const RRect& otherBox) const {
  const TMask* m = MaskOf(ind);
  return m && other && CollisionMask(*m, p, box, other->MaskOf(otherInd), otherPlace, otherBox);
}

bool CSprite::CheckCollisionPoint(int ind, const RMaskPlace& p, int x, int y) const {
  const TMask* m = MaskOf(ind);
  return m && CollisionPoint(*m, p, x, y);
}

bool CSprite::CheckCollisionRectangle(int ind, const RMaskPlace& p, const RRect& box, const RRect& r) const {
  const TMask* m = MaskOf(ind);
  return m && CollisionRectangle(*m, p, box, r);
}

bool CSprite::CheckCollisionEllipse(int ind, const RMaskPlace& p, const RRect& box, const RRect& r) const {
  const TMask* m = MaskOf(ind);
  return m && CollisionEllipse(*m, p, box, r);
}

bool CSprite::CheckCollisionLine(int ind, const RMaskPlace& p, const RRect& box, int x1, int y1, int x2,
                                 int y2) const {
  const TMask* m = MaskOf(ind);
  return m && CollisionLine(*m, p, box, x1, y1, x2, y2);
}

}  // namespace kestro
