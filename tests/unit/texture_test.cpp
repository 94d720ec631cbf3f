#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <tuple>

#include "assets/texture.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using TexturePtr = std::unique_ptr<Texture>;

// A w x h texture of opaque texels holding (x, y) as 0xFF00yy0x in ARGB.
TexturePtr grid(int32_t w, int32_t h) {
    auto texel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(y << 16 | x) << 8 | 0xFFu; };
    return TexturePtr(makeTexture(w, h, texel));
}

}  // namespace

TEST(TextureTest, sampleRepeatsWithPeriodOneAndStaysInsideTheLevel) {
    TexturePtr tex = grid(4, 4);
    // clang-format off
    for (const auto& c : {std::pair<float, uint32_t>{0.0f, 0}, {1.0f, 0}, {-0.0f, 0}, {0.99f, 3}, {-0.25f, 3},
                          {-1.0f, 0}, {2.5f, 2}, {-1.1f, 3}}) {
        // clang-format on
        EXPECT_EQ(tex->sample(c.first, 0.0f, 0), 0xFF000000u | c.second) << c.first;
        EXPECT_EQ(tex->sample(0.0f, c.first, 0), 0xFF000000u | c.second << 16) << c.first;
    }
    EXPECT_EQ(tex->sample(0.5f, 0.75f, 3), 0xFF030002u);  // the only level is read

    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (float c : {inf, -inf, nan, 1e20f, -1e20f, 3e38f, -3e38f, 2147483648.0f, -16777216.5f}) {
        for (const uint32_t t : {tex->sample(c, 0.25f, 0), tex->sample(0.25f, c, 0), tex->sample(c, c, 0)}) {
            EXPECT_EQ(t & 0xFFFCFFFCu, 0xFF000000u) << c;
        }
    }
}

TEST(TextureTest, texelPacksRgbaBytesAsArgbAndChecksItsRange) {
    TexturePtr tex(makeTexture(2, 1, [](int32_t x, int32_t) { return x ? 0x0A141E00u : 0x01020304u; }));
    EXPECT_EQ(tex->texel(1, 0, 0), 0x000A141Eu);
    EXPECT_EQ(tex->texel(0, 0, 0), 0x04010203u);
    EXPECT_DEATH(tex->texel(2, 0, 0), "x >= 0 && x < tw && y >= 0 && y < th, file texture");
}

TEST(TextureTest, mipChainStopsBeforeAnySideReachesOneAndResizeKeepsOnlyAnExistingChain) {
    struct Case {
        int32_t w, h, levels;
    };
    // clang-format off
    for (const Case c : {Case{4, 4, 2}, {3, 3, 1}, {2, 2, 1}, {1, 64, 1}, {64, 2, 1}, {64, 4, 2}, {256, 256, 8},
                         {512, 64, 6}, {5, 5, 2}}) {
        // clang-format on
        TexturePtr tex = grid(c.w, c.h);
        generateMipmaps(tex.get());
        EXPECT_EQ(tex->mipLevels, c.levels) << c.w << "x" << c.h;
        for (int32_t k = 0; k < Texture::maxMipLevels; ++k) EXPECT_EQ(tex->mipchain[k] != nullptr, k < c.levels);
        EXPECT_EQ(tex->mipchain[0], tex->data);
        resize(tex.get());
        const int32_t chain = c.levels > 1 ? 6 : 1;
        EXPECT_EQ(std::make_tuple(tex->width, tex->height, tex->mipLevels),
                  std::make_tuple(modelTextureSide, modelTextureSide, chain));
    }
    TexturePtr single = grid(16, 8);
    resize(single.get());
    EXPECT_EQ(std::make_tuple(single->width, single->height, single->mipLevels),
              std::make_tuple(modelTextureSide, modelTextureSide, 1));
    EXPECT_EQ(single->mipchain[0], single->data);
}
