#include <gtest/gtest.h>

#include <limits>

#include "pipeline/rasterizer.h"
#include "test_support.h"

using namespace testing_support;

namespace {

class RasterizerTest : public RenderTest {
protected:
    // A 1 x 1 texture of one ARGB colour.
    const Texture* solid(uint32_t argb) {
        static uint32_t colour;
        colour = argb << 8 | argb >> 24;  // to 0xRRGGBBAA
        return own(makeTexture(1, 1, [](int32_t, int32_t) { return colour; }));
    }

    // Draws the screen triangle (x, y) pairs at depth z, w = 1, with u = v = 0.
    void fill(float x0, float y0, float x1, float y1, float x2, float y2, float z = 0.5f) {
        const Vertex v{};
        fillTriangle(v, v, v, {x0, y0, z, 1.0f}, {x1, y1, z, 1.0f}, {x2, y2, z, 1.0f});
    }
};

}  // namespace

TEST(FastReciprocalTest, isCloseToOneOverQ) {
    EXPECT_FLOAT_EQ(fastReciprocal(1.0f), 0.9999935f);
    for (float q : {0.001f, 0.5f, 3.0f, 1234.5f}) EXPECT_NEAR(fastReciprocal(q) * q, 1.0f, 2e-5f) << q;
}

TEST_F(RasterizerTest, smallTriangleCoversPixelsUpToTheHypotenuse) {
    fill(0, 0, 4, 0, 0, 4);
    EXPECT_EQ(coveredPixels(), 15);
    for (int y = 0; y <= 5; ++y) {
        for (int x = 0; x <= 5; ++x) {
            const bool inside = x + y <= 4;
            EXPECT_EQ(depthAt(x, y), inside ? 8388607u : 0u) << x << "," << y;
            EXPECT_EQ(pixel(x, y), inside ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
    }

    // The same corners in the other winding face away.
    std::fill(depth.begin(), depth.end(), 0u);
    fill(0, 0, 0, 4, 4, 0);
    EXPECT_EQ(coveredPixels(), 0);
}

TEST_F(RasterizerTest, rejectsSliversAndUnusableCorners) {
    fill(0, 0, 10, 0, 0, 0.04f);  // twice the area is 0.4 square pixels
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    fill(nan, 0, 4, 0, 0, 4);
    fill(0, 0, 4, nan, 0, 4);
    EXPECT_EQ(coveredPixels(), 0);

    // Corners far beyond any image must not overflow the fixed-point set-up
    // (the sanitizer build turns an overflowing conversion into a failure).
    fill(0, 0, inf, 0, 0, inf);
    fill(-inf, -inf, 4, 0, 0, 4);
    fill(0, 0, 1e30f, 0, 0, 1e30f);
    fill(-1e9f, -1e9f, 3e9f, -1e9f, -1e9f, 3e9f);
}

TEST_F(RasterizerTest, boundingBoxIsClampedToTheFramebuffer) {
    fill(-10, 0, 5, 0, -10, 15);  // x + y <= 5 from column 0 on
    EXPECT_EQ(coveredPixels(), 21);
    EXPECT_NE(depthAt(0, 5), 0u);
    EXPECT_EQ(depthAt(0, 6), 0u);

    std::fill(depth.begin(), depth.end(), 0u);
    fill(630, 0, 645, 0, 630, 15);  // columns 630 ... 639 only
    EXPECT_EQ(coveredPixels(), 115);
    EXPECT_NE(depthAt(639, 6), 0u);
    EXPECT_EQ(depthAt(639, 7), 0u);

    std::fill(depth.begin(), depth.end(), 0u);
    fill(-100, -100, 2000, -100, -100, 2000);  // beyond every side
    EXPECT_EQ(coveredPixels(), 640 * 480);
}

TEST_F(RasterizerTest, sharedEdgeIsDrawnByBothAndFirstEqualDepthWins) {
    const Texture* first = solid(0xFF0000FFu);
    const Texture* second = solid(0xFF00FF00u);
    renderContext.currentTexture = first;
    fill(0, 0, 4, 0, 0, 4);
    renderContext.currentTexture = second;
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

TEST_F(RasterizerTest, alphaZeroIsDiscardedAndOtherAlphaIsStoredUnblended) {
    std::fill(pixels.begin(), pixels.end(), 0x01020304u);
    renderContext.currentTexture = solid(0x00FFFFFFu);
    fill(0, 0, 4, 0, 0, 4);
    EXPECT_EQ(coveredPixels(), 0);
    EXPECT_EQ(pixel(0, 0), 0x01020304u);

    renderContext.currentTexture = solid(0x80A0B0C0u);
    fill(0, 0, 4, 0, 0, 4);
    EXPECT_EQ(pixel(0, 0), 0x80A0B0C0u);
    EXPECT_EQ(depthAt(0, 0), 8388607u);
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
