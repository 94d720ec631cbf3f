#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "app/startup.h"
#include "pipeline/vertex_processing.h"
#include "test_support.h"

using namespace testing_support;

namespace {

// With identity matrices a position is its own clip-space point with w = 1.
// The normal's x is a signed zero: blending mixed signs would give +0.
Vertex corner(float x, float y, float z, float u = 0.0f) {
    return Vertex{{x, y, z}, {100, 0, 0, 0}, {x * -0.0f, 0.0f, 1.0f}, {u, 1.0f - u}};
}

bool sameBits(const Vertex& a, const Vertex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Screen position of a clip-space point at w = 1 on the 640 x 480 image.
ScreenPosition screenOf(float x, float y, float z) {
    return {(x * 320.0f + 320.0f) + x, (240.0f - y * 240.0f) + y, (z + 1.0f) * 0.5f + 0.00001f, 1.0f};
}

void expectPosition(const ScreenPosition& got, const ScreenPosition& want) {
    EXPECT_FLOAT_EQ(got.x, want.x);
    EXPECT_FLOAT_EQ(got.y, want.y);
    EXPECT_FLOAT_EQ(got.z, want.z);
    EXPECT_FLOAT_EQ(got.w, want.w);
}

using ClippingTest = RenderTest;

}  // namespace

TEST_F(ClippingTest, insideTriangleIsPassedOnceInReverseOrder) {
    const Vertex v1 = corner(0.5f, 0.25f, 0.0f, 0.1f), v2 = corner(-0.5f, 0.25f, 0.5f, 0.2f),
                 v3 = corner(0.0f, -0.75f, -0.5f, 0.3f);
    drawTriangle(v1, v2, v3, recordTriangle);
    ASSERT_EQ(emitted().size(), 1u);
    const EmittedTriangle& t = emitted()[0];
    EXPECT_EQ(std::vector<const Vertex*>(t.address, t.address + 3), (std::vector<const Vertex*>{&v3, &v2, &v1}));
    expectPosition(t.p[0], screenOf(0.0f, -0.75f, -0.5f));
    expectPosition(t.p[1], screenOf(-0.5f, 0.25f, 0.5f));
    expectPosition(t.p[2], screenOf(0.5f, 0.25f, 0.0f));
    EXPECT_FLOAT_EQ(t.p[2].x, 480.5f);
    EXPECT_FLOAT_EQ(t.p[2].y, 180.25f);
}

TEST_F(ClippingTest, trianglesBeyondOneCommonPlaneAreDropped) {
    drawTriangle(corner(-2, 0, 0), corner(-3, 1, 0), corner(-1.5f, -1, 0), recordTriangle);  // left
    drawTriangle(corner(0, 0, 2), corner(0.5f, 0, 1.5f), corner(0, 0.5f, 3), recordTriangle);  // far
    drawTriangle(corner(-2, 2, 0), corner(2, 2, 0), corner(0, 1.1f, 0), recordTriangle);      // top
    EXPECT_TRUE(emitted().empty());

    // Beyond opposite planes shares no outside plane: clipped to a strip.
    drawTriangle(corner(-3, 0, 0), corner(3, -0.5f, 0), corner(3, 0.5f, 0), recordTriangle);
    ASSERT_FALSE(emitted().empty());
    for (const EmittedTriangle& t : emitted()) {
        for (const ScreenPosition& p : t.p) {
            EXPECT_GE(p.x, -1.0f);
            EXPECT_LE(p.x, 641.0f);
        }
    }
}

TEST_F(ClippingTest, oneCornerOutsideBecomesAFanOfTwo) {
    const Vertex v1 = corner(-2, 0, 0, 0.0f), v2 = corner(0.5f, -0.5f, 0, 0.5f), v3 = corner(0.5f, 0.5f, 0, 1.0f);
    drawTriangle(v1, v2, v3, recordTriangle);
    // Polygon after the left plane: P0 on edge V1-V2, P1 = V2, P2 = V3, P3 on edge V3-V1.
    ASSERT_EQ(emitted().size(), 2u);
    const EmittedTriangle& a = emitted()[0];
    const EmittedTriangle& b = emitted()[1];
    EXPECT_TRUE(sameBits(a.v[0], v3));
    EXPECT_TRUE(sameBits(a.v[1], v2));
    EXPECT_TRUE(sameBits(b.v[1], v3));
    EXPECT_TRUE(sameBits(a.v[2], b.v[2]));
    expectPosition(a.p[0], screenOf(0.5f, 0.5f, 0));
    expectPosition(a.p[1], screenOf(0.5f, -0.5f, 0));

    // The new points lie on the left boundary x = -1/1.00001, which the
    // viewport maps to about -0.997, with attributes interpolated along
    // V1 -> V2 (P0) and V1 -> V3 (P3) by the same fraction t.
    const float t = (2.0f - 1.0f / 1.00001f) / 2.5f;
    const Vertex& p0 = a.v[2];
    const Vertex& p3 = b.v[0];
    for (const Vertex* p : {&p0, &p3}) {
        EXPECT_NEAR(p->position[0], -1.0f / 1.00001f, 1e-5f);
        EXPECT_FLOAT_EQ(p->normal[2], 1.0f);
    }
    EXPECT_NEAR(p0.position[1], -0.5f * t, 1e-5f);
    EXPECT_NEAR(p0.texcoord[0], 0.5f * t, 1e-5f);
    EXPECT_NEAR(p3.position[1], 0.5f * t, 1e-5f);
    EXPECT_NEAR(p3.texcoord[0], t, 1e-5f);
    EXPECT_NEAR(a.p[2].x, -0.997f, 1e-3f);
    EXPECT_NEAR(b.p[0].x, -0.997f, 1e-3f);
    EXPECT_NEAR(b.p[0].y, 240.0f - (0.5f * t) * 239.0f, 1e-3f);
}

TEST_F(ClippingTest, boundariesProjectJustOutsideTheImageEdges) {
    // Four triangles, each poking through one side plane of the volume.
    drawTriangle(corner(-3, 0, 0), corner(0, 0.3f, 0), corner(0, -0.3f, 0), recordTriangle);
    drawTriangle(corner(3, 0, 0), corner(0, 0.3f, 0), corner(0, -0.3f, 0), recordTriangle);
    drawTriangle(corner(0, 3, 0), corner(0.3f, 0, 0), corner(-0.3f, 0, 0), recordTriangle);
    drawTriangle(corner(0, -3, 0), corner(0.3f, 0, 0), corner(-0.3f, 0, 0), recordTriangle);
    ScreenPosition low{1e9f, 1e9f, 0, 0}, high{-1e9f, -1e9f, 0, 0};
    for (const EmittedTriangle& e : emitted()) {
        for (const ScreenPosition& p : e.p) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), 0, 0};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), 0, 0};
        }
    }
    EXPECT_NEAR(low.x, -0.997f, 1e-3f);
    EXPECT_NEAR(high.x, 640.997f, 1e-3f);
    EXPECT_NEAR(low.y, 1.002f, 1e-3f);
    EXPECT_NEAR(high.y, 478.998f, 1e-3f);
}

TEST_F(ClippingTest, cornerOnAPlaneCountsAsInsideAndKeepsItsAttributes) {
    // w = 1.00002 everywhere, so a corner at z = 1 lies exactly on the far
    // plane (-1.00002 z + w = 0).
    renderContext.projection[3][3] = 1.00002f;
    const Vertex v1 = corner(0, 0, 1, 0.25f), v2 = corner(0.5f, 0, 2, 0.5f), v3 = corner(0, 0.5f, 0, 0.75f);
    drawTriangle(v1, v2, v3, recordTriangle);
    // Polygon: V1, the crossing from V1 (equal to it), the crossing on V2-V3, V3.
    ASSERT_EQ(emitted().size(), 2u);
    const EmittedTriangle& a = emitted()[0];
    const EmittedTriangle& b = emitted()[1];
    EXPECT_TRUE(sameBits(a.v[1], v1));
    EXPECT_TRUE(sameBits(a.v[2], v1));
    EXPECT_TRUE(sameBits(b.v[0], v3));
    EXPECT_TRUE(sameBits(b.v[2], v1));
    EXPECT_EQ(std::memcmp(&a.p[1], &a.p[2], sizeof(ScreenPosition)), 0);
    EXPECT_NEAR(a.p[0].z, 1.0f, 1e-4f);  // the crossing on V2-V3 is on the far plane too
    EXPECT_FLOAT_EQ(a.p[2].w, 1.00002f);
}

TEST_F(ClippingTest, sliversAcrossManyPlanesStayWithinThePolygonBound) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> wide(-40.0f, 40.0f);
    std::uniform_real_distribution<float> tiny(-1e-3f, 1e-3f);
    size_t largest = 0;
    for (int i = 0; i < 20000; ++i) {
        // Half of them under a perspective projection, where w varies too.
        renderContext.projection =
            i < 10000 ? glm::mat4(1.0f) : sceneProjection(frameWidth, frameHeight);
        const Vertex a = corner(wide(rng), wide(rng), wide(rng));
        Vertex b = a, c = a;
        for (int k = 0; k < 3; ++k) {
            b.position[k] = -a.position[k] + tiny(rng);
            c.position[k] = (i % 2 ? a.position[k] : b.position[k]) * 0.5f + tiny(rng);
        }
        emitted().clear();
        drawTriangle(a, b, c, recordTriangle);
        largest = std::max(largest, emitted().size());
        ASSERT_LE(emitted().size(), static_cast<size_t>(maxClippedPoints - 2)) << i;
    }
    EXPECT_GT(largest, 1u);
}

TEST_F(ClippingTest, nonFiniteCornersGoThroughTheWholePipelineSafely) {
    renderContext.projection = sceneProjection(frameWidth, frameHeight);
    renderContext.modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -5.0f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Vertex good1 = corner(-1, -1, 0), good2 = corner(1, -1, 0);
    for (float bad : {nan, inf, -inf, 1e30f, -1e30f, 3.4e38f}) {
        for (int axis = 0; axis < 3; ++axis) {
            Vertex v = corner(0, 1, 0);
            v.position[axis] = bad;
            drawTriangle(good1, good2, v, fillTriangle);
            drawTriangle(v, good2, good1, fillTriangle);
            drawTriangle(v, v, good1, fillTriangle);
        }
    }
    // An ordinary triangle still draws afterwards.
    std::fill(depth.begin(), depth.end(), 0u);
    drawTriangle(corner(-1, -1, 0), corner(1, -1, 0), corner(0, 1, 0), fillTriangle);
    EXPECT_GT(coveredPixels(), 1000);
}
