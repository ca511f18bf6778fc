#include "random.h"

#include <cstdint>

namespace plat {

namespace {
// The state of the generator; 1 until the first SeedRandom, like the C library's rand().
uint32_t randomSeed = 1;
}  // namespace

void SeedRandom(unsigned seed) { randomSeed = seed; }

// The classic linear congruential generator: the same sequence for the same seed on
// every platform, so random colours come out alike everywhere.
int Random() {
    randomSeed = randomSeed * 214013u + 2531011u;
    return static_cast<int>((randomSeed >> 16) & 0x7FFFu);
}

}  // namespace plat
