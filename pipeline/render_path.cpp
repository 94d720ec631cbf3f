#include "pipeline/render_path.h"

#include <cstddef>

#include "assets/model.h"
#include "pipeline/draw_calls.h"
#include "pipeline/fast_transform.h"
#include "pipeline/rasterizer.h"
#include "pipeline/vertex_processing.h"
#include "pipeline/render_context.h"

namespace {

RenderPath activePath = fastestRenderPath();

bool useReference() { return activePath == RenderPath::reference || triangleSink != fillTriangle; }

}  // namespace

const char* renderPathName(RenderPath path) {
    switch (path) {
        case RenderPath::reference:
            return "reference";
        case RenderPath::avx2:
            return "avx2";
    }
    return "?";
}

bool renderPathSupported(RenderPath path) {
    switch (path) {
        case RenderPath::reference:
            return true;
        case RenderPath::avx2:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
    }
    return false;
}

RenderPath fastestRenderPath() {
    return renderPathSupported(RenderPath::avx2) ? RenderPath::avx2 : RenderPath::reference;
}

RenderPath currentRenderPath() { return activePath; }

bool setRenderPath(RenderPath path) {
    if (!renderPathSupported(path)) return false;
    activePath = path;
    return true;
}

void drawModelOnPath() {
    if (useReference()) {
        drawModel();
        return;
    }
    const Model* model = renderContext.sceneModel;
    if (model == nullptr) return;
    for (const Mesh& mesh : model->meshes) {
        if (const Texture* texture = meshTexture(*model, mesh)) renderContext.currentTexture = texture;
        drawTrianglesAvx2(mesh.vertices.data(), mesh.vertices.size() / 3);
    }
}

void drawCubeOnPath() {
    if (useReference()) {
        drawCube();
        return;
    }
    Vertex corners[36];
    for (int i = 0; i < 36; ++i) corners[i] = cubeVertices[cubeIndices[i]];
    drawTrianglesAvx2(corners, 12);
}
