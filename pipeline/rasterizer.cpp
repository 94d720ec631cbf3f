#include "pipeline/rasterizer.h"

#include "assets/texture.h"
#include "pipeline/framebuffer.h"
#include "pipeline/stage_counters.h"
#include "pipeline/triangle_setup.h"

namespace {

// Edge values advance by wrapping 32-bit addition; inside any real image they
// never come near the limits.
int32_t advance(int32_t value, int32_t step) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(step));
}

}  // namespace

void fillTriangle(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                  ScreenPosition p1, ScreenPosition p2) {
    SW_COUNT(reachedSetup, 1);
    SW_STAGE(setup);
    TriangleSetup setup;
    if (setupTriangle(vertex0, vertex1, vertex2, p0, p1, p2, setup)) {
        SW_COUNT(scanned, 1);
        SW_COUNT(boxPixels, boxArea(setup.minX, setup.minY, setup.maxX, setup.maxY));
        SW_STAGE(pixel);
        scanTriangle(setup);
    }
    SW_STAGE(vertex);
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
                SW_COUNT(covered, 1);
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
                    SW_COUNT(depthPassed, 1);
                    const uint32_t colour = rc.currentTexture->sample(u, v, 0);
                    if ((colour >> 24) != 0) {
                        SW_COUNT(written, 1);
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
