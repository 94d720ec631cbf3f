#pragma once

#include <cstdint>

#include "base/vertex.h"

// Everything the pixel loop needs about one triangle.
struct TriangleSetup {
    int32_t minX, minY, maxX, maxY;
    float area;
    int32_t stepX01, stepX12, stepX20;
    int32_t stepY01, stepY12, stepY20;
    int32_t weight0, weight1, weight2;
    struct Attributes {
        float invW, zOverW, uOverW, vOverW;
    } attr0, attr1, attr2;
};

// Scan-converts one screen-space triangle into the framebuffer and depth
// buffer, textured with the current texture. Triangles that run
// counter-clockwise on screen, or are smaller than a quarter pixel, draw nothing.
void fillTriangle(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2,
                  ScreenPosition p0, ScreenPosition p1, ScreenPosition p2);

// Corners further out than this are not meaningful pixel positions; rejecting
// them keeps every fixed-point conversion and edge product in range.
constexpr float maxCornerMagnitude = 1048576.0f;

// Visits every pixel of the setup's bounding box.
void scanTriangle(TriangleSetup setup);

// Whether every corner's z/w leaves room for the interpolated depth to stay in
// [0, 1): a mean of values up to 0.9999 cannot round up to 1. Corners of a real
// scene are far inside (z/w is at most 0.25 with a near distance of 1); one
// outside comes from clipping coordinates so large that their digits were
// lost, and its triangle is not drawn.
inline bool cornerDepthsUsable(const TriangleSetup& setup) {
    const float maxCornerDepth = 0.9999f;
    return setup.attr0.zOverW >= 0.0f && setup.attr0.zOverW <= maxCornerDepth && setup.attr1.zOverW >= 0.0f &&
           setup.attr1.zOverW <= maxCornerDepth && setup.attr2.zOverW >= 0.0f && setup.attr2.zOverW <= maxCornerDepth;
}

// Approximate 1/q: a bit-trick estimate refined by two Newton-Raphson steps.
inline float fastReciprocal(float q) {
    uint32_t i;
    __builtin_memcpy(&i, &q, sizeof i);
    i = 0x7EF312ACu - i;
    float r0;
    __builtin_memcpy(&r0, &i, sizeof r0);
    const float r1 = r0 * (2.0f - q * r0);
    return r1 * (2.0f - q * r1);
}
