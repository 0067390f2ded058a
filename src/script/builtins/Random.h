// The one random generator of the run-time. Every user of random numbers (script functions,
// particle effects, random placement, temporary names) draws from it, so setting the seed makes
// all of them repeat. Process-wide, like the single thread that uses it.
#pragma once

#include <cstdint>

namespace kestro {

void RandomSetSeed(uint32_t seed);
uint32_t RandomGetSeed();
// Seeds from the high-resolution clock (done at every game start and restart).
void RandomizeSeed();
// Where RandomizeSeed reads its clock: runs on virtual time install that time, so a run seeded
// "from the clock" repeats. Null: the machine's high-resolution clock.
void SetRandomizeClock(uint64_t (*ticks)());

// Each draw advances the seed first. A real draw lies in [0, 1).
double RandomReal();
// An integer draw below n, for n in 1 .. 2^32 (larger n are taken as 2^32, 0 as 1).
uint32_t RandomBelow(uint64_t n);
// An integer draw from lo to hi inclusive, in either order; ranges wider than 2^32 values are
// cut to the 2^32 values from the lower end.
int64_t RandomIntegerRange(int64_t lo, int64_t hi);

}  // namespace kestro
