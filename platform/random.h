// The pseudo-random generator behind random colours: values 0..32767 from a seed, the
// classic linear congruential sequence, so random colours come out alike on every
// platform for the same seed.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr int kRandomMax = 32767;

class RandomGenerator {
  public:
    // Seed 1 gives the sequence the C library's rand() gives before any srand().
    explicit RandomGenerator(unsigned seed = 1) : state_(seed) {}
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

  private:
    uint32_t state_;
};

}  // namespace plat
