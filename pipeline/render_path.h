#pragma once

#include "pipeline/vertex_processing.h"

struct Mesh;

// Which implementation of the draw calls the program uses. The reference is
// the plain per-triangle, per-pixel code; the others compute the same pixels
// and depth cells, bit for bit, with the processor's vector units. The
// recording path is the reference vertex stage handing its finished
// triangles to a recorder instead of scan conversion, for tests.
enum class RenderPath {
    reference,
    avx2,
    recording,
};

// The paths that draw.
constexpr RenderPath allRenderPaths[] = {RenderPath::reference, RenderPath::avx2};

const char* renderPathName(RenderPath path);

// Whether the processor running the program can take the path.
bool renderPathSupported(RenderPath path);

// The fastest path the processor supports.
RenderPath fastestRenderPath();

// The path drawMesh takes: fastestRenderPath() from start-up on, unless
// changed. Setting a path the processor lacks keeps the current one and
// returns false; setting the recording path hands its triangles to
// `recorder`.
RenderPath currentRenderPath();
bool setRenderPath(RenderPath path, TriangleSink recorder = nullptr);

// The one entry of the draw calls: draws the mesh's triangles in order on the
// current path, with the current matrices and texture.
void drawMesh(const Mesh& mesh);
