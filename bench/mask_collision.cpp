// One million mask-against-mask tests of 32 x 32 sprites that partly overlap: the collision test
// (box intersection, then only the overlap, column by column) against a naive comparison of every
// pixel of the first mask. The tests per second of each are the "tests_per_second" counters.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "world/MaskCollision.h"

namespace kestro {
namespace {

constexpr int kTests = 1000000;

struct RPair {
  RMaskPlace p1, p2;
  RRect b1, b2;
};

struct RSetup {
  TBitmap32 image;
  TMask mask;
  std::vector<RPair> pairs;
  RSetup() {
    // A ring: hits and misses both occur among partial overlaps.
    image.Create(32, 32);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        double d = std::hypot(x - 15.5, y - 15.5);
        if (d > 7 && d < 15) image.SetPixel(x, y, TColor32::From(0xFF000000u));
      }
    mask.Create(&image, kBoxAutomatic, {}, kMaskPrecise, 0);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> off(-26, 26);
    for (int i = 0; i < 4096; ++i) {
      RPair p;
      p.p1 = {100, 100};
      p.p2 = {100 + off(rng), 100 + off(rng)};
      const RRect& b = mask.i_bbox;
      p.b1 = {b.Left + 100, b.Top + 100, b.Right + 100, b.Bottom + 100};
      p.b2 = {b.Left + p.p2.xi, b.Top + p.p2.yi, b.Right + p.p2.xi, b.Bottom + p.p2.yi};
      pairs.push_back(p);
    }
  }
};

const RSetup& Setup() {
  static RSetup s;
  return s;
}

// Every pixel of the first mask is looked up in the second, without box rejection.
bool Naive(const TMask& a, const RMaskPlace& pa, const TMask& b, const RMaskPlace& pb) {
  for (int x = 0; x < a.i_w; ++x)
    for (int y = 0; y < a.i_h; ++y)
      if (a.Get(x, y) && b.Get(x - pa.xo + pa.xi - pb.xi + pb.xo, y - pa.yo + pa.yi - pb.yi + pb.yo)) return true;
  return false;
}

void BM_MaskCollision(benchmark::State& state) {
  const RSetup& s = Setup();
  int hits = 0;
  for (auto _ : state)
    for (int i = 0; i < kTests; ++i) {
      const RPair& p = s.pairs[size_t(i) & 4095];
      hits += CollisionMask(s.mask, p.p1, p.b1, &s.mask, p.p2, p.b2);
    }
  state.counters["tests_per_second"] =
      benchmark::Counter(double(kTests) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["hit_share"] = double(hits) / (double(kTests) * double(state.iterations()));
}

// The same pairs with the first mask turned by 30 degrees and scaled by 1.25 (the per-pixel path).
void BM_MaskCollisionTransformed(benchmark::State& state) {
  const RSetup& s = Setup();
  std::vector<RPair> pairs = s.pairs;
  RMaskPlace turned{100, 100, 16, 16, 1.25, 1.25, 30};
  for (RPair& p : pairs) {
    p.p1 = turned;
    p.p2.xo = p.p2.yo = 16;
    p.b1 = {80, 80, 120, 120};  // the turned ring's reach, about 40 pixels across
    p.b2 = {p.p2.xi - 16, p.p2.yi - 16, p.p2.xi + 15, p.p2.yi + 15};
  }
  int hits = 0;
  for (auto _ : state)
    for (int i = 0; i < kTests; ++i) {
      const RPair& p = pairs[size_t(i) & 4095];
      hits += CollisionMask(s.mask, p.p1, p.b1, &s.mask, p.p2, p.b2);
    }
  state.counters["tests_per_second"] =
      benchmark::Counter(double(kTests) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["hit_share"] = double(hits) / (double(kTests) * double(state.iterations()));
}

void BM_MaskCollisionNaive(benchmark::State& state) {
  const RSetup& s = Setup();
  int hits = 0;
  for (auto _ : state)
    for (int i = 0; i < kTests; ++i) {
      const RPair& p = s.pairs[size_t(i) & 4095];
      hits += Naive(s.mask, p.p1, s.mask, p.p2);
    }
  state.counters["tests_per_second"] =
      benchmark::Counter(double(kTests) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["hit_share"] = double(hits) / (double(kTests) * double(state.iterations()));
}

BENCHMARK(BM_MaskCollision)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MaskCollisionTransformed)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_MaskCollisionNaive)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kestro
