#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/check.h"
#include "pipeline/framebuffer.h"
#include "pipeline/zbuffer.h"
#include "test_support.h"

TEST(ZBufferTest, toDepthScalesTo24BitsAndChecksItsRangeAndCells) {
    for (const auto& c : {std::pair<float, uint32_t>{0.0f, 0u},
                          {-0.0f, 0u},
                          {0.5f, 8388607u},
                          {std::nextafter(1.0f, 0.0f), 16777214u}}) {
        EXPECT_EQ(ZBuffer::toDepth(c.first), c.second) << c.first;
    }
    EXPECT_DEATH(ZBuffer::toDepth(1.0f), "Assertion failed: zf < 1.0f, file zbuffer");
    EXPECT_DEATH(ZBuffer::toDepth(-1e-30f), "zf >= 0.0f");
    EXPECT_DEATH(ZBuffer::toDepth(std::numeric_limits<float>::quiet_NaN()), "zf >= 0.0f");

    std::vector<uint32_t> cells(6, 7u);
    ZBuffer z{cells.data(), 3, 2};
    const char* range = "x >= 0 && x < w && y >= 0 && y < h, file zbuffer";
    for (const auto& xy : {std::pair<int, int>{3, 0}, {0, 2}, {-1, 0}}) EXPECT_DEATH(z.get(xy.first, xy.second), range);
    EXPECT_DEATH(z.set(0, -1, 1u), range);
    EXPECT_DEATH((ZBuffer{nullptr, 3, 2}.get(0, 0)), "Assertion failed: buffer, file zbuffer");
    EXPECT_DEATH((ZBuffer{cells.data(), 0, 2}.get(0, 0)), "w > 0");
}

TEST(CheckTest, failedCheckAbortsInEveryBuildType) {
    const int answer = 41;
    EXPECT_DEATH(SW_CHECK(answer == 42, "main"), "^Assertion failed: answer == 42, file main\n");
    SW_CHECK(answer == 41, "main");  // a true condition does nothing
}

using FramebufferTest = testing_support::RenderTest;

TEST_F(FramebufferTest, putPixelIgnoresPixelsOutsideTheImage) {
    for (const auto& xy : {std::pair<int, int>{640, 0}, {-1, 0}, {0, 480}, {0, -1}, {INT32_MIN, INT32_MAX}}) {
        putPixel(xy.first, xy.second, 0xFFFFFFFFu);
    }
    putPixel(639, 479, 0xAABBCCDDu);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0u), 640 * 480 - 1);
    EXPECT_EQ(pixels.back(), 0xAABBCCDDu);
}
