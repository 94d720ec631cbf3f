#pragma once

// Shared helpers for the unit tests: a frame-sized render context, hand-made
// textures and a recorder for what vertex processing emits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/startup.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"
#include "pipeline/vertex_processing.h"

namespace testing_support {

// A texture built in memory from 0xRRGGBBAA texels.
inline Texture* makeTexture(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& rgba) {
    Texture* tex = newTexture(w, h);
    for (int32_t i = 0; i < w * h; ++i) {
        for (int k = 0; k < 4; ++k) tex->data[4 * i + k] = rgba(i % w, i / w) >> (24 - 8 * k);
    }
    return tex;
}

// Opaque texel whose red, green and blue bytes hold the column number.
inline uint32_t columnTexel(int32_t x, int32_t) { return static_cast<uint32_t>(x) << 8 | 0xFFu; }

// One triangle as vertex processing handed it on.
struct EmittedTriangle {
    Vertex v[3];
    const Vertex* address[3];
    ScreenPosition p[3];
    const Texture* texture;
};

// What recordTriangle, the recording path's sink, has received.
inline std::vector<EmittedTriangle> emitted;

inline void recordTriangle(const Vertex& a, const Vertex& b, const Vertex& c, ScreenPosition pa, ScreenPosition pb,
                           ScreenPosition pc) {
    emitted.push_back({{a, b, c}, {&a, &b, &c}, {pa, pb, pc}, renderContext.currentTexture});
}

// Gives every test a cleared frame-sized framebuffer and depth buffer, an opaque
// white current texture and identity matrices, and puts the render context and
// the render path back afterwards.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = renderContext;
        savedPath = currentRenderPath();
        pixels.assign(static_cast<size_t>(frameWidth) * frameHeight, 0u);
        depth.assign(static_cast<size_t>(frameWidth) * frameHeight, 0u);
        emitted.clear();
        renderContext.framebufferPixels = pixels.data();
        renderContext.framebufferWidth = frameWidth;
        renderContext.framebufferHeight = frameHeight;
        renderContext.zbuffer = ZBuffer{depth.data(), frameWidth, frameHeight};
        renderContext.projection = renderContext.modelMatrix = glm::mat4(1.0f);
        renderContext.currentTexture = solid(0xFFFFFFFFu);
    }

    void TearDown() override {
        setRenderPath(savedPath);
        renderContext = saved;
        for (Texture* t : owned) delete t;
    }

    // Keeps `tex` until the test ends.
    Texture* own(Texture* tex) { return owned.emplace_back(tex); }
    // A 1 x 1 texture of one ARGB colour.
    Texture* solid(uint32_t argb) {
        return own(makeTexture(1, 1, [=](int32_t, int32_t) { return argb << 8 | argb >> 24; }));
    }

    uint32_t pixel(int32_t x, int32_t y) const { return pixels[x + y * frameWidth]; }
    uint32_t depthAt(int32_t x, int32_t y) const { return depth[x + y * frameWidth]; }
    int coveredPixels() const { return static_cast<int>(depth.size() - std::count(depth.begin(), depth.end(), 0u)); }

    RenderContext saved;
    RenderPath savedPath = RenderPath::reference;
    std::vector<uint32_t> pixels, depth;
    std::vector<Texture*> owned;
};

}  // namespace testing_support
