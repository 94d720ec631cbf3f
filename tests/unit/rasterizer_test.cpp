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

TEST_F(RasterizerTest, rejectsSliversAndUnusableCorners) {
    const float corners[][6] = {
        {0, 0, 0, 4, 4, 0},           // facing away
        {0, 0, 10, 0, 0, 0.04f},      // twice the area is 0.4 square pixels
        {notANumber, 0, 4, 0, 0, 4},  // not a number
        {0, 0, 4, notANumber, 0, 4},
        // Corners far beyond any image must not overflow the fixed-point set-up
        // (the sanitizer build turns an overflowing conversion into a failure).
        {0, 0, inf, 0, 0, inf},
        {-inf, -inf, 4, 0, 0, 4},
        {0, 0, 1e30f, 0, 0, 1e30f},
        {-1e9f, -1e9f, 3e9f, -1e9f, -1e9f, 3e9f},
    };
    for (const auto& c : corners) fill(c[0], c[1], c[2], c[3], c[4], c[5]);
    EXPECT_EQ(coveredPixels(), 0);
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
