#pragma once

#include <cstdint>

#include "pipeline/render_context.h"

// Stores an ARGB8888 pixel; coordinates outside the framebuffer are ignored.
inline void putPixel(int32_t x, int32_t y, uint32_t colour) {
    const RenderContext& rc = renderContext;
    if (x >= 0 && x < rc.framebufferWidth && y >= 0 && y < rc.framebufferHeight) {
        rc.framebufferPixels[x + y * rc.framebufferWidth] = colour;
    }
}

// Sets every pixel to 0 (black, alpha 0).
void clearFramebuffer();
