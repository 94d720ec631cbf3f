// Arbitrary triangles under arbitrary affine model matrices, made into a mesh
// as the loader makes them and drawn on every render path the processor
// supports into a real framebuffer and depth buffer; every path must leave
// the same bytes in both.
//
// Input: 12 floats, the first three rows of the model matrix in row order
// (the bottom row is 0, 0, 0, 1), then up to 8 triangles of three Vertex
// records each; missing bytes read as zero. The projection is the program's.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "base/platform.h"
#include "fuzz_support.h"
#include "pipeline/draw_calls.h"
#include "pipeline/framebuffer.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

namespace {

constexpr size_t matrixBytes = 12 * 4;
constexpr size_t triangleBytes = 3 * sizeof(Vertex);
constexpr size_t maxTriangles = 8;

Texture* makeTexture() {
    fuzz_support::writeImage(defaultTexturePath, 16, 8);
    Texture* tex = loadTexture(defaultTexturePath);
    generateMipmaps(tex);
    return tex;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enableFlushToZero();  // as the program does before anything else
    fuzz_support::enterScratchDirectory();
    fuzz_support::createFrame();
    renderContext.currentTexture = makeTexture();
    renderContext.projection = sceneProjection(frameWidth, frameHeight);
    renderContext.zNear = sceneNear;
    renderContext.zFar = sceneFar;
    renderContext.sceneModel = new Model{};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    glm::mat4 model(1.0f);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            model[col][row] = fuzz_support::floatAt(data, size, 4 * static_cast<size_t>(4 * row + col));
        }
    }
    renderContext.modelMatrix = model;

    const size_t available = size > matrixBytes ? size - matrixBytes : 0;
    size_t triangles = (available + triangleBytes - 1) / triangleBytes;
    if (triangles == 0) triangles = 1;
    if (triangles > maxTriangles) triangles = maxTriangles;
    std::vector<Vertex> vertices(3 * triangles);
    for (size_t t = 0; t < triangles; ++t) {
        uint8_t bytes[triangleBytes] = {};
        const size_t offset = matrixBytes + t * triangleBytes;
        if (offset < size) std::memcpy(bytes, data + offset, std::min(triangleBytes, size - offset));
        std::memcpy(&vertices[3 * t], bytes, triangleBytes);
    }
    renderContext.sceneModel->meshes = {makeMesh(std::move(vertices), -1)};

    // Every path must leave the same bytes in both buffers as the first.
    static std::vector<uint32_t> first;
    bool drawn = false;
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderContext.zbuffer.clear();
        clearFramebuffer();
        drawModel();
        const RenderContext& rc = renderContext;
        const size_t cells = static_cast<size_t>(frameWidth) * frameHeight;
        std::vector<uint32_t> frame(rc.framebufferPixels, rc.framebufferPixels + cells);
        frame.insert(frame.end(), rc.zbuffer.buffer, rc.zbuffer.buffer + cells);
        if (!drawn) {
            first = std::move(frame);
            drawn = true;
        } else if (frame != first) {
            std::fprintf(stderr, "path %s draws other bytes than the first path\n", renderPathName(path));
            std::abort();
        }
    }
    return 0;
}
