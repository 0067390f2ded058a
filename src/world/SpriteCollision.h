// The collision tests of a sprite: the mask of the chosen image (wrapping), then the pixel test
// of MaskCollision.h. All are false without images.
#pragma once

#include "resources/Sprite.h"
#include "world/MaskCollision.h"

namespace kestro {

bool SpriteCollision(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const CSprite* other,
                     int otherInd, const RMaskPlace& otherPlace, const RRect& otherBox);
bool SpriteCollisionPoint(const CSprite& s, int ind, const RMaskPlace& p, int x, int y);
bool SpriteCollisionRectangle(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const RRect& r);
bool SpriteCollisionEllipse(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, const RRect& r);
bool SpriteCollisionLine(const CSprite& s, int ind, const RMaskPlace& p, const RRect& box, int x1, int y1, int x2,
                         int y2);

}  // namespace kestro
