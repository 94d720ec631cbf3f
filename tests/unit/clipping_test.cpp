#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>

#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "pipeline/vertex_processing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// With identity matrices a position is its own clip-space point with w = 1.
// The normal's x is a signed zero: blending mixed signs would give +0.
Vertex corner(float x, float y, float z, float u = 0.0f) {
    return Vertex{{x, y, z}, {100, 0, 0, 0}, {x * -0.0f, 0.0f, 1.0f}, {u, 1.0f - u}};
}

using ClippingTest = RenderTest;

}  // namespace

// The triangles handed on, corner by corner: 0, 1, 2 name an input vertex
// passed on bit for bit, 3 and up a new point, the same number the same point.
TEST_F(ClippingTest, fansKeepTheirOrderAndReuseCornersBitForBit) {
    struct Case {
        const char* what;
        float c[3][4];  // x, y, z, u of each corner
        std::vector<std::array<int, 3>> fan;
        float w = 1.0f;  // on every corner
    };
    const Case cases[] = {
        {"inside: once, reversed",
         {{0.5f, 0.25f, 0, 0.1f}, {-0.5f, 0.25f, 0.5f, 0.2f}, {0, -0.75f, -0.5f, 0.3f}},
         {{2, 1, 0}}},
        {"beyond the left plane", {{-2, 0, 0}, {-3, 1, 0}, {-1.5f, -1, 0}}, {}},
        {"beyond the far plane", {{0, 0, 2}, {0.5f, 0, 1.5f}, {0, 0.5f, 3}}, {}},
        {"beyond the top plane", {{-2, 2, 0}, {2, 2, 0}, {0, 1.1f, 0}}, {}},
        // P0 on edge V1-V2, then V2, V3, P3 on edge V3-V1.
        {"one corner outside", {{-2, 0, 0, 0}, {0.5f, -0.5f, 0, 0.5f}, {0.5f, 0.5f, 0, 1}}, {{2, 1, 3}, {4, 2, 3}}},
        // w = 1.00002, so z = 1 lies on the far plane: inside, and its crossing is itself.
        {"corner on a plane",
         {{0, 0, 1, 0.25f}, {0.5f, 0, 2, 0.5f}, {0, 0.5f, 0, 0.75f}},
         {{3, 0, 0}, {2, 3, 0}},
         1.00002f},
        {"beyond opposite planes", {{-3, 0, 0}, {3, -0.5f, 0}, {3, 0.5f, 0}}, {{3, 4, 5}, {6, 3, 5}}},
    };
    for (const Case& c : cases) {
        emitted.clear();
        renderContext.projection[3][3] = c.w;
        Vertex in[3];
        for (int k = 0; k < 3; ++k) in[k] = corner(c.c[k][0], c.c[k][1], c.c[k][2], c.c[k][3]);
        drawTriangle(in[0], in[1], in[2], recordTriangle);
        ASSERT_EQ(emitted.size(), c.fan.size()) << c.what;
        std::vector<const Vertex*> named = {&in[0], &in[1], &in[2]};
        for (size_t t = 0; t < c.fan.size(); ++t) {
            for (int k = 0; k < 3; ++k) {
                const Vertex& got = emitted[t].v[k];
                const size_t name = static_cast<size_t>(c.fan[t][k]);
                if (name == named.size()) {
                    for (const Vertex& v : in) EXPECT_NE(std::memcmp(&got, &v, sizeof v), 0) << c.what;
                    named.push_back(&got);
                }
                ASSERT_LT(name, named.size()) << c.what;
                EXPECT_EQ(std::memcmp(&got, named[name], sizeof got), 0) << c.what << ", " << t << ", " << k;
                // Boundaries project just outside the image edges.
                EXPECT_TRUE(emitted[t].p[k].x >= -0.998f && emitted[t].p[k].x <= 640.998f) << c.what;
                EXPECT_TRUE(emitted[t].p[k].y >= 1.001f && emitted[t].p[k].y <= 478.999f) << c.what;
            }
        }
    }
}

TEST_F(ClippingTest, sliversAcrossManyPlanesStayWithinThePolygonBound) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> wide(-40.0f, 40.0f), tiny(-1e-3f, 1e-3f);
    size_t largest = 0;
    for (int i = 0; i < 20000; ++i) {
        // Half of them under a perspective projection, where w varies too.
        renderContext.projection = i < 10000 ? glm::mat4(1.0f) : sceneProjection(frameWidth, frameHeight);
        const Vertex a = corner(wide(rng), wide(rng), wide(rng));
        Vertex b = a, c = a;
        for (int k = 0; k < 3; ++k) {
            b.position[k] = -a.position[k] + tiny(rng);
            c.position[k] = (i % 2 ? a.position[k] : b.position[k]) * 0.5f + tiny(rng);
        }
        emitted.clear();
        drawTriangle(a, b, c, recordTriangle);
        largest = std::max(largest, emitted.size());
        ASSERT_LE(emitted.size(), static_cast<size_t>(maxClippedPoints - 2)) << i;
    }
    EXPECT_GT(largest, 1u);
}
