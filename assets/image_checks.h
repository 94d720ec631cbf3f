#pragma once

#include <cstddef>
#include <cstdint>

// Whether image file contents can be handed to the decoder without tripping
// one of its known faults: JPEG Huffman tables declaring more than 256
// symbols (written past their table), binary PNM headers with 16-bit samples
// (read past their buffer) or numbers beyond an int, PNG data chunks
// declaring more bytes than the file holds (allocated before being read),
// and binary PNM, Radiance or uncompressed TGA images whose pixel data ends
// early (read from memory never written, or decoded forever). Contents that
// cannot are treated as undecodable.
bool imageSafeToDecode(const uint8_t* bytes, size_t size);

// Whether the contents open with the PNG signature, which is what makes the
// decoder read them as PNG.
bool opensAsPng(const uint8_t* bytes, size_t size);
