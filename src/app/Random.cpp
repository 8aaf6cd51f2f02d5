#include "app/Random.h"

#include <cstdint>

namespace {
// 64-bit linear congruential state; the top 31 bits are the output, which keeps the
// short-period low bits of the state out of every "value mod n" the effects take.
uint64_t state = 1;
}

void SeedRandom(unsigned seed) { state = seed; }

int Random() {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<int>(state >> 33);
}
