#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <tuple>

#include <stb/stb_image_write.h>

#include "assets/model.h"
#include "assets/smoothing_normals.h"
#include "assets/texture.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using ModelPtr = std::unique_ptr<Model, void (*)(Model*)>;

struct Loaded {
    ModelPtr model;
    std::string out;
    std::string err;
};

Loaded load(const std::string& path, int flipV = 0, int buildMipmaps = 0) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Model* model = loadModel(path, flipV, buildMipmaps);
    std::string out = testing::internal::GetCapturedStdout();
    return {ModelPtr(model, releaseModel), out, testing::internal::GetCapturedStderr()};
}

void writeImage(const std::string& path, int w, int h) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3, 200);
    ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3));
}

// Each mesh as its material and vertex count.
using Meshes = std::vector<std::pair<int, size_t>>;

Meshes meshesOf(const Model& model) {
    Meshes meshes;
    for (const Mesh& mesh : model.meshes) meshes.emplace_back(mesh.material_id, mesh.vertices.size());
    return meshes;
}

const char* fourVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 -2\n";

}  // namespace

TEST(ModelTest, facesAreCutIntoRunsOfOneMaterialAndStatisticsArePrinted) {
    ScratchDir dir;
    std::string mtl;
    for (int i = 0; i < 6; ++i) mtl += "newmtl m" + std::to_string(i) + "\nKd 1 1 1\n";
    dir.write("runs.mtl", mtl);
    const std::string obj = dir.write("runs.obj", std::string("mtllib runs.mtl\n") + fourVertices +
                                                      "usemtl m2\nf 1 2 3\nf 1 2 3\nf 2 4 3\n"
                                                      "usemtl m5\nf 1 2 3\nf 2 4 3\n");
    Loaded l = load(obj);
    ASSERT_TRUE(l.model);
    std::string expected =
        "# of vertices  = 4\n# of normals   = 0\n# of texcoords = 0\n# of materials = 6\n# of shapes    = 1\n";
    for (int i = 0; i <= 6; ++i) expected += "material[" + std::to_string(i) + "].diffuse_texname = \n";
    expected +=
        "shape[0:3] material_id 2,\t9 verts\nshape[0:5] material_id 5,\t6 verts\n"
        "bmin = 0.000000, 0.000000, -2.000000\nbmax = 1.000000, 1.000000, 0.000000\n";
    EXPECT_EQ(l.out, expected);

    const Model& m = *l.model;
    ASSERT_EQ(meshesOf(m), (Meshes{{2, 9}, {5, 6}}));
    ASSERT_EQ(m.materials.size(), 7u);
    EXPECT_EQ(m.materials[6].name, "tinyobj_default");
    EXPECT_EQ(m.materials[6].diffuse[0], 1.0f);
    EXPECT_TRUE(m.materials[6].diffuse_texname.empty());
    // Third face of the first run: corners 2, 4, 3 in order, white, opaque.
    EXPECT_EQ(positionOf(m.meshes[0].vertices[7]), glm::vec3(1, 1, -2));
    EXPECT_EQ(m.meshes[0].vertices[8].position[1], 1.0f);
    EXPECT_EQ(colorOf(m.meshes[0].vertices[7]), glm::ivec4(255));
}

TEST(ModelTest, vertexAttributesFollowTheNormalTexcoordAndColourRules) {
    ScratchDir dir;
    const std::string obj = dir.write("attrs.obj",
                                      "v 0 0 0 1.0 0.5 0.25\nv 2 0 0\nv 0 2 0\n"
                                      "vt 0.25 0.0\nvt 0.5 0.75\nvn 0 0 -1\n"
                                      "o own\nf 1/1/1 2/2/1 3/1/1\n"
                                      "o partial\nf 1/1 2/2 3\n");
    for (int flipV : {0, 1, 2}) {
        Loaded l = load(obj, flipV);
        ASSERT_TRUE(l.model);
        ASSERT_EQ(l.model->meshes.size(), 2u);
        const std::vector<Vertex>& own = l.model->meshes[0].vertices;
        const std::vector<Vertex>& partial = l.model->meshes[1].vertices;
        const float v0 = flipV == 1 ? 1.0f : 0.0f;
        const float v1 = flipV == 1 ? 0.25f : 0.75f;
        EXPECT_EQ(texcoordOf(own[0]), glm::vec2(0.25f, v0)) << flipV;
        EXPECT_EQ(texcoordOf(own[1]), glm::vec2(0.5f, v1)) << flipV;
        for (const Vertex& v : own) EXPECT_EQ(normalOf(v), glm::vec3(0, 0, -1));
        for (const Vertex& v : partial) {
            EXPECT_EQ(texcoordOf(v), glm::vec2(0, 0));
            EXPECT_EQ(normalOf(v), glm::vec3(0, 0, 4));  // (Q - P) x (R - P), not normalised
        }
        EXPECT_EQ(colorOf(partial[0]), glm::ivec4(255, 127, 63, 255));
        EXPECT_EQ(partial[1].color[1], 255);
    }
}

TEST(ModelTest, smoothingGroupsGiveSmoothedNormalsOverEveryFaceOfTheShape) {
    ScratchDir dir;
    // A fold along the y axis: +z facing triangle in group 0, +x facing one in
    // group 1, sharing positions 1 and 2. The second shape has no groups.
    const std::string obj = dir.write("fold.obj",
                                      "v 0 0 0\nv 0 1 0\nv 1 0 0\nv 0 0 5\n"
                                      "o fold\ns 0\nf 1 3 2\ns 1\nf 1 2 4\n"
                                      "o flat\ns off\nf 1 3 2\n");
    Loaded l = load(obj);
    ASSERT_TRUE(l.model);
    EXPECT_TRUE(contains(l.out, "Compute smoothingNormal for shape [0]\n"));
    EXPECT_FALSE(contains(l.out, "Compute smoothingNormal for shape [1]"));
    ASSERT_EQ(l.model->meshes.size(), 2u);
    const std::vector<Vertex>& fold = l.model->meshes[0].vertices;
    const float h = 0.70710677f;
    EXPECT_NEAR(glm::length(normalOf(fold[0]) - glm::vec3(h, 0, h)), 0.0f, 1e-6f);  // shared
    EXPECT_NEAR(glm::length(normalOf(fold[2]) - glm::vec3(h, 0, h)), 0.0f, 1e-6f);  // shared
    EXPECT_EQ(normalOf(fold[1]), glm::vec3(0, 0, 1));
    EXPECT_EQ(normalOf(fold[5]), glm::vec3(1, 0, 0));
    EXPECT_EQ(normalOf(l.model->meshes[1].vertices[0]), glm::vec3(0, 0, 1));  // face normal of a unit triangle
}

// Weighting and folds are seen through loadModel above; here, the table is rebuilt on every call.
TEST(SmoothingNormalsTest, rebuildsTheTableForTheGivenFaces) {
    tinyobj::attrib_t attrib;
    attrib.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};  // a unit square in z = 0
    tinyobj::shape_t shape;
    auto face = [&](int a, int b, int c) {
        for (int i : {a, b, c}) shape.mesh.indices.push_back({i, -1, -1});
    };
    std::map<int32_t, glm::vec3> table{{99, glm::vec3(1)}};

    face(0, 1, 2);
    buildSmoothingNormals(attrib, shape, {0}, table);
    EXPECT_EQ(table, (std::map<int32_t, glm::vec3>{{0, {0, 0, 1}}, {1, {0, 0, 1}}, {2, {0, 0, 1}}}));

    face(1, 3, 2);
    buildSmoothingNormals(attrib, shape, {0, 1}, table);
    ASSERT_EQ(table.size(), 4u);
    for (const auto& entry : table) EXPECT_EQ(entry.second, glm::vec3(0, 0, 1)) << entry.first;
}

TEST(ModelTest, texturesAreFoundNextToTheModelAndLoadedOncePerName) {
    ScratchDir dir;
    writeImage(dir.file("shared-a7.png"), 8, 8);
    std::filesystem::create_directory(dir.file("sub"));
    writeImage(dir.file("sub/win-a7.png"), 4, 2);
    dir.write("tex.mtl",
              "newmtl a\nmap_Kd shared-a7.png\nnewmtl b\nmap_Kd shared-a7.png\n"
              "newmtl c\nmap_Kd sub\\win-a7.png\nnewmtl d\nKd 1 0 0\n");
    const std::string obj = dir.write("tex.obj", std::string("mtllib tex.mtl\n") + fourVertices +
                                                     "usemtl a\nf 1 2 3\nusemtl c\nf 2 4 3\n");
    for (int mipmaps : {0, 1}) {
        Loaded l = load(obj, 0, mipmaps);
        ASSERT_TRUE(l.model) << l.err;
        EXPECT_TRUE(contains(l.out, "material[0].diffuse_texname = shared-a7.png\n"
                                     "material[1].diffuse_texname = shared-a7.png\n"
                                     "material[2].diffuse_texname = sub\\win-a7.png\n"
                                     "material[3].diffuse_texname = \n"
                                     "material[4].diffuse_texname = \n"));
        const std::map<std::string, Texture*>& textures = l.model->textures;
        ASSERT_EQ(textures.size(), 2u);
        const Texture* shared = textures.at("shared-a7.png");
        EXPECT_EQ(shared->width, 8);
        EXPECT_EQ(shared->texel(7, 7, 0), 0xFFC8C8C8u);
        EXPECT_EQ(shared->mipLevels, mipmaps ? 3 : 1);
        EXPECT_EQ(textures.at("sub\\win-a7.png")->mipLevels, 1);  // 4 x 2 has no level of 2 x 2 or more below

        shrinkModelTextures(*l.model);
        EXPECT_EQ(std::make_tuple(shared->width, shared->height, shared->mipLevels),
                  std::make_tuple(64, 64, mipmaps ? 6 : 1));
        EXPECT_EQ(textures.at("sub\\win-a7.png")->height, 64);
    }
}

// Also: shapes without a material, and one of a single face, make one mesh each.
TEST(ModelTest, facesWithBadIndicesOrCoordinatesAreLeftOut) {
    ScratchDir dir;
    const std::string obj = dir.write("bad.obj",
                                      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1e39 0 0\nv 0 -1e999 0\n"
                                      "vt 0 0\nvn 0 0 1\n"
                                      "o a\nf 1 2 3\nf 1 2 9\nf 1/1 2/5 3/1\nf 1//1 2//1 3//4\nf 3 2 1\n"
                                      "o b\ns 1\nf 1 2 4\nf 1 5 2\nf 1 2 3\n");
    Loaded l = load(obj);
    ASSERT_TRUE(l.model);
    EXPECT_TRUE(contains(l.err, "shape 0 \"a\": left out 3 faces"));
    EXPECT_TRUE(contains(l.err, "shape 1 \"b\": left out 2 faces"));
    ASSERT_EQ(meshesOf(*l.model), (Meshes{{-1, 6}, {-1, 3}}));
    EXPECT_EQ(positionOf(l.model->meshes[0].vertices[3]), glm::vec3(0, 1, 0));
    EXPECT_EQ(positionOf(l.model->meshes[1].vertices[2]), glm::vec3(0, 1, 0));
    EXPECT_EQ(normalOf(l.model->meshes[1].vertices[0]), glm::vec3(0, 0, 1));
    EXPECT_TRUE(contains(l.out, "bmax = 1.000000, 1.000000, 0.000000\n"));
}
