#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/check.h"
#include "pipeline/framebuffer.h"
#include "pipeline/zbuffer.h"
#include "test_support.h"

using testing_support::RenderTest;

TEST(ZBufferTest, toDepthScalesTo24BitsAndRejectsValuesOutsideZeroToOne) {
    EXPECT_EQ(ZBuffer::toDepth(0.0f), 0u);
    EXPECT_EQ(ZBuffer::toDepth(-0.0f), 0u);
    EXPECT_EQ(ZBuffer::toDepth(0.5f), 8388607u);
    EXPECT_EQ(ZBuffer::toDepth(std::nextafter(1.0f, 0.0f)), 16777214u);

    EXPECT_DEATH(ZBuffer::toDepth(1.0f), "Assertion failed: zf < 1.0f, file zbuffer");
    EXPECT_DEATH(ZBuffer::toDepth(-1e-30f), "zf >= 0.0f");
    EXPECT_DEATH(ZBuffer::toDepth(std::numeric_limits<float>::quiet_NaN()), "zf >= 0.0f");
}

TEST(ZBufferTest, cellsAreRowMajorAndChecked) {
    std::vector<uint32_t> cells(6, 7u);
    ZBuffer z{cells.data(), 3, 2};
    z.set(2, 1, 42u);
    EXPECT_EQ(cells[5], 42u);
    EXPECT_EQ(z.get(2, 1), 42u);
    z.set(1, 0, 5u);
    EXPECT_EQ(cells[1], 5u);
    z.clear();
    EXPECT_EQ(cells, std::vector<uint32_t>(6, 0u));

    const char* range = "x >= 0 && x < w && y >= 0 && y < h, file zbuffer";
    for (const auto& xy : {std::pair<int, int>{3, 0}, {0, 2}, {-1, 0}}) EXPECT_DEATH(z.get(xy.first, xy.second), range);
    EXPECT_DEATH(z.set(0, -1, 1u), range);
    ZBuffer missing{nullptr, 3, 2};
    EXPECT_DEATH(missing.get(0, 0), "Assertion failed: buffer, file zbuffer");
    ZBuffer empty{cells.data(), 0, 2};
    EXPECT_DEATH(empty.get(0, 0), "w > 0");
}

TEST(CheckTest, failedCheckAbortsInEveryBuildType) {
    const int answer = 41;
    EXPECT_DEATH(SW_CHECK(answer == 42, "main"), "^Assertion failed: answer == 42, file main\n");
    SW_CHECK(answer == 41, "main");  // a true condition does nothing
}

using FramebufferTest = RenderTest;

TEST_F(FramebufferTest, putPixelStoresInsideAndIgnoresOutside) {
    putPixel(639, 479, 0xAABBCCDDu);
    EXPECT_EQ(pixels.back(), 0xAABBCCDDu);
    putPixel(3, 2, 0x11223344u);
    EXPECT_EQ(pixels[3 + 2 * 640], 0x11223344u);

    for (const auto& xy : {std::pair<int, int>{640, 0}, {-1, 0}, {0, 480}, {0, -1}, {INT32_MIN, INT32_MAX}}) {
        putPixel(xy.first, xy.second, 0xFFFFFFFFu);
    }
    EXPECT_EQ(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; }), 2);

    clearFramebuffer();
    EXPECT_EQ(pixels, std::vector<uint32_t>(640 * 480, 0u));
}
