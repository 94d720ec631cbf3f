#pragma once

// Helpers shared by the fuzz targets.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "app/startup.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "pipeline/render_context.h"

namespace fuzz_support {

// Makes a private scratch directory the working directory, so that the
// relative file names the program uses resolve there. It is removed when the
// process exits normally.
inline void enterScratchDirectory() {
    static char pattern[] = "/tmp/scanweaver-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) {
        std::perror("scratch directory");
        std::abort();
    }
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
    });
}

// Writes a w x h BMP with a pattern that has some fully transparent texels.
inline void writeImage(const char* path, int w, int h) {
    std::vector<uint8_t> texels(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < texels.size(); i += 4) {
        const size_t p = i / 4;
        texels[i] = static_cast<uint8_t>(p * 29);
        texels[i + 1] = static_cast<uint8_t>(p * 71);
        texels[i + 2] = static_cast<uint8_t>(p * 13);
        texels[i + 3] = p % 7 == 3 ? 0 : 255;
    }
    if (!stbi_write_bmp(path, w, h, 4, texels.data())) std::abort();
}

// Publishes a framebuffer and depth buffer of the program's size.
inline void createFrame() {
    static std::vector<uint8_t> storage;
    createSurfaces(storage, frameWidth, frameHeight);
}

// Reads a float from any bytes, zero-padded past the end.
inline float floatAt(const uint8_t* data, size_t size, size_t offset) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4; ++i) {
        if (offset + i < size) bytes[i] = data[offset + i];
    }
    float value;
    __builtin_memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace fuzz_support
