#include "assets/texture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

// The image decoder is compiled here, private to this file, with allocations
// that start zeroed. A corrupt file can make it read decoder state the file
// never set (a progressive JPEG scan may use a Huffman table no segment
// defined); zeroed state makes such files fail, or decode, the same way every
// time, and keeps the table look-ups inside their arrays.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(block, size) std::realloc(block, size)
#define STBI_FREE(block) std::free(block)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop
#include <stb/stb_image_resize.h>

#include "assets/image_checks.h"
#include "assets/image_palettes.h"
#include "base/check.h"
#include "base/platform.h"

namespace {

// Level buffers are ours; decoder output is copied into one at load so that
// every buffer a texture holds is released the same way.
uint8_t* allocateLevel(int32_t w, int32_t h) {
    return new uint8_t[static_cast<size_t>(w) * static_cast<size_t>(h) * 4];
}

// Wraps a coordinate already scaled to texels into [0, size). Scaled values
// that fit a 32-bit integer are truncated and reduced exactly as usual; larger
// ones are reduced in floating point first (same result wherever both apply),
// and non-numbers and infinities land on texel 0.
int32_t wrapTexelIndex(float scaled, int32_t size) {
    if (scaled < 2147483648.0f) {
        return static_cast<int32_t>(scaled) % size;
    }
    if (!(scaled <= 3.402823466e38f)) {
        return 0;
    }
    return static_cast<int32_t>(std::fmod(static_cast<double>(scaled), static_cast<double>(size)));
}

// Maps a negative coordinate into (0, 1]; others are left as they are.
float wrapNegative(float c) {
    if (c < 0) {
        c = 1.0f - static_cast<float>(std::fmod(-static_cast<double>(c), 1.0));
    }
    return c;
}

// The whole file, or nothing when it cannot be read.
std::vector<uint8_t> fileContents(const char* path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

}  // namespace

void Texture::releaseLevels() {
    for (int32_t level = 0; level < mipLevels; ++level) {
        delete[] mipchain[level];
        mipchain[level] = nullptr;
    }
    data = nullptr;
    mipLevels = 0;
}

Texture* newTexture(int32_t width, int32_t height) {
    Texture* tex = new Texture{};
    tex->width = width;
    tex->height = height;
    tex->bytesPerPixel = 4;
    tex->data = allocateLevel(width, height);
    tex->mipchain[0] = tex->data;
    tex->mipLevels = 1;
    return tex;
}

Texture* decodeTexture(const char* path) {
    // The file is read once and decoded from memory, after the checks for
    // contents the decoder mishandles and with its palettes made whole.
    const std::vector<uint8_t> contents = withWholePalettes(fileContents(path));
    if (contents.empty() || contents.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
    if (!imageSafeToDecode(contents.data(), contents.size())) return nullptr;
    // Sides the header declares beyond the limit are refused before decoding,
    // which would first allocate the whole image: up to 2 GB for a few bytes.
    const int size = static_cast<int>(contents.size());
    int width = 0, height = 0, channelsInFile = 0;
    if (stbi_info_from_memory(contents.data(), size, &width, &height, &channelsInFile) &&
        (width > maxTextureSide || height > maxTextureSide)) {
        return nullptr;
    }
    stbi_uc* decoded = stbi_load_from_memory(contents.data(), size, &width, &height, &channelsInFile, 4);
    // The decoder accepts some headers of zero width or height (a binary PNM
    // can have them); an image without texels cannot be sampled.
    if (decoded == nullptr || width < 1 || height < 1 || width > maxTextureSide || height > maxTextureSide) {
        stbi_image_free(decoded);
        return nullptr;
    }
    Texture* tex = newTexture(width, height);
    std::memcpy(tex->data, decoded, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    stbi_image_free(decoded);
    return tex;
}

Texture* loadTexture(const char* path) {
    Texture* tex = decodeTexture(path);
    if (tex == nullptr) {
        std::fprintf(stderr, "Couldn't open image %s!\n", path);
        exitProcess(1);
    }
    return tex;
}

void generateMipmaps(Texture* tex) {
    SW_CHECK(tex->data, "texture");
    int32_t w = tex->width >> 1;
    int32_t h = tex->height >> 1;
    int32_t level = 1;
    if (w <= 1) return;
    while (h > 1 && level < Texture::maxMipLevels) {
        uint8_t* levelBuffer = allocateLevel(w, h);
        const int success = stbir_resize_uint8(tex->mipchain[level - 1], tex->width >> (level - 1),
                                               tex->height >> (level - 1), 0, levelBuffer, w, h, 0, 4);
        if (!success) {
            std::printf("Image mipmap generation failed\n");
            std::fflush(stdout);
            SW_CHECK(success, "texture");
        }
        tex->mipchain[level] = levelBuffer;
        ++level;
        tex->mipLevels = level;
        w >>= 1;
        h >>= 1;
        if (w <= 1) break;
    }
}

void resize(Texture* tex) {
    const int32_t side = modelTextureSide;
    uint8_t* resized = allocateLevel(side, side);
    if (!stbir_resize_uint8(tex->data, tex->width, tex->height, 0, resized, side, side, 0, 4)) {
        std::printf("Image resize failed\n");
        std::fflush(stdout);
        delete[] resized;
        return;
    }
    const bool hadChain = tex->mipLevels > 1;
    tex->releaseLevels();
    tex->data = resized;
    tex->mipchain[0] = resized;
    tex->mipLevels = 1;
    tex->width = side;
    tex->height = side;
    if (hadChain) generateMipmaps(tex);
}

uint32_t Texture::sample(float u, float v, int32_t miplevel) const {
    int32_t level = miplevel > mipLevels - 1 ? mipLevels - 1 : miplevel;
    if (level < 0) level = 0;
    SW_CHECK(this->mipchain[level], "texture");
    const int32_t tw = width >> level;
    const int32_t th = height >> level;
    SW_CHECK(tw >= 1, "texture");
    SW_CHECK(th >= 1, "texture");
    v = wrapNegative(v);
    u = wrapNegative(u);
    const int32_t x = wrapTexelIndex(static_cast<float>(tw) * u, tw);
    const int32_t y = wrapTexelIndex(static_cast<float>(th) * v, th);
    return texel(x, y, level);
}

uint32_t Texture::texel(int32_t x, int32_t y, int32_t miplevel) const {
    const int32_t tw = width >> miplevel;
    const int32_t th = height >> miplevel;
    SW_CHECK(x >= 0 && x < tw && y >= 0 && y < th, "texture");
    SW_CHECK(this->mipchain[miplevel], "texture");
    const uint8_t* p = mipchain[miplevel] + (static_cast<size_t>(y) * tw + x) * bytesPerPixel;
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]);
}
