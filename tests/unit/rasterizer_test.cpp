#include <gtest/gtest.h>

#include <limits>

#include "pipeline/rasterizer.h"
#include "test_support.h"

using namespace testing_support;

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

class RasterizerTest : public RenderTest {
protected:
    // Draws the screen triangle (x, y) pairs at depth z, w = 1, with u = v = 0.
    void fill(float x0, float y0, float x1, float y1, float x2, float y2, float z = 0.5f) {
        const Vertex v{};
        fillTriangle(v, v, v, {x0, y0, z, 1.0f}, {x1, y1, z, 1.0f}, {x2, y2, z, 1.0f});
    }
};

}  // namespace

TEST_F(RasterizerTest, smallTriangleCoversPixelsUpToTheHypotenuse) {
    fill(0, 0, 4, 0, 0, 4);
    EXPECT_EQ(coveredPixels(), 15);
    for (int y = 0; y <= 5; ++y) {
        for (int x = 0; x <= 5; ++x) {
            EXPECT_EQ(depthAt(x, y), x + y <= 4 ? 8388607u : 0u) << x << "," << y;
            EXPECT_EQ(pixel(x, y), x + y <= 4 ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
    }
}

// One triangle on a clear frame: what it covers, and pixels read back.
TEST_F(RasterizerTest, coverageOfTrianglesThatAreClampedRejectedOrSeeThrough) {
    struct Probe {
        int32_t x, y;
        uint32_t pixel, depth;
    };
    struct Case {
        const char* what;
        float x0, y0, x1, y1, x2, y2;
        uint32_t argb;
        int covered;
        std::vector<Probe> probes;
    };
    const uint32_t white = 0xFFFFFFFFu, half = 8388607u;
    const Case cases[] = {
        {"facing away", 0, 0, 0, 4, 4, 0, white, 0, {}},
        {"sliver of area 0.2", 0, 0, 10, 0, 0, 0.04f, white, 0, {}},
        {"NaN x", notANumber, 0, 4, 0, 0, 4, white, 0, {}},
        {"NaN y", 0, 0, 4, notANumber, 0, 4, white, 0, {}},
        {"clamped on the left", -10, 0, 5, 0, -10, 15, white, 21, {{0, 5, white, half}, {0, 6, 0, 0}}},
        {"clamped on the right", 630, 0, 645, 0, 630, 15, white, 115, {{639, 6, white, half}, {639, 7, 0, 0}}},
        {"beyond every side", -100, -100, 2000, -100, -100, 2000, white, 640 * 480, {}},
        // Corners far beyond any image must not overflow the fixed-point set-up.
        {"infinite corners", 0, 0, inf, 0, 0, inf, white, 0, {}},
        {"minus infinite corner", -inf, -inf, 4, 0, 0, 4, white, 0, {}},
        {"corners at 1e30", 0, 0, 1e30f, 0, 0, 1e30f, white, 0, {}},
        {"corners at 3e9", -1e9f, -1e9f, 3e9f, -1e9f, -1e9f, 3e9f, white, 0, {}},
        {"alpha 0 is discarded", 0, 0, 4, 0, 0, 4, 0x00FFFFFFu, 0, {{0, 0, 0, 0}}},
        {"other alpha is stored unblended", 0, 0, 4, 0, 0, 4, 0x80A0B0C0u, 15, {{0, 0, 0x80A0B0C0u, half}}},
    };
    for (const Case& c : cases) {
        std::fill(pixels.begin(), pixels.end(), 0u);
        std::fill(depth.begin(), depth.end(), 0u);
        renderContext.currentTexture = solid(c.argb);
        fill(c.x0, c.y0, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(coveredPixels(), c.covered) << c.what;
        for (const Probe& p : c.probes) {
            EXPECT_EQ(pixel(p.x, p.y), p.pixel) << c.what << " at " << p.x << "," << p.y;
            EXPECT_EQ(depthAt(p.x, p.y), p.depth) << c.what << " at " << p.x << "," << p.y;
        }
    }
}

TEST_F(RasterizerTest, sharedEdgeIsDrawnByBothAndFirstEqualDepthWins) {
    renderContext.currentTexture = solid(0xFF0000FFu);
    fill(0, 0, 4, 0, 0, 4);
    renderContext.currentTexture = solid(0xFF00FF00u);
    fill(4, 0, 4, 4, 0, 4);
    EXPECT_EQ(coveredPixels(), 25);
    for (int y = 0; y <= 4; ++y) {
        for (int x = 0; x <= 4; ++x) EXPECT_EQ(pixel(x, y), x + y <= 4 ? 0xFF0000FFu : 0xFF00FF00u) << x << "," << y;
    }

    // Larger depth values are nearer; only a strictly greater one replaces.
    renderContext.currentTexture = solid(0xFFFF0000u);
    fill(0, 0, 4, 0, 0, 4, 0.75f);
    EXPECT_EQ(pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(depthAt(1, 1), ZBuffer::toDepth(0.75f));
    renderContext.currentTexture = solid(0xFF123456u);
    fill(0, 0, 4, 0, 0, 4, 0.25f);
    fill(0, 0, 4, 0, 0, 4, 0.75f);
    EXPECT_EQ(pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(pixel(4, 4), 0xFF00FF00u);
}

TEST_F(RasterizerTest, textureCoordinatesArePerspectiveCorrect) {
    // A texture a million texels wide that returns its column number, so the
    // interpolated u can be read back to within 1e-6.
    renderContext.currentTexture = own(makeTexture(1 << 20, 1, columnTexel));
    Vertex v0{}, v1{}, v2{};
    v1.texcoord[0] = 1.0f;
    fillTriangle(v0, v1, v2, {0, 0, 0.5f, 1}, {4, 0, 0.5f, 3}, {0, 4, 0.5f, 1});

    // u = 0.2499987 at (2, 0), not the screen-linear 0.5; depth is the
    // screen-linear mean of z/w there (1/3) and 1/6 at the far corner.
    EXPECT_EQ(pixel(2, 0), 0xFF000000u | 262142u);
    EXPECT_EQ(depthAt(2, 0), 5592405u);
    EXPECT_EQ(pixel(4, 0), 0xFF000000u | 1048568u);  // u = 0.9999933
    EXPECT_EQ(depthAt(4, 0), 2796202u);
    EXPECT_EQ(pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(coveredPixels(), 15);
}
