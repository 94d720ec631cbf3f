// Tests for the demo asset generator: the OBJ writer and geometry helpers in
// memory, then the generated files read back with the same libraries the
// renderer uses (stb_image, stb_image_resize, tinyobjloader).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>
#include <tiny_obj_loader.h>

#include "chime.h"
#include "demo_assets.h"
#include "geometry.h"
#include "image.h"
#include "noise.h"
#include "obj_builder.h"
#include "wav_writer.h"

namespace fs = std::filesystem;
using namespace demo_assets;

namespace {

// ---------------------------------------------------------------- helpers

struct Mesh {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    bool ok = false;

    Vec3 pos(const tinyobj::index_t& i) const {
        const auto& v = attrib.vertices;
        return {v[3 * size_t(i.vertex_index)], v[3 * size_t(i.vertex_index) + 1], v[3 * size_t(i.vertex_index) + 2]};
    }
    size_t triangles() const {
        size_t n = 0;
        for (const auto& s : shapes) n += s.mesh.num_face_vertices.size();
        return n;
    }
};

// Parses OBJ text produced by an ObjBuilder; `mtl` supplies the materials.
Mesh parseObjText(const std::string& obj, const std::string& mtl) {
    Mesh m;
    std::istringstream objStream(obj), mtlStream(mtl);
    tinyobj::MaterialStreamReader reader(mtlStream);
    m.ok = tinyobj::LoadObj(&m.attrib, &m.shapes, &m.materials, &m.warn, &m.err, &objStream, &reader, true);
    return m;
}

const char* kTestMtl = "newmtl a\nKd 1 1 1\nnewmtl b\nKd 1 0 0\n";

// Calls f(p0, p1, p2, shape, faceIndex) for every triangle.
template <typename F>
void forEachTriangle(const Mesh& m, F f) {
    for (const auto& s : m.shapes) {
        for (size_t t = 0; t < s.mesh.num_face_vertices.size(); ++t) {
            const auto* idx = &s.mesh.indices[3 * t];
            f(m.pos(idx[0]), m.pos(idx[1]), m.pos(idx[2]), s, t);
        }
    }
}

Vec3 triNormal(Vec3 a, Vec3 b, Vec3 c) { return cross(b - a, c - a); }

// Distance from the origin to a triangle projected onto the xz plane.
double axisDistance(Vec3 a, Vec3 b, Vec3 c) {
    auto cr = [](double ax, double az, double bx, double bz) { return ax * bz - az * bx; };
    double d1 = cr(b.x - a.x, b.z - a.z, -a.x, -a.z), d2 = cr(c.x - b.x, c.z - b.z, -b.x, -b.z),
           d3 = cr(a.x - c.x, a.z - c.z, -c.x, -c.z);
    bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
    if (!(neg && pos)) return 0.0;  // the axis passes through the triangle
    auto seg = [](Vec3 p, Vec3 q) {
        double dx = q.x - p.x, dz = q.z - p.z, l2 = dx * dx + dz * dz;
        double t = l2 > 0 ? std::clamp(-(p.x * dx + p.z * dz) / l2, 0.0, 1.0) : 0.0;
        return std::hypot(p.x + t * dx, p.z + t * dz);
    };
    return std::min({seg(a, b), seg(b, c), seg(c, a)});
}

// Möller-Trumbore; returns the distance along the ray or -1.
double rayHit(Vec3 o, Vec3 d, Vec3 a, Vec3 b, Vec3 c) {
    Vec3 e1 = b - a, e2 = c - a, p = cross(d, e2);
    double det = dot(e1, p);
    if (std::fabs(det) < 1e-12) return -1;
    double inv = 1 / det;
    Vec3 t = o - a;
    double u = dot(t, p) * inv;
    if (u < 0 || u > 1) return -1;
    Vec3 q = cross(t, e1);
    double v = dot(d, q) * inv;
    if (v < 0 || u + v > 1) return -1;
    double dist = dot(e2, q) * inv;
    return dist > 1e-6 ? dist : -1;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string numberText(double v) {
    std::string s;
    appendNumber(s, v);
    return s;
}

// ---------------------------------------------------------------- OBJ writer

TEST(ObjBuilder, FormatsNumbersCompactlyWithoutNegativeZero) {
    EXPECT_EQ(numberText(12.0), "12");
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(-2.25), "-2.25");
    EXPECT_EQ(numberText(0.12345), "0.1235");  // rounded to four decimals
    EXPECT_EQ(numberText(-0.00001), "0");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(-3.00004), "-3");
}

TEST(ObjBuilder, PolygonsShapesAndMidShapeMaterialsParseAsCounted) {
    ObjBuilder b("test.mtl");
    b.beginShape("first", ObjBuilder::Keyword::Object, false);
    b.useMaterial("a");
    emitPolygon(b, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0}, {1, 0}, {0, 1}});
    emitQuad(b, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1});
    b.useMaterial("b");  // switch inside the shape
    std::vector<Vec3> hex;
    std::vector<Vec2> uv;
    for (int i = 0; i < 6; ++i) {
        double a = 2 * kPi * i / 6;
        hex.push_back({5 + std::cos(a), 0, 5 - std::sin(a)});
        uv.push_back({std::cos(a), std::sin(a)});
    }
    emitPolygon(b, hex, uv);
    b.beginShape("empty", ObjBuilder::Keyword::Group, false);  // no faces: not a shape
    b.beginShape("second", ObjBuilder::Keyword::Group, true);
    b.setWantNormals(true);
    b.useMaterial("b");
    emitQuad(b, {0, 2, 0}, {1, 2, 0}, {1, 3, 0}, {0, 3, 0}, {0, 0}, {1, 0}, {1, 1}, {0, 1});
    b.endShape();

    EXPECT_EQ(b.triangleCount(), 1u + 2u + 4u + 2u);
    EXPECT_EQ(b.shapeCount(), 2u);
    EXPECT_EQ(b.polygonCount(), 3u);
    EXPECT_EQ(b.materialsUsed(), (std::set<std::string>{"a", "b"}));

    Mesh m = parseObjText(b.text(), kTestMtl);
    ASSERT_TRUE(m.ok) << m.err;
    EXPECT_EQ(m.warn, "");
    ASSERT_EQ(m.shapes.size(), 2u);
    EXPECT_EQ(m.triangles(), b.triangleCount());
    EXPECT_EQ(m.shapes[0].name, "first");
    EXPECT_EQ(m.shapes[1].name, "second");
    const auto& ids = m.shapes[0].mesh.material_ids;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0), 3);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 1), 4);
    EXPECT_EQ(m.shapes[0].mesh.indices[0].normal_index, -1);
    EXPECT_GE(m.shapes[1].mesh.indices[0].normal_index, 0);
    EXPECT_NE(m.shapes[1].mesh.smoothing_group_ids[0], 0u);
    // Every triangle of the flat polygons faces +z or +y as emitted.
    forEachTriangle(m, [](Vec3 a, Vec3 b2, Vec3 c, const tinyobj::shape_t&, size_t) {
        Vec3 n = triNormal(a, b2, c);
        EXPECT_GT(n.y + n.z, 0.0);
    });
}

TEST(ObjBuilder, RejectsFacesWithoutMaterialOrShape) {
    ObjBuilder b("x.mtl");
    Corner c[3] = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    EXPECT_THROW(b.face(c, 3), std::logic_error);
    b.beginShape("s", ObjBuilder::Keyword::Object, false);
    EXPECT_THROW(b.face(c, 3), std::logic_error);
    b.useMaterial("a");
    EXPECT_THROW(b.face(c, 2), std::logic_error);
    EXPECT_NO_THROW(b.face(c, 3));
}

// ---------------------------------------------------------------- geometry winding

// Builds a single shape with `emit`, parses it back.
template <typename F>
Mesh buildShape(bool normals, F emit) {
    ObjBuilder b("test.mtl");
    b.beginShape("s", ObjBuilder::Keyword::Object, normals);
    b.setWantNormals(normals);
    b.useMaterial("a");
    emit(b);
    b.endShape();
    return parseObjText(b.text(), kTestMtl);
}

// For a convex solid around `centre`: every face looks away from it, and the
// explicit normals (if any) agree with the winding.
void expectOutwardConvex(const Mesh& m, Vec3 centre) {
    ASSERT_TRUE(m.ok) << m.err;
    ASSERT_GT(m.triangles(), 0u);
    forEachTriangle(m, [&](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t& s, size_t t) {
        Vec3 n = triNormal(a, b, c);
        Vec3 mid = (a + b + c) * (1.0 / 3);
        EXPECT_GT(dot(n, mid - centre), 0.0) << "face " << t << " looks inward";
        for (int k = 0; k < 3; ++k) {
            int ni = s.mesh.indices[3 * t + k].normal_index;
            if (ni < 0) continue;
            Vec3 vn{m.attrib.normals[3 * size_t(ni)], m.attrib.normals[3 * size_t(ni) + 1],
                    m.attrib.normals[3 * size_t(ni) + 2]};
            EXPECT_GT(dot(vn, n), 0.0) << "normal disagrees with winding on face " << t;
        }
    });
}

TEST(Geometry, BoxFacesLookOutward) {
    Mesh m = buildShape(true, [](ObjBuilder& b) { emitBox(b, {1, 2, 3}, {2, 4, 3.5}, 1.0, true); });
    EXPECT_EQ(m.triangles(), 12u);
    expectOutwardConvex(m, {1.5, 3, 3.25});
}

TEST(Geometry, ClosedLatheFacesLookOutwardIncludingPoles) {
    // Cylinder with a flat bottom (walked outward) and a top closed to a pole.
    Mesh m = buildShape(true, [](ObjBuilder& b) {
        emitLathe(b, {4, 1, -2}, {{0, 0}, {0.5, 0}, {0.5, 0}, {0.5, 1}, {0.5, 1}, {0, 1}}, 16, 1.0, 1.0);
    });
    expectOutwardConvex(m, {4, 1.5, -2});
    // Cells collapsing at the poles become single triangles, never slivers.
    forEachTriangle(m, [](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
        EXPECT_GT(length(triNormal(a, b, c)), 1e-9);
    });
    // 16 triangles per cap + 32 on the wall.
    EXPECT_EQ(m.triangles(), 16u + 32u + 16u);
}

TEST(Geometry, InnerLatheWallsFaceTheAxis) {
    // Walking down an inner wall shows its inside, as for the basin risers.
    Mesh m = buildShape(false, [](ObjBuilder& b) { emitLathe(b, {0, 0, 0}, {{2, 0}, {2, -1}}, 24, 1.0, 1.0); });
    ASSERT_TRUE(m.ok);
    forEachTriangle(m, [](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
        Vec3 n = triNormal(a, b, c), mid = (a + b + c) * (1.0 / 3);
        EXPECT_LT(n.x * mid.x + n.z * mid.z, 0.0);
    });
}

TEST(Geometry, GridFacingAndDoubleQuadsChooseTheirSides) {
    for (double sign : {1.0, -1.0}) {
        Mesh m = buildShape(false, [&](ObjBuilder& b) {
            emitGridFacing(
                b, 3, 2, [](int i, int j) { return Vec3{double(i), double(j), 0.1 * i * j}; },
                [](int i, int j) { return Vec2{double(i), double(j)}; }, Vec3{0, 0, sign});
        });
        ASSERT_EQ(m.triangles(), 12u);
        forEachTriangle(m, [&](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
            EXPECT_GT(triNormal(a, b, c).z * sign, 0.0);
        });
    }
    Mesh d = buildShape(false, [](ObjBuilder& b) {
        emitDoubleQuad(b, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0}, {1, 0}, {1, 1}, {0, 1});
    });
    int front = 0, back = 0;
    forEachTriangle(d, [&](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
        (triNormal(a, b, c).z > 0 ? front : back)++;
    });
    EXPECT_EQ(front, 2);
    EXPECT_EQ(back, 2);
}

TEST(Geometry, MouldingLooksOutwardWhicheverWayItRuns) {
    for (double dir : {1.0, -1.0}) {
        Mesh m = buildShape(false, [&](ObjBuilder& b) {
            emitMoulding(b, {-dir * 2, 0, 0}, {dir * 2, 0, 0}, {0, 0, 1}, {{0, 0}, {0.2, 0.1}, {0.2, 0.3}, {0, 0.4}}, 2,
                         1.0, 1.0);
        });
        ASSERT_EQ(m.triangles(), 12u);
        forEachTriangle(m, [](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
            Vec3 n = triNormal(a, b, c);
            EXPECT_GT(n.z, -1e-12);  // never faces the wall it is fixed to
            EXPECT_GT(n.z + std::fabs(n.y), 0.0);
        });
    }
}

// ---------------------------------------------------------------- noise and images

TEST(Noise, TileableNoiseRepeatsWithItsPeriodAndStaysInRange) {
    for (int period : {4, 8}) {
        for (double x = -3.3; x < 9; x += 0.37) {
            for (double y = -2.1; y < 9; y += 0.53) {
                double n = tileNoise(x, y, period, 7);
                EXPECT_GE(n, 0.0);
                EXPECT_LE(n, 1.0);
                EXPECT_NEAR(tileNoise(x + period, y, period, 7), n, 1e-12);
                EXPECT_NEAR(tileNoise(x, y - period, period, 7), n, 1e-12);
                EXPECT_NEAR(tileFbm(x + period, y, period, 3, 9), tileFbm(x, y, period, 3, 9), 1e-12);
            }
        }
    }
    // Seeds give different fields; the same seed the same one.
    EXPECT_NE(tileNoise(1.5, 2.5, 8, 1), tileNoise(1.5, 2.5, 8, 2));
    Rng a(42), b(42), c(43);
    for (int i = 0; i < 10; ++i) {
        uint64_t va = a.next();
        EXPECT_EQ(va, b.next());
        EXPECT_NE(va, c.next());
    }
}

TEST(Images, EveryFormatRoundTripsExactlyKeepingAlphaOnlyWhenNeeded) {
    Image opaque(16, 8, rgb(10, 20, 30));
    opaque.fillRect(2, 1, 5, 4, rgb(200, 100, 50));
    Image holes = opaque;
    holes.fillEllipse(12, 4, 3, 3, 0, Rgba{1, 2, 3, 0});
    ASSERT_FALSE(opaque.hasTransparency());
    ASSERT_TRUE(holes.hasTransparency());
    for (ImageFormat f : {ImageFormat::Png, ImageFormat::Tga, ImageFormat::Bmp}) {
        for (const Image* img : {&opaque, &holes}) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(encodeImage(*img, f, bytes)) << formatExtension(f);
            int w = 0, h = 0, n = 0;
            unsigned char* px = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 4);
            ASSERT_NE(px, nullptr) << formatExtension(f);
            EXPECT_EQ(w, 16);
            EXPECT_EQ(h, 8);
            EXPECT_EQ(n, img->hasTransparency() ? 4 : 3) << formatExtension(f);
            EXPECT_TRUE(std::equal(px, px + 16 * 8 * 4, img->pixels().begin())) << formatExtension(f);
            stbi_image_free(px);
        }
    }
}

TEST(Images, ShapesWrapAcrossEdgesOnlyWhenAsked) {
    Image wrapped(32, 32, rgb(0, 0, 0)), clipped(32, 32, rgb(0, 0, 0));
    wrapped.fillEllipse(0, 0, 6, 6, 0, rgb(255, 0, 0));
    clipped.fillEllipse(0, 0, 6, 6, 0, rgb(255, 0, 0), false);
    EXPECT_EQ(wrapped.get(31, 31).r, 255);  // the opposite corner gets the rest
    EXPECT_EQ(clipped.get(31, 31).r, 0);
    EXPECT_EQ(clipped.get(1, 1).r, 255);
    wrapped.fillRect(30, 10, 34, 12, rgb(0, 255, 0));
    EXPECT_EQ(wrapped.get(1, 10).g, 255);
    EXPECT_EQ(wrapped.get(29, 10).g, 0);
    // Even-odd polygon fill samples pixel centres: a 4 x 4 square fills 16.
    Image poly(8, 8, rgb(0, 0, 0));
    poly.fillPolygon({{2, 2}, {6, 2}, {6, 6}, {2, 6}}, rgb(9, 9, 9));
    int filled = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) filled += poly.get(x, y).r == 9;
    EXPECT_EQ(filled, 16);
}

// ---------------------------------------------------------------- sound

TEST(Sound, WavHeaderDescribesSixteenBitPcm) {
    std::vector<float> s = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f};
    std::vector<uint8_t> w = encodeWav16(s, 2, 8000);
    ASSERT_EQ(w.size(), 44u + 12u);
    auto u16 = [&](size_t o) { return unsigned(w[o] | (w[o + 1] << 8)); };
    auto u32 = [&](size_t o) { return u16(o) | (u16(o + 2) << 16); };
    auto i16 = [&](size_t o) { return int16_t(u16(o)); };
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 12u);
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1u);  // PCM
    EXPECT_EQ(u16(22), 2u);
    EXPECT_EQ(u32(24), 8000u);
    EXPECT_EQ(u32(28), 8000u * 4);
    EXPECT_EQ(u16(32), 4u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(std::string(w.begin() + 36, w.begin() + 40), "data");
    EXPECT_EQ(u32(40), 12u);
    EXPECT_EQ(i16(44), 0);
    EXPECT_EQ(i16(46), 16384);
    EXPECT_EQ(i16(48), -16384);
    EXPECT_EQ(i16(50), 32767);
    EXPECT_EQ(i16(52), -32767);
    EXPECT_EQ(i16(54), 32767);  // clamped
}

TEST(Sound, ChimeIsShortAudibleAndClickFree) {
    ChimeSound c = makeStartupChime();
    ASSERT_GT(c.channels, 0);
    const size_t frames = c.samples.size() / size_t(c.channels);
    const double seconds = double(frames) / c.sampleRate;
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 1.5);
    float peak = 0;
    for (float s : c.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LT(peak, 0.99f);  // no clipping
    // Starts from silence and fades out completely.
    for (int ch = 0; ch < c.channels; ++ch) {
        EXPECT_LT(std::fabs(c.samples[size_t(ch)]), 0.01f);
        EXPECT_LT(std::fabs(c.samples[c.samples.size() - size_t(c.channels) + size_t(ch)]), 0.002f);
    }
    // Two notes: the second onset raises the level again after the first decays.
    auto rms = [&](double t0, double t1) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = size_t(t0 * c.sampleRate); i < size_t(t1 * c.sampleRate); ++i, ++n)
            sum += double(c.samples[i * c.channels]) * c.samples[i * c.channels];
        return std::sqrt(sum / double(n));
    };
    EXPECT_GT(rms(0.17, 0.22), rms(0.12, 0.17) * 1.1);
}

// ---------------------------------------------------------------- generated files

class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new std::string(std::string(DEMO_ASSETS_TEST_DIR) + "/first");
        fs::remove_all(*dir_);
        summary_ = new DemoAssetSummary(writeDemoAssets(*dir_));
        if (!summary_->ok) return;
        mesh_ = new Mesh();
        const std::string obj = *dir_ + "/" + summary_->objPath;
        const std::string base = fs::path(obj).parent_path().string() + "/";
        mesh_->ok = tinyobj::LoadObj(&mesh_->attrib, &mesh_->shapes, &mesh_->materials, &mesh_->warn, &mesh_->err,
                                     obj.c_str(), base.c_str(), true);
    }
    static void TearDownTestSuite() {
        delete mesh_;
        delete summary_;
        delete dir_;
        mesh_ = nullptr;
        summary_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(summary_->ok) << summary_->error;
        ASSERT_TRUE(mesh_ && mesh_->ok) << (mesh_ ? mesh_->err : "");
    }
    static std::string path(const std::string& rel) { return *dir_ + "/" + rel; }
    static std::string modelDir() { return fs::path(path(summary_->objPath)).parent_path().string(); }

    static std::string* dir_;
    static DemoAssetSummary* summary_;
    static Mesh* mesh_;
};

std::string* GeneratedAssets::dir_ = nullptr;
DemoAssetSummary* GeneratedAssets::summary_ = nullptr;
Mesh* GeneratedAssets::mesh_ = nullptr;

TEST_F(GeneratedAssets, ExpectedFilesExist) {
    for (const char* rel : {"texture.bmp", "cool.bmp", "bileet3.wav", "models/qorvelin-sponza/sponza.obj",
                            "models/qorvelin-sponza/sponza.mtl"})
        EXPECT_TRUE(fs::is_regular_file(path(rel))) << rel;
    for (const std::string& rel : summary_->files) EXPECT_TRUE(fs::is_regular_file(path(rel))) << rel;
}

TEST_F(GeneratedAssets, EveryImageDecodesAtItsIntendedSize) {
    std::vector<WrittenImage> all = summary_->images;
    all.insert(all.end(), summary_->modelTextures.begin(), summary_->modelTextures.end());
    ASSERT_EQ(summary_->images.size(), 2u);
    for (const WrittenImage& img : all) {
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(path(img.path).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << img.path << ": " << stbi_failure_reason();
        EXPECT_EQ(w, img.width) << img.path;
        EXPECT_EQ(h, img.height) << img.path;
        stbi_image_free(px);
    }
    std::map<std::string, int> formats;
    for (const WrittenImage& t : summary_->modelTextures) {
        EXPECT_GE(t.width, 128) << t.path;
        EXPECT_LE(t.width, 512) << t.path;
        std::vector<uint8_t> head = readBytes(path(t.path));
        ASSERT_GE(head.size(), 18u);
        if (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G') formats["png"]++;
        else if (head[0] == 'B' && head[1] == 'M') formats["bmp"]++;
        else if (head[2] == 2 || head[2] == 10) formats["tga"]++;  // true-colour, raw or RLE
        EXPECT_EQ(fs::path(t.path).extension().string().substr(1),
                  head[0] == 0x89 ? "png" : (head[0] == 'B' ? "bmp" : "tga"))
            << t.path;
    }
    EXPECT_GE(summary_->modelTextures.size(), 15u);
    EXPECT_GT(formats["png"], 0);
    EXPECT_GT(formats["tga"], 0);
    EXPECT_GT(formats["bmp"], 0);
}

TEST_F(GeneratedAssets, CutoutsKeepBroadHolesAfterReductionTo64) {
    int cutouts = 0;
    for (const WrittenImage& t : summary_->modelTextures) {
        int w = 0, h = 0, n = 0;
        unsigned char* px = stbi_load(path(t.path).c_str(), &w, &h, &n, 4);
        ASSERT_NE(px, nullptr) << t.path;
        size_t clear = 0, partial = 0;
        for (size_t i = 3; i < size_t(w) * h * 4; i += 4) {
            clear += px[i] == 0;
            partial += px[i] != 0 && px[i] != 255;
        }
        if (!t.cutout) {
            EXPECT_EQ(clear + partial, 0u) << t.path << " should be opaque";
            stbi_image_free(px);
            continue;
        }
        ++cutouts;
        EXPECT_EQ(partial, 0u) << t.path << " alpha must be 0 or 255";
        EXPECT_GT(clear, size_t(w) * h / 10) << t.path;
        std::vector<unsigned char> small(64 * 64 * 4);
        ASSERT_EQ(stbir_resize_uint8(px, w, h, 0, small.data(), 64, 64, 0, 4), 1);
        stbi_image_free(px);
        size_t smallClear = 0, smallSolid = 0;
        for (size_t i = 3; i < small.size(); i += 4) {
            smallClear += small[i] == 0;
            smallSolid += small[i] >= 128;
        }
        // Holes survive as whole reduced texels, and the pattern itself does too.
        EXPECT_GE(smallClear, 64u * 64u / 20) << t.path;
        EXPECT_GE(smallSolid, 64u * 64u / 5) << t.path;
    }
    EXPECT_GE(cutouts, 3);
}

TEST_F(GeneratedAssets, ObjParsesCleanlyWithTheSummarysCounts) {
    EXPECT_EQ(mesh_->warn, "");
    EXPECT_EQ(mesh_->err, "");
    EXPECT_EQ(mesh_->triangles(), summary_->triangles);
    EXPECT_EQ(mesh_->shapes.size(), summary_->shapes);
    EXPECT_EQ(mesh_->materials.size(), summary_->materials);
    EXPECT_EQ(mesh_->attrib.vertices.size() / 3, summary_->positions);
    EXPECT_EQ(mesh_->attrib.texcoords.size() / 2, summary_->texcoords);
    EXPECT_EQ(mesh_->attrib.normals.size() / 3, summary_->normals);
    EXPECT_GE(summary_->triangles, 250000u);
    EXPECT_GE(summary_->materials, 20u);
}

TEST_F(GeneratedAssets, MaterialsResolveTexturesAndAreAllUsed) {
    std::set<std::string> written, referenced;
    for (const WrittenImage& t : summary_->modelTextures) written.insert(fs::path(t.path).lexically_normal().string());
    int untextured = 0;
    for (const auto& m : mesh_->materials) {
        if (m.diffuse_texname.empty()) {
            ++untextured;
            continue;
        }
        const fs::path file = fs::path(modelDir()) / m.diffuse_texname;
        EXPECT_TRUE(fs::is_regular_file(file)) << m.name << " -> " << m.diffuse_texname;
        EXPECT_NE(m.diffuse_texname.find('/'), std::string::npos) << "textures live in a subfolder";
        referenced.insert(fs::relative(file, *dir_).lexically_normal().string());
    }
    EXPECT_EQ(referenced, written) << "every texture file is used by exactly the materials' map_Kd";
    EXPECT_GE(untextured, 1) << "one material exercises the default texture";

    std::set<int> used;
    for (const auto& s : mesh_->shapes) used.insert(s.mesh.material_ids.begin(), s.mesh.material_ids.end());
    EXPECT_EQ(used.count(-1), 0u) << "a face has no material";
    EXPECT_EQ(used.size(), mesh_->materials.size()) << "a material is never used";
}

TEST_F(GeneratedAssets, ObjExercisesTheLoadersFeatures) {
    int withNormals = 0, smoothWithoutNormals = 0, multiMaterial = 0;
    for (const auto& s : mesh_->shapes) {
        const auto& ix = s.mesh.indices;
        bool normals = std::all_of(ix.begin(), ix.end(), [](const tinyobj::index_t& i) { return i.normal_index >= 0; });
        bool none = std::all_of(ix.begin(), ix.end(), [](const tinyobj::index_t& i) { return i.normal_index < 0; });
        EXPECT_TRUE(normals || none) << s.name << " mixes faces with and without normals";
        withNormals += normals;
        if (none && !s.mesh.smoothing_group_ids.empty() && s.mesh.smoothing_group_ids[0] != 0) ++smoothWithoutNormals;
        std::set<int> ids(s.mesh.material_ids.begin(), s.mesh.material_ids.end());
        multiMaterial += ids.size() > 1;
    }
    EXPECT_GT(withNormals, 0);
    EXPECT_GT(smoothWithoutNormals, 0);
    EXPECT_GT(multiMaterial, 0);

    double maxUv = 0;
    for (float t : mesh_->attrib.texcoords) maxUv = std::max(maxUv, double(t));
    EXPECT_GE(maxUv, 19.9) << "the floor repeats its texture about 20 times";

    // Read the text for what triangulation hides: quads, larger polygons, o and g.
    std::ifstream in(path(summary_->objPath));
    std::string line;
    int quads = 0, larger = 0, objects = 0, groups = 0;
    while (std::getline(in, line)) {
        if (line.rfind("o ", 0) == 0) ++objects;
        if (line.rfind("g ", 0) == 0) ++groups;
        if (line.rfind("f ", 0) != 0) continue;
        int corners = int(std::count(line.begin(), line.end(), ' '));
        quads += corners == 4;
        larger += corners > 4;
    }
    EXPECT_GT(quads, 1000);
    EXPECT_GT(larger, 10);
    EXPECT_EQ(size_t(quads + larger), summary_->polygons);
    EXPECT_GT(objects, 0);
    EXPECT_GT(groups, 0);
}

// ---------------------------------------------------------------- placement for the fixed camera
//
// The renderer draws the model with translate(0,-2,-7) * rotateY(2 + 3 pi + 0.1 t)
// for t in [1, 30]: the eye circles the vertical axis 7 units out at height 2.

Vec3 eyeAt(double t) {
    double th = 2.0 + 3 * kPi + 0.1 * t;
    return {-7 * std::sin(th), 2.0, 7 * std::cos(th)};
}

TEST_F(GeneratedAssets, FloorIsAtZeroAndTheSceneFitsItsBounds) {
    Vec3 lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    for (size_t i = 0; i < mesh_->attrib.vertices.size(); i += 3) {
        Vec3 p{mesh_->attrib.vertices[i], mesh_->attrib.vertices[i + 1], mesh_->attrib.vertices[i + 2]};
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    EXPECT_GT(lo.y, -4.5);
    EXPECT_LT(hi.y, 12.0);
    EXPECT_LT(hi.x, 30.0);
    EXPECT_GT(lo.x, -30.0);
    EXPECT_LT(hi.z, 30.0);
    EXPECT_GT(lo.z, -30.0);
    for (const auto& s : mesh_->shapes) {
        if (s.name != "court_floor") continue;
        for (const auto& i : s.mesh.indices) EXPECT_EQ(mesh_->pos(i).y, 0.0);
    }
}

TEST_F(GeneratedAssets, NothingBlocksTheEyeRingOrTheCubesColumn) {
    // The cube (half-size 1, tumbling: reach sqrt 3) floats on the axis from
    // 5.5 above the floor down into the basin.
    const double cubeReach = 1.8, cubeTop = 5.5 + 1.8, cubeBottom = -3.45;
    // The eye ring, with room for the near plane at distance 1.
    const double ringIn = 5.5, ringOut = 8.5, ringLow = 0.5, ringHigh = 3.5;
    size_t inColumn = 0, inRing = 0;
    forEachTriangle(*mesh_, [&](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t& s, size_t) {
        double ylo = std::min({a.y, b.y, c.y}), yhi = std::max({a.y, b.y, c.y});
        double rin = axisDistance(a, b, c);
        double rout = std::max({std::hypot(a.x, a.z), std::hypot(b.x, b.z), std::hypot(c.x, c.z)});
        if (yhi > cubeBottom && ylo < cubeTop && rin < cubeReach) {
            ++inColumn;
            ADD_FAILURE_AT(__FILE__, __LINE__) << s.name << " reaches into the cube's column";
        }
        if (yhi > ringLow && ylo < ringHigh && rin < ringOut && rout > ringIn && inRing++ == 0)
            ADD_FAILURE_AT(__FILE__, __LINE__) << s.name << " stands in the eye's ring";
    });
    EXPECT_EQ(inColumn, 0u);
    EXPECT_EQ(inRing, 0u);
}

// Nearest hit of a ray against the whole model, or -1.
double castRay(const Mesh& m, Vec3 o, Vec3 d) {
    double best = -1;
    forEachTriangle(m, [&](Vec3 a, Vec3 b, Vec3 c, const tinyobj::shape_t&, size_t) {
        double h = rayHit(o, d, a, b, c);
        if (h > 0 && (best < 0 || h < best)) best = h;
    });
    return best;
}

TEST_F(GeneratedAssets, EveryFrameShowsSkyFloorAndArcades) {
    const double tanHalf = std::tan(22.5 * kPi / 180);
    for (double t = 1.0; t <= 30.0; t += 29.0 / 6) {
        const Vec3 eye = eyeAt(t);
        const Vec3 fwd = normalize(Vec3{-eye.x, 0, -eye.z});
        auto dir = [&](double up) { return normalize(fwd + Vec3{0, up * tanHalf, 0}); };
        // Near the top edge of the picture the sky shows (nothing is hit).
        EXPECT_LT(castRay(*mesh_, eye, dir(0.95)), 0.0) << "no sky at t=" << t;
        // Just above the horizon: the ground arcade and its gallery, far
        // enough not to fill the view.
        double wall = castRay(*mesh_, eye, dir(0.1));
        EXPECT_GT(wall, 10.0) << "t=" << t;
        // Below the horizon: floor (or the basin's steps) within the court.
        double floorHit = castRay(*mesh_, eye, dir(-0.3));
        ASSERT_GT(floorHit, 0.0) << "t=" << t;
        Vec3 p = eye + dir(-0.3) * floorHit;
        EXPECT_LE(p.y, 1e-6) << "t=" << t;
    }
}

// ---------------------------------------------------------------- determinism and errors

TEST_F(GeneratedAssets, SecondRunWritesIdenticalBytes) {
    const std::string other = std::string(DEMO_ASSETS_TEST_DIR) + "/second";
    fs::remove_all(other);
    DemoAssetSummary again = writeDemoAssets(other);
    ASSERT_TRUE(again.ok) << again.error;
    ASSERT_EQ(again.files, summary_->files);
    EXPECT_EQ(again.triangles, summary_->triangles);
    for (const std::string& rel : again.files)
        EXPECT_TRUE(readBytes(other + "/" + rel) == readBytes(path(rel))) << rel << " differs between runs";
    fs::remove_all(other);
}

TEST(GeneratorErrors, ReportsTheFileThatCouldNotBeWritten) {
    const std::string base = std::string(DEMO_ASSETS_TEST_DIR) + "/errors";
    fs::remove_all(base);
    fs::create_directories(base);
    // A regular file where a directory is needed.
    const std::string blocker = base + "/not_a_directory";
    std::ofstream(blocker) << "x";
    DemoAssetSummary s = writeDemoAssets(blocker + "/out");
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.error.find("not_a_directory"), std::string::npos) << s.error;
    EXPECT_EQ(s.describe().rfind("error: ", 0), 0u);
    EXPECT_EQ(s.error.find('\n'), std::string::npos) << "one line";

    // The model directory is blocked after the top-level files are written.
    const std::string out = base + "/partial";
    fs::create_directories(out + "/models");
    std::ofstream(out + "/models/qorvelin-sponza") << "x";
    DemoAssetSummary p = writeDemoAssets(out);
    EXPECT_FALSE(p.ok);
    EXPECT_NE(p.error.find("qorvelin-sponza"), std::string::npos) << p.error;
    fs::remove_all(base);
}

}  // namespace
