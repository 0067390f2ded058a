// The fourteen built-in particle shapes as images: 64 x 64, white, the shape in the alpha (its
// brightness), drawn about the origin (32, 32).
#pragma once

#include "resources/Bitmap32.h"

namespace kestro {

inline constexpr int kParticleShapeSize = 64;

// The image of shape 0..13 (pt_shape_*); an empty bitmap outside.
TBitmap32 ParticleShapeImage(int shape);

}  // namespace kestro
