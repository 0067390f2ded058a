// The run's particle store and how it joins the run: the shared random generator and game
// colours behind the model, the automatic update of the main loop, the systems drawn with the
// room by depth, and what the start of a game and of a room ask of it.
#pragma once

#include "particles/Particles.h"

namespace kestro {

// The run's types and systems (drawing from the run's random generator).
CParticles& Particles();

// Every system that updates automatically, in id order (the main loop, after the end step).
void UpdateParticleSystems();

// Joins the run: the systems are drawn in the room's depth merge, a game start empties the
// store, a room start empties the effect systems. Called once where the program is composed.
void InstallParticles();

// No types, systems or effect systems (a fresh process, a game start or restart).
void ResetParticles();

}  // namespace kestro
