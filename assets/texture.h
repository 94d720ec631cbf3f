#pragma once

#include <cstddef>
#include <cstdint>

// An RGBA8 image with its chain of halved copies. Texels are stored as the
// bytes red, green, blue, alpha; look-ups return ARGB8888 words.
//
// The texture owns the buffers of levels 0 to mipLevels - 1 and releases them
// when it is destroyed; `data` is level 0 under another name, never released
// on its own. The program keeps every texture until it ends.
struct Texture {
    static constexpr int32_t maxMipLevels = 16;

    int32_t width;
    int32_t height;
    int32_t bytesPerPixel;
    int32_t mipLevels;
    uint8_t* data;
    uint8_t* mipchain[maxMipLevels];

    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    ~Texture() { releaseLevels(); }

    // Releases every level buffer and leaves the texture without levels.
    void releaseLevels();

    // Nearest texel at (u, v) of a level, repeating with period 1 both ways.
    uint32_t sample(float u, float v, int32_t miplevel) const;

    // The texel at integer coordinates of a level.
    uint32_t texel(int32_t x, int32_t y, int32_t miplevel) const;
};

// Model textures are brought down to this many texels a side, which keeps
// each one's level 0 at 16 KB.
constexpr int32_t modelTextureSide = 64;

// A texture of one level, width x height texels of four bytes, uninitialised.
Texture* newTexture(int32_t width, int32_t height);

// Longest side of a texture. Resampling a level takes time that grows with
// the square of its longest side, so a longer image, however cheap to store
// (a few kilobytes of PNG can hold a 4 x 4,000,000 image), would stall start-up
// for hours; it is refused as undecodable.
constexpr int32_t maxTextureSide = 16384;

// Decodes an image file into a new texture with one level; null when the file
// cannot be read or decoded, or its image has no texels or a side longer than
// maxTextureSide.
Texture* decodeTexture(const char* path);

// decodeTexture, where failing ends the process with status 1 after
// "Couldn't open image <path>!".
Texture* loadTexture(const char* path);

// Builds the mip chain below level 0 (levels of at least 2 x 2 texels).
void generateMipmaps(Texture* tex);

// Replaces level 0 by a modelTextureSide x modelTextureSide resampled copy and rebuilds the chain if the
// texture had one.
void resize(Texture* tex);
