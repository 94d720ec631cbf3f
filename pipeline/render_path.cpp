#include "pipeline/render_path.h"

#include <cstddef>

#include "assets/mesh.h"
#include "pipeline/fast_transform.h"
#include "pipeline/rasterizer.h"
#include "pipeline/stage_counters.h"

namespace {

RenderPath activePath = fastestRenderPath();
TriangleSink activeRecorder = nullptr;

// The reference path, and the recording path with another sink: each
// triangle through drawTriangle.
void drawEachTriangle(const Mesh& mesh, TriangleSink sink) {
    const Vertex* v = mesh.vertices.data();
    const size_t triangles = mesh.triangleCount();
    for (size_t t = 0; t < triangles; ++t) drawTriangle(v[3 * t], v[3 * t + 1], v[3 * t + 2], sink);
}

}  // namespace

const char* renderPathName(RenderPath path) {
    switch (path) {
        case RenderPath::reference:
            return "reference";
        case RenderPath::avx2:
            return "avx2";
        case RenderPath::recording:
            return "recording";
    }
    return "?";
}

bool renderPathSupported(RenderPath path) {
    switch (path) {
        case RenderPath::reference:
        case RenderPath::recording:
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

bool setRenderPath(RenderPath path, TriangleSink recorder) {
    if (!renderPathSupported(path)) return false;
    activePath = path;
    activeRecorder = recorder;
    return true;
}

void drawMesh(const Mesh& mesh) {
    SW_COUNT(submitted, mesh.triangleCount());
    SW_STAGE(vertex);
    switch (activePath) {
        case RenderPath::reference:
            drawEachTriangle(mesh, fillTriangle);
            break;
        case RenderPath::avx2:
            drawMeshAvx2(mesh);
            break;
        case RenderPath::recording:
            drawEachTriangle(mesh, activeRecorder);
            break;
    }
    SW_STAGE(other);
}
