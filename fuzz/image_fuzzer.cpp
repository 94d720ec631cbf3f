// Image bytes through decoding, the mip chain, the 64 x 64 reduction and
// sampling.
//
// Input: an image file, written to a file and decoded by decodeTexture, which
// is loadTexture without ending the process on undecodable files (that exit
// belongs to the bad-asset tests). The last 32 bytes double as eight sample
// coordinates, next to a fixed set of hostile ones.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <stb/stb_image.h>

#include "assets/image_checks.h"
#include "assets/texture.h"
#include "base/platform.h"
#include "fuzz_support.h"

namespace {

// Larger images only make runs slow; nothing about them is different.
constexpr long maxPixels = 1L << 20;

// clang-format off
const float hostileCoordinates[] = {
    0.0f, -0.0f, 1.0f, -1.0f, 0.5f, -0.25f, 2.5f, 0.99999994f, -1e-45f, 1e-45f, 3e9f, -3e9f, 1e20f, -1e20f,
    3.4028235e38f, -3.4028235e38f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
    std::numeric_limits<float>::quiet_NaN(), 2147483520.0f, 2147483648.0f, -2147483648.0f, 16777217.0f,
};
// clang-format on

volatile uint32_t sink;

void sampleEverywhere(const Texture* tex, const uint8_t* data, size_t size) {
    uint32_t combined = 0;
    const size_t tail = size > 32 ? size - 32 : 0;
    for (int32_t level = 0; level <= tex->mipLevels + 1; ++level) {
        for (const float u : hostileCoordinates) {
            for (const float v : hostileCoordinates) combined ^= tex->sample(u, v, level);
        }
        for (size_t i = 0; i < 8; i += 2) {
            const float u = fuzz_support::floatAt(data, size, tail + 4 * i);
            const float v = fuzz_support::floatAt(data, size, tail + 4 * i + 4);
            combined ^= tex->sample(u, v, level);
        }
    }
    sink = combined;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enableFlushToZero();  // as the program does before anything else
    fuzz_support::enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Contents the loader refuses are never handed to a decoder; the header
    // alone tells whether decoding would be slow.
    if (!imageSafeToDecode(data, size)) return 0;
    if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return 0;
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels)) return 0;
    if (static_cast<long>(w) * h > maxPixels) return 0;

    std::FILE* file = std::fopen("image", "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    // decodeTexture is loadTexture without ending the process. One texture
    // keeps a single level, as "texture.bmp" does; the other gets its chain,
    // as "cool.bmp" and model textures do.
    Texture* single = decodeTexture("image");
    if (single == nullptr) return 0;
    Texture* chained = decodeTexture("image");
    if (chained == nullptr ||
        std::memcmp(single->data, chained->data,
                    static_cast<size_t>(single->width) * static_cast<size_t>(single->height) * 4) != 0) {
        std::fprintf(stderr, "the same file decoded differently\n");
        std::abort();
    }
    generateMipmaps(chained);
    sampleEverywhere(single, data, size);
    sampleEverywhere(chained, data, size);
    resize(single);
    resize(chained);
    sampleEverywhere(single, data, size);
    sampleEverywhere(chained, data, size);
    delete single;
    delete chained;
    return 0;
}
