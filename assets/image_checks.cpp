#include "assets/image_checks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads image file contents the way the decoder does: 0 past the end.
struct ByteReader {
    const uint8_t* bytes;
    size_t size;
    size_t at;

    bool atEnd() const { return at >= size; }
    // Whether at least n more bytes lie ahead.
    bool holds(uint64_t n) const { return at <= size && size - at >= n; }
    uint8_t next() { return at < size ? bytes[at++] : (++at, 0); }
    long next16() {
        const long high = next();
        return high << 8 | next();
    }
    long next16Le() {
        const long low = next();
        return static_cast<long>(next()) << 8 | low;
    }
    // A marker: 0xFF, any number of 0xFF fill bytes and the marker code;
    // 0xFF alone stands for "no marker here" (one byte consumed).
    uint8_t marker() {
        uint8_t x = next();
        if (x != 0xFF) return 0xFF;
        while (x == 0xFF) x = next();
        return x;
    }
};

constexpr uint8_t noMarker = 0xFF;
constexpr uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t pngSignatureSize = sizeof pngSignature;
constexpr uint8_t defineHuffmanTables = 0xC4;

enum class Tables { fit, overflow, rejected };

// The Huffman tables of one DHT segment, the reader standing after its
// marker. The decoder trusts each table's symbol counts: counts adding up to
// more than 256 make it write past the table and corrupt its state.
Tables checkHuffmanSegment(ByteReader& r) {
    long remaining = r.next16() - 2;
    while (remaining > 0) {
        const uint8_t q = r.next();
        if ((q >> 4) > 1 || (q & 15) > 3) return Tables::rejected;
        long symbols = 0;
        for (int i = 0; i < 16; ++i) symbols += r.next();
        if (symbols > 256) return Tables::overflow;
        remaining -= 17 + symbols;
        r.at += static_cast<size_t>(symbols);
    }
    return remaining == 0 ? Tables::fit : Tables::rejected;
}

// Whether every Huffman table the JPEG decoder could read from the contents
// is one it handles safely. The decoder takes contents for JPEG exactly when
// they open with 0xFF bytes followed by 0xD8. Up to the frame header its
// reading is followed segment by segment; past it, where the decoder's
// position depends on the compressed data, every 0xFF 0xC4 pair counts as a
// table it might read.
bool jpegHuffmanTablesFit(const uint8_t* bytes, size_t size) {
    ByteReader r{bytes, size, 0};
    if (r.marker() != 0xD8) return true;

    uint8_t m = r.marker();
    while (m != 0xC0 && m != 0xC1 && m != 0xC2) {
        const size_t segment = r.at;
        if (m == defineHuffmanTables) {
            const Tables tables = checkHuffmanSegment(r);
            if (tables == Tables::overflow) return false;
            if (tables == Tables::rejected) return true;
        } else if (m == 0xDB || m == 0xDD || (m >= 0xE0 && m <= 0xEF) || m == 0xFE) {
            const long length = r.next16();
            if (length < 2) return true;
            r.at = segment + static_cast<size_t>(length);
        } else {
            return true;  // the decoder gives up here
        }
        m = r.marker();
        while (m == noMarker) {
            if (r.atEnd()) return true;
            m = r.marker();
        }
    }
    for (size_t at = r.at; at + 1 < size; ++at) {
        if (bytes[at] != 0xFF || bytes[at + 1] != defineHuffmanTables) continue;
        ByteReader tables{bytes, size, at + 2};
        if (checkHuffmanSegment(tables) == Tables::overflow) return false;
    }
    return true;
}

bool pnmSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Whether a binary PNM image (P5 or P6) is one the decoder handles: its
// header's numbers must fit an int, which the decoder accumulates them in
// unchecked, the samples must be 8-bit, as 16-bit ones are converted to four
// channels with the 8-bit routine, which reads past their buffer, and every
// sample must be there: the decoder reads them in one piece and, when fewer
// remain, leaves the whole image as its allocation held it. The header is
// read as the decoder reads it, comments and all.
bool pnmDecodable(const uint8_t* bytes, size_t size) {
    ByteReader r{bytes, size, 0};
    const uint8_t p = r.next();
    const uint8_t t = r.next();
    if (p != 'P' || (t != '5' && t != '6')) return true;
    uint8_t c = r.next();
    auto skipSpace = [&] {
        for (;;) {
            while (!r.atEnd() && pnmSpace(c)) c = r.next();
            if (r.atEnd() || c != '#') break;
            while (!r.atEnd() && c != '\n' && c != '\r') c = r.next();
        }
    };
    // Reading a file, the decoder may or may not notice the end before a
    // final digit; counting that digit covers both.
    auto number = [&](long long& value) {
        value = 0;
        while (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (value > 2147483647) return false;
            if (r.atEnd()) break;
            c = r.next();
        }
        return true;
    };
    long long width, height, maxValue;
    skipSpace();
    if (!number(width)) return false;
    skipSpace();
    if (!number(height)) return false;
    skipSpace();
    if (!number(maxValue)) return false;
    // The samples start after the character that ends the maximum value.
    const uint64_t samples = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * (t == '6' ? 3 : 1);
    return maxValue <= 255 && (samples == 0 || r.holds(samples));
}

// Whether every image-data chunk of a PNG fits in the contents. The decoder
// grows its buffer to a chunk's declared length before reading the chunk, so
// a few bytes declaring 2 GB would make it allocate 2 GB only to fail on the
// missing data; and it copies an empty chunk that comes before any data into
// the buffer it has not allocated yet (a null pointer, which the compiler may
// then assume is not null). Chunks are walked as the decoder walks them, up
// to the end chunk; a chunk running past the contents ends the walk, as it
// ends decoding.
bool pngDataChunksFit(const uint8_t* bytes, size_t size) {
    if (!opensAsPng(bytes, size)) return true;
    ByteReader r{bytes, size, pngSignatureSize};
    bool anyData = false;
    while (r.at + 8 <= size) {
        const unsigned long length =
            static_cast<unsigned long>(r.next16()) << 16 | static_cast<unsigned long>(r.next16());
        const bool data = std::memcmp(bytes + r.at, "IDAT", 4) == 0;
        if (std::memcmp(bytes + r.at, "IEND", 4) == 0) return true;
        if (data && length == 0 && !anyData) return false;
        anyData = anyData || (data && length > 0);
        r.at += 4;
        if (length > size - r.at) return !data;
        r.at += length + 4;  // the chunk and its checksum
    }
    return true;
}

constexpr int radianceLineLength = 1024;

// One header line of a Radiance image as the decoder reads it: up to a
// newline or the end of the contents, at most 1023 characters kept (the rest
// of a longer line is skipped), ended by a NUL.
void readRadianceLine(ByteReader& r, char (&line)[radianceLineLength]) {
    int length = 0;
    char c = static_cast<char>(r.next());
    while (!r.atEnd() && c != '\n') {
        line[length++] = c;
        if (length == radianceLineLength - 1) {
            while (!r.atEnd() && r.next() != '\n') {
            }
            break;
        }
        c = static_cast<char>(r.next());
    }
    line[length] = 0;
}

bool opensWith(const uint8_t* bytes, size_t size, const char* text) {
    const size_t length = std::strlen(text);
    return size >= length && std::memcmp(bytes, text, length) == 0;
}

// Whether the pixel data of a Radiance (HDR) image lasts as long as the
// image. Past the end of the contents the decoder keeps, for a flat pixel,
// whatever its buffer held before, and reads 0 for a run-length count, which
// never advances: truncated data gives texels from memory never written, or
// decoding never ends. The header and scanlines are read as the decoder reads
// them; where it gives up, it reads no further pixels.
bool radiancePixelsComplete(const uint8_t* bytes, size_t size) {
    if (!opensWith(bytes, size, "#?RADIANCE\n") && !opensWith(bytes, size, "#?RGBE\n")) return true;
    ByteReader r{bytes, size, 0};
    char line[radianceLineLength];
    readRadianceLine(r, line);  // the identifier
    bool supported = false;
    for (;;) {
        readRadianceLine(r, line);
        if (line[0] == 0) break;
        if (std::strcmp(line, "FORMAT=32-bit_rle_rgbe") == 0) supported = true;
    }
    if (!supported) return true;
    readRadianceLine(r, line);
    if (std::strncmp(line, "-Y ", 3) != 0) return true;
    char* rest = line + 3;
    const int height = static_cast<int>(std::strtol(rest, &rest, 10));
    while (*rest == ' ') ++rest;
    if (std::strncmp(rest, "+X ", 3) != 0) return true;
    const int width = static_cast<int>(std::strtol(rest + 3, nullptr, 10));
    if (width < 0 || height < 0) return true;

    // Flat pixels are four bytes each.
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (width < 8 || width >= 32768) return r.holds(4 * pixels);
    for (int row = 0; row < height; ++row) {
        const uint8_t first = r.next(), second = r.next(), high = r.next();
        if (first != 2 || second != 2 || (high & 0x80) != 0) {
            // Not run-length encoded: these four bytes are the first pixel,
            // and every other pixel of the image follows flat.
            r.next();
            return r.holds(4 * (pixels - 1));
        }
        if ((high << 8 | r.next()) != width) return true;
        for (int component = 0; component < 4; ++component) {
            for (int column = 0; column < width;) {
                int count = r.next();
                if (count > 128) {
                    count -= 128;
                    r.next();  // the repeated value
                    if (count > width - column) return true;
                } else {
                    if (count > width - column) return true;
                    r.at += static_cast<size_t>(count);  // the values themselves
                }
                if (r.at > size) return false;
                column += count;
            }
        }
    }
    return true;
}

// Whether the pixels of an uncompressed true-colour or grey TGA image last as
// long as the image. The decoder reads such an image a row at a time and
// leaves a row it cannot read whole as its allocation held it: texels from
// memory never written. (Its other TGA images read 0 past the end.) TGA
// contents have no signature; the header is read as the decoder's test reads
// it, whose second byte, 0 here, no other format's contents have.
bool tgaPixelsComplete(const uint8_t* bytes, size_t size) {
    ByteReader r{bytes, size, 0};
    const uint8_t idLength = r.next(), colourMapped = r.next(), type = r.next();
    if (colourMapped != 0 || (type != 2 && type != 3)) return true;
    r.at = 12;
    const long width = r.next16Le(), height = r.next16Le();
    const uint8_t bits = r.next();
    uint64_t components = 0;
    if (bits == 8) {
        components = 1;
    } else if (bits == 16 && type == 3) {
        components = 2;
    } else if (bits == 24 || bits == 32) {
        components = bits / 8;
    }
    if (width < 1 || height < 1 || components == 0) return true;
    r.at = 18 + idLength;  // past the header and the identification field
    return r.holds(static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * components);
}

}  // namespace

bool opensAsPng(const uint8_t* bytes, size_t size) {
    return size >= pngSignatureSize && std::memcmp(bytes, pngSignature, pngSignatureSize) == 0;
}

bool imageSafeToDecode(const uint8_t* bytes, size_t size) {
    return jpegHuffmanTablesFit(bytes, size) && pnmDecodable(bytes, size) && pngDataChunksFit(bytes, size) &&
           radiancePixelsComplete(bytes, size) && tgaPixelsComplete(bytes, size);
}
