#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <SDL_scancode.h>
#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "pipeline/draw_calls.h"
#include "test_support.h"

using namespace testing_support;

namespace {

class DrawCallTest : public RenderTest {
protected:
    Texture* texture() { return own(makeTexture(2, 2, columnTexel)); }
};

Vertex at(float x, float y) { return Vertex{{x, y, 0.0f}, {}, {}, {}}; }

}  // namespace

TEST_F(DrawCallTest, cubeIsTwelveOutwardFacingTrianglesInIndexOrder) {
    record();
    renderContext.modelMatrix = glm::scale(glm::mat4(1.0f), glm::vec3(0.5f));  // wholly inside
    drawCube();
    ASSERT_EQ(emitted().size(), 12u);
    for (int t = 0; t < 12; ++t) {
        const int f = t / 2;
        const int corners[2][3] = {{4 * f, 4 * f + 1, 4 * f + 3}, {4 * f, 4 * f + 3, 4 * f + 2}};
        const EmittedTriangle& e = emitted()[t];
        for (int k = 0; k < 3; ++k) {
            // Passed through unclipped, so the corners arrive as (V3, V2, V1).
            EXPECT_EQ(std::memcmp(&e.v[2 - k], &cubeVertices[corners[t % 2][k]], sizeof(Vertex)), 0) << t << "," << k;
        }
        const glm::vec3 p0 = positionOf(e.v[2]), p1 = positionOf(e.v[1]), p2 = positionOf(e.v[0]);
        const glm::vec3 normal = normalOf(e.v[0]);
        EXPECT_GT(glm::dot(glm::cross(p1 - p0, p2 - p0), normal), 0.0f) << "triangle " << t;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(glm::dot(positionOf(e.v[k]), normal), 1.0f);  // on its own face
            EXPECT_EQ(e.v[k].color[0], 1);
        }
    }
}

TEST_F(DrawCallTest, modelMeshesBindTheirTexturesAndDrawWholeTriangles) {
    record();
    Texture* before = texture();
    Texture* bound = texture();
    Model model{};
    model.materials.resize(3);
    model.materials[0].diffuse_texname = "bound.png";
    model.materials[2].diffuse_texname = "never-loaded.png";
    model.textures["bound.png"] = bound;
    const std::vector<Vertex> seven = {at(0, 0), at(0.5f, 0), at(0, 0.5f), at(0, 0), at(-0.5f, 0), at(0, -0.5f),
                                       at(0.1f, 0.1f)};
    const std::vector<Vertex> one = {at(0, 0), at(0.5f, 0), at(0, 0.5f)};
    for (const auto& [records, material] : {std::pair{one, -1}, {seven, 0}, {one, 1}, {one, 2}, {one, 99}, {{}, 0}}) {
        model.meshes.push_back(makeMesh(records, material));
    }
    resolveMeshTextures(model);
    renderContext.sceneModel = &model;
    renderContext.currentTexture = before;
    drawModel();

    ASSERT_EQ(emitted().size(), 6u);
    EXPECT_EQ(emitted()[0].texture, before);  // no material: the texture bound before the call
    for (size_t i = 1; i < 6; ++i) EXPECT_EQ(emitted()[i].texture, bound) << i;
    // Records are handed on as they are stored: mesh 1's two triangles
    // are records (0, 1, 2) and (3, 4, 5), arriving reversed; record 6 is ignored.
    const std::vector<Vertex>& stored = model.meshes[1].vertices;
    EXPECT_EQ(emitted()[1].address[2], &stored[0]);
    EXPECT_EQ(emitted()[1].address[0], &stored[2]);
    EXPECT_EQ(emitted()[2].address[2], &stored[3]);
    EXPECT_EQ(emitted()[2].address[0], &stored[5]);
    EXPECT_EQ(renderContext.currentTexture, bound);

    renderContext.sceneModel = nullptr;
    drawModel();
    EXPECT_EQ(emitted().size(), 6u);
}

TEST_F(DrawCallTest, depthViewShowsGreyLevelsOfTheDepthBuffer) {
    std::fill(pixels.begin(), pixels.end(), 0x12345678u);
    depth[0] = 1;
    depth[1] = 16777215;
    depth[2] = 8388607;
    depth[640 * 480 - 1] = 16777214;
    const std::vector<uint32_t> depthBefore = depth;
    showDepthBuffer();
    EXPECT_EQ(pixel(0, 0), 0xFF7F7F7Fu);
    EXPECT_EQ(pixel(1, 0), 0xFFFFFFFFu);
    // e = 0.5: lin = 2 / (801 - 399.5), g = (lin / 2 + 0.5) * 255 = 128.135...
    EXPECT_EQ(pixel(2, 0), 0xFF808080u);
    EXPECT_EQ(pixel(3, 0), 0xFF000000u);
    EXPECT_EQ(pixel(639, 479), 0xFFFEFEFEu);
    EXPECT_EQ(pixel(320, 240), 0xFF000000u);
    EXPECT_EQ(depth, depthBefore);
}

class SceneTest : public DrawCallTest {
protected:
    void SetUp() override {
        DrawCallTest::SetUp();
        keys.assign(SDL_NUM_SCANCODES, 0);
        renderContext.keyboardState = keys.data();
        renderContext.defaultTexture = texture();
        renderContext.cubeTexture = texture();
        renderContext.elapsedTime = 1.0;
    }

    void frame() {
        std::fill(depth.begin(), depth.end(), 0u);
        composeScene();
    }

    std::vector<uint8_t> keys;
};

TEST_F(SceneTest, projectionIsTheFixedPerspective) {
    frame();
    const glm::mat4 expected(1.8106601f, 0, 0, 0, 0, 2.4142134f, 0, 0,  // by columns
                             0, 0, -1.0025032f, -1.0f, 0, 0, -2.0025032f, 0);
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) EXPECT_NEAR(renderContext.projection[c][r], expected[c][r], 1e-6f) << c << r;
    }
    EXPECT_EQ(renderContext.zNear, 1.0f);
    EXPECT_EQ(renderContext.zFar, 800.0f);
}

TEST_F(SceneTest, cubeRidesOnTheModelAxisAndSinksWithLogTime) {
    for (double t : {1.0, 10.0, 30.0}) {
        renderContext.elapsedTime = t;
        frame();
        // The model's axis is +y in eye space and its origin (0, -2, -7), so
        // the cube's centre is 5.5 - 2.2 ln t above that origin.
        const glm::vec3 centre(renderContext.modelMatrix * glm::vec4(0, 0, 0, 1));
        EXPECT_NEAR(glm::distance(centre, glm::vec3(0, -2.0 + (5.5 - 2.2 * std::log(t)), -7)), 0.0f, 1e-5f) << t;
        EXPECT_EQ(renderContext.currentTexture, renderContext.cubeTexture);
    }
    // At t = 30 the 0.5 t tumble about (0.5, 0, 1) is 15 rad past the model's
    // own turn of 2 + 3 pi + 3 rad about y.
    const glm::mat4 model = glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0, -2, -7)),
                                        2.0f + 9.424778f + 3.0f, glm::vec3(0, 1, 0));
    const glm::mat4 cube = model * glm::translate(glm::mat4(1.0f), glm::vec3(0, 5.5 - 2.2 * std::log(30.0), 0)) *
                           glm::rotate(glm::mat4(1.0f), 15.0f, glm::normalize(glm::vec3(0.5f, 0, 1)));
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) EXPECT_NEAR(renderContext.modelMatrix[c][r], cube[c][r], 2e-5f) << c << r;
    }
}

TEST_F(SceneTest, undrawnPixelsStayClearAndHeldVFlipsTheDepthView) {
    std::fill(pixels.begin(), pixels.end(), 0x12345678u);
    frame();
    EXPECT_EQ(pixel(0, 0), 0u);
    EXPECT_EQ(pixel(639, 479), 0u);
    EXPECT_GT(coveredPixels(), 0);  // the cube shows near the top
    EXPECT_EQ(renderContext.depthViewActive, 0);

    keys[SDL_SCANCODE_V] = 1;
    for (int k = 1; k <= 3; ++k) {
        frame();
        EXPECT_EQ(renderContext.depthViewActive != 0, k % 2 == 1) << k;
        EXPECT_EQ(pixel(0, 0), k % 2 ? 0xFF000000u : 0u) << k;
    }
    keys[SDL_SCANCODE_V] = 0;
    frame();
    frame();
    EXPECT_NE(renderContext.depthViewActive, 0);
    EXPECT_EQ(pixel(0, 0), 0xFF000000u);
}
