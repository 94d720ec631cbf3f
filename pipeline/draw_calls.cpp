#include "pipeline/draw_calls.h"

#include <utility>
#include <vector>

#include "assets/model.h"
#include "pipeline/framebuffer.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

#define CUBE_VERTEX(px, py, pz, nx, ny, nz, u, v)          \
    {                                                      \
        {px, py, pz}, {1, 1, 1, 1}, {nx, ny, nz}, { u, v } \
    }

const Vertex cubeVertices[24] = {
    CUBE_VERTEX(-1, -1, 1, 0, 0, 1, 0, 0),   CUBE_VERTEX(1, -1, 1, 0, 0, 1, 1, 0),
    CUBE_VERTEX(-1, 1, 1, 0, 0, 1, 0, 1),    CUBE_VERTEX(1, 1, 1, 0, 0, 1, 1, 1),
    CUBE_VERTEX(1, -1, 1, 1, 0, 0, 0, 0),    CUBE_VERTEX(1, -1, -1, 1, 0, 0, 1, 0),
    CUBE_VERTEX(1, 1, 1, 1, 0, 0, 0, 1),     CUBE_VERTEX(1, 1, -1, 1, 0, 0, 1, 1),
    CUBE_VERTEX(1, -1, -1, 0, 0, -1, 0, 0),  CUBE_VERTEX(-1, -1, -1, 0, 0, -1, 1, 0),
    CUBE_VERTEX(1, 1, -1, 0, 0, -1, 0, 1),   CUBE_VERTEX(-1, 1, -1, 0, 0, -1, 1, 1),
    CUBE_VERTEX(-1, -1, -1, -1, 0, 0, 0, 0), CUBE_VERTEX(-1, -1, 1, -1, 0, 0, 1, 0),
    CUBE_VERTEX(-1, 1, -1, -1, 0, 0, 0, 1),  CUBE_VERTEX(-1, 1, 1, -1, 0, 0, 1, 1),
    CUBE_VERTEX(-1, -1, -1, 0, -1, 0, 0, 0), CUBE_VERTEX(1, -1, -1, 0, -1, 0, 1, 0),
    CUBE_VERTEX(-1, -1, 1, 0, -1, 0, 0, 1),  CUBE_VERTEX(1, -1, 1, 0, -1, 0, 1, 1),
    CUBE_VERTEX(-1, 1, 1, 0, 1, 0, 0, 1),    CUBE_VERTEX(1, 1, 1, 0, 1, 0, 1, 1),
    CUBE_VERTEX(-1, 1, -1, 0, 1, 0, 0, 0),   CUBE_VERTEX(1, 1, -1, 0, 1, 0, 1, 0),
};

#undef CUBE_VERTEX

// Face f is the triangles (0, 1, 3) and (0, 3, 2) of its corners 4f ... 4f+3.
const int32_t cubeIndices[36] = {
    0,  1,  3,  0,  3,  2,  4,  5,  7,  4,  7,  6,  8,  9,  11, 8,  11, 10,
    12, 13, 15, 12, 15, 14, 16, 17, 19, 16, 19, 18, 20, 21, 23, 20, 23, 22,
};

namespace {

Mesh makeCubeMesh() {
    std::vector<Vertex> corners;
    for (const int32_t index : cubeIndices) corners.push_back(cubeVertices[index]);
    return makeMesh(std::move(corners), -1);
}

const Mesh cubeMesh = makeCubeMesh();

}  // namespace

void drawCube() { drawMesh(cubeMesh); }

void drawModel() {
    const Model* model = renderContext.sceneModel;
    if (model == nullptr) return;
    for (const Mesh& mesh : model->meshes) {
        if (mesh.texture != nullptr) renderContext.currentTexture = mesh.texture;
        drawMesh(mesh);
    }
}

void showDepthBuffer() {
    const RenderContext& rc = renderContext;
    const ZBuffer& zbuffer = rc.zbuffer;
    const float n = rc.zNear;
    const float f = rc.zFar;
    for (int32_t y = 0; y < zbuffer.h; ++y) {
        for (int32_t x = 0; x < zbuffer.w; ++x) {
            const uint32_t d = zbuffer.get(x, y);
            float g = 0.0f;
            if (d != 0) {
                const float e = static_cast<float>(d) / ZBuffer::maxDepth;
                const float denominator = (f + n) - e * (f - n);
                const float lin = static_cast<float>(2.0 * n / denominator);
                g = static_cast<float>((lin * 0.5 + 0.5) * 255.0);
            }
            const uint32_t k = static_cast<uint32_t>(g);
            putPixel(x, y, 0xFF000000u | k << 16 | k << 8 | k);
        }
    }
}
