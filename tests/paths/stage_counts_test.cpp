// The counting build's stage figures on the demo scene: every path finds the
// same triangles to scan and the same covered, depth-passing and written
// pixels as the reference; what the reference drops one by one, a faster path
// drops or skips with its run.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include <SDL_scancode.h>

#include "base/platform.h"
#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"
#include "pipeline/stage_counters.h"

namespace {

StageCounters countFrame(RenderPath path, double t) {
    EXPECT_TRUE(setRenderPath(path));
    stageCounters = StageCounters{};
    renderContext.zbuffer.clear();
    renderContext.elapsedTime = t;
    composeScene();
    return stageCounters;
}

}  // namespace

TEST(StageCounts, everyPathCountsTheSamePixelsOnTheDemoScene) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    enableFlushToZero();
    static std::vector<uint8_t> framebuffer;
    createSurfaces(framebuffer, frameWidth, frameHeight);
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    ASSERT_NE(renderContext.sceneModel, nullptr);
    static uint8_t keys[SDL_NUM_SCANCODES];
    renderContext.keyboardState = keys;

    for (const double t : {1.1, 10.0, 20.0, 29.9}) {
        const StageCounters want = countFrame(RenderPath::reference, t);
        EXPECT_GT(want.written, 100000u);
        EXPECT_EQ(want.skipped, 0u);
        for (const RenderPath path : allRenderPaths) {
            if (path == RenderPath::reference || !renderPathSupported(path)) continue;
            const StageCounters got = countFrame(path, t);
            SCOPED_TRACE(::testing::Message() << renderPathName(path) << " at t = " << t);
            EXPECT_EQ(got.submitted, want.submitted);
            EXPECT_EQ(got.dropped + got.skipped, want.dropped);
            EXPECT_EQ(got.crossing, want.crossing);
            EXPECT_EQ(got.reachedSetup, want.reachedSetup);
            EXPECT_EQ(got.scanned, want.scanned);
            EXPECT_EQ(got.boxPixels, want.boxPixels);
            EXPECT_EQ(got.covered, want.covered);
            EXPECT_EQ(got.depthPassed, want.depthPassed);
            EXPECT_EQ(got.written, want.written);
        }
    }
    setRenderPath(fastestRenderPath());
}
