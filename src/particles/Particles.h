// The particle model: particle types, particle systems and what lives inside a system (particles,
// emitters, attractors, destroyers, deflectors, changers), the update of a system and emitting.
// Nothing here draws or knows the language: random numbers and game colours come through
// `IParticleServices`, drawing is ParticleDraw, the functions of game code ParticleFunctions.
//
// Ids are slots of growable tables: creating takes the lowest free slot, destroying frees it,
// nothing is compacted. Every lookup checks the slot is in range and in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestro {

// Built-in shapes 0..13 (pt_shape_*), emitter distributions and region shapes, attractor forces,
// deflector and changer kinds.
inline constexpr int kParticleShapes = 14;
enum : int { kDistrLinear = 0, kDistrGaussian = 1, kDistrInvGaussian = 2 };
enum : int { kRegionRectangle = 0, kRegionEllipse = 1, kRegionDiamond = 2, kRegionLine = 3 };
enum : int { kForceConstant = 0, kForceLinear = 1, kForceQuadratic = 2 };
enum : int { kDeflectVertical = 0, kDeflectHorizontal = 1 };
enum : int { kChangeAll = 0, kChangeShape = 1, kChangeMotion = 2 };
inline constexpr int32_t kParticleWhite = 0xFFFFFF;
// A system holds at most this many particles; creating more makes none (a runaway emitter or a
// huge count from game code must not take the machine's memory).
inline constexpr size_t kMaxParticlesPerSystem = 1000000;

struct RParticleType {
  bool created = false;
  int sprite = -1;  // -1: the built-in shape
  bool spriteanim = true, spritestretch = false, spriterandom = false;
  int shape = 0;
  double sizemin = 1, sizemax = 1, sizeincr = 0, sizerand = 0;
  double xscale = 1, yscale = 1;
  int lifemin = 100, lifemax = 100;
  int deathtype = 0, deathnumber = 0;
  int steptype = 0, stepnumber = 0;
  double spmin = 0, spmax = 0, spincr = 0, sprand = 0;
  double dirmin = 0, dirmax = 0, dirincr = 0, dirrand = 0;
  double grav = 0, gravdir = 270;
  double angmin = 0, angmax = 0, angincr = 0, angrand = 0;
  bool angdir = false;
  int colmode = 0;
  double colpar[6] = {kParticleWhite, kParticleWhite, kParticleWhite, 0, 0, 0};
  double alphastart = 1, alphamiddle = 1, alphaend = 1;
  bool additiveblend = false;
};

struct RParticle {
  bool alive = true;
  int parttype = 0;
  int age = 0, lifetime = 0;
  double x = 0, y = 0, xold = 0, yold = 0;
  double speed = 0, dir = 0, ang = 0;
  int32_t color = kParticleWhite;
  double alpha = 1, size = 1;
  int spritestart = 0;
  int ran = 0;  // 0..99999, the phase of the wiggles
};

struct REmitter {
  bool created = false;
  int number = 0;  // particles per step when streaming; 0: not streaming
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int posdistr = kDistrLinear, shape = kRegionRectangle;
  int parttype = 0;
};
struct RAttractor {
  bool created = false;
  double x = 0, y = 0, force = 0, dist = 0;
  int kind = kForceConstant;
  bool additive = true;
};
struct RDestroyer {
  bool created = false;
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int shape = kRegionRectangle;
};
struct RDeflector {
  bool created = false;
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int kind = kDeflectVertical;
  double friction = 0;
};
struct RChanger {
  bool created = false;
  double xmin = 0, xmax = 0, ymin = 0, ymax = 0;
  int shape = kRegionRectangle;
  int part1 = -1, part2 = -1;
  int kind = kChangeAll;
};

// A growable table of records with a `created` flag: the lowest free slot is taken, slots are
// never removed (DestroyAll empties the table).
template <class T>
class CSlotTable {
 public:
  int Create() {
    for (size_t k = 0; k < slots_.size(); ++k)
      if (!slots_[k].created) return Fill(k);
    slots_.emplace_back();
    return Fill(slots_.size() - 1);
  }
  T* Get(int id) {
    return id >= 0 && size_t(id) < slots_.size() && slots_[size_t(id)].created ? &slots_[size_t(id)] : nullptr;
  }
  const T* Get(int id) const {
    return id >= 0 && size_t(id) < slots_.size() && slots_[size_t(id)].created ? &slots_[size_t(id)] : nullptr;
  }
  bool Destroy(int id) {
    if (!Get(id)) return false;
    slots_[size_t(id)] = T{};
    return true;
  }
  // Back to the defaults, the slot kept.
  bool Clear(int id) {
    if (!Get(id)) return false;
    slots_[size_t(id)] = T{};
    slots_[size_t(id)].created = true;
    return true;
  }
  void DestroyAll() { slots_.clear(); }
  size_t Slots() const { return slots_.size(); }
  std::vector<T>& All() { return slots_; }
  const std::vector<T>& All() const { return slots_; }

 private:
  int Fill(size_t k) {
    slots_[k] = T{};
    slots_[k].created = true;
    return int(k);
  }
  std::vector<T> slots_;
};

struct RParticleSystem {
  bool created = false;
  std::vector<RParticle> particles;
  CSlotTable<REmitter> emitters;
  CSlotTable<RAttractor> attractors;
  CSlotTable<RDestroyer> destroyers;
  CSlotTable<RDeflector> deflectors;
  CSlotTable<RChanger> changers;
  bool oldtonew = true;
  double depth = 0;
  double xdraw = 0, ydraw = 0;
  bool automaticupdate = true, automaticdraw = true;
};

// What the model needs from the run: its random generator and the game's colour rules.
class IParticleServices {
 public:
  virtual ~IParticleServices() = default;
  virtual double RandomReal() = 0;             // uniform in [0, 1)
  virtual int64_t RandomBelow(int64_t n) = 0;  // 0 .. n - 1, n >= 1
  virtual int32_t MergeColour(int32_t c1, int32_t c2, double amount) = 0;
  virtual int32_t HsvColour(int64_t hue, int64_t saturation, int64_t value) = 0;
};

// Triangle wave of the wiggles: g in [0, 4) to [-1, 1].
double ParticleWiggle(double g);

class CParticles {
 public:
  explicit CParticles(IParticleServices& services) : services_(services) {}

  // Everything gone: no types, no systems.
  void Reset();

  CSlotTable<RParticleType>& Types() { return types_; }
  CSlotTable<RParticleSystem>& Systems() { return systems_; }
  RParticleType* Type(int id) { return types_.Get(id); }
  RParticleSystem* System(int id) { return systems_.Get(id); }

  // Particles of type `type` at (x, y), appended to the system; none for a type that does not
  // exist or a count not above 0. `colour` >= 0 replaces each one's colour.
  void CreateParticles(RParticleSystem& ps, double x, double y, int type, int64_t number, int64_t colour = -1);
  // `number` particles of `type` in the emitter's region; a negative number makes one with
  // chance 1 / |number|.
  void Emit(RParticleSystem& ps, const REmitter& e, int type, int64_t number);
  // One update of the system.
  void Update(RParticleSystem& ps);
  // The automatic update: every system that updates automatically, in id order.
  void UpdateAll();

  // A random value between lo and hi with a distribution (lo when hi <= lo).
  double RandomRange(double lo, double hi, int distribution = kDistrLinear);
  // The run's generator: uniform in [0, 1), and an integer 0 .. n - 1.
  double RandomReal() { return services_.RandomReal(); }
  int64_t RandomBelow(int64_t n) { return services_.RandomBelow(n < 1 ? 1 : n); }

 private:
  RParticle MakeParticle(const RParticleType& t, int type, double x, double y);
  int32_t BirthColour(const RParticleType& t);
  void UpdateColour(RParticle& p, const RParticleType& t);
  // Particles of `type` at a position with the secondary rule (negative: one with chance 1/|n|).
  void Secondary(RParticleSystem& ps, double x, double y, int type, int number);
  const RParticleType& TypeOrDefault(int id) const;

  IParticleServices& services_;
  CSlotTable<RParticleType> types_;
  CSlotTable<RParticleSystem> systems_;
};

}  // namespace kestro
