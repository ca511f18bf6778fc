// The pseudo-random generator behind random colours: values 0..32767 from a seed.
#pragma once

namespace plat {

inline constexpr int kRandomMax = 32767;

void SeedRandom(unsigned seed);
int Random();

}  // namespace plat
