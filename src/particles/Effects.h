// The twelve ready-made effects (ef_*), built on particle types and two systems of their own: one
// drawn below everything (depth 100000) and one above (depth -100000), made on first use and again
// when missing. A room start empties both.
#pragma once

#include <array>
#include <cstdint>

#include "particles/Particles.h"

namespace kestro {

enum : int {
  kEfExplosion = 0,
  kEfRing,
  kEfEllipse,
  kEfFirework,
  kEfSmoke,
  kEfSmokeUp,
  kEfStar,
  kEfSpark,
  kEfFlare,
  kEfCloud,
  kEfRain,
  kEfSnow,
  kEffectKinds
};

// What the effects read of the run: the room's speed and size, the measured steps per second.
struct REffectRoom {
  int speed = 30;
  int fps = 30;
  int width = 640, height = 480;
};

class CEffects {
 public:
  explicit CEffects(CParticles& particles) : particles_(particles) {}

  // Effect `kind` of `size` (0 small, 1 medium, 2 large; others are taken to the nearest) at
  // (x, y) in `colour`, in the system above everything or below it. An unknown kind does nothing.
  void Create(const REffectRoom& room, int kind, double x, double y, int size, int32_t colour, bool above);
  // Removes every particle of both effect systems.
  void Clear();
  // The store was emptied: systems and types are made again when next needed.
  void Forget();
  // The id of a system (-1 while it does not exist).
  int System(bool above) const;

  // The factor effects scale their speeds (and divide their lives) by: slower rooms and slow
  // frame rates keep the effects' look in time.
  static double SpeedFactor(const REffectRoom& room);

 private:
  static constexpr int kTypeSlots = 35;
  int EnsureSystem(bool above);
  RParticleType& TypeAt(int slot, int& id);

  CParticles& particles_;
  int below_ = -1, above_ = -1;
  std::array<int, kTypeSlots> types_{};
  bool typesMade_ = false;
};

// The run's effects over Particles().
CEffects& Effects();
// Both effect systems emptied (room start).
void ClearEffects();
// The store was reset (game start).
void ForgetEffectSystems();

}  // namespace kestro
