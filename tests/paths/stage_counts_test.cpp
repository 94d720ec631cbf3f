// The counting build's stage figures on the demo scene: every path finds the
// same triangles to scan and the same covered, depth-passing and written
// pixels as the reference; what the reference drops one by one, a faster path
// drops or skips with its run, and it skips at least 65 % of the triangles.
// Runs it draws without outcodes hold none that the reference drops or clips.

#include <gtest/gtest.h>

#include "pipeline/stage_counters.h"

#include "../demo_scene.h"

namespace {

StageCounters countFrame(RenderPath path, double t) {
    stageCounters = StageCounters{};
    demo_scene::drawFrame(path, t);
    return stageCounters;
}

}  // namespace

TEST(StageCounts, everyPathCountsTheSamePixelsOnTheDemoScene) {
    if (!demo_scene::load()) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    for (const double t : {1.1, 10.0, 20.0, 29.9}) {
        const StageCounters want = countFrame(RenderPath::reference, t);
        EXPECT_GT(want.written, 100000u);
        EXPECT_EQ(want.skipped + want.unclipped, 0u);
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
            // Nearly all of what the reference drops is left out unread, and
            // runs proven inside hold only triangles it draws unclipped.
            EXPECT_GE(100 * got.skipped, 65 * got.submitted);
            EXPECT_LE(got.unclipped, want.submitted - want.dropped - want.crossing);
        }
    }
    setRenderPath(fastestRenderPath());
}
