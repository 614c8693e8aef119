// SPDX-License-Identifier: GPL-3.0-or-later
// A small seeded random source whose sequence is the same on every platform
// and standard library (std:: distributions are not), so a seed names a log.
#pragma once

#include <cmath>
#include <cstdint>

namespace tarnimex::bench {

class Rng {
  public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    // splitmix64: fast, and good enough for synthetic logs.
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    double Uniform(double low, double high) { return low + (high - low) * Uniform(); }

    // Uniform in [0, n); n > 0.
    std::uint32_t Below(std::uint32_t n) {
        return static_cast<std::uint32_t>((Next() >> 32) * n >> 32);
    }

    bool Chance(double probability) { return Uniform() < probability; }

    // Standard normal by Box-Muller; the second value is dropped to keep state simple.
    double Normal() {
        constexpr double kTwoPi = 6.283185307179586;
        double u1 = 1.0 - Uniform();  // (0, 1]: log stays finite
        double u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
    }

  private:
    std::uint64_t state_;
};

}  // namespace tarnimex::bench
