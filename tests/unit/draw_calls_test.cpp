#include <gtest/gtest.h>

#include "pipeline/draw_calls.h"
#include "test_support.h"

using namespace testing_support;

using DrawCallTest = RenderTest;

TEST_F(DrawCallTest, modelMeshesBindTheirTexturesAndDrawWholeTriangles) {
    setRenderPath(RenderPath::recording, recordTriangle);
    Texture* before = solid(0xFF000000u);
    Texture* bound = solid(0xFF0000FFu);
    Model model{};
    model.materials.resize(3);
    model.materials[0].diffuse_texname = "bound.png";
    model.materials[2].diffuse_texname = "never-loaded.png";
    model.textures["bound.png"] = bound;
    auto at = [](float x, float y) { return Vertex{{x, y, 0.0f}, {}, {}, {}}; };
    const std::vector<Vertex> one = {at(0, 0), at(0.5f, 0), at(0, 0.5f)};
    std::vector<Vertex> seven = one;
    seven.insert(seven.end(), {at(0, 0), at(-0.5f, 0), at(0, -0.5f), at(0.1f, 0.1f)});
    // Materials: none, bound, without a texture name, not loaded, out of range; then an empty mesh.
    for (const auto& [records, material] : {std::pair{one, -1}, {seven, 0}, {one, 1}, {one, 2}, {one, 99}, {{}, 0}}) {
        model.meshes.push_back(makeMesh(records, material));
    }
    resolveMeshTextures(model);
    renderContext.sceneModel = &model;
    renderContext.currentTexture = before;
    drawModel();

    // A mesh that names no loaded texture keeps the one bound before it.
    const std::vector<const Texture*> textures = {before, bound, bound, bound, bound, bound};
    ASSERT_EQ(emitted.size(), textures.size());
    for (size_t i = 0; i < textures.size(); ++i) EXPECT_EQ(emitted[i].texture, textures[i]) << i;
    // Records are handed on as they are stored, reversed; mesh 1's seventh is ignored.
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(emitted[1 + t].address[2], &model.meshes[1].vertices[3 * t]);
        EXPECT_EQ(emitted[1 + t].address[0], &model.meshes[1].vertices[3 * t + 2]);
    }
    EXPECT_EQ(renderContext.currentTexture, bound);

    renderContext.sceneModel = nullptr;
    drawModel();
    EXPECT_EQ(emitted.size(), textures.size());
}
