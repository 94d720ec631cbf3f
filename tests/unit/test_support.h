#pragma once

// Shared helpers for the unit tests: a 640 x 480 render context, hand-made
// textures, a recorder for what vertex processing emits, and scratch files.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/startup.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"
#include "pipeline/vertex_processing.h"

namespace testing_support {

// A texture built in memory.
inline Texture* makeTexture(int32_t w, int32_t h, uint32_t (*rgba)(int32_t x, int32_t y)) {
    Texture* tex = newTexture(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t c = rgba(x, y);  // 0xRRGGBBAA
            for (int k = 0; k < 4; ++k) tex->data[(static_cast<size_t>(y) * w + x) * 4 + k] = c >> (24 - 8 * k);
        }
    }
    return tex;
}


// Opaque texel whose red, green and blue bytes hold the column number.
inline uint32_t columnTexel(int32_t x, int32_t) { return static_cast<uint32_t>(x) << 8 | 0xFFu; }

inline glm::vec3 positionOf(const Vertex& v) { return {v.position[0], v.position[1], v.position[2]}; }
inline glm::vec3 normalOf(const Vertex& v) { return {v.normal[0], v.normal[1], v.normal[2]}; }
inline glm::vec2 texcoordOf(const Vertex& v) { return {v.texcoord[0], v.texcoord[1]}; }
inline glm::ivec4 colorOf(const Vertex& v) { return {v.color[0], v.color[1], v.color[2], v.color[3]}; }

inline ::testing::AssertionResult contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << part << "\" not found in:\n" << text;
}

// One triangle as vertex processing handed it on.
struct EmittedTriangle {
    Vertex v[3];
    const Vertex* address[3];
    ScreenPosition p[3];
    const Texture* texture;
};

inline std::vector<EmittedTriangle>& emitted() {
    static std::vector<EmittedTriangle> triangles;
    return triangles;
}

inline void recordTriangle(const Vertex& a, const Vertex& b, const Vertex& c, ScreenPosition pa, ScreenPosition pb,
                           ScreenPosition pc) {
    emitted().push_back({{a, b, c}, {&a, &b, &c}, {pa, pb, pc}, renderContext.currentTexture});
}

// Gives every test a cleared 640 x 480 framebuffer and depth buffer, an opaque
// white current texture and identity matrices, and puts the render context and
// the render path back afterwards.
class RenderTest : public ::testing::Test {
protected:
    static constexpr int32_t W = frameWidth;
    static constexpr int32_t H = frameHeight;

    void SetUp() override {
        saved = renderContext;
        savedPath = currentRenderPath();
        pixels.assign(static_cast<size_t>(W) * H, 0u);
        depth.assign(static_cast<size_t>(W) * H, 0u);
        owned.clear();
        white = own(makeTexture(1, 1, [](int32_t, int32_t) { return 0xFFFFFFFFu; }));
        RenderContext& rc = renderContext;
        rc.framebufferPixels = pixels.data();
        rc.framebufferWidth = W;
        rc.framebufferHeight = H;
        rc.zbuffer = ZBuffer{depth.data(), W, H};
        rc.projection = glm::mat4(1.0f);
        rc.modelMatrix = glm::mat4(1.0f);
        rc.zNear = 1.0f;
        rc.zFar = 800.0f;
        rc.currentTexture = white;
        rc.sceneModel = nullptr;
        rc.depthViewActive = 0;
        emitted().clear();
    }

    void TearDown() override {
        setRenderPath(savedPath);
        renderContext = saved;
        for (Texture* t : owned) delete t;
        emitted().clear();
    }

    // Keeps `tex` until the test ends.
    Texture* own(Texture* tex) {
        owned.push_back(tex);
        return tex;
    }

    // Draw calls then hand their triangles to recordTriangle.
    static void record() { setRenderPath(RenderPath::recording, recordTriangle); }

    uint32_t pixel(int32_t x, int32_t y) const { return pixels[x + y * W]; }
    uint32_t depthAt(int32_t x, int32_t y) const { return depth[x + y * W]; }
    int coveredPixels() const {
        int n = 0;
        for (uint32_t d : depth) n += d != 0;
        return n;
    }

    RenderContext saved;
    RenderPath savedPath = RenderPath::reference;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> depth;
    Texture* white = nullptr;
    std::vector<Texture*> owned;
};

// A scratch directory removed with everything in it when the test ends.
struct ScratchDir {
    ScratchDir() {
        char pattern[] = "/tmp/scanweaver-unit-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("no scratch directory");
        path = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }

    std::string path;
};

}  // namespace testing_support
