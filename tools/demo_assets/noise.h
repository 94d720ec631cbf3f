// Deterministic pseudo-random numbers and tileable value noise for the
// procedural textures. Everything is seeded explicitly so that two runs of
// the generator produce identical bytes.
#pragma once

#include <cstdint>

namespace demo_assets {

// SplitMix64: tiny, fast, and good enough for texture and layout jitter.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // Uniform in [0, 1).
    double uniform();
    // Uniform in [lo, hi).
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Uniform integer in [0, n).
    int below(int n);

private:
    uint64_t state_;
};

// Hash of an integer lattice point to [0, 1).
double latticeValue(int x, int y, uint32_t seed);

// Smoothly interpolated value noise with integer period `period` in both
// axes, so a texture built from it tiles seamlessly. Result in [0, 1].
double tileNoise(double x, double y, int period, uint32_t seed);

// Sum of `octaves` noise layers, each doubling frequency and period, halving
// amplitude. Normalised to [0, 1].
double tileFbm(double x, double y, int period, int octaves, uint32_t seed);

}  // namespace demo_assets
