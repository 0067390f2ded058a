// The particle model with random numbers under the test's control: the update rules in their
// order (life with secondary particles, motion with increments, wiggles, gravity and attractors,
// deflectors, changers, destroyers, appearance over the life, streams), emitting into regions with
// the three distributions, and the slot tables behind every id.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <numbers>

#include "particles/Particles.h"

namespace kestro::test {
namespace {

// Random numbers from a queue (then a fixed value); colours mixed per channel like the game's
// merge, so colour rules can be checked with plain numbers.
class FakeServices : public IParticleServices {
 public:
  std::deque<double> reals;
  double fallback = 0.5;
  double RandomReal() override {
    ++draws;
    if (reals.empty()) return fallback;
    const double r = reals.front();
    reals.pop_front();
    return r;
  }
  int64_t RandomBelow(int64_t n) override { return std::min<int64_t>(int64_t(RandomReal() * double(n)), n - 1); }
  int32_t MergeColour(int32_t c1, int32_t c2, double amount) override {
    int32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const double v = (1 - amount) * ((c1 >> shift) & 255) + amount * ((c2 >> shift) & 255);
      out |= int32_t(std::nearbyint(v)) << shift;
    }
    return out;
  }
  int32_t HsvColour(int64_t h, int64_t s, int64_t v) override { return int32_t(h | s << 8 | v << 16); }
  int draws = 0;
};

// A real generator for the statistical cases (a fixed LCG: the same numbers every run).
class LcgServices : public FakeServices {
 public:
  double RandomReal() override {
    seed_ = seed_ * 6364136223846793005ull + 1442695040888963407ull;
    return double(seed_ >> 11) / double(1ull << 53);
  }

 private:
  uint64_t seed_ = 12345;
};

class ParticleModel : public ::testing::Test {
 protected:
  FakeServices fake_;
  CParticles p_{fake_};
  int sys_ = p_.Systems().Create();
  RParticleSystem& Sys() { return *p_.System(sys_); }
  // A type with a life and nothing random.
  int Type(int life = 100) {
    const int t = p_.Types().Create();
    p_.Type(t)->lifemin = p_.Type(t)->lifemax = life;
    return t;
  }
  // One particle at (x, y) whose wiggle phase is 0 (the fake's fallback is 0.5 otherwise).
  RParticle& One(int type, double x = 0, double y = 0) {
    fake_.fallback = 0;
    p_.CreateParticles(Sys(), x, y, type, 1);
    return Sys().particles.back();
  }
};

TEST_F(ParticleModel, LifeEndsAtTheLifetimeAndDeathAndStepParticlesAppearWhereTheParticleIs) {
  const int spark = Type(50), ash = Type(50), t = Type(3);
  p_.Type(t)->spmin = p_.Type(t)->spmax = 2;  // moving right, 2 per step
  p_.Type(t)->stepnumber = 1;
  p_.Type(t)->steptype = spark;
  p_.Type(t)->deathnumber = 4;
  p_.Type(t)->deathtype = ash;
  One(t, 10, 0);
  // Update 1: age 1, one spark where it was (x 10), then it moves to 12.
  p_.Update(Sys());
  ASSERT_EQ(Sys().particles.size(), 2u);
  EXPECT_EQ(Sys().particles[0].age, 1);
  EXPECT_DOUBLE_EQ(Sys().particles[0].x, 12);
  EXPECT_EQ(Sys().particles[1].parttype, spark);
  EXPECT_DOUBLE_EQ(Sys().particles[1].x, 10);
  EXPECT_EQ(Sys().particles[1].age, 0) << "new particles are not aged in the pass that made them";
  p_.Update(Sys());  // age 2: a second spark at 12
  // Update 3: age 3 = lifetime: it dies at 14 and leaves four ash particles there, no spark.
  p_.Update(Sys());
  int sparks = 0, ashes = 0;
  for (const RParticle& q : Sys().particles) {
    EXPECT_NE(q.parttype, t);
    if (q.parttype == spark) ++sparks;
    if (q.parttype == ash) {
      ++ashes;
      EXPECT_DOUBLE_EQ(q.x, 14);
    }
  }
  EXPECT_EQ(sparks, 2);
  EXPECT_EQ(ashes, 4);
  // A particle of life 1 dies in the first update, before it could ever be drawn.
  Sys().particles.clear();
  One(Type(1));
  p_.Update(Sys());
  EXPECT_TRUE(Sys().particles.empty());
}

TEST_F(ParticleModel, NegativeSecondaryNumbersMakeOneParticleWithTheirChance) {
  LcgServices lcg;
  CParticles p(lcg);
  RParticleSystem& ps = *p.System(p.Systems().Create());
  const int t2 = p.Types().Create(), t = p.Types().Create();
  p.Type(t)->lifemin = p.Type(t)->lifemax = 1000000;
  p.Type(t)->stepnumber = -10;
  p.Type(t)->steptype = t2;
  p.Type(t2)->lifemin = p.Type(t2)->lifemax = 1000000;
  p.CreateParticles(ps, 0, 0, t, 1);
  for (int k = 0; k < 2000; ++k) p.Update(ps);
  // About one in ten steps: 200 expected.
  EXPECT_NEAR(double(ps.particles.size() - 1), 200, 45);
}

TEST_F(ParticleModel, MotionTakesTheIncrementsAndWigglesWithoutStoringTheWiggle) {
  struct Case {
    const char* what;
    double speed, dir, spincr, dirincr, sprand, dirrand;
    int ran;
    // After one update: stored speed and direction, position.
    double speedAfter, dirAfter, x, y;
  };
  const double s2 = std::sqrt(2.0);
  const Case cases[] = {
      {"plain", 2, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0},
      {"speeding up", 2, 90, 0.5, 0, 0, 0, 0, 2.5, 90, 0, -2.5},
      {"slowing stops at 0", 0.2, 0, -0.5, 0, 0, 0, 0, 0, 0, 0, 0},
      {"turning past 360 stays as it is", 1, 350, 0, 55, 0, 0, 0, 1, 405, std::cos(45 * std::numbers::pi / 180),
       -std::sin(45 * std::numbers::pi / 180)},
      // ran 0, age 1: w1 = tri(1 / 5) = -0.8, w2 = tri(1 / 6) = -5 / 6.
      {"speed wiggle", 2, 0, 0, 0, 1, 0, 0, 2, 0, 1.2, 0},
      {"direction wiggle", s2, 0, 0, 0, 0, 54, 0, s2, 0, 1, 1},
      // ran 1: w1 = tri(5 / 5) = 0, w2 = tri(4 / 6).
      {"phase from ran", 2, 0, 0, 0, 1, 0, 1, 2, 0, 2, 0},
  };
  for (const Case& c : cases) {
    Sys().particles.clear();
    const int t = Type();
    RParticleType& ty = *p_.Type(t);
    ty.spmin = ty.spmax = c.speed;
    ty.dirmin = ty.dirmax = c.dir;
    ty.spincr = c.spincr;
    ty.dirincr = c.dirincr;
    ty.sprand = c.sprand;
    ty.dirrand = c.dirrand;
    RParticle& q = One(t);
    q.ran = c.ran;
    p_.Update(Sys());
    const RParticle& a = Sys().particles.at(0);
    EXPECT_NEAR(a.speed, c.speedAfter, 1e-12) << c.what;
    EXPECT_NEAR(a.dir, c.dirAfter, 1e-12) << c.what;
    EXPECT_NEAR(a.x, c.x, 1e-12) << c.what;
    EXPECT_NEAR(a.y, c.y, 1e-12) << c.what;
  }
  EXPECT_DOUBLE_EQ(ParticleWiggle(0), -1);
  EXPECT_DOUBLE_EQ(ParticleWiggle(2), 1);
  EXPECT_DOUBLE_EQ(ParticleWiggle(3), 0);
}

TEST_F(ParticleModel, GravityAndAttractorsMoveThroughTheVelocity) {
  // Gravity 0.5 towards 270 on a resting particle: speed 0.5 straight down (y grows).
  const int g = Type();
  p_.Type(g)->grav = 0.5;
  p_.Type(g)->gravdir = 270;
  One(g, 0, 0);
  p_.Update(Sys());
  EXPECT_NEAR(Sys().particles[0].speed, 0.5, 1e-12);
  EXPECT_NEAR(Sys().particles[0].dir, 270, 1e-9);
  EXPECT_NEAR(Sys().particles[0].y, 0.5, 1e-12);
  p_.Update(Sys());
  EXPECT_NEAR(Sys().particles[0].speed, 1.0, 1e-12);
  EXPECT_NEAR(Sys().particles[0].y, 1.5, 1e-12);

  // Attractors at (10, 0) of force 1, dist 10, particles at rest at distance 10 and 5.
  struct Case {
    const char* what;
    int kind;
    bool additive;
    double x;      // the particle's start
    double speed;  // stored speed after one update
    double moved;  // distance moved towards the attractor
  };
  const Case cases[] = {
      {"constant at the edge", kForceConstant, true, 0, 1, 1},
      {"linear at the edge: nothing", kForceLinear, true, 0, 0, 0},
      {"linear half-way: half", kForceLinear, true, 5, 0.5, 0.5},
      {"quadratic half-way: a quarter", kForceQuadratic, true, 5, 0.25, 0.25},
      {"not additive: moved, speed kept", kForceConstant, false, 5, 0, 1},
      {"beyond the distance: nothing", kForceConstant, true, -1, 0, 0},
  };
  for (const Case& c : cases) {
    Sys().particles.clear();
    Sys().attractors.DestroyAll();
    RAttractor& a = *Sys().attractors.Get(Sys().attractors.Create());
    a.x = 10;
    a.force = 1;
    a.dist = 10;
    a.kind = c.kind;
    a.additive = c.additive;
    One(Type(), c.x, 0);
    p_.Update(Sys());
    EXPECT_NEAR(Sys().particles[0].speed, c.speed, 1e-12) << c.what;
    EXPECT_NEAR(Sys().particles[0].x - c.x, c.moved, 1e-12) << c.what;
  }
}

TEST_F(ParticleModel, DeflectorsMirrorTheMoveAndTakeTheirFriction) {
  const int t = Type();
  p_.Type(t)->spmin = p_.Type(t)->spmax = 2;
  p_.Type(t)->dirmin = p_.Type(t)->dirmax = 30;
  RDeflector& d = *Sys().deflectors.Get(Sys().deflectors.Create());
  d.xmin = 0;
  d.xmax = 100;
  d.ymin = -100;
  d.ymax = 100;
  d.kind = kDeflectHorizontal;
  d.friction = 0.1;
  One(t, 10, 0);
  p_.Update(Sys());
  const RParticle& q = Sys().particles[0];
  // Moved by (2 cos 30, -2 sin 30), then put back to the mirrored place horizontally.
  EXPECT_NEAR(q.x, 10 - 2 * std::cos(std::numbers::pi / 6), 1e-12);
  EXPECT_NEAR(q.y, -1, 1e-12);
  EXPECT_DOUBLE_EQ(q.dir, 150);
  EXPECT_NEAR(q.speed, 1.9, 1e-12);
  // Vertical: the vertical part turns; a box that is not proper does nothing.
  Sys().particles.clear();
  d.kind = kDeflectVertical;
  One(t, 10, 0);
  p_.Update(Sys());
  EXPECT_NEAR(Sys().particles[0].y, 1, 1e-12);
  EXPECT_DOUBLE_EQ(Sys().particles[0].dir, 330);
  Sys().particles.clear();
  d.xmax = d.xmin;
  One(t, 0, 0);
  p_.Update(Sys());
  EXPECT_NEAR(Sys().particles[0].y, -1, 1e-12);
}

TEST_F(ParticleModel, ChangersTurnTypesByKind) {
  const int a = Type(), b = Type();
  RParticleType& A = *p_.Type(a);
  A.spmin = A.spmax = 1;
  A.dirmin = A.dirmax = 90;
  A.sizemin = A.sizemax = 1;
  RParticleType& B = *p_.Type(b);
  B.spmin = B.spmax = 3;
  B.dirmin = B.dirmax = 0;
  B.sizemin = B.sizemax = 2;
  B.colpar[0] = 0x0000FF;
  RChanger& c = *Sys().changers.Get(Sys().changers.Create());
  c.xmin = -5;
  c.xmax = 5;
  c.ymin = -5;
  c.ymax = 5;
  c.part1 = a;
  c.part2 = b;
  struct Case {
    int kind;
    double speed, dir, size;
    int32_t colour;
    int age;
  };
  const Case cases[] = {
      {kChangeShape, 1, 90, 2, 0x0000FF, 1},
      {kChangeMotion, 3, 0, 1, 0xFFFFFF, 1},
      {kChangeAll, 3, 0, 2, 0x0000FF, 0},
  };
  for (const Case& k : cases) {
    Sys().particles.clear();
    c.kind = k.kind;
    One(a, 0, 0);
    One(a, 20, 0);  // outside the box: stays type a
    p_.Update(Sys());
    const RParticle& q = Sys().particles[0];
    EXPECT_EQ(q.parttype, b) << k.kind;
    EXPECT_DOUBLE_EQ(q.speed, k.speed) << k.kind;
    EXPECT_DOUBLE_EQ(q.dir, k.dir) << k.kind;
    EXPECT_DOUBLE_EQ(q.size, k.size) << k.kind;
    EXPECT_EQ(q.color, k.colour) << k.kind;
    EXPECT_EQ(q.age, k.age) << k.kind;
    EXPECT_NEAR(q.y, -1, 1e-12) << "the position stays: " << k.kind;
    EXPECT_EQ(Sys().particles[1].parttype, a);
  }
  // A changer to a type that does not exist changes nothing.
  Sys().particles.clear();
  c.part2 = 99;
  One(a, 0, 0);
  p_.Update(Sys());
  EXPECT_EQ(Sys().particles[0].parttype, a);
}

TEST_F(ParticleModel, DestroyersRemoveWhatIsInsideTheirShape) {
  const int t = Type();
  struct Case {
    int shape;
    const char* left;  // which of centre, corner, edge-middle, outside survive
  };
  const Case cases[] = {
      {kRegionRectangle, "...o"},
      {kRegionEllipse, ".c.o"},
      {kRegionDiamond, ".c.o"},
  };
  for (const Case& c : cases) {
    Sys().particles.clear();
    Sys().destroyers.DestroyAll();
    RDestroyer& d = *Sys().destroyers.Get(Sys().destroyers.Create());
    d.xmin = 0;
    d.xmax = 20;
    d.ymin = 0;
    d.ymax = 10;
    d.shape = c.shape;
    One(t, 10, 5);  // centre
    One(t, 1, 1);   // corner
    One(t, 20, 5);  // on the edge, middle of the side: inside every shape
    One(t, 30, 5);  // outside
    std::vector<double> before;
    for (const RParticle& q : Sys().particles) before.push_back(q.x);
    p_.Update(Sys());
    std::string left = "....";
    const char names[] = "cceo";
    for (const RParticle& q : Sys().particles)
      for (size_t k = 0; k < before.size(); ++k)
        if (q.x == before[k]) left[k] = names[k];
    EXPECT_EQ(left, c.left) << c.shape;
  }
}

TEST_F(ParticleModel, ColourAlphaAndSizeFollowTheLife) {
  const int t = Type(10);
  RParticleType& ty = *p_.Type(t);
  ty.colmode = 1;
  ty.colpar[0] = 0x000000;
  ty.colpar[1] = 0x0000C8;  // red 200
  ty.alphastart = 1;
  ty.alphamiddle = 0.5;
  ty.alphaend = 0;
  ty.sizemin = ty.sizemax = 0.25;
  ty.sizeincr = -0.1;
  One(t);
  EXPECT_EQ(Sys().particles[0].color, 0) << "born with the first colour";
  EXPECT_DOUBLE_EQ(Sys().particles[0].alpha, 1);
  // Age after each update and what it gives: red 200 x age / 10, alpha by halves.
  const double alphas[] = {0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1};
  for (int age = 1; age <= 9; ++age) {
    p_.Update(Sys());
    const RParticle& q = Sys().particles.at(0);
    EXPECT_EQ(q.color, 20 * age) << age;
    EXPECT_NEAR(q.alpha, alphas[age - 1], 1e-12) << age;
    EXPECT_NEAR(q.size, std::max(0.0, 0.25 - 0.1 * age), 1e-12) << "never below 0";
  }
  // Three colours: the first half to the second, the second half to the third.
  Sys().particles.clear();
  ty.colmode = 2;
  ty.colpar[1] = 0x0000C8;
  ty.colpar[2] = 0x00C800;  // green 200
  One(t);
  for (int age = 1; age <= 9; ++age) {
    p_.Update(Sys());
    const int32_t c = Sys().particles.at(0).color;
    if (age < 5)
      EXPECT_EQ(c, 40 * age) << age;
    else
      EXPECT_EQ(c, (200 - 40 * (age - 5)) | (40 * (age - 5)) << 8) << age;
  }
  // Modes fixed at birth: RGB from the ranges (modulo 256), HSV, a mix.
  struct Case {
    int mode;
    double par[6];
    double r;
    int32_t colour;
  };
  const Case cases[] = {
      {0, {255.4}, 0.5, 255},
      {3, {0, 100, 300, 300, 7, 7}, 0.5, 50 | (300 % 256) << 8 | 7 << 16},
      {4, {10, 10, 20, 20, 30, 30}, 0.5, 10 | 20 << 8 | 30 << 16},
      {5, {0, 0x0000FF}, 0.25, 64},
  };
  for (const Case& c : cases) {
    Sys().particles.clear();
    ty.colmode = c.mode;
    for (int k = 0; k < 6; ++k) ty.colpar[k] = c.par[k];
    fake_.reals = {c.r, c.r, c.r, c.r};
    p_.CreateParticles(Sys(), 0, 0, t, 1);
    EXPECT_EQ(Sys().particles[0].color, c.colour) << c.mode;
    fake_.reals.clear();
    p_.Update(Sys());
    EXPECT_EQ(Sys().particles[0].color, c.colour) << "unchanged over the life: " << c.mode;
  }
  // A colour given at creation stays in the modes that do not change over the life.
  Sys().particles.clear();
  ty.colmode = 0;
  p_.CreateParticles(Sys(), 0, 0, t, 1, 0x123456);
  p_.Update(Sys());
  EXPECT_EQ(Sys().particles[0].color, 0x123456);
}

TEST_F(ParticleModel, CreatingDrawsFromTheRangesAndMakesNothingForMissingTypesOrCounts) {
  const int t = Type();
  RParticleType& ty = *p_.Type(t);
  ty.spmin = 1;
  ty.spmax = 3;
  ty.lifemin = 10;
  ty.lifemax = 20;
  ty.spriterandom = true;
  fake_.reals = {0.5, 0.25, 0.5, 0.0001};  // speed, life, sprite start, ran
  p_.CreateParticles(Sys(), 4, 5, t, 1);
  const RParticle& q = Sys().particles.at(0);
  EXPECT_DOUBLE_EQ(q.speed, 2);
  EXPECT_EQ(q.lifetime, 12) << "round(12.5) to even";
  EXPECT_EQ(q.spritestart, 5000);
  EXPECT_EQ(q.ran, 10);
  EXPECT_DOUBLE_EQ(q.xold, 4);
  EXPECT_DOUBLE_EQ(q.yold, 5);
  EXPECT_EQ(fake_.draws, 4) << "empty ranges draw nothing";
  p_.CreateParticles(Sys(), 0, 0, t, 0);
  p_.CreateParticles(Sys(), 0, 0, t, -3);
  p_.CreateParticles(Sys(), 0, 0, 77, 5);
  p_.CreateParticles(Sys(), 0, 0, -1, 5);
  EXPECT_EQ(Sys().particles.size(), 1u);
  // Particles of a type destroyed later go on with the defaults and never read outside the table.
  p_.Types().Destroy(t);
  p_.Update(Sys());
  EXPECT_EQ(Sys().particles.size(), 1u);
}

TEST_F(ParticleModel, EmittersFillTheirRegionsWithTheirDistributions) {
  LcgServices lcg;
  CParticles p(lcg);
  RParticleSystem& ps = *p.System(p.Systems().Create());
  const int t = p.Types().Create();
  struct Case {
    int shape, distr;
    // Share of particles in the middle half of the x range [25, 75) (of 0..100).
    double middleMin, middleMax;
  };
  const Case cases[] = {
      {kRegionRectangle, kDistrLinear, 0.45, 0.55},      {kRegionRectangle, kDistrGaussian, 0.75, 0.9},
      {kRegionEllipse, kDistrLinear, 0.55, 0.67},        {kRegionDiamond, kDistrLinear, 0.7, 0.8},
      {kRegionLine, kDistrLinear, 0.45, 0.55},           {kRegionLine, kDistrInvGaussian, 0.08, 0.22},
      {kRegionRectangle, kDistrInvGaussian, 0.25, 0.45},
  };
  for (const Case& c : cases) {
    ps.particles.clear();
    REmitter e;
    e.xmax = 100;
    e.ymin = 200;
    e.ymax = 300;
    e.shape = c.shape;
    e.posdistr = c.distr;
    p.Emit(ps, e, t, 4000);
    ASSERT_EQ(ps.particles.size(), 4000u);
    int middle = 0;
    for (const RParticle& q : ps.particles) {
      const double u = q.x / 100, v = (q.y - 200) / 100;
      ASSERT_TRUE(u >= 0 && u <= 1 && v >= 0 && v <= 1);
      if (c.shape == kRegionEllipse) {
        ASSERT_LE((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5), 0.25);
      }
      if (c.shape == kRegionDiamond) {
        ASSERT_LE(std::fabs(u - 0.5) + std::fabs(v - 0.5), 0.5);
      }
      if (c.shape == kRegionLine) {
        ASSERT_NEAR(u, v, 1e-12) << "on the diagonal";
      }
      if (q.x >= 25 && q.x < 75) ++middle;
    }
    EXPECT_GE(middle / 4000.0, c.middleMin) << c.shape << " " << c.distr;
    EXPECT_LE(middle / 4000.0, c.middleMax) << c.shape << " " << c.distr;
  }
  // A negative number: one particle with chance 1 / |n|; 0 and missing types: none.
  ps.particles.clear();
  REmitter e;
  for (int k = 0; k < 4000; ++k) p.Emit(ps, e, t, -4);
  EXPECT_NEAR(double(ps.particles.size()), 1000, 90);
  ps.particles.clear();
  p.Emit(ps, e, t, 0);
  p.Emit(ps, e, t + 1, 10);
  EXPECT_TRUE(ps.particles.empty());
}

TEST_F(ParticleModel, StreamsEmitAfterTheUpdateAndAutomaticUpdatesSkipSystemsThatAskNot) {
  const int t = Type(100);
  REmitter& e = *Sys().emitters.Get(Sys().emitters.Create());
  e.xmin = e.xmax = 7;
  e.number = 3;
  e.parttype = t;
  p_.UpdateAll();
  ASSERT_EQ(Sys().particles.size(), 3u);
  EXPECT_EQ(Sys().particles[0].age, 0) << "streamed particles come at the end of the update";
  Sys().automaticupdate = false;
  p_.UpdateAll();
  EXPECT_EQ(Sys().particles.size(), 3u);
  p_.Update(Sys());
  EXPECT_EQ(Sys().particles.size(), 6u);
}

TEST_F(ParticleModel, IdsAreTheLowestFreeSlotsAndNeverMove) {
  CSlotTable<REmitter> table;
  EXPECT_EQ(table.Create(), 0);
  EXPECT_EQ(table.Create(), 1);
  EXPECT_EQ(table.Create(), 2);
  table.Get(1)->number = 5;
  EXPECT_TRUE(table.Destroy(1));
  EXPECT_FALSE(table.Destroy(1));
  EXPECT_EQ(table.Get(1), nullptr);
  EXPECT_NE(table.Get(2), nullptr) << "nothing is compacted";
  EXPECT_EQ(table.Create(), 1);
  EXPECT_EQ(table.Get(1)->number, 0) << "a reused slot starts from the defaults";
  table.Get(2)->number = 4;
  EXPECT_TRUE(table.Clear(2));
  EXPECT_EQ(table.Get(2)->number, 0);
  EXPECT_EQ(table.Get(-1), nullptr);
  EXPECT_EQ(table.Get(3), nullptr);
  table.DestroyAll();
  EXPECT_EQ(table.Create(), 0);
}

TEST_F(ParticleModel, ASystemHoldsAtMostItsLimit) {
  const int t = Type();
  Sys().particles.resize(kMaxParticlesPerSystem - 5);
  p_.CreateParticles(Sys(), 0, 0, t, 10);
  EXPECT_EQ(Sys().particles.size(), kMaxParticlesPerSystem);
  REmitter e;
  p_.Emit(Sys(), e, t, 10);
  EXPECT_EQ(Sys().particles.size(), kMaxParticlesPerSystem);
}

}  // namespace
}  // namespace kestro::test
