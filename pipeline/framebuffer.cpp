#include "pipeline/framebuffer.h"

#include <cstring>

void clearFramebuffer() {
    const RenderContext& rc = renderContext;
    std::memset(rc.framebufferPixels, 0, static_cast<size_t>(rc.framebufferWidth) * rc.framebufferHeight * 4);
}
