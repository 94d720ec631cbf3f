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

#include "courtyard_grid.h"
#include "demo_assets.h"

namespace fs = std::filesystem;
using namespace demo_assets;

namespace {

struct Mesh {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    bool ok = false;
};

struct Point {
    double x, y, z;
};

// Calls f(a, b, c, shape) for every triangle of the model.
template <typename F>
void forEachTriangle(const Mesh& m, F f) {
    const auto& v = m.attrib.vertices;
    auto pos = [&](const tinyobj::index_t& i) {
        const size_t k = 3 * size_t(i.vertex_index);
        return Point{v[k], v[k + 1], v[k + 2]};
    };
    for (const auto& s : m.shapes) {
        for (size_t t = 0; t < s.mesh.num_face_vertices.size(); ++t) {
            const auto* idx = &s.mesh.indices[3 * t];
            f(pos(idx[0]), pos(idx[1]), pos(idx[2]), s);
        }
    }
}

// Distance from the vertical axis to a triangle projected onto the xz plane.
double axisDistance(Point a, Point b, Point c) {
    auto side = [](Point p, Point q) { return (q.x - p.x) * -p.z - (q.z - p.z) * -p.x; };
    const double d1 = side(a, b), d2 = side(b, c), d3 = side(c, a);
    const bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
    if (!(neg && pos)) return 0.0;  // the axis passes through the triangle
    auto seg = [](Point p, Point q) {
        const double dx = q.x - p.x, dz = q.z - p.z, l2 = dx * dx + dz * dz;
        const double t = l2 > 0 ? std::clamp(-(p.x * dx + p.z * dz) / l2, 0.0, 1.0) : 0.0;
        return std::hypot(p.x + t * dx, p.z + t * dz);
    };
    return std::min({seg(a, b), seg(b, c), seg(c, a)});
}

bool loadMesh(const std::string& obj, Mesh& m) {
    const std::string base = fs::path(obj).parent_path().string() + "/";
    m.ok = tinyobj::LoadObj(&m.attrib, &m.shapes, &m.materials, &m.warn, &m.err, obj.c_str(), base.c_str(), true);
    return m.ok;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One generation run shared by every test of the suite.
class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::string(std::string(DEMO_ASSETS_TEST_DIR) + "/first");
        fs::remove_all(*dir_);
        summary_ = new DemoAssetSummary(writeDemoAssets(*dir_));
        mesh_ = new Mesh();
        if (summary_->ok) loadMesh(path(summary_->objPath), *mesh_);
    }
    static void TearDownTestSuite() {
        delete mesh_;
        delete summary_;
        delete dir_;
    }
    void SetUp() override {
        ASSERT_TRUE(summary_->ok) << summary_->error;
        ASSERT_TRUE(mesh_->ok) << mesh_->err;
    }
    static std::string path(const std::string& rel) { return *dir_ + "/" + rel; }

    static inline std::string* dir_ = nullptr;
    static inline DemoAssetSummary* summary_ = nullptr;
    static inline Mesh* mesh_ = nullptr;
};

TEST_F(GeneratedAssets, EveryTextureDecodesAtItsSizeInAllThreeFormats) {
    std::vector<WrittenImage> all = summary_->images;
    all.insert(all.end(), summary_->modelTextures.begin(), summary_->modelTextures.end());
    EXPECT_EQ(summary_->images.size(), 2u);
    EXPECT_GE(summary_->modelTextures.size(), 15u);
    std::set<std::string> formats;
    for (const WrittenImage& img : all) {
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(path(img.path).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << img.path << ": " << stbi_failure_reason();
        stbi_image_free(px);
        EXPECT_EQ(w, img.width) << img.path;
        EXPECT_EQ(h, img.height) << img.path;
        // The contents, not just the name, must be in the format the extension says.
        const std::vector<uint8_t> head = readBytes(path(img.path));
        ASSERT_GE(head.size(), 18u) << img.path;
        const std::string format = head[0] == 0x89 && head[1] == 'P' ? "png"
                                   : head[0] == 'B' && head[1] == 'M' ? "bmp"
                                   : head[2] == 2 || head[2] == 10   ? "tga"  // true colour, raw or RLE
                                                                     : "?";
        EXPECT_EQ(fs::path(img.path).extension().string(), "." + format) << img.path;
        formats.insert(format);
    }
    EXPECT_EQ(formats, (std::set<std::string>{"bmp", "png", "tga"}));
}

TEST_F(GeneratedAssets, CutoutsKeepTransparentTexelsAfterReductionTo64) {
    int cutouts = 0;
    for (const WrittenImage& t : summary_->modelTextures) {
        if (!t.cutout) continue;
        ++cutouts;
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(path(t.path).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << t.path;
        std::vector<unsigned char> small(64 * 64 * 4);
        const int resized = stbir_resize_uint8(px, w, h, 0, small.data(), 64, 64, 0, 4);
        stbi_image_free(px);
        ASSERT_EQ(resized, 1) << t.path;
        size_t clear = 0, solid = 0;
        for (size_t i = 3; i < small.size(); i += 4) {
            clear += small[i] == 0;
            solid += small[i] >= 128;
        }
        // Holes survive as whole reduced texels, and the pattern itself does too.
        EXPECT_GE(clear, 64u * 64u / 20) << t.path;
        EXPECT_GE(solid, 64u * 64u / 5) << t.path;
    }
    EXPECT_GE(cutouts, 3);
}

TEST_F(GeneratedAssets, ObjParsesCleanlyWithTheCountsWrittenAndResolvableTextures) {
    EXPECT_EQ(mesh_->warn, "");
    EXPECT_EQ(mesh_->err, "");
    size_t triangles = 0;
    std::set<int> used;
    for (const auto& s : mesh_->shapes) {
        triangles += s.mesh.num_face_vertices.size();
        used.insert(s.mesh.material_ids.begin(), s.mesh.material_ids.end());
    }
    EXPECT_EQ(triangles, summary_->triangles);
    EXPECT_EQ(mesh_->shapes.size(), summary_->shapes);
    EXPECT_EQ(mesh_->materials.size(), summary_->materials);
    EXPECT_GE(summary_->triangles, 250000u);
    EXPECT_EQ(used.count(-1), 0u) << "a face has no material";
    EXPECT_EQ(used.size(), mesh_->materials.size()) << "a material is never used";

    const fs::path modelDir = fs::path(path(summary_->objPath)).parent_path();
    int textured = 0;
    for (const auto& m : mesh_->materials) {
        if (m.diffuse_texname.empty()) continue;
        ++textured;
        EXPECT_TRUE(fs::is_regular_file(modelDir / m.diffuse_texname)) << m.name << " -> " << m.diffuse_texname;
    }
    EXPECT_GT(textured, 0);
    for (const std::string& rel : summary_->files) EXPECT_TRUE(fs::is_regular_file(path(rel))) << rel;
}

// The renderer's eye circles the vertical axis 7 units out at height 2 while
// the cube tumbles on that axis: no part of the model may stand in either.
TEST_F(GeneratedAssets, NothingBlocksTheEyeRingOrTheCubesColumn) {
    // Cube: half-size 1, tumbling (reach sqrt 3), from 5.5 above the floor
    // down into the basin. Ring: with room for the near plane at distance 1.
    const double cubeReach = 1.8, cubeTop = 5.5 + 1.8, cubeBottom = -3.45;
    const double ringIn = 5.5, ringOut = 8.5, ringLow = 0.5, ringHigh = 3.5;
    std::set<std::string> inColumn, inRing;
    forEachTriangle(*mesh_, [&](Point a, Point b, Point c, const tinyobj::shape_t& s) {
        const double ylo = std::min({a.y, b.y, c.y}), yhi = std::max({a.y, b.y, c.y});
        const double rin = axisDistance(a, b, c);
        const double rout = std::max({std::hypot(a.x, a.z), std::hypot(b.x, b.z), std::hypot(c.x, c.z)});
        if (yhi > cubeBottom && ylo < cubeTop && rin < cubeReach) inColumn.insert(s.name);
        if (yhi > ringLow && ylo < ringHigh && rin < ringOut && rout > ringIn) inRing.insert(s.name);
    });
    EXPECT_TRUE(inColumn.empty()) << "reaches into the cube's column: " << *inColumn.begin();
    EXPECT_TRUE(inRing.empty()) << "stands in the eye's ring: " << *inRing.begin();
}

TEST_F(GeneratedAssets, SecondRunWritesIdenticalBytes) {
    const std::string other = std::string(DEMO_ASSETS_TEST_DIR) + "/second";
    fs::remove_all(other);
    const DemoAssetSummary again = writeDemoAssets(other);
    ASSERT_TRUE(again.ok) << again.error;
    ASSERT_EQ(again.files, summary_->files);
    for (const std::string& rel : again.files)
        EXPECT_TRUE(readBytes(other + "/" + rel) == readBytes(path(rel))) << rel << " differs between runs";
    fs::remove_all(other);
}

// With --copies 2 the original stays byte for byte at the head of the model,
// the other three courtyards share its materials and textures, and all four
// lie side by side without overlapping, inside the far plane seen from the eye.
TEST_F(GeneratedAssets, TwoByTwoCopiesStandBesideTheUntouchedOriginal) {
    const std::string other = std::string(DEMO_ASSETS_TEST_DIR) + "/copies";
    fs::remove_all(other);
    const DemoAssetSummary grid = writeDemoAssets(other, 2);
    ASSERT_TRUE(grid.ok) << grid.error;
    ASSERT_EQ(grid.files, summary_->files);
    for (const std::string& rel : grid.files) {
        const std::vector<uint8_t> original = readBytes(path(rel)), copied = readBytes(other + "/" + rel);
        if (rel == grid.objPath)
            EXPECT_TRUE(copied.size() > original.size() && std::equal(original.begin(), original.end(), copied.begin()))
                << "the original courtyard changed";
        else
            EXPECT_TRUE(copied == original) << rel;
    }
    Mesh m;
    ASSERT_TRUE(loadMesh(other + "/" + grid.objPath, m)) << m.err;
    size_t triangles = 0;
    for (const auto& s : m.shapes) triangles += s.mesh.num_face_vertices.size();
    EXPECT_EQ(triangles, 4 * summary_->triangles);
    ASSERT_EQ(m.shapes.size(), 4 * summary_->shapes);

    // Bounding boxes of each courtyard (written as a block of shapes) and of all four.
    struct Box {
        double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    } boxes[4], all;
    for (size_t s = 0; s < m.shapes.size(); ++s) {
        for (const auto& i : m.shapes[s].mesh.indices) {
            for (Box* b : {&boxes[s / summary_->shapes], &all}) {
                for (int k = 0; k < 3; ++k) {
                    const double c = m.attrib.vertices[3 * size_t(i.vertex_index) + size_t(k)];
                    b->lo[k] = std::min(b->lo[k], c);
                    b->hi[k] = std::max(b->hi[k], c);
                }
            }
        }
    }
    for (int a = 1; a < 4; ++a) {
        for (int b = 0; b < a; ++b) {
            const bool apart = boxes[a].hi[0] <= boxes[b].lo[0] || boxes[b].hi[0] <= boxes[a].lo[0] ||
                               boxes[a].hi[2] <= boxes[b].lo[2] || boxes[b].hi[2] <= boxes[a].lo[2];
            EXPECT_TRUE(apart) << "courtyards " << a << " and " << b << " overlap";
        }
    }
    // Edge to edge: the four fill a 2 x 2 block with less than a unit between neighbours.
    for (int k : {0, 2}) EXPECT_LT(all.hi[k] - all.lo[k], 2 * (boxes[0].hi[k] - boxes[0].lo[k] + 1)) << k;
    // Inside the far plane (800) from anywhere on the eye's circle, 7 out and 2 up.
    const double across = std::hypot(std::max(-all.lo[0], all.hi[0]), std::max(-all.lo[2], all.hi[2]));
    EXPECT_LT(std::hypot(across + 7, std::max(2 - all.lo[1], all.hi[1] - 2)), 800.0);
    fs::remove_all(other);
}

TEST(GeneratorOptions, CopiesTakeOnlyAWholeNumberFromOneToTheLimit) {
    const struct {
        std::string text;
        int copies;  // 0: refused
    } cases[] = {{"1", 1}, {"2", 2}, {std::to_string(kMaxCopies), kMaxCopies}, {std::to_string(kMaxCopies + 1), 0},
                 {"0", 0}, {"-1", 0}, {"+2", 0}, {" 2", 0}, {"2x", 0}, {"1.5", 0}, {"", 0}, {"4294967298", 0}};
    for (const auto& c : cases) {
        int copies = -7;
        EXPECT_EQ(parseCopies(c.text, copies), c.copies != 0) << "'" << c.text << "'";
        EXPECT_EQ(copies, c.copies != 0 ? c.copies : -7) << "'" << c.text << "'";
    }
}

TEST(GeneratorErrors, ReportsTheFileThatCouldNotBeWrittenOnOneLine) {
    const std::string base = std::string(DEMO_ASSETS_TEST_DIR) + "/errors";
    fs::remove_all(base);
    fs::create_directories(base + "/partial/models");
    // A regular file where the output directory is needed.
    std::ofstream(base + "/not_a_directory") << "x";
    const DemoAssetSummary s = writeDemoAssets(base + "/not_a_directory/out");
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.error.find("not_a_directory"), std::string::npos) << s.error;
    EXPECT_EQ(s.error.find('\n'), std::string::npos) << "one line";
    EXPECT_EQ(s.describe().rfind("error: ", 0), 0u);
    // The model directory is blocked after the top-level files are written.
    std::ofstream(base + "/partial/models/qorvelin-sponza") << "x";
    const DemoAssetSummary p = writeDemoAssets(base + "/partial");
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find("qorvelin-sponza"), std::string::npos) << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line";
    fs::remove_all(base);
}

}  // namespace
