#include "script/builtins/Random.h"

#include <chrono>
#include <utility>

namespace kestro {

namespace {
uint32_t g_seed = 0;
uint64_t (*g_ticks)() = nullptr;

uint32_t Advance() {
  g_seed = g_seed * 134775813u + 1u;  // wraps modulo 2^32
  return g_seed;
}
}  // namespace

void RandomSetSeed(uint32_t seed) { g_seed = seed; }
uint32_t RandomGetSeed() { return g_seed; }

void SetRandomizeClock(uint64_t (*ticks)()) { g_ticks = ticks; }

void RandomizeSeed() {
  if (g_ticks) {
    g_seed = static_cast<uint32_t>(g_ticks());
    return;
  }
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  g_seed = static_cast<uint32_t>(static_cast<uint64_t>(ticks));
}

double RandomReal() { return static_cast<double>(Advance()) / 4294967296.0; }

uint32_t RandomBelow(uint64_t n) {
  if (n == 0) n = 1;
  if (n > (uint64_t{1} << 32)) n = uint64_t{1} << 32;
  // The high half of seed * n: in 0 .. n-1 and without the bias of a remainder.
  return static_cast<uint32_t>((static_cast<uint64_t>(Advance()) * n) >> 32);
}

int64_t RandomIntegerRange(int64_t lo, int64_t hi) {
  if (hi < lo) std::swap(lo, hi);
  // Work in unsigned arithmetic so the widest ranges cannot overflow.
  uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo);
  uint64_t n = span >= (uint64_t{1} << 32) ? (uint64_t{1} << 32) : span + 1;
  return static_cast<int64_t>(static_cast<uint64_t>(lo) + RandomBelow(n));
}

}  // namespace kestro
