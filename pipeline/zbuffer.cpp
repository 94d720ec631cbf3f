#include "pipeline/zbuffer.h"

void ZBuffer::clear() {
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            buffer[y * w + x] = 0;
        }
    }
}
