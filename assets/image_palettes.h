#pragma once

#include <cstdint>
#include <vector>

// Paletted PNG and BMP files may hold indices past the entries their palette
// defines; the decoder keeps such palettes in memory it does not clear, so
// those pixels would take whatever that memory held, differently from one
// decoding to the next. Returns the contents with every such palette padded
// to all the entries its indices can reach, the added ones opaque black, as
// other decoders show them. In a PNG, a second palette chunk is padded with
// the first one's entries, which the decoder keeps. Any other contents come
// back unchanged, and so do PNGs with a transparency chunk longer than the
// palette before it, which the decoder refuses. A paletted BMP whose pixels
// start inside its headers, so that the decoder would read no palette at all,
// comes back empty: it cannot be decoded safely.
std::vector<uint8_t> withWholePalettes(std::vector<uint8_t> contents);
