// The demo scene's frames pinned by their hashes: the framebuffer and the
// depth buffer at four times over the animation, with and without the depth
// view, on every render path the processor has. The path tests only compare
// the paths with each other; these hashes catch a change that moves them all
// alike (set-up, a constant, the projection, the loader).

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <SDL_scancode.h>

#include "base/platform.h"
#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

namespace {

// FNV-1a over the bytes of the cells.
uint64_t hashCells(const uint32_t* cells, size_t count) {
    uint64_t h = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const uint8_t*>(cells);
    for (size_t i = 0; i < 4 * count; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

struct Golden {
    double time;
    bool depthView;
    uint64_t pixels;
    uint64_t depth;
};

// Recorded from the reference path.
const Golden goldenFrames[] = {
    {1.1, false, 0x91e6971b90bd8606ull, 0x5338fcd9cbcc2746ull},  {1.1, true, 0xb29276feae87c154ull, 0x5338fcd9cbcc2746ull},
    {10.0, false, 0xcee0dcf559d27e74ull, 0x26c9e673ea4e3a21ull}, {10.0, true, 0x39176d6b43318415ull, 0x26c9e673ea4e3a21ull},
    {20.0, false, 0x95eb9b757e134deaull, 0xe43ee8c8433b7444ull}, {20.0, true, 0x52ffb9a76a379d5cull, 0xe43ee8c8433b7444ull},
    {29.9, false, 0x702df2125cf5d53cull, 0x7337462bf2b19d90ull}, {29.9, true, 0x019d92c626c1878dull, 0x7337462bf2b19d90ull},
};

std::vector<uint8_t> framebuffer;

}  // namespace

TEST(Golden, demoSceneFramesKeepTheirHashes) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    enableFlushToZero();
    createSurfaces(framebuffer, frameWidth, frameHeight);
    loadStartupTextures();
    Model* model = loadSceneModel(0, 1);
    ASSERT_NE(model, nullptr);
    installSceneModel(model);

    static uint8_t keys[SDL_NUM_SCANCODES];
    RenderContext& rc = renderContext;
    rc.keyboardState = keys;
    const size_t cells = static_cast<size_t>(rc.framebufferWidth) * rc.framebufferHeight;
    for (RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        for (const Golden& golden : goldenFrames) {
            keys[SDL_SCANCODE_V] = golden.depthView ? 1 : 0;
            rc.depthViewActive = 0;
            rc.zbuffer.clear();
            rc.elapsedTime = golden.time;
            composeScene();
            const uint64_t pixels = hashCells(rc.framebufferPixels, cells);
            const uint64_t depth = hashCells(rc.zbuffer.buffer, cells);
            EXPECT_EQ(pixels, golden.pixels);
            EXPECT_EQ(depth, golden.depth);
        }
    }
    setRenderPath(fastestRenderPath());
}
