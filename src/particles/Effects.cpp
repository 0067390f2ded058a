#include "particles/Effects.h"

#include <algorithm>
#include <cmath>

namespace kestro {

namespace {

constexpr double kBelowDepth = 100000, kAboveDepth = -100000;
constexpr int32_t kBlack = 0;

enum : int {
  kShapeDisk = 1,
  kShapeLine = 3,
  kShapeStar = 4,
  kShapeRing = 6,
  kShapeFlare = 8,
  kShapeSpark = 9,
  kShapeExplosion = 10,
  kShapeCloud = 11,
  kShapeSnow = 13
};

int Life(double steps, double e) { return int(std::nearbyint(steps / e)); }

void Alpha2(RParticleType& t, double a1, double a2) {
  t.alphastart = a1;
  t.alphaend = a2;
  t.alphamiddle = (a1 + a2) / 2;
}

}  // namespace

double CEffects::SpeedFactor(const REffectRoom& room) {
  if (room.speed <= 30 || room.fps <= 30) return 1;
  if (double(room.speed) / room.fps < 1.2) return 30.0 / room.speed;
  return 30.0 / room.fps;
}

int CEffects::System(bool above) const {
  const int id = above ? above_ : below_;
  return particles_.Systems().Get(id) ? id : -1;
}

int CEffects::EnsureSystem(bool above) {
  int& id = above ? above_ : below_;
  if (!particles_.System(id)) {
    id = particles_.Systems().Create();
    particles_.System(id)->depth = above ? kAboveDepth : kBelowDepth;
  }
  return id;
}

RParticleType& CEffects::TypeAt(int slot, int& id) {
  if (!typesMade_) {
    // All of them at the first call, in a row, as the effects' own types.
    for (int& t : types_) t = particles_.Types().Create();
    typesMade_ = true;
  }
  int& t = types_[size_t(slot)];
  // A type game code destroyed is made again.
  if (!particles_.Type(t)) t = particles_.Types().Create();
  particles_.Types().Clear(t);
  id = t;
  return *particles_.Type(t);
}

void CEffects::Clear() {
  for (int id : {below_, above_})
    if (RParticleSystem* ps = particles_.System(id)) ps->particles.clear();
}

void CEffects::Forget() {
  below_ = above_ = -1;
  typesMade_ = false;
  types_.fill(-1);
}

void CEffects::Create(const REffectRoom& room, int kind, double x, double y, int size, int32_t colour, bool above) {
  if (kind < 0 || kind >= kEffectKinds) return;
  size = std::clamp(size, 0, 2);
  const double e = SpeedFactor(room);
  const int sys = EnsureSystem(above);
  auto make = [&](int type, double px, double py, int number, int32_t c) {
    if (RParticleSystem* ps = particles_.System(sys)) particles_.CreateParticles(*ps, px, py, type, number, c);
  };
  auto pick = [size](double s, double m, double l) { return size == 0 ? s : size == 1 ? m : l; };
  int id = -1;
  switch (kind) {
    case kEfExplosion: {
      RParticleType& t = TypeAt(size * 2, id);
      t.shape = kShapeExplosion;
      t.angmax = 360;
      t.dirmax = 360;
      t.sizemin = t.sizemax = pick(0.1, 0.3, 0.4);
      t.sizeincr = pick(0.05, 0.1, 0.2) * e;
      t.spmin = t.spmax = pick(2, 4, 7) * e;
      t.spincr = -pick(0.1, 0.18, 0.2) * e;
      Alpha2(t, 0.6, 0);
      t.lifemin = Life(pick(10, 12, 15), e);
      t.lifemax = Life(pick(15, 17, 20), e);
      make(id, x, y, 20, colour);
      int centre = -1;
      RParticleType& c = TypeAt(size * 2 + 1, centre);
      c.shape = kShapeExplosion;
      c.angmax = 360;
      c.sizemin = c.sizemax = pick(0.1, 0.3, 0.4);
      c.sizeincr = pick(0.1, 0.2, 0.4) * e;
      Alpha2(c, 0.8, 0);
      c.lifemin = c.lifemax = Life(pick(15, 17, 20), e);
      make(centre, x, y, 1, kBlack);
      return;
    }
    case kEfRing:
    case kEfEllipse: {
      RParticleType& t = TypeAt(6 + (kind - 1) * 3 + size, id);
      t.shape = kShapeRing;
      t.sizemin = t.sizemax = 0;
      t.sizeincr = (kind == kEfRing ? pick(0.15, 0.25, 0.4) : pick(0.2, 0.35, 0.6)) * e;
      if (kind == kEfEllipse) t.yscale = 0.5;
      Alpha2(t, 1, 0);
      t.lifemin = Life(pick(10, 13, 18), e);
      t.lifemax = Life(pick(12, 15, 20), e);
      make(id, x, y, 1, colour);
      return;
    }
    case kEfFirework: {
      RParticleType& t = TypeAt(6 + (kind - 1) * 3 + size, id);
      t.shape = kShapeFlare;
      t.sizemin = 0.1;
      t.sizemax = 0.2;
      t.spmin = 0.5 * e;
      t.spmax = pick(3, 6, 8) * e;
      t.dirmax = 360;
      t.grav = pick(0.1, 0.15, 0.17) * e;
      t.gravdir = 270;
      Alpha2(t, 1, 0.4);
      t.lifemin = Life(pick(15, 20, 30), e);
      t.lifemax = Life(pick(25, 30, 40), e);
      make(id, x, y, int(pick(75, 150, 250)), colour);
      return;
    }
    case kEfSmoke:
    case kEfSmokeUp: {
      RParticleType& t = TypeAt(6 + (kind - 1) * 3 + size, id);
      t.shape = kShapeExplosion;
      t.sizemin = pick(0.2, 0.4, 0.4);
      t.sizemax = pick(0.4, 0.7, 1);
      t.sizeincr = -0.01 * e;
      Alpha2(t, 0.4, 0);
      t.lifemin = t.lifemax = Life(pick(25, 30, 50), e);
      if (kind == kEfSmokeUp) {
        t.dirmin = t.dirmax = 90;
        t.spmin = pick(3, 5, 6) * e;
        t.spmax = pick(4, 6, 7) * e;
      }
      const int count = int(pick(6, 11, 16)), spread = int(pick(10, 30, 60)), back = int(pick(5, 15, 30));
      for (int k = 0; k < count; ++k) {
        const double ox = double(particles_.RandomBelow(spread)), oy = double(particles_.RandomBelow(spread));
        make(id, x - back + ox, y - back + oy, 1, colour);
      }
      return;
    }
    case kEfStar:
    case kEfSpark:
    case kEfFlare: {
      RParticleType& t = TypeAt(6 + (kind - 1) * 3 + size, id);
      t.shape = kind == kEfStar ? kShapeStar : kind == kEfSpark ? kShapeSpark : kShapeFlare;
      t.sizemin = pick(kind == kEfStar ? 0.3 : 0.4, 0.75, 1.2);
      t.sizemax = pick(0.4, 0.75, 1.2);
      t.sizeincr = -pick(0.02, 0.03, 0.04) * e;
      t.angmax = 360;
      t.lifemin = t.lifemax = Life(pick(20, 25, 30), e);
      make(id, x, y, 1, colour);
      return;
    }
    case kEfCloud: {
      RParticleType& t = TypeAt(6 + (kind - 1) * 3 + size, id);
      t.shape = kShapeCloud;
      t.sizemin = t.sizemax = pick(2, 4, 8);
      t.yscale = 0.5;
      t.alphastart = 0;
      t.alphamiddle = 0.3;
      t.alphaend = 0;
      t.lifemin = t.lifemax = Life(100, e);
      make(id, x, y, 1, colour);
      return;
    }
    case kEfRain:
    case kEfSnow: {
      const bool rain = kind == kEfRain;
      RParticleType& t = TypeAt(rain ? 33 : 34, id);
      t.shape = rain ? kShapeLine : kShapeSnow;
      if (rain) {
        t.sizemin = 0.2;
        t.sizemax = 0.3;
        t.angdir = true;
        t.spmin = t.spmax = 7 * e;
        t.dirmin = t.dirmax = 260;
        t.alphastart = t.alphamiddle = t.alphaend = 0.4;
        t.lifemin = t.lifemax = Life(room.height * 0.2, e);
      } else {
        t.sizemin = 0.1;
        t.sizemax = 0.25;
        t.alphastart = t.alphamiddle = t.alphaend = 0.6;
        t.angmax = 360;
        t.spmin = 2.5 * e;
        t.spmax = 3 * e;
        t.dirmin = 240;
        t.dirmax = 300;
        t.dirrand = 20;
        t.lifemin = t.lifemax = Life(room.height * 0.5, e);
      }
      // The drops start above the room across its width; the position given is not used.
      const int count = rain ? int(pick(2, 5, 9)) : int(pick(1, 3, 7));
      for (int k = 0; k < count; ++k) {
        const double px = particles_.RandomReal() * 1.2 * room.width - (rain ? 0 : 60);
        const double py = double(particles_.RandomBelow(20)) - 30;
        make(id, px, py, 1, colour);
      }
      return;
    }
    default: return;
  }
}

}  // namespace kestro
