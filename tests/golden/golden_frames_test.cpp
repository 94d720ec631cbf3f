// The demo scene's frames pinned by their hashes: the framebuffer and the
// depth buffer at four times over the animation, with and without the depth
// view, on every render path the processor has. The path tests only compare
// the paths with each other; these hashes catch a change that moves them all
// alike (set-up, a constant, the projection, the loader).

#include <gtest/gtest.h>

#include <cstdint>

#include "../demo_scene.h"

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
    {1.1, false, 0x91e6971b90bd8606ull, 0x5338fcd9cbcc2746ull},
    {1.1, true, 0xb29276feae87c154ull, 0x5338fcd9cbcc2746ull},
    {10.0, false, 0xcee0dcf559d27e74ull, 0x26c9e673ea4e3a21ull},
    {10.0, true, 0x39176d6b43318415ull, 0x26c9e673ea4e3a21ull},
    {20.0, false, 0x95eb9b757e134deaull, 0xe43ee8c8433b7444ull},
    {20.0, true, 0x52ffb9a76a379d5cull, 0xe43ee8c8433b7444ull},
    {29.9, false, 0x702df2125cf5d53cull, 0x7337462bf2b19d90ull},
    {29.9, true, 0x019d92c626c1878dull, 0x7337462bf2b19d90ull},
};
}  // namespace

TEST(Golden, demoSceneFramesKeepTheirHashes) {
    if (!demo_scene::load()) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    const size_t cells = static_cast<size_t>(frameWidth) * frameHeight;
    for (RenderPath path : allRenderPaths) {
        if (!renderPathSupported(path)) continue;
        for (const Golden& golden : goldenFrames) {
            demo_scene::drawFrame(path, golden.time, golden.depthView);
            EXPECT_EQ(hashCells(renderContext.framebufferPixels, cells), golden.pixels);
            EXPECT_EQ(hashCells(renderContext.zbuffer.buffer, cells), golden.depth);
        }
    }
    setRenderPath(fastestRenderPath());
}
