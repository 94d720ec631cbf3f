#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <tuple>

#include <stb/stb_image_resize.h>
#include <stb/stb_image_write.h>

#include "assets/texture.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using TexturePtr = std::unique_ptr<Texture>;

TexturePtr own(Texture* tex) { return TexturePtr(tex); }

// Opaque texel holding (x, y) as 0xFF00yy0x in ARGB.
uint32_t gridTexel(int32_t x, int32_t y) { return static_cast<uint32_t>(y << 16 | x) << 8 | 0xFFu; }

uint32_t noiseTexel(int32_t x, int32_t y) {
    std::minstd_rand r(static_cast<uint32_t>(x * 7919 + y * 104729 + 1));
    return static_cast<uint32_t>(r());
}

// Level k of `tex` resampled by us from level k - 1, as the chain should be.
std::vector<uint8_t> halved(const uint8_t* source, int32_t w, int32_t h) {
    std::vector<uint8_t> out(static_cast<size_t>(w / 2) * (h / 2) * 4);
    EXPECT_TRUE(stbir_resize_uint8(source, w, h, 0, out.data(), w / 2, h / 2, 0, 4));
    return out;
}

bool levelEquals(const Texture& tex, int32_t level, const std::vector<uint8_t>& expected) {
    const size_t bytes = static_cast<size_t>(tex.width >> level) * (tex.height >> level) * 4;
    return expected.size() == bytes && std::memcmp(tex.mipchain[level], expected.data(), bytes) == 0;
}

}  // namespace

TEST(TextureTest, sampleRepeatsWithPeriodOne) {
    TexturePtr tex = own(makeTexture(4, 4, gridTexel));
    auto column = [&](float u) { return static_cast<int>(tex->sample(u, 0.0f, 0) & 0xFF); };
    auto row = [&](float v) { return static_cast<int>(tex->sample(0.0f, v, 0) >> 16 & 0xFF); };
    for (const auto& c : {std::pair<float, int>{0.0f, 0}, {1.0f, 0}, {-0.0f, 0}, {0.99f, 3}, {-0.25f, 3}, {-1.0f, 0},
                          {2.5f, 2}, {-1.1f, 3}}) {
        EXPECT_EQ(column(c.first), c.second) << c.first;
    }
    EXPECT_EQ(row(1.25f), 1);
    EXPECT_EQ(row(-0.5f), 2);
    EXPECT_EQ(tex->sample(0.5f, 0.75f, 0), 0xFF030002u);
    EXPECT_EQ(tex->sample(0.5f, 0.75f, 3), 0xFF030002u);  // the only level is read
}

TEST(TextureTest, extremeCoordinatesStayInsideTheLevel) {
    TexturePtr tex = own(makeTexture(4, 4, gridTexel));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float c : {inf, -inf, nan, 1e20f, -1e20f, 3e38f, -3e38f, 2147483648.0f, -16777216.5f}) {
        for (const uint32_t t : {tex->sample(c, 0.25f, 0), tex->sample(0.25f, c, 0), tex->sample(c, c, 0)}) {
            EXPECT_LT(t & 0xFF, 4u) << c;
            EXPECT_LT(t >> 16 & 0xFF, 4u) << c;
        }
    }
}

TEST(TextureTest, texelPacksRgbaBytesAsArgb) {
    TexturePtr tex = own(makeTexture(2, 1, [](int32_t x, int32_t) { return x ? 0x0A141E00u : 0x01020304u; }));
    EXPECT_EQ(tex->texel(1, 0, 0), 0x000A141Eu);
    EXPECT_EQ(tex->texel(0, 0, 0), 0x04010203u);
    EXPECT_DEATH(tex->texel(2, 0, 0), "x >= 0 && x < tw && y >= 0 && y < th, file texture");
}

TEST(TextureTest, mipChainStopsBeforeAnySideReachesOne) {
    struct Case {
        int32_t w, h, levels;
    };
    for (const Case c : {Case{4, 4, 2}, {3, 3, 1}, {2, 2, 1}, {1, 64, 1}, {64, 2, 1}, {64, 4, 2}, {256, 256, 8},
                         {512, 64, 6}, {5, 5, 2}}) {
        TexturePtr tex = own(makeTexture(c.w, c.h, gridTexel));
        generateMipmaps(tex.get());
        EXPECT_EQ(tex->mipLevels, c.levels) << c.w << "x" << c.h;
        for (int32_t k = 0; k < Texture::maxMipLevels; ++k) EXPECT_EQ(tex->mipchain[k] != nullptr, k < c.levels);
        EXPECT_EQ(tex->mipchain[0], tex->data);
    }
}

TEST(TextureTest, eachLevelIsResampledFromThePreviousOneWithItsOwnSize) {
    TexturePtr odd = own(makeTexture(5, 5, noiseTexel));
    generateMipmaps(odd.get());
    EXPECT_TRUE(levelEquals(*odd, 1, halved(odd->data, 5, 5)));

    TexturePtr tex = own(makeTexture(32, 16, noiseTexel));
    generateMipmaps(tex.get());
    ASSERT_EQ(tex->mipLevels, 4);  // 32x16, 16x8, 8x4, 4x2
    std::vector<uint8_t> expected(tex->data, tex->data + 32 * 16 * 4);
    for (int32_t k = 1; k < 4; ++k) {
        expected = halved(expected.data(), 32 >> (k - 1), 16 >> (k - 1));
        EXPECT_TRUE(levelEquals(*tex, k, expected)) << "level " << k;
    }
    EXPECT_EQ(tex->sample(0.3f, 0.6f, 2), tex->texel(2, 2, 2));
    EXPECT_EQ(tex->sample(0.3f, 0.6f, 9), tex->texel(1, 1, 3));  // clamped to the last level
}

TEST(TextureTest, resizeMakes64By64AndRebuildsOnlyAnExistingChain) {
    TexturePtr single = own(makeTexture(16, 8, noiseTexel));
    std::vector<uint8_t> expected(64 * 64 * 4);
    ASSERT_TRUE(stbir_resize_uint8(single->data, 16, 8, 0, expected.data(), 64, 64, 0, 4));
    resize(single.get());
    EXPECT_EQ(std::make_tuple(single->width, single->height, single->mipLevels), std::make_tuple(64, 64, 1));
    EXPECT_EQ(single->mipchain[0], single->data);
    EXPECT_TRUE(levelEquals(*single, 0, expected));

    TexturePtr chained = own(makeTexture(512, 512, noiseTexel));
    generateMipmaps(chained.get());
    ASSERT_EQ(chained->mipLevels, 9);
    ASSERT_TRUE(stbir_resize_uint8(chained->data, 512, 512, 0, expected.data(), 64, 64, 0, 4));
    resize(chained.get());
    EXPECT_EQ(std::make_tuple(chained->width, chained->height, chained->mipLevels), std::make_tuple(64, 64, 6));
    EXPECT_TRUE(levelEquals(*chained, 0, expected));
    EXPECT_TRUE(levelEquals(*chained, 1, halved(expected.data(), 64, 64)));
}

TEST(TextureTest, loadsBmpPngAndTgaAsRgba) {
    ScratchDir dir;
    const uint8_t rgb[2 * 2 * 3] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
    const uint8_t rgba[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 10, 20, 30, 40};
    ASSERT_TRUE(stbi_write_bmp(dir.file("rgb.bmp").c_str(), 2, 2, 3, rgb));
    ASSERT_TRUE(stbi_write_png(dir.file("rgba.png").c_str(), 2, 2, 4, rgba, 8));
    ASSERT_TRUE(stbi_write_tga(dir.file("rgba.tga").c_str(), 2, 2, 4, rgba));

    TexturePtr bmp = own(loadTexture(dir.file("rgb.bmp").c_str()));
    EXPECT_EQ(std::make_tuple(bmp->width, bmp->height, bmp->bytesPerPixel, bmp->mipLevels),
              std::make_tuple(2, 2, 4, 1));
    EXPECT_EQ(bmp->mipchain[0], bmp->data);
    EXPECT_EQ(bmp->texel(0, 0, 0), 0xFFFF0000u);  // row 0 is the top row
    EXPECT_EQ(bmp->texel(1, 1, 0), 0xFF0A141Eu);

    for (const char* name : {"rgba.png", "rgba.tga"}) {
        TexturePtr tex = own(loadTexture(dir.file(name).c_str()));
        EXPECT_EQ(tex->texel(0, 0, 0), 0xFFFF0000u) << name;
        EXPECT_EQ(tex->texel(1, 0, 0), 0x8000FF00u) << name;
        EXPECT_EQ(tex->texel(0, 1, 0), 0x000000FFu) << name;
        EXPECT_EQ(tex->texel(1, 1, 0), 0x280A141Eu) << name;
    }
}
