#include "assets/image_palettes.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "assets/image_checks.h"

namespace {

constexpr size_t fullPngPalette = 256 * 3;
constexpr uint8_t pngPalettedColour = 3;

uint32_t bigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

uint32_t littleEndian(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

bool isPalettedPng(const std::vector<uint8_t>& contents) {
    // The header chunk comes first; its colour type is its tenth byte.
    return contents.size() >= 8 + 8 + 13 && opensAsPng(contents.data(), contents.size()) &&
           std::memcmp(contents.data() + 12, "IHDR", 4) == 0 && contents[25] == pngPalettedColour;
}

// Every palette chunk of a paletted PNG padded to 256 entries. Chunks are
// walked as the decoder walks them; it checks no checksums, so a padded chunk
// keeps its old one. A chunk running past the contents ends the walk, and the
// rest is copied as it is.
std::vector<uint8_t> withWholePngPalettes(std::vector<uint8_t> contents) {
    const size_t size = contents.size();
    const uint8_t* bytes = contents.data();
    std::vector<uint8_t> out(bytes, bytes + 8);
    uint8_t palette[fullPngPalette] = {};
    size_t entries = 0, at = 8;
    while (at + 8 <= size) {
        const uint32_t length = bigEndian32(bytes + at);
        const uint8_t* type = bytes + at + 4;
        if (length > size - at - 8 || size - at - 8 - length < 4) break;
        const size_t end = at + 8 + length + 4;
        if (std::memcmp(type, "PLTE", 4) == 0 && length <= fullPngPalette && length % 3 == 0) {
            std::memcpy(palette, bytes + at + 8, length);
            entries = length / 3;
            appendBigEndian32(out, fullPngPalette);
            out.insert(out.end(), type, type + 4);
            out.insert(out.end(), palette, palette + fullPngPalette);
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

// A BMP of 1, 4 or 8 bits per pixel with fewer palette entries than its
// indices reach gets the missing ones, zero bytes, after its own. The decoder
// counts the entries from the gap between the headers and the pixels, so the
// pixels' offset moves by what is inserted; contents ending inside the
// palette are first filled out with the zeros the decoder reads past the end.
// An offset inside the headers makes the count negative and the decoder read
// no entry at all: such contents come back empty, as undecodable.
std::vector<uint8_t> withWholeBmpPalette(std::vector<uint8_t> contents) {
    if (contents.size() < 30 || contents[0] != 'B' || contents[1] != 'M') return contents;
    const uint8_t* bytes = contents.data();
    const uint32_t offset = littleEndian(bytes + 10, 4), headerSize = littleEndian(bytes + 14, 4);
    const bool core = headerSize == 12;  // the oldest header: 16-bit sides, 3-byte entries
    // Headers the decoder refuses are left as they are. The compression
    // field is not read: the decoder refuses compressed images at these
    // depths, so padding one changes nothing, while a field it takes for
    // uncompressed (any negative value, read as an int) must be padded.
    if (offset > 0x7FFFFFFFu || (!core && headerSize < 40) || headerSize > 124) return contents;
    const uint32_t bits = littleEndian(bytes + (core ? 24 : 28), 2);
    if (bits != 1 && bits != 4 && bits != 8) return contents;
    // The decoder's own count of entries, and where they start.
    const size_t entrySize = core ? 3 : 4;
    const long gap = static_cast<long>(offset) - 14 - (core ? 24 : static_cast<long>(headerSize));
    const long entries = core ? gap / 3 : gap >> 2;
    const long reachable = 1L << bits;
    if (entries < 0) return {};
    if (entries == 0 || entries >= reachable) return contents;
    const size_t start = 14 + headerSize, end = start + static_cast<size_t>(entries) * entrySize;
    if (contents.size() < end) contents.resize(end, 0);
    const size_t added = static_cast<size_t>(reachable - entries) * entrySize;
    contents.insert(contents.begin() + static_cast<std::ptrdiff_t>(end), added, 0);
    const uint32_t moved = offset + static_cast<uint32_t>(added);
    for (int i = 0; i < 4; ++i) contents[10 + i] = static_cast<uint8_t>(moved >> (8 * i));
    return contents;
}

}  // namespace

std::vector<uint8_t> withWholePalettes(std::vector<uint8_t> contents) {
    if (isPalettedPng(contents)) return withWholePngPalettes(std::move(contents));
    return withWholeBmpPalette(std::move(contents));
}
