#include "particles/Particles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestro {

namespace {

constexpr double kRad = std::numbers::pi / 180;

// Rounds halves to even (the game's rounding); NaN and the far ranges end up at the limits.
int64_t Round(double v) {
  if (!(v == v)) return 0;
  return int64_t(std::nearbyint(std::clamp(v, -9e18, 9e18)));
}
int32_t RoundInt(double v) { return int32_t(std::clamp<int64_t>(Round(v), INT32_MIN, INT32_MAX)); }

// Whether (x, y) is inside the box (edges included) and inside its shape.
template <class R>
bool Inside(const R& r, double x, double y) {
  if (x < r.xmin || x > r.xmax || y < r.ymin || y > r.ymax) return false;
  const double hw = (r.xmax - r.xmin) / 2, hh = (r.ymax - r.ymin) / 2;
  const double P = (x - (r.xmin + hw)) / hw, Q = (y - (r.ymin + hh)) / hh;
  if (r.shape == kRegionEllipse) return P * P + Q * Q <= 1;
  if (r.shape == kRegionDiamond) return std::fabs(P) + std::fabs(Q) <= 1;
  return true;
}
template <class R>
bool ProperBox(const R& r) {
  return r.xmin < r.xmax && r.ymin < r.ymax;
}

void RemoveDead(std::vector<RParticle>& particles) {
  std::erase_if(particles, [](const RParticle& p) { return !p.alive; });
}

// Direction in degrees of a velocity (y down), taken into [0, 360).
double DirectionOf(double vx, double vy) {
  if (vx == 0) return vy > 0 ? 270 : vy < 0 ? 90 : 0;
  double d = -std::atan2(vy, vx) / kRad;
  if (d < 0) d += 360;
  if (d >= 360) d -= 360;
  return d;
}

}  // namespace

double ParticleWiggle(double g) { return (g <= 2 ? g : 4 - g) - 1; }

void CParticles::Reset() {
  types_.DestroyAll();
  systems_.DestroyAll();
}

const RParticleType& CParticles::TypeOrDefault(int id) const {
  static const RParticleType kDefault{};
  const RParticleType* t = id >= 0 && size_t(id) < types_.Slots() ? &types_.All()[size_t(id)] : nullptr;
  return t ? *t : kDefault;
}

double CParticles::RandomRange(double lo, double hi, int distribution) {
  if (!(hi > lo)) return lo;
  if (distribution == kDistrGaussian || distribution == kDistrInvGaussian) {
    double t = 0;
    // The acceptance chance is never below exp(-4.5) per draw; the bound only guards a broken
    // generator.
    for (int tries = 0; tries < 100000; ++tries) {
      t = (services_.RandomReal() - 0.5) * 6;
      if (std::exp(-t * t / 2) > services_.RandomReal()) break;
    }
    if (distribution == kDistrGaussian) return lo + (hi - lo) * (t + 3) / 6;
    return lo + (hi - lo) * (t >= 0 ? t : t + 6) / 6;
  }
  return lo + (hi - lo) * services_.RandomReal();
}

int32_t CParticles::BirthColour(const RParticleType& t) {
  switch (t.colmode) {
    case 3:
    case 4: {
      int64_t ch[3];
      for (int k = 0; k < 3; ++k)
        ch[k] = ((Round(RandomRange(t.colpar[2 * k], t.colpar[2 * k + 1])) % 256) + 256) % 256;
      if (t.colmode == 3) return int32_t(ch[0] | ch[1] << 8 | ch[2] << 16);
      return services_.HsvColour(ch[0], ch[1], ch[2]);
    }
    case 5: return services_.MergeColour(RoundInt(t.colpar[0]), RoundInt(t.colpar[1]), services_.RandomReal());
    default: return RoundInt(t.colpar[0]);
  }
}

void CParticles::UpdateColour(RParticle& p, const RParticleType& t) {
  if (t.colmode != 1 && t.colmode != 2) return;
  if (p.age <= 0 || p.lifetime <= 0) {
    p.color = RoundInt(t.colpar[0]);
    return;
  }
  const int32_t c0 = RoundInt(t.colpar[0]), c1 = RoundInt(t.colpar[1]);
  if (t.colmode == 1) {
    p.color = services_.MergeColour(c0, c1, std::min(double(p.age) / p.lifetime, 1.0));
    return;
  }
  const double f = std::min(2.0 * p.age / p.lifetime, 2.0);
  p.color = f < 1 ? services_.MergeColour(c0, c1, f) : services_.MergeColour(c1, RoundInt(t.colpar[2]), f - 1);
}

RParticle CParticles::MakeParticle(const RParticleType& t, int type, double x, double y) {
  RParticle p;
  p.alive = true;
  p.parttype = type;
  p.x = p.xold = x;
  p.y = p.yold = y;
  p.speed = RandomRange(t.spmin, t.spmax);
  p.dir = RandomRange(t.dirmin, t.dirmax);
  p.ang = RandomRange(t.angmin, t.angmax);
  p.lifetime = RoundInt(RandomRange(t.lifemin, t.lifemax));
  p.age = 0;
  p.color = BirthColour(t);
  p.alpha = t.alphastart;
  p.size = RandomRange(t.sizemin, t.sizemax);
  p.spritestart = t.spriterandom ? int(services_.RandomBelow(10000)) : 0;
  p.ran = int(services_.RandomBelow(100000));
  return p;
}

void CParticles::CreateParticles(RParticleSystem& ps, double x, double y, int type, int64_t number, int64_t colour) {
  const RParticleType* t = types_.Get(type);
  if (!t || number <= 0) return;
  const RParticleType copy = *t;
  for (int64_t k = 0; k < number && ps.particles.size() < kMaxParticlesPerSystem; ++k) {
    RParticle p = MakeParticle(copy, type, x, y);
    if (colour >= 0) p.color = int32_t(colour);
    ps.particles.push_back(p);
  }
}

void CParticles::Secondary(RParticleSystem& ps, double x, double y, int type, int number) {
  if (number < 0) {
    if (services_.RandomBelow(-int64_t(number)) == 0) CreateParticles(ps, x, y, type, 1);
    return;
  }
  CreateParticles(ps, x, y, type, number);
}

void CParticles::Emit(RParticleSystem& ps, const REmitter& e, int type, int64_t number) {
  const RParticleType* t = types_.Get(type);
  if (!t || number == 0) return;
  if (number < 0) {
    if (services_.RandomBelow(-number) != 0) return;
    number = 1;
  }
  const RParticleType copy = *t;
  for (int64_t k = 0; k < number && ps.particles.size() < kMaxParticlesPerSystem; ++k) {
    double u = 0, v = 0;
    for (;;) {
      u = RandomRange(0, 1, e.posdistr);
      v = RandomRange(0, 1, e.posdistr);
      if (e.posdistr == kDistrInvGaussian && e.shape != kRegionLine) {
        // Gathering at both ends on both axes would fill only the corners.
        if (services_.RandomReal() < 0.5)
          u = RandomRange(0, 1);
        else
          v = RandomRange(0, 1);
      }
      if (e.shape == kRegionEllipse && (u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5) > 0.25) continue;
      if (e.shape == kRegionDiamond && std::fabs(u - 0.5) + std::fabs(v - 0.5) > 0.5) continue;
      break;
    }
    const double w = e.shape == kRegionLine ? u : v;
    ps.particles.push_back(MakeParticle(copy, type, e.xmin + u * (e.xmax - e.xmin), e.ymin + w * (e.ymax - e.ymin)));
  }
}

void CParticles::Update(RParticleSystem& ps) {
  std::vector<RParticle>& parts = ps.particles;

  // Life: ageing, death and the particles made on death and every step. New particles are
  // appended and not looked at in this pass.
  const size_t present = parts.size();
  for (size_t k = 0; k < present; ++k) {
    RParticle& p = parts[k];
    p.age += 1;
    const double x = p.x, y = p.y;
    const RParticleType& t = TypeOrDefault(p.parttype);
    // Copies: making particles may move the array and the type table stays, but not the record.
    const int deathtype = t.deathtype, deathnumber = t.deathnumber, steptype = t.steptype, stepnumber = t.stepnumber;
    if (p.age >= p.lifetime) {
      p.alive = false;
      Secondary(ps, x, y, deathtype, deathnumber);
    } else {
      Secondary(ps, x, y, steptype, stepnumber);
    }
  }
  RemoveDead(parts);

  // Motion.
  const bool anyAttractor = ps.attractors.Slots() > 0;
  for (RParticle& p : parts) {
    const RParticleType& t = TypeOrDefault(p.parttype);
    p.xold = p.x;
    p.yold = p.y;
    p.speed = std::max(0.0, p.speed + t.spincr);
    p.dir += t.dirincr;
    p.ang += t.angincr;
    double dx = 0, dy = 0;
    if (t.grav != 0 || anyAttractor) {
      double vx = p.speed * std::cos(p.dir * kRad), vy = -p.speed * std::sin(p.dir * kRad);
      vx += t.grav * std::cos(t.gravdir * kRad);
      vy -= t.grav * std::sin(t.gravdir * kRad);
      for (const RAttractor& a : ps.attractors.All()) {
        if (!a.created || a.force == 0 || a.dist == 0) continue;
        const double ax = a.x - p.x, ay = a.y - p.y;
        const double f = std::hypot(ax, ay);
        if (!(f > 0 && f <= a.dist)) continue;
        double pull = a.force;
        if (a.kind == kForceLinear) pull *= (a.dist - f) / a.dist;
        if (a.kind == kForceQuadratic) pull *= ((a.dist - f) / a.dist) * ((a.dist - f) / a.dist);
        if (a.additive) {
          vx += ax / f * pull;
          vy += ay / f * pull;
        } else {
          dx += ax / f * pull;
          dy += ay / f * pull;
        }
      }
      p.speed = std::hypot(vx, vy);
      p.dir = DirectionOf(vx, vy);
    }
    const double w1 = ParticleWiggle(double((int64_t(p.age) + 4 * int64_t(p.ran)) % 20) / 5);
    const double w2 = ParticleWiggle(double((int64_t(p.age) + 3 * int64_t(p.ran)) % 24) / 6);
    const double s = p.speed + t.sprand * w1, d = (p.dir + t.dirrand * w2) * kRad;
    p.x += s * std::cos(d) + dx;
    p.y += -s * std::sin(d) + dy;
  }

  // Deflectors.
  for (const RDeflector& f : ps.deflectors.All()) {
    if (!f.created || !ProperBox(f)) continue;
    for (RParticle& p : parts) {
      if (p.x < f.xmin || p.x > f.xmax || p.y < f.ymin || p.y > f.ymax) continue;
      if (f.kind == kDeflectHorizontal) {
        p.dir = 180 - p.dir;
        if (p.dir < 0) p.dir += 360;
        p.x = p.xold - (p.x - p.xold);
      } else {
        p.dir = 360 - p.dir;
        p.y = p.yold - (p.y - p.yold);
      }
      p.speed = std::max(0.0, p.speed - f.friction);
    }
  }

  // Changers. A changer to a type that does not exist changes nothing: no particle may carry a
  // type that is not there.
  for (size_t c = 0; c < ps.changers.Slots(); ++c) {
    const RChanger ch = ps.changers.All()[c];
    if (!ch.created || !ProperBox(ch)) continue;
    const RParticleType* to = types_.Get(ch.part2);
    if (!to) continue;
    const RParticleType target = *to;
    for (RParticle& p : parts) {
      if (p.parttype != ch.part1 || !Inside(ch, p.x, p.y)) continue;
      const RParticle n = MakeParticle(target, ch.part2, p.x, p.y);
      if (ch.kind == kChangeAll) {
        p = n;
      } else if (ch.kind == kChangeShape) {
        p.ang = n.ang;
        p.color = n.color;
        p.alpha = n.alpha;
        p.size = n.size;
        p.spritestart = n.spritestart;
      } else if (ch.kind == kChangeMotion) {
        p.speed = n.speed;
        p.dir = n.dir;
      }
      p.parttype = ch.part2;
    }
  }

  // Destroyers.
  if (ps.destroyers.Slots() > 0) {
    for (const RDestroyer& d : ps.destroyers.All()) {
      if (!d.created || !ProperBox(d)) continue;
      for (RParticle& p : parts)
        if (Inside(d, p.x, p.y)) p.alive = false;
    }
    RemoveDead(parts);
  }

  // Appearance: size, colour, alpha over the life.
  for (RParticle& p : parts) {
    const RParticleType& t = TypeOrDefault(p.parttype);
    p.size = std::max(0.0, p.size + t.sizeincr);
    UpdateColour(p, t);
    const double f = p.lifetime > 0 ? 2.0 * p.age / p.lifetime : 1;
    p.alpha = f < 1 ? (1 - f) * t.alphastart + f * t.alphamiddle : (2 - f) * t.alphamiddle + (f - 1) * t.alphaend;
  }

  // Streams. The emitter is copied: emitting never changes it, but the table may not move under it.
  for (size_t k = 0; k < ps.emitters.Slots(); ++k) {
    const REmitter e = ps.emitters.All()[k];
    if (e.created && e.number != 0) Emit(ps, e, e.parttype, e.number);
  }
}

void CParticles::UpdateAll() {
  for (size_t k = 0; k < systems_.Slots(); ++k) {
    RParticleSystem& ps = systems_.All()[k];
    if (ps.created && ps.automaticupdate) Update(ps);
  }
}

}  // namespace kestro
