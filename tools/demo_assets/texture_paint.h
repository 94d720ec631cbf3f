// Shared helpers for painting the procedural textures.
#pragma once

#include <cstdint>

#include "image.h"

namespace demo_assets {

// Brightness jitter from tileable noise: 1 +- amount, with `cells` noise
// cells across a texture of `size` texels.
double mottle(int x, int y, int size, int cells, uint32_t seed, double amount);

// Marble: base colour crossed by veins following a turbulent sine that
// completes whole periods (freqX, freqY) across the tile.
Image marble(int size, Rgba base, Rgba vein, uint32_t seed, int freqX, int freqY);

// Five-pointed star centred at (cx, cy) with outer radius r, point up.
void drawStar(Image& img, double cx, double cy, double r, Rgba c);

}  // namespace demo_assets
