#pragma once

#include <cstdint>
#include <vector>

// A paletted PNG may hold indices past the entries its palette chunk sets;
// the decoder keeps its palette in memory it does not clear, so such pixels
// would take whatever that memory held, differently from one decoding to the
// next. Returns the contents with every palette chunk of a paletted PNG
// padded to 256 entries, the added ones opaque black, as other decoders show
// such indices (after a second palette chunk, the first one's entries). Any
// other contents come back unchanged, and so do those with a transparency
// chunk longer than the palette before it, which the decoder refuses.
std::vector<uint8_t> withFullPalettes(std::vector<uint8_t> contents);
