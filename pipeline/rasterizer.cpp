#include "pipeline/rasterizer.h"

#include "assets/texture.h"
#include "pipeline/framebuffer.h"
#include "pipeline/render_context.h"
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
    const TriangleSetup::Attributes* a = setup.attr;

    // Local copies, so that the pixel stores cannot be taken to change them.
    const int32_t stepX[3] = {setup.stepX[0], setup.stepX[1], setup.stepX[2]};
    const int32_t stepY[3] = {setup.stepY[0], setup.stepY[1], setup.stepY[2]};
    int32_t row[3] = {setup.weight[0], setup.weight[1], setup.weight[2]};
    for (int32_t y = setup.minY; y <= setup.maxY; ++y) {
        int32_t e[3] = {row[0], row[1], row[2]};
        for (int32_t x = setup.minX; x <= setup.maxX; ++x) {
            if (e[0] >= 0 && e[1] >= 0 && e[2] >= 0) {
                SW_COUNT(covered, 1);
                const float b0 = static_cast<float>(e[0]);
                const float b1 = static_cast<float>(e[1]);
                const float b2 = static_cast<float>(e[2]);
                const float inv = 1.0f / setup.area;
                const float q = (b0 * a[0].invW + b1 * a[1].invW + b2 * a[2].invW) * inv;
                const float zf = (b0 * a[0].zOverW + b1 * a[1].zOverW + b2 * a[2].zOverW) * inv;
                const float r = fastReciprocal(static_cast<float>(static_cast<double>(q) + reciprocalNudge));
                const float u = (b0 * a[0].uOverW + b1 * a[1].uOverW + b2 * a[2].uOverW) * inv * r;
                const float v = (b0 * a[0].vOverW + b1 * a[1].vOverW + b2 * a[2].vOverW) * inv * r;
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
#pragma GCC unroll 3
            for (int k = 0; k < 3; ++k) e[k] = advance(e[k], stepX[k]);
        }
#pragma GCC unroll 3
        for (int k = 0; k < 3; ++k) row[k] = advance(row[k], stepY[k]);
    }
}
