// A deterministic random source for the simulator: the same seed gives the same flight on every platform
// (the standard library's distributions are not specified bit for bit, so the draws are made here).
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace sfmr::sim {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : gen_(seed) {}

  // Uniform in [0, 1), 53 random bits.
  double uniform() { return static_cast<double>(gen_() >> 11) * 0x1p-53; }

  // Standard normal deviate (Box-Muller, one value per call).
  double normal() {
    const double u1 = 1.0 - uniform();  // (0, 1]
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

  bool chance(double p) { return uniform() < p; }

  // Whole number in [0, n).
  int below(int n) { return static_cast<int>(uniform() * n); }

 private:
  std::mt19937_64 gen_;
};

}  // namespace sfmr::sim
