// Drawing particle systems through the drawing layer: each particle as its type's sprite or a
// built-in shape, with its size, orientation, colour and alpha and their wiggles.
#pragma once

#include "particles/Particles.h"

namespace kestro {

class CSprite;

// The one-frame sprite of a built-in shape (made on first need; its texture follows the drawing
// device), or null outside 0..13.
const CSprite* ParticleShapeSprite(int shape);

// Draws the system now: oldest first or newest first by its order, interpolation on for the
// duration, additive blending for the types that ask for it.
void DrawParticleSystem(CParticles& particles, const RParticleSystem& ps);

}  // namespace kestro
