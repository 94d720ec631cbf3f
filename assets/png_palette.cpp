#include "assets/png_palette.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t fullPalette = 256 * 3;
constexpr uint8_t palettedColour = 3;

uint32_t bigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

std::vector<uint8_t> withFullPalettes(std::vector<uint8_t> contents) {
    // The header chunk comes first; its colour type is its tenth byte.
    const size_t size = contents.size();
    const uint8_t* bytes = contents.data();
    if (size < 8 + 8 + 13 || std::memcmp(bytes, signature, 8) != 0 || std::memcmp(bytes + 12, "IHDR", 4) != 0 ||
        bytes[25] != palettedColour) {
        return contents;
    }
    // Chunks are walked as the decoder walks them; it checks no checksums, so
    // a padded chunk keeps its old one. A chunk running past the contents
    // ends the walk, and the rest is copied as it is.
    std::vector<uint8_t> out(bytes, bytes + 8);
    uint8_t palette[fullPalette] = {};
    size_t entries = 0, at = 8;
    while (at + 8 <= size) {
        const uint32_t length = bigEndian32(bytes + at);
        const uint8_t* type = bytes + at + 4;
        if (length > size - at - 8 || size - at - 8 - length < 4) break;
        const size_t end = at + 8 + length + 4;
        if (std::memcmp(type, "PLTE", 4) == 0 && length <= fullPalette && length % 3 == 0) {
            std::memcpy(palette, bytes + at + 8, length);
            entries = length / 3;
            appendBigEndian32(out, fullPalette);
            out.insert(out.end(), type, type + 4);
            out.insert(out.end(), palette, palette + fullPalette);
            out.insert(out.end(), bytes + end - 4, bytes + end);
        } else {
            if (std::memcmp(type, "tRNS", 4) == 0 && length > entries) return contents;
            out.insert(out.end(), bytes + at, bytes + end);
        }
        at = end;
        if (std::memcmp(type, "IEND", 4) == 0) break;
    }
    out.insert(out.end(), bytes + at, bytes + size);
    return out;
}
