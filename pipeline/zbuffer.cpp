#include "pipeline/zbuffer.h"

void ZBuffer::clear() {
    // Local copies tell the compiler that the stores cannot change the
    // buffer's size or address, so the rows become block fills.
    uint32_t* const cells = buffer;
    const int32_t width = w;
    const int32_t height = h;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            cells[y * width + x] = 0;
        }
    }
}
