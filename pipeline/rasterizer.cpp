#include "pipeline/rasterizer.h"

#include <algorithm>
#include <cmath>

#include "assets/texture.h"
#include "pipeline/framebuffer.h"

namespace {

int32_t snapToGrid(float c) { return static_cast<int32_t>(c * 16.0f + 0.5f); }

// Edge value (PY - Ya) * (Xb - Xa) - (PX - Xa) * (Yb - Ya), floor-divided by 16.
int32_t edgeValue(int32_t px, int32_t py, int32_t xa, int32_t ya, int32_t xb, int32_t yb) {
    const int64_t value = static_cast<int64_t>(py - ya) * (xb - xa) - static_cast<int64_t>(px - xa) * (yb - ya);
    return static_cast<int32_t>(value >> 4);
}

// Edge values advance by wrapping 32-bit addition; inside any real image they
// never come near the limits.
int32_t advance(int32_t value, int32_t step) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(step));
}

TriangleSetup::Attributes perVertex(const Vertex& vertex, const ScreenPosition& p) {
    return {1.0f / p.w, p.z / p.w, vertex.texcoord[0] / p.w, vertex.texcoord[1] / p.w};
}

bool usableCorner(const ScreenPosition& p) {
    return std::fabs(p.x) <= maxCornerMagnitude && std::fabs(p.y) <= maxCornerMagnitude;
}

}  // namespace

bool setupTriangle(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, const ScreenPosition& p0,
                   const ScreenPosition& p1, const ScreenPosition& p2, TriangleSetup& setup) {
    // Twice the signed area in square pixels; written so that a non-number
    // fails the test as well.
    const float s = (p0.y - p1.y) * (p2.x - p0.x) + (p2.y - p0.y) * (p1.x - p0.x);
    if (!(s >= 0.5f)) return false;
    if (!usableCorner(p0) || !usableCorner(p1) || !usableCorner(p2)) return false;

    const int32_t X0 = snapToGrid(p0.x), Y0 = snapToGrid(p0.y);
    const int32_t X1 = snapToGrid(p1.x), Y1 = snapToGrid(p1.y);
    const int32_t X2 = snapToGrid(p2.x), Y2 = snapToGrid(p2.y);

    const int64_t doubledArea =
        (static_cast<int64_t>(X1 - X0) * (Y2 - Y0) - static_cast<int64_t>(X2 - X0) * (Y1 - Y0)) >> 4;
    if (doubledArea <= 0) return false;

    const RenderContext& rc = renderContext;
    setup.area = static_cast<float>(doubledArea);
    setup.minX = std::max(static_cast<int32_t>(std::min({p0.x, p1.x, p2.x})), 0);
    setup.maxX = std::min(static_cast<int32_t>(std::max({p0.x, p1.x, p2.x}) + 0.5f), rc.framebufferWidth - 1);
    setup.minY = std::max(static_cast<int32_t>(std::min({p0.y, p1.y, p2.y})), 0);
    setup.maxY = std::min(static_cast<int32_t>(std::max({p0.y, p1.y, p2.y}) + 0.5f), rc.framebufferHeight - 1);

    setup.attr0 = perVertex(vertex0, p0);
    setup.attr1 = perVertex(vertex1, p1);
    setup.attr2 = perVertex(vertex2, p2);
    if (!cornerDepthsUsable(setup)) return false;

    const int32_t px = 16 * setup.minX;
    const int32_t py = 16 * setup.minY;
    setup.weight0 = edgeValue(px, py, X1, Y1, X2, Y2);
    setup.weight1 = edgeValue(px, py, X2, Y2, X0, Y0);
    setup.weight2 = edgeValue(px, py, X0, Y0, X1, Y1);

    setup.stepX01 = Y0 - Y1;
    setup.stepX12 = Y1 - Y2;
    setup.stepX20 = Y2 - Y0;
    setup.stepY01 = X1 - X0;
    setup.stepY12 = X2 - X1;
    setup.stepY20 = X0 - X2;
    return true;
}

void fillTriangle(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                  ScreenPosition p1, ScreenPosition p2) {
    TriangleSetup setup;
    if (setupTriangle(vertex0, vertex1, vertex2, p0, p1, p2, setup)) scanTriangle(setup);
}

void scanTriangle(TriangleSetup setup) {
    RenderContext& rc = renderContext;
    const TriangleSetup::Attributes& a0 = setup.attr0;
    const TriangleSetup::Attributes& a1 = setup.attr1;
    const TriangleSetup::Attributes& a2 = setup.attr2;

    int32_t row0 = setup.weight0, row1 = setup.weight1, row2 = setup.weight2;
    for (int32_t y = setup.minY; y <= setup.maxY; ++y) {
        int32_t e0 = row0, e1 = row1, e2 = row2;
        for (int32_t x = setup.minX; x <= setup.maxX; ++x) {
            if (e0 >= 0 && e1 >= 0 && e2 >= 0) {
                const float b0 = static_cast<float>(e0);
                const float b1 = static_cast<float>(e1);
                const float b2 = static_cast<float>(e2);
                const float inv = 1.0f / setup.area;
                const float q = (b0 * a0.invW + b1 * a1.invW + b2 * a2.invW) * inv;
                const float zf = (b0 * a0.zOverW + b1 * a1.zOverW + b2 * a2.zOverW) * inv;
                const float r = fastReciprocal(static_cast<float>(static_cast<double>(q) + 0.000001));
                const float u = (b0 * a0.uOverW + b1 * a1.uOverW + b2 * a2.uOverW) * inv * r;
                const float v = (b0 * a0.vOverW + b1 * a1.vOverW + b2 * a2.vOverW) * inv * r;
                const uint32_t depth = ZBuffer::toDepth(zf);
                if (rc.zbuffer.get(x, y) < depth) {
                    const uint32_t colour = rc.currentTexture->sample(u, v, 0);
                    if ((colour >> 24) != 0) {
                        putPixel(x, y, colour);
                        rc.zbuffer.set(x, y, depth);
                    }
                }
            }
            e0 = advance(e0, setup.stepX12);
            e1 = advance(e1, setup.stepX20);
            e2 = advance(e2, setup.stepX01);
        }
        row0 = advance(row0, setup.stepY12);
        row1 = advance(row1, setup.stepY20);
        row2 = advance(row2, setup.stepY01);
    }
}
