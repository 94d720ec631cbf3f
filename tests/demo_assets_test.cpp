// Tests for the demo asset generator: the generated files read back with the
// same libraries the renderer uses (stb_image, stb_image_resize,
// tinyobjloader).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <tiny_obj_loader.h>

#include "demo_assets.h"

namespace fs = std::filesystem;
using namespace demo_assets;

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One generation run, and its model as tinyobjloader reads it, shared by every test of the suite.
class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::remove_all(dir);
        summary = writeDemoAssets(dir);
        if (summary.ok) reader.ParseFromFile(dir + "/" + summary.objPath);
    }
    void SetUp() override {
        ASSERT_TRUE(summary.ok) << summary.error;
        ASSERT_TRUE(reader.Valid()) << reader.Error();
    }

    static inline const std::string dir = std::string(DEMO_ASSETS_TEST_DIR) + "/first";
    static inline DemoAssetSummary summary;
    static inline tinyobj::ObjReader reader;
    static inline const std::vector<tinyobj::shape_t>& shapes = reader.GetShapes();
    static inline const std::vector<tinyobj::material_t>& materials = reader.GetMaterials();
    static inline const std::vector<tinyobj::real_t>& vertices = reader.GetAttrib().vertices;
};

// Distance from the vertical axis to a triangle projected onto the xz plane.
double axisDistance(const double* a, const double* b, const double* c) {
    auto side = [](const double* p, const double* q) { return (q[0] - p[0]) * -p[2] - (q[2] - p[2]) * -p[0]; };
    const double d1 = side(a, b), d2 = side(b, c), d3 = side(c, a);
    if (!((d1 < 0 || d2 < 0 || d3 < 0) && (d1 > 0 || d2 > 0 || d3 > 0))) return 0.0;  // the axis passes through
    auto segment = [](const double* p, const double* q) {
        const double dx = q[0] - p[0], dz = q[2] - p[2], l2 = dx * dx + dz * dz;
        const double t = l2 > 0 ? std::clamp(-(p[0] * dx + p[2] * dz) / l2, 0.0, 1.0) : 0.0;
        return std::hypot(p[0] + t * dx, p[2] + t * dz);
    };
    return std::min({segment(a, b), segment(b, c), segment(c, a)});
}

}  // namespace

// Cutouts must keep their holes, as whole texels, once reduced to 64 x 64.
TEST_F(GeneratedAssets, EveryTextureDecodesAtItsSizeInAllThreeFormatsAndCutoutsKeepHoles) {
    std::vector<WrittenImage> all = summary.images;
    all.insert(all.end(), summary.modelTextures.begin(), summary.modelTextures.end());
    EXPECT_EQ(summary.images.size(), 2u);
    EXPECT_GE(summary.modelTextures.size(), 15u);
    std::set<std::string> formats;
    int cutouts = 0;
    for (const WrittenImage& img : all) {
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load((dir + "/" + img.path).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << img.path << ": " << stbi_failure_reason();
        EXPECT_EQ(std::make_pair(w, h), std::make_pair(img.width, img.height)) << img.path;
        std::vector<unsigned char> small(64 * 64 * 4);
        EXPECT_TRUE(stbir_resize_uint8(px, w, h, 0, small.data(), 64, 64, 0, 4)) << img.path;
        stbi_image_free(px);
        size_t clear = 0, solid = 0;
        for (size_t i = 3; i < small.size(); i += 4) clear += small[i] == 0, solid += small[i] >= 128;
        cutouts += img.cutout;
        EXPECT_TRUE(!img.cutout || (clear >= 64 * 64 / 20 && solid >= 64 * 64 / 5))
            << img.path << ": " << clear << " clear and " << solid << " solid texels";
        // The contents, not just the name, must be in the format the extension says.
        const std::string head = readBytes(dir + "/" + img.path);
        ASSERT_GE(head.size(), 18u) << img.path;
        const std::string format = head.compare(0, 2, "\x89P") == 0 ? "png"
                                   : head.compare(0, 2, "BM") == 0  ? "bmp"
                                   : head[2] == 2 || head[2] == 10  ? "tga"  // true colour, raw or RLE
                                                                    : "?";
        EXPECT_EQ(fs::path(img.path).extension().string(), "." + format) << img.path;
        formats.insert(format);
    }
    EXPECT_EQ(formats, (std::set<std::string>{"bmp", "png", "tga"}));
    EXPECT_GE(cutouts, 3);
}

TEST_F(GeneratedAssets, ObjParsesCleanlyWithTheCountsWrittenAndResolvableTextures) {
    EXPECT_EQ(reader.Warning() + reader.Error(), "");
    size_t triangles = 0;
    std::set<int> used;
    for (const auto& s : shapes) {
        triangles += s.mesh.num_face_vertices.size();
        used.insert(s.mesh.material_ids.begin(), s.mesh.material_ids.end());
    }
    EXPECT_EQ(triangles, summary.triangles);
    EXPECT_EQ(shapes.size(), summary.shapes);
    EXPECT_EQ(materials.size(), summary.materials);
    EXPECT_GE(summary.triangles, 250000u);
    EXPECT_EQ(used.count(-1), 0u) << "a face has no material";
    EXPECT_EQ(used.size(), materials.size()) << "a material is never used";
    const fs::path modelDir = fs::path(dir + "/" + summary.objPath).parent_path();
    for (const auto& m : materials) {
        EXPECT_TRUE(m.diffuse_texname.empty() || fs::is_regular_file(modelDir / m.diffuse_texname)) << m.name;
    }
    for (const std::string& rel : summary.files) EXPECT_TRUE(fs::is_regular_file(dir + "/" + rel)) << rel;
}

// The renderer's eye circles the vertical axis 7 units out at height 2 while
// the cube tumbles on that axis: no part of the model may stand in either.
TEST_F(GeneratedAssets, NothingBlocksTheEyeRingOrTheCubesColumn) {
    // Cube: half-size 1, tumbling (reach sqrt 3), from 5.5 above the floor
    // down into the basin. Ring: with room for the near plane at distance 1.
    const double cubeReach = 1.8, cubeTop = 5.5 + 1.8, cubeBottom = -3.45;
    const double ringIn = 5.5, ringOut = 8.5, ringLow = 0.5, ringHigh = 3.5;
    for (const auto& s : shapes) {
        for (size_t t = 0; t < s.mesh.num_face_vertices.size(); ++t) {
            const tinyobj::index_t* corner = &s.mesh.indices[3 * t];
            double p[3][3];
            for (int k = 0; k < 9; ++k) p[k / 3][k % 3] = vertices[3 * size_t(corner[k / 3].vertex_index) + k % 3];
            const double ylo = std::min({p[0][1], p[1][1], p[2][1]}), yhi = std::max({p[0][1], p[1][1], p[2][1]});
            const double rin = axisDistance(p[0], p[1], p[2]);
            double rout = 0;
            for (const double* q : p) rout = std::max(rout, std::hypot(q[0], q[2]));
            ASSERT_FALSE(yhi > cubeBottom && ylo < cubeTop && rin < cubeReach) << s.name << " is in the cube's column";
            ASSERT_FALSE(yhi > ringLow && ylo < ringHigh && rin < ringOut && rout > ringIn) << s.name << " in the ring";
        }
    }
}

// With --copies 2 the original stays byte for byte at the head of the model,
// the other three courtyards share its materials and textures, and all four
// lie side by side without overlapping, inside the far plane seen from the eye.
TEST_F(GeneratedAssets, TwoByTwoCopiesStandBesideTheUntouchedOriginal) {
    const std::string other = std::string(DEMO_ASSETS_TEST_DIR) + "/copies";
    fs::remove_all(other);
    const DemoAssetSummary grid = writeDemoAssets(other, 2);
    ASSERT_TRUE(grid.ok) << grid.error;
    ASSERT_EQ(grid.files, summary.files);
    for (const std::string& rel : grid.files) {
        const std::string original = readBytes(dir + "/" + rel), copied = readBytes(other + "/" + rel);
        EXPECT_TRUE((rel == grid.objPath ? copied.substr(0, original.size()) : copied) == original) << rel;
    }
    tinyobj::ObjReader reader;
    ASSERT_TRUE(reader.ParseFromFile(other + "/" + grid.objPath)) << reader.Error();
    const std::vector<tinyobj::shape_t>& s = reader.GetShapes();
    ASSERT_EQ(s.size(), 4 * shapes.size());

    // Bounding boxes of each courtyard (written as a block of shapes) and of all four.
    struct Box {
        double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        void take(size_t c, double x) { lo[c] = std::min(lo[c], x), hi[c] = std::max(hi[c], x); }
    } boxes[4], all;
    size_t triangles = 0;
    for (size_t k = 0; k < s.size(); ++k) {
        triangles += s[k].mesh.num_face_vertices.size();
        for (const auto& i : s[k].mesh.indices) {
            for (size_t c = 0; c < 3; ++c) {
                const double x = reader.GetAttrib().vertices[3 * size_t(i.vertex_index) + c];
                for (Box* b : {&boxes[k / shapes.size()], &all}) b->take(c, x);
            }
        }
    }
    EXPECT_EQ(triangles, 4 * summary.triangles);
    for (int p = 1; p < 4; ++p) {
        for (int q = 0; q < p; ++q) {
            EXPECT_TRUE(boxes[p].hi[0] <= boxes[q].lo[0] || boxes[q].hi[0] <= boxes[p].lo[0] ||
                        boxes[p].hi[2] <= boxes[q].lo[2] || boxes[q].hi[2] <= boxes[p].lo[2])
                << "courtyards " << p << " and " << q << " overlap";
        }
    }
    // Edge to edge: the four fill a 2 x 2 block with less than a unit between neighbours.
    for (int k : {0, 2}) EXPECT_LT(all.hi[k] - all.lo[k], 2 * (boxes[0].hi[k] - boxes[0].lo[k] + 1)) << k;
    // Inside the far plane (800) from anywhere on the eye's circle, 7 out and 2 up.
    const double across = std::hypot(std::max(-all.lo[0], all.hi[0]), std::max(-all.lo[2], all.hi[2]));
    EXPECT_LT(std::hypot(across + 7, std::max(2 - all.lo[1], all.hi[1] - 2)), 800.0);
    fs::remove_all(other);
}

// A regular file where the output directory is needed, and one where the
// model directory is, after the top-level files are written.
TEST(GeneratorErrors, ReportsTheFileThatCouldNotBeWrittenOnOneLine) {
    const std::string base = std::string(DEMO_ASSETS_TEST_DIR) + "/errors";
    fs::remove_all(base);
    fs::create_directories(base + "/partial/models");
    std::ofstream(base + "/not_a_directory") << "x";
    std::ofstream(base + "/partial/models/qorvelin-sponza") << "x";
    for (const auto& c :
         {std::make_pair("/not_a_directory/out", "not_a_directory"), std::make_pair("/partial", "qorvelin-sponza")}) {
        const DemoAssetSummary s = writeDemoAssets(base + c.first);
        EXPECT_FALSE(s.ok);
        EXPECT_NE(s.error.find(c.second), std::string::npos) << s.error;
        EXPECT_EQ(s.error.find('\n'), std::string::npos) << "one line";
        EXPECT_EQ(s.describe().rfind("error: ", 0), 0u);
    }
    fs::remove_all(base);
}
