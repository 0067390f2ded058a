#include "particles/ParticleShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "particles/Particles.h"

namespace kestro {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = kParticleShapeSize / 2.0;

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// A fixed pseudo-random value in [0, 1) for an integer (the irregular shapes are the same in
// every run).
double Hash(uint32_t n) {
  n = (n ^ 61u) ^ (n >> 16);
  n *= 9u;
  n ^= n >> 4;
  n *= 0x27d4eb2du;
  n ^= n >> 15;
  return double(n & 0xFFFFFF) / double(0x1000000);
}

// Smooth noise around a circle: `cells` values joined by cosine steps, periodic in the angle.
double AngleNoise(double angle, int cells, uint32_t seed) {
  double f = (angle / (2 * kPi) + 1) * cells;
  const int i = int(std::floor(f));
  const double t = f - i;
  const double a = Hash(seed * 7919u + uint32_t(((i % cells) + cells) % cells));
  const double b = Hash(seed * 7919u + uint32_t((((i + 1) % cells) + cells) % cells));
  const double s = (1 - std::cos(t * kPi)) / 2;
  return a + (b - a) * s;
}

// Smooth noise over the plane (value noise on a grid of `cell` pixels).
double PlaneNoise(double x, double y, double cell, uint32_t seed) {
  const double fx = x / cell, fy = y / cell;
  const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  const double tx = fx - ix, ty = fy - iy;
  auto at = [&](int cx, int cy) { return Hash(seed * 104729u + uint32_t(cx * 73856093) + uint32_t(cy * 19349663)); };
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
  const double sx = smooth(tx), sy = smooth(ty);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// Distance from the point to the segment from the centre along `angle` for `length` pixels.
double ArmDistance(double x, double y, double angle, double length) {
  const double ux = std::cos(angle), uy = std::sin(angle);
  const double along = std::clamp(x * ux + y * uy, 0.0, length);
  return std::hypot(x - along * ux, y - along * uy);
}

// The brightness 0..1 of a shape at a point relative to the centre (pixel centres).
double Brightness(int shape, double x, double y) {
  const double d = std::hypot(x, y);
  const double angle = std::atan2(y, x);
  switch (shape) {
    case 0:  // pixel: a bright dot about 5 pixels across
      return Clamp01(3 - d);
    case 1:  // disk: radius 28 with a soft edge
      return Clamp01((28.5 - d) / 1.5);
    case 2: {  // square: from 3 to 60
      const double px = x + kCentre, py = y + kCentre;
      return px >= 3 && px < 61 && py >= 3 && py < 61 ? 1 : 0;
    }
    case 3: {  // line: a bar 56 x 11 through the centre
      const double px = x + kCentre, py = y + kCentre;
      return px >= 4 && px < 60 && py >= 26.5 && py < 37.5 ? 1 : 0;
    }
    case 4: {  // star: five points between radius 12 and 30
      const double sector = 2 * kPi / 5;
      double f = std::fmod(angle + kPi / 2 + 10 * kPi, sector) / sector;  // 0 at a point
      f = std::fabs(f - 0.5) * 2;                                         // 1 at a point
      const double edge = 12 + 18 * f * f * f;
      return Clamp01(edge - d + 0.5);
    }
    case 5:  // circle: a thin circle of radius 28
      return Clamp01(1.5 - std::fabs(d - 28));
    case 6:  // ring: between 12 and 28, brightening outwards
      if (d < 11 || d > 29) return 0;
      return Clamp01((d - 11) / 17) * Clamp01(29 - d) * Clamp01(d - 11);
    case 7:  // sphere: fading from the centre to radius 31
      return Clamp01(1 - d / 31);
    case 8:  // flare: a bright centre falling off fast, a faint glow over the whole image
      return Clamp01(std::exp(-d / 3) + 0.18 * Clamp01(1 - d / 46));
    case 9: {  // spark: a bright centre with thin rays
      double rays = 0;
      for (int k = 0; k < 4; ++k) {
        const double w = ArmDistance(x, y, k * kPi / 2, 31);
        rays = std::max(rays, std::exp(-w * w / 0.8) * Clamp01(1 - d / 31));
      }
      for (int k = 0; k < 4; ++k) {
        const double w = ArmDistance(x, y, kPi / 4 + k * kPi / 2, 18);
        rays = std::max(rays, 0.6 * std::exp(-w * w / 0.6) * Clamp01(1 - d / 18));
      }
      return Clamp01(std::exp(-d / 2.5) + rays);
    }
    case 10: {  // explosion: an irregular bright blob
      const double edge = 17 + 11 * AngleNoise(angle, 9, 10);
      const double body = Clamp01((edge - d) / 5);
      return body * (0.7 + 0.3 * PlaneNoise(x + 64, y + 64, 6, 11));
    }
    case 11: {  // cloud: a faint irregular blob
      const double edge = 18 + 12 * AngleNoise(angle, 7, 20);
      const double body = Clamp01((edge - d) / 12);
      return 0.55 * body * (0.5 + 0.5 * PlaneNoise(x + 64, y + 64, 8, 21));
    }
    case 12: {  // smoke: a soft round blob
      const double f = Clamp01(1 - (d / 30) * (d / 30));
      return 0.85 * f * f;
    }
    case 13: {  // snow: a flake of six arms with side branches
      double w = 1e9;
      for (int k = 0; k < 6; ++k) {
        const double a = k * kPi / 3;
        w = std::min(w, ArmDistance(x, y, a, 27));
        for (int side = -1; side <= 1; side += 2) {
          const double bx = 15 * std::cos(a), by = 15 * std::sin(a);
          w = std::min(w, ArmDistance(x - bx, y - by, a + side * kPi / 4, 9));
        }
      }
      return Clamp01(1.7 - w);
    }
    default: return 0;
  }
}

}  // namespace

TBitmap32 ParticleShapeImage(int shape) {
  if (shape < 0 || shape >= kParticleShapes) return {};
  TBitmap32 bm(kParticleShapeSize, kParticleShapeSize);
  for (int py = 0; py < kParticleShapeSize; ++py)
    for (int px = 0; px < kParticleShapeSize; ++px) {
      const double b = Brightness(shape, px + 0.5 - kCentre, py + 0.5 - kCentre);
      bm.SetPixel(px, py, TColor32{255, 255, 255, uint8_t(std::lround(Clamp01(b) * 255))});
    }
  return bm;
}

}  // namespace kestro
