#pragma once

#include <cstdint>

#include "base/vertex.h"

// Corners snap to a grid of 1/subPixelScale pixel. Edge values are products
// of two grid distances brought back to grid units by one shift.
constexpr int subPixelBits = 4;
constexpr int32_t subPixelScale = 1 << subPixelBits;

// Everything the pixel loop needs about one triangle.
// Index k of weight, stepX and stepY belongs to the edge opposite corner k
// (from corner k + 1 to corner k + 2): weight[k] is corner k's barycentric
// weight at the box's top-left pixel, in grid units, and changes by stepX[k]
// for each pixel to the right and by stepY[k] for each row down.
struct TriangleSetup {
    int32_t minX, minY, maxX, maxY;
    float area;
    int32_t weight[3];
    int32_t stepX[3];
    int32_t stepY[3];
    struct Attributes {
        float invW, zOverW, uOverW, vOverW;
    } attr[3];
};

// Scan-converts one screen-space triangle into the framebuffer and depth
// buffer, textured with the current texture. Triangles that run
// counter-clockwise on screen, or are smaller than a quarter pixel, draw nothing.
void fillTriangle(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                  ScreenPosition p1, ScreenPosition p2);

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
constexpr float maxCornerDepth = 0.9999f;

inline bool cornerDepthsUsable(const TriangleSetup& setup) {
#pragma GCC unroll 3
    for (const TriangleSetup::Attributes& a : setup.attr) {
        if (!(a.zOverW >= 0.0f && a.zOverW <= maxCornerDepth)) return false;
    }
    return true;
}

// The first estimate of 1/q is this constant minus q's bits, which roughly
// negates the exponent; both render paths must start from the same estimate.
constexpr uint32_t reciprocalMagic = 0x7EF312ACu;

// Added in double precision to the interpolated 1/w before its reciprocal is
// taken, so the estimate never starts from zero.
constexpr double reciprocalNudge = 0.000001;

// Approximate 1/q: a bit-trick estimate refined by two Newton-Raphson steps.
inline float fastReciprocal(float q) {
    uint32_t i;
    __builtin_memcpy(&i, &q, sizeof i);
    i = reciprocalMagic - i;
    float r0;
    __builtin_memcpy(&r0, &i, sizeof r0);
    const float r1 = r0 * (2.0f - q * r0);
    return r1 * (2.0f - q * r1);
}
