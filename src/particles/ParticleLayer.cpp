#include "particles/ParticleLayer.h"

#include <cmath>
#include <vector>

#include "graphics/Colours.h"
#include "graphics/RoomDraw.h"
#include "particles/Effects.h"
#include "particles/ParticleDraw.h"
#include "script/builtins/Random.h"
#include "world/ActionLibrary.h"
#include "world/World.h"

namespace kestro {

namespace {

// The model over the run's generator, so one seed repeats the particles too.
class CRunServices final : public IParticleServices {
 public:
  double RandomReal() override { return kestro::RandomReal(); }
  int64_t RandomBelow(int64_t n) override { return int64_t(kestro::RandomBelow(uint64_t(n < 1 ? 1 : n))); }
  int32_t MergeColour(int32_t c1, int32_t c2, double amount) override {
    return int32_t(kestro::MergeColour(c1, c2, amount));
  }
  int32_t HsvColour(int64_t hue, int64_t saturation, int64_t value) override {
    return int32_t(MakeColourHsv(hue, saturation, value));
  }
};

// The depth merge's view of the systems that draw with the room. Each system is drawn once per
// pass (a pass starts with HighestDepth): systems whose depths lie within 0.01 of each other
// are drawn together, and the next depth asked for never brings them back.
class CRoomParticles final : public IRoomParticles {
 public:
  double HighestDepth() override {
    drawn_.assign(Particles().Systems().Slots(), false);
    return Highest(false, 0);
  }
  double DepthBelow(double depth) override { return Highest(true, depth); }
  void DrawAt(double depth) override {
    auto& systems = Particles().Systems().All();
    for (size_t k = 0; k < systems.size(); ++k) {
      if (!systems[k].created || !systems[k].automaticdraw || Drawn(k)) continue;
      if (!(std::fabs(systems[k].depth - depth) < 0.01)) continue;
      if (k >= drawn_.size()) drawn_.resize(k + 1, false);
      drawn_[k] = true;
      DrawParticleSystem(Particles(), systems[k]);
    }
  }

 private:
  static constexpr double kNone = -1e9;
  // The highest depth of the systems not drawn in this pass (below `depth` when bounded).
  double Highest(bool bounded, double depth) const {
    double best = kNone;
    const auto& systems = Particles().Systems().All();
    for (size_t k = 0; k < systems.size(); ++k) {
      const RParticleSystem& ps = systems[k];
      if (!ps.created || !ps.automaticdraw || Drawn(k)) continue;
      if ((!bounded || ps.depth < depth) && ps.depth > best) best = ps.depth;
    }
    return best;
  }
  bool Drawn(size_t k) const { return k < drawn_.size() && drawn_[k]; }
  std::vector<bool> drawn_;
};

}  // namespace

CParticles& Particles() {
  static CRunServices services;
  static CParticles particles(services);
  return particles;
}

CEffects& Effects() {
  static CEffects effects(Particles());
  return effects;
}
void ClearEffects() { Effects().Clear(); }
void ForgetEffectSystems() { Effects().Forget(); }

void UpdateParticleSystems() { Particles().UpdateAll(); }

void ResetParticles() {
  Particles().Reset();
  ForgetEffectSystems();
  ResetActionParticles();
}

void InstallParticles() {
  static CRoomParticles room;
  SetRoomParticles(&room);
  World().hooks.resetParticles = [] { ResetParticles(); };
  World().hooks.clearEffects = [] { ClearEffects(); };
}

}  // namespace kestro
