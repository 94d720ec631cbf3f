#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"

// The per-triangle work of scan conversion, inlined into both render paths.
// It is compiled where this header is included, before any processor-specific
// code, so every copy is the same plain code.

namespace triangle_setup {

inline int32_t snapToGrid(float c) { return static_cast<int32_t>(c * static_cast<float>(subPixelScale) + 0.5f); }

// Edge value (PY - Ya) * (Xb - Xa) - (PX - Xa) * (Yb - Ya), floor-divided by
// the grid scale.
inline int32_t edgeValue(int32_t px, int32_t py, int32_t xa, int32_t ya, int32_t xb, int32_t yb) {
    const int64_t value = static_cast<int64_t>(py - ya) * (xb - xa) - static_cast<int64_t>(px - xa) * (yb - ya);
    return static_cast<int32_t>(value >> subPixelBits);
}

inline TriangleSetup::Attributes perVertex(const Vertex& vertex, const ScreenPosition& p) {
    return {1.0f / p.w, p.z / p.w, vertex.texcoord[0] / p.w, vertex.texcoord[1] / p.w};
}

// Whether a corner's pixel position lies within `limit` of the origin on both axes.
inline bool cornerWithin(const ScreenPosition& p, float limit) {
    return std::fabs(p.x) <= limit && std::fabs(p.y) <= limit;
}

// The first tests of set-up, on the float positions alone: twice the signed
// area at least half a square pixel (written so that a non-number fails as
// well) and every corner within the usable range.
inline bool passesFirstTests(const ScreenPosition& p0, const ScreenPosition& p1, const ScreenPosition& p2) {
    const float s = (p0.y - p1.y) * (p2.x - p0.x) + (p2.y - p0.y) * (p1.x - p0.x);
    if (!(s >= 0.5f)) return false;
    const float m = maxCornerMagnitude;
    return cornerWithin(p0, m) && cornerWithin(p1, m) && cornerWithin(p2, m);
}

// fillTriangle's per-triangle work: fills `setup` and says whether the
// triangle has pixels to visit.
inline __attribute__((always_inline)) bool setupTriangle(const Vertex& vertex0, const Vertex& vertex1,
                                                         const Vertex& vertex2, const ScreenPosition& p0,
                                                         const ScreenPosition& p1, const ScreenPosition& p2,
                                                         TriangleSetup& setup) {
    if (!passesFirstTests(p0, p1, p2)) return false;

    const ScreenPosition* corner[3] = {&p0, &p1, &p2};
    int32_t X[3], Y[3];
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        X[c] = snapToGrid(corner[c]->x);
        Y[c] = snapToGrid(corner[c]->y);
    }

    const int64_t doubledArea =
        (static_cast<int64_t>(X[1] - X[0]) * (Y[2] - Y[0]) - static_cast<int64_t>(X[2] - X[0]) * (Y[1] - Y[0])) >>
        subPixelBits;
    if (doubledArea <= 0) return false;

    const RenderContext& rc = renderContext;
    setup.area = static_cast<float>(doubledArea);
    setup.minX = std::max(static_cast<int32_t>(std::min({p0.x, p1.x, p2.x})), 0);
    setup.maxX = std::min(static_cast<int32_t>(std::max({p0.x, p1.x, p2.x}) + 0.5f), rc.framebufferWidth - 1);
    setup.minY = std::max(static_cast<int32_t>(std::min({p0.y, p1.y, p2.y})), 0);
    setup.maxY = std::min(static_cast<int32_t>(std::max({p0.y, p1.y, p2.y}) + 0.5f), rc.framebufferHeight - 1);

    setup.attr[0] = perVertex(vertex0, p0);
    setup.attr[1] = perVertex(vertex1, p1);
    setup.attr[2] = perVertex(vertex2, p2);
    if (!cornerDepthsUsable(setup)) return false;

    const int32_t px = subPixelScale * setup.minX;
    const int32_t py = subPixelScale * setup.minY;
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, b = (k + 2) % 3;
        setup.weight[k] = edgeValue(px, py, X[a], Y[a], X[b], Y[b]);
        setup.stepX[k] = Y[a] - Y[b];
        setup.stepY[k] = X[b] - X[a];
    }
    return true;
}

}  // namespace triangle_setup

using triangle_setup::cornerWithin;
using triangle_setup::passesFirstTests;
using triangle_setup::setupTriangle;
