#pragma once

#include <cstdint>

#include "base/check.h"

// One unsigned depth cell per pixel; 0 means empty, larger means nearer.
struct ZBuffer {
    // Depths in [0, 1) map onto 24-bit integers; the depth view maps them back.
    static constexpr float maxDepth = 16777215.0f;

    uint32_t* buffer;
    int32_t w;
    int32_t h;

    void clear();

    uint32_t get(int32_t x, int32_t y) const {
        checkCell(x, y);
        return buffer[x + y * w];
    }

    void set(int32_t x, int32_t y, uint32_t value) {
        checkCell(x, y);
        buffer[x + y * w] = value;
    }

    // Maps a depth in [0, 1) to the 24-bit integer range of the cells.
    static uint32_t toDepth(float zf) {
        SW_CHECK(zf >= 0.0f, "zbuffer");
        SW_CHECK(zf < 1.0f, "zbuffer");
        return static_cast<uint32_t>(zf * maxDepth);
    }

private:
    void checkCell(int32_t x, int32_t y) const {
        SW_CHECK(buffer, "zbuffer");
        SW_CHECK(w > 0, "zbuffer");
        SW_CHECK(h > 0, "zbuffer");
        SW_CHECK(x >= 0 && x < w && y >= 0 && y < h, "zbuffer");
    }
};
