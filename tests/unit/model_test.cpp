#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "assets/model.h"
#include "test_support.h"

namespace {

// Loads `obj` next to a material library of m0 ... m5, without textures.
std::unique_ptr<Model> load(const std::string& obj, int flipV = 0) {
    const std::string dir = testing::TempDir() + "scanweaver-model-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/m.mtl") << "newmtl m0\nnewmtl m1\nnewmtl m2\nnewmtl m3\nnewmtl m4\nnewmtl m5\n";
    std::ofstream(dir + "/m.obj") << "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 -2\n" << obj;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::unique_ptr<Model> model(loadModel(dir + "/m.obj", flipV, 0));
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    std::filesystem::remove_all(dir);
    return model;
}

glm::vec3 normalOf(const Vertex& v) { return {v.normal[0], v.normal[1], v.normal[2]}; }

}  // namespace

// Each mesh as its material and record count.
TEST(ModelTest, facesAreCutIntoRunsOfOneMaterial) {
    using Meshes = std::vector<std::pair<int, size_t>>;
    const std::pair<const char*, Meshes> cases[] = {
        {"usemtl m2\nf 1 2 3\nf 1 2 3\nf 2 4 3\nusemtl m5\nf 1 2 3\nf 2 4 3\n", {{2, 9}, {5, 6}}},
        {"usemtl m1\nf 1 2 3\nusemtl m3\nf 1 2 3\nusemtl m1\nf 2 4 3\nf 1 2 3\n", {{1, 3}, {3, 3}, {1, 6}}},
        {"o a\nf 1 2 3\nf 2 4 3\no b\nf 1 2 3\n", {{-1, 6}, {-1, 3}}},
        {"f 1 2 4 3\nf 1 2 9\nf 3 2 1\n", {{-1, 9}}},  // a quad is two triangles; a bad face leaves no gap
    };
    for (const auto& c : cases) {
        const std::unique_ptr<Model> model = load(c.first);
        ASSERT_TRUE(model) << c.first;
        Meshes meshes;
        for (const Mesh& mesh : model->meshes) meshes.emplace_back(mesh.material_id, mesh.vertices.size());
        EXPECT_EQ(meshes, c.second) << c.first;
    }
}

TEST(ModelTest, vertexAttributesFollowTheNormalTexcoordColourAndSmoothingRules) {
    // Vertex 5 has a colour. A fold along the y axis: a +z facing face in
    // group 0 and a +x facing one in group 1 share vertices 1 and 3.
    const std::string obj =
        "v 0 0 5 1.0 0.5 0.25\nvt 0.25 0.0\nvt 0.5 0.75\nvn 0 0 -1\n"
        "o own\nf 1/1/1 2/2/1 3/1/1\n"
        "o partial\nf 5/1 2/2 3\n"
        "o fold\ns 0\nf 1 2 3\ns 1\nf 1 3 5\n";
    for (int flipV : {0, 1, 2}) {
        const std::unique_ptr<Model> model = load(obj, flipV);
        ASSERT_TRUE(model);
        ASSERT_EQ(model->meshes.size(), 3u);
        const std::vector<Vertex>& own = model->meshes[0].vertices;
        EXPECT_EQ(own[0].texcoord[1], flipV == 1 ? 1.0f : 0.0f) << flipV;
        EXPECT_EQ(own[1].texcoord[0], 0.5f);
        EXPECT_EQ(own[1].texcoord[1], flipV == 1 ? 0.25f : 0.75f) << flipV;
        for (const Vertex& v : own) EXPECT_EQ(normalOf(v), glm::vec3(0, 0, -1));

        // Texture coordinates on only some corners are dropped; the normal is
        // (Q - P) x (R - P), not normalised; colours scale to 255 and truncate.
        const std::vector<Vertex>& partial = model->meshes[1].vertices;
        for (const Vertex& v : partial) {
            EXPECT_EQ(glm::vec2(v.texcoord[0], v.texcoord[1]), glm::vec2(0, 0));
            EXPECT_EQ(normalOf(v), glm::vec3(5, 5, 1));
        }
        EXPECT_EQ(glm::ivec4(partial[0].color[0], partial[0].color[1], partial[0].color[2], partial[0].color[3]),
                  glm::ivec4(255, 127, 63, 255));
        EXPECT_EQ(partial[1].color[1], 255);

        // Smoothed over every face of the shape, group 0 included.
        const std::vector<Vertex>& fold = model->meshes[2].vertices;
        const glm::vec3 shared = glm::normalize(glm::vec3(1, 0, 1));
        EXPECT_NEAR(glm::length(normalOf(fold[0]) - shared), 0.0f, 1e-6f);
        EXPECT_NEAR(glm::length(normalOf(fold[2]) - shared), 0.0f, 1e-6f);
        EXPECT_EQ(normalOf(fold[1]), glm::vec3(0, 0, 1));
        EXPECT_EQ(normalOf(fold[5]), glm::vec3(1, 0, 0));
    }
}
