// Every render path the processor supports draws the same frames as the
// reference path: framebuffer and depth buffer, byte for byte, over the
// 30-second animation, with and without the depth view.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "assets/texture.h"
#include "pipeline/draw_calls.h"
#include "pipeline/fast_scan.h"
#include "pipeline/framebuffer.h"
#include "pipeline/rasterizer.h"

#include "../demo_scene.h"

#ifndef FRAMES_PER_SCENE
#define FRAMES_PER_SCENE 12
#endif

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

struct Frame {
    std::vector<uint32_t> pixels, depth;
};

// The framebuffer and the depth buffer as they are now.
Frame currentFrame() {
    const size_t n = static_cast<size_t>(frameWidth) * frameHeight;
    const RenderContext& rc = renderContext;
    return {{rc.framebufferPixels, rc.framebufferPixels + n}, {rc.zbuffer.buffer, rc.zbuffer.buffer + n}};
}

// How many cells differ and where the first one is, rather than both images.
std::string difference(const std::vector<uint32_t>& want, const std::vector<uint32_t>& got) {
    const size_t first = static_cast<size_t>(std::mismatch(want.begin(), want.end(), got.begin()).first - want.begin());
    if (first == want.size()) return "";
    size_t differing = 0;
    for (size_t i = 0; i < want.size(); ++i) differing += want[i] != got[i];
    return std::to_string(differing) + " cells, first at (" + std::to_string(first % frameWidth) + ", " +
           std::to_string(first / frameWidth) + "): reference " + std::to_string(want[first]) + ", got " +
           std::to_string(got[first]);
}

// Renders the installed scene on every path at FRAMES_PER_SCENE times spread
// over [1, 30] and compares each frame with the reference path's.
void expectEveryPathDrawsLikeTheReference() {
    enableFlushToZero();
    std::vector<RenderPath> paths;
    for (RenderPath path : allRenderPaths) {
        if (path == RenderPath::reference) continue;
        if (renderPathSupported(path))
            paths.push_back(path);
        else
            std::printf("path %s: not supported by this processor, skipped\n", renderPathName(path));
    }
    if (paths.empty()) GTEST_SKIP() << "this processor supports no path besides the reference";

    size_t litFrames = 0;
    for (int i = 0; i < FRAMES_PER_SCENE; ++i) {
        const double t = 1.0 + 29.0 * i / (FRAMES_PER_SCENE - 1);
        for (const bool depthView : {false, true}) {
            demo_scene::drawFrame(RenderPath::reference, t, depthView);
            const Frame want = currentFrame();
            litFrames += std::count(want.depth.begin(), want.depth.end(), 0u) != static_cast<long>(want.depth.size());
            for (RenderPath path : paths) {
                demo_scene::drawFrame(path, t, depthView);
                const Frame got = currentFrame();
                SCOPED_TRACE(::testing::Message()
                             << renderPathName(path) << " at t = " << t << (depthView ? " with the depth view" : ""));
                EXPECT_EQ(difference(want.pixels, got.pixels), "") << "pixels";
                EXPECT_EQ(difference(want.depth, got.depth), "") << "depth";
            }
        }
    }
    // A scene that draws nothing would prove nothing.
    EXPECT_EQ(litFrames, static_cast<size_t>(2 * FRAMES_PER_SCENE));
    setRenderPath(fastestRenderPath());
}

// Random texels; with `holes`, one in five has alpha 0 and one in five alpha
// 0x80.
Texture* makeTexture(int32_t w, int32_t h, uint32_t seed, bool holes) {
    std::mt19937 random(seed);
    Texture* tex = newTexture(w, h);
    uint8_t* data = tex->data;
    for (int32_t i = 0; i < w * h; ++i) {
        const uint32_t bits = random(), kind = (bits >> 24) % 5;
        for (int k = 0; k < 3; ++k) data[4 * i + k] = (bits >> 8 * k) & 0xFF;
        data[4 * i + 3] = !holes ? 255 : kind == 0 ? 0 : kind == 1 ? 0x80 : 255;
    }
    return tex;
}

Vertex corner(float x, float y, float z, float u, float v) { return Vertex{{x, y, z}, {}, {}, {u, v}}; }

// `count` triangles around the model origin, which the eye circles at a
// distance of about 7: sizes from a hundredth of a pixel to far wider than
// the view (so some are dropped, many clipped, most drawn), either winding,
// texture coordinates from -40 to 40. With `awkward`, one coordinate in four
// is one that the vector texel fetch hands to Texture::sample instead.
void addTriangles(std::vector<Vertex>& mesh, std::mt19937& random, int count, bool awkward) {
    const float special[] = {notANumber, inf, -inf, 3.0e9f, -3.0e9f, 1.0e38f, -1.0e-40f, -0.0f, -1.0f, 1.0f, 0.999999f};
    std::uniform_int_distribution<int> pick(0, sizeof special / sizeof special[0] - 1);
    std::uniform_real_distribution<float> centre(-12.0f, 12.0f), height(-3.0f, 9.0f), unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> logSize(std::log(0.003f), std::log(30.0f)), offset(-30.0f, 30.0f);
    const auto coordinate = [&](float base, float scale) {
        return awkward && (random() & 3) == 0 ? special[pick(random)] : base + scale * unit(random);
    };
    for (int i = 0; i < count; ++i) {
        const float cx = centre(random), cy = height(random), cz = centre(random), size = std::exp(logSize(random));
        const float u0 = offset(random), v0 = offset(random), uvScale = 1.0f + 9.0f * (unit(random) + 1.0f);
        for (int k = 0; k < 3; ++k) {
            mesh.push_back(corner(cx + size * unit(random), cy + size * unit(random), cz + size * unit(random),
                                  coordinate(u0, uvScale), coordinate(v0, uvScale)));
        }
    }
}

// Clusters of 20 small triangles (so runs straddle clusters too) at
// distances from the model origin between `near` and `far`, in all
// directions: beside, behind and beyond the view volume, across its planes,
// and with `farBand` a third of them where they cross the far plane. Most
// runs can be left out whole; the others are drawn triangle by triangle.
void addClusters(std::vector<Vertex>& mesh, std::mt19937& random, int count, float near, float far, bool farBand) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f), logRadius(std::log(near), std::log(far));
    std::uniform_real_distribution<float> band(785.0f, 805.0f), logSpread(std::log(0.001f), std::log(3.0f));
    for (int i = 0; i < count; ++i) {
        glm::vec3 direction(unit(random), unit(random), unit(random));
        direction /= glm::length(direction) + 1e-6f;
        const glm::vec3 centre = direction * (farBand && i % 3 == 0 ? band(random) : std::exp(logRadius(random)));
        const float spread = std::exp(logSpread(random));
        for (int k = 0; k < 60; ++k) {
            mesh.push_back(corner(centre.x + spread * unit(random), centre.y + spread * unit(random),
                                  centre.z + spread * unit(random), unit(random), unit(random)));
        }
    }
}

// A model built in memory: three textures (one with holes, one whose size is
// not a power of two, one wide strip); the scatter over them, the awkward
// coordinates, corners at non-finite and denormal positions, a quad drawn
// twice on the same plane (the first drawn must keep the pixels), tall
// slivers, clusters around and across the view volume's planes (one with an
// infinite corner far outside), and meshes whose sizes leave partial batches,
// partial runs and a stray record.
Model* syntheticModel() {
    Model* model = new Model{};
    for (const auto& [name, texture] : {std::pair{"holes", makeTexture(64, 64, 1, true)},
                                        {"odd-size", makeTexture(48, 20, 2, true)},
                                        {"strip", makeTexture(256, 4, 3, false)}}) {
        model->textures[name] = texture;
        model->materials.emplace_back().diffuse_texname = name;
    }
    std::mt19937 random(20240611);
    std::vector<Vertex> scatterA, scatterB, scatterC, awkward, odd, tie, tieAgain, slivers, clusters;
    addTriangles(scatterA, random, 2501, false);
    addTriangles(scatterB, random, 603, false);
    addTriangles(scatterC, random, 299, false);
    addTriangles(awkward, random, 400, true);

    const float strange[] = {notANumber, inf, -inf, 1.0e30f, -1.0e30f, 1.0e-40f, -0.0f};
    for (float s : strange) {
        odd.insert(odd.end(), {corner(s, 1, 0, 0, 0), corner(1, s, 1, 1, 0), corner(0, 2, 0.5f, 0.5f, 1)});
    }
    odd.push_back(corner(0, 0, 0, 0, 0));  // left over after the last triangle

    for (std::vector<Vertex>* mesh : {&tie, &tieAgain}) {
        const Vertex a = corner(-3, 0, -3, 0, 0), b = corner(3, 0, -3, 4, 0), c = corner(3, 0, 3, 4, 4),
                     d = corner(-3, 0, 3, 0, 4);
        *mesh = {a, b, c, a, c, d, a, c, b, a, d, c};
    }
    // Slivers a few pixels wide and hundreds of rows tall, both windings:
    // boxes of one group per row, more rows than the pixel loop queues at once.
    for (int i = 0; i < 24; ++i) {
        const float x = -6.0f + 0.5f * static_cast<float>(i), width = 0.004f * static_cast<float>(1 + i % 12);
        const float z = i % 3 == 0 ? -2.0f : 2.0f, top = 2.0f + 0.25f * static_cast<float>(i % 5);
        const Vertex a = corner(x, -3.0f, z, 0, 0), b = corner(x + width, -3.0f, z, 1, 0), c = corner(x, top, z, 0, 9);
        slivers.insert(slivers.end(), {a, i % 2 == 0 ? b : c, i % 2 == 0 ? c : b});
    }
    addClusters(clusters, random, 300, 0.5f, 1500.0f, true);
    addClusters(clusters, random, 1, 2000.0f, 2001.0f, false);
    clusters.back().position[2] = inf;  // in a cluster beyond the far plane
    const std::pair<std::vector<Vertex>*, int32_t> meshes[] = {
        {&scatterA, 0}, {&awkward, 0},  {&odd, -1},     {&tie, 1},     {&tieAgain, 2},
        {&clusters, 1}, {&scatterB, 1}, {&scatterC, 2}, {&slivers, 0},
    };
    for (const auto& [records, material] : meshes) model->meshes.push_back(makeMesh(*records, material));
    resolveMeshTextures(*model);
    return model;
}

// Screen-space triangles of the sizes and places the vector scan treats
// apart, `count` per family: {smallest, largest size in pixels, thinness
// (the third corner's distance from the first edge, as a share of the size),
// where the centres lie (0: anywhere around the frame, 1: near its
// bottom-right corner, 2: along its right or bottom edge, 3: four at a time
// piled up within a few pixels of one point, overlapping), whether corners sit
// on whole pixels (edges through sample points), whether every corner lies at
// the deepest usable z/w (the interpolated depths then come within a few
// roundings of 1)}.
constexpr size_t shapesPerFamily = 600;  // each drawn in both windings

std::vector<Vertex> screenTriangles(std::vector<ScreenPosition>& at) {
    struct Family {
        float minSize, maxSize, thinness;
        int place;
        bool whole, deepest;
    };
    const Family families[] = {{0.2f, 9.0f, 1.0f, 0, false, false},       {0.5f, 9.0f, 1.0f, 1, true, false},
                               {8.0f, 300.0f, 1.0f, 0, true, false},      {8.0f, 300.0f, 0.01f, 0, false, false},
                               {2.0f, 40.0f, 0.02f, 1, false, false},     {600.0f, 3000.0f, 1.0f, 0, false, false},
                               {0.5f, 3500.0f, 1.0e-4f, 0, false, false}, {4.0f, 200.0f, 0.002f, 1, true, false},
                               {4.0f, 12.0f, 0.2f, 2, false, false},      {0.2f, 9.0f, 1.0f, 0, false, true},
                               {2.0f, 40.0f, 0.05f, 0, true, true},       {1.0f, 2.5f, 1.0f, 3, false, false}};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Vertex> corners;
    float pileX = 0.0f, pileY = 0.0f;
    for (const Family& f : families) {
        for (size_t i = 0; i < shapesPerFamily; ++i) {
            const bool piled = f.place == 3;
            if (piled && i % 4 == 0) pileX = 640.0f * unit(random), pileY = 480.0f * unit(random);
            const float size = f.minSize * std::pow(f.maxSize / f.minSize, unit(random));
            const float angle = 6.2832f * unit(random);
            const bool alongRight = f.place == 1 || (f.place == 2 && i % 2 == 0);
            const bool alongBottom = f.place == 1 || (f.place == 2 && i % 2 == 1);
            const float cx = piled        ? pileX + 2.0f * unit(random)
                             : alongRight ? 640.0f - 12.0f * unit(random)
                                          : -60.0f + 760.0f * unit(random);
            const float cy = piled         ? pileY + 2.0f * unit(random)
                             : alongBottom ? 480.0f - 12.0f * unit(random)
                                           : -60.0f + 600.0f * unit(random);
            const float dx = size * std::cos(angle), dy = size * std::sin(angle), side = f.thinness * size;
            const float x[3] = {cx - dx, cx + dx, cx + side * (unit(random) - 0.5f) - dy * f.thinness};
            const float y[3] = {cy - dy, cy + dy, cy + side * (unit(random) - 0.5f) + dx * f.thinness};
            // Deepest corners: w a power of two, so that z / w is exactly the limit.
            const float w = f.deepest ? std::ldexp(1.0f, static_cast<int>(i % 3) - 1) : 0.5f + 3.0f * unit(random);
            ScreenPosition p[3];
            Vertex v[3];
            for (int c = 0; c < 3; ++c) {
                const float z = f.deepest ? w * maxCornerDepth : w * 0.9998f * unit(random);
                p[c] = {f.whole ? std::round(x[c]) : x[c], f.whole ? std::round(y[c]) : y[c], z, w};
                v[c] = corner(0, 0, 0, 40.0f * unit(random) - 20.0f, 40.0f * unit(random) - 20.0f);
            }
            for (int c : {0, 1, 2, 0, 2, 1}) {  // both windings
                at.push_back(p[c]);
                corners.push_back(v[c]);
            }
        }
    }
    return corners;
}

// Each test runs in a process of its own (see CMakeLists.txt); what it loads
// stays reachable from the render context until the process ends.
std::vector<uint8_t> framebuffer;

// fillTriangle's counterpart on the vector scan: the triangle queued and
// drawn at once.
void fillTriangleAvx2(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                      ScreenPosition p1, ScreenPosition p2) {
    queueTriangleAvx2(vertex0, vertex1, vertex2, p0, p1, p2);
    drawQueuedTrianglesAvx2();
}

// The installed model alone under the given matrices, on `path`.
Frame drawModelUnder(RenderPath path, const glm::mat4& model, const glm::mat4& projection) {
    EXPECT_TRUE(setRenderPath(path));
    clearFramebuffer();
    renderContext.zbuffer.clear();
    renderContext.modelMatrix = model;
    renderContext.projection = projection;
    renderContext.currentTexture = renderContext.defaultTexture;
    drawModel();
    return currentFrame();
}

}  // namespace

TEST(RenderPaths, syntheticSceneIsTheSameOnEveryPath) {
    createSurfaces(framebuffer, frameWidth, frameHeight);
    renderContext.defaultTexture = makeTexture(16, 16, 4, false);
    renderContext.cubeTexture = makeTexture(24, 24, 5, true);
    Model* model = renderContext.sceneModel = syntheticModel();
    expectEveryPathDrawsLikeTheReference();
    // The vertex stage shortens its sums for affine models under perspective
    // projections; other matrices take the full ones, in runs proven inside
    // the view volume too. A heap of small triangles in front of the eye,
    // whose runs are proven inside, is drawn under both kinds.
    if (renderPathSupported(RenderPath::avx2)) {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::vector<Vertex> heap;
        for (int i = 0; i < 640; ++i) {
            const float x = 1.5f * unit(random), y = 2.0f + 1.5f * unit(random), z = 1.5f * unit(random);
            const float size = 0.02f + 0.3f * (unit(random) + 1.0f);
            for (int k = 0; k < 3; ++k) {
                heap.push_back(corner(x + size * unit(random), y + size * unit(random), z + size * unit(random),
                                      8.0f * unit(random), 8.0f * unit(random)));
            }
        }
        Model heapModel{};
        heapModel.meshes = {makeMesh(heap, 0)};
        renderContext.sceneModel = &heapModel;
        const glm::mat4 view = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -2.0f, -7.0f));
        const glm::mat4 perspective = sceneProjection(frameWidth, frameHeight);
        glm::mat4 projective = view, sheared = perspective;
        projective[0][3] = 0.01f;  // a last row other than (0, 0, 0, 1)
        sheared[1][0] = 0.1f;
        for (const auto& [m, p] :
             {std::pair{view, perspective}, std::pair{projective, perspective}, std::pair{view, sheared}}) {
            const Frame want = drawModelUnder(RenderPath::reference, m, p);
            const Frame got = drawModelUnder(RenderPath::avx2, m, p);
            EXPECT_EQ(difference(want.pixels, got.pixels), "") << "pixels";
            EXPECT_EQ(difference(want.depth, got.depth), "") << "depth";
            EXPECT_GT(std::count_if(want.depth.begin(), want.depth.end(), [](uint32_t d) { return d != 0; }), 10000);
        }
        renderContext.sceneModel = model;
        setRenderPath(fastestRenderPath());
    }
    // Clusters that stay beyond the far plane all the time: every run left out.
    std::mt19937 random(7);
    std::vector<Vertex> clusters;
    addClusters(clusters, random, 100, 900.0f, 1.0e6f, false);
    model->meshes = {makeMesh(clusters, 0)};
    resolveMeshTextures(*model);
    expectEveryPathDrawsLikeTheReference();
}

TEST(RenderPaths, demoSceneIsTheSameOnEveryPath) {
    if (!demo_scene::load()) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    expectEveryPathDrawsLikeTheReference();
}

TEST(RenderPaths, screenTrianglesAreTheSameOnEveryPath) {
    if (!renderPathSupported(RenderPath::avx2)) GTEST_SKIP() << "this processor has no AVX2";
    enableFlushToZero();
    createSurfaces(framebuffer, frameWidth, frameHeight);
    renderContext.currentTexture = makeTexture(64, 64, 6, true);
    std::vector<ScreenPosition> at;
    const std::vector<Vertex> corners = screenTriangles(at);
    // The reference one by one; the vector scan takes batches of eight in
    // turn: two queued one by one, one queued eight at a time (joining those
    // still waiting) and one drawn one by one. Each family is drawn on
    // cleared surfaces, so that no family hides another's faults. Every
    // seventh triangle is left out, so that the queue's batches do not line
    // up with those handed over, and so are triangles with a corner at or
    // below row `bottom`.
    const size_t familyCorners = 3 * 2 * shapesPerFamily;
    const auto draw = [&](bool vector, size_t family, float bottom) {
        clearFramebuffer();
        renderContext.zbuffer.clear();
        const auto drawn = [&](size_t j) {
            return j / 3 % 7 != 6 && std::max({at[j].y, at[j + 1].y, at[j + 2].y}) < bottom;
        };
        for (size_t first = family * familyCorners; first < (family + 1) * familyCorners; first += 3 * laneCount) {
            ScreenTriangles batch{};
            unsigned lanes = 0;
            for (size_t k = 0, j = first; k < laneCount && j < corners.size(); ++k, j += 3) {
                if (drawn(j)) lanes |= 1u << k;
                for (int c = 0; c < 3; ++c) {
                    batch.x[c][k] = at[j + c].x, batch.y[c][k] = at[j + c].y;
                    batch.z[c][k] = at[j + c].z, batch.w[c][k] = at[j + c].w;
                    batch.u[c][k] = corners[j + c].texcoord[0], batch.v[c][k] = corners[j + c].texcoord[1];
                }
            }
            const size_t turn = first / (3 * laneCount) % 4;
            const bool together = vector && turn == 2;
            if (together) queueTrianglesAvx2(batch, lanes);
            const TriangleSink fill = !vector ? fillTriangle : turn < 2 ? queueTriangleAvx2 : fillTriangleAvx2;
            for (size_t j = first; !together && j < first + 3 * laneCount && j < corners.size(); j += 3) {
                if (drawn(j)) fill(corners[j], corners[j + 1], corners[j + 2], at[j], at[j + 1], at[j + 2]);
            }
        }
        if (vector) drawQueuedTrianglesAvx2();
        return currentFrame();
    };
    const auto expectSame = [&](size_t family, float bottom) {
        const Frame want = draw(false, family, bottom), got = draw(true, family, bottom);
        EXPECT_EQ(difference(want.pixels, got.pixels), "") << "pixels, family " << family;
        EXPECT_EQ(difference(want.depth, got.depth), "") << "depth, family " << family;
    };
    for (size_t family = 0; family < corners.size() / familyCorners; ++family) {
        expectSame(family, std::numeric_limits<float>::infinity());
    }
    // A depth buffer a row short of the framebuffer: the vector scan hands
    // every triangle to scanTriangle, with the attributes of its lane.
    renderContext.zbuffer.h = frameHeight - 1;
    for (const size_t family : {0, 2, 3}) expectSame(family, frameHeight - 8);
}

// A triangle with corners half a million pixels off the frame: its edge
// values wrap in 32 bits, the depths interpolated from them leave [0, 1), and
// every path stops the process with the reference's message.
TEST(RenderPaths, wrappingTriangleStopsEveryPathAlike) {
    if (!renderPathSupported(RenderPath::avx2)) GTEST_SKIP() << "this processor has no AVX2";
    createSurfaces(framebuffer, frameWidth, frameHeight);
    renderContext.currentTexture = makeTexture(64, 64, 6, true);
    const ScreenPosition p0{0x1.7ca624p+10f, -0x1.607b92p+19f, 0.5f, 1.0f},
        p1{-0x1.eb15b2p+9f, 0x1.60e94ap+19f, 0.5f, 1.0f}, p2{0x1.0db66ep+8f, 0x1.b6df82p+8f, 0.5f, 1.0f};
    const Vertex v{};
    for (const TriangleSink fill : {fillTriangle, fillTriangleAvx2}) {
        EXPECT_DEATH(fill(v, v, v, p0, p1, p2), "^Assertion failed: zf < 1.0f, file zbuffer\n");
    }
}
