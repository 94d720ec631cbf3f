#pragma once

// Which implementation of the draw calls the program uses. The reference is
// the plain per-triangle, per-pixel code; the others compute the same pixels
// and depth cells, bit for bit, with the processor's vector units.
enum class RenderPath {
    reference,
    avx2,
};

constexpr RenderPath allRenderPaths[] = {RenderPath::reference, RenderPath::avx2};

const char* renderPathName(RenderPath path);

// Whether the processor running the program can take the path.
bool renderPathSupported(RenderPath path);

// The fastest path the processor supports.
RenderPath fastestRenderPath();

// The path the draw calls below take: fastestRenderPath() from start-up on,
// unless changed. Setting a path the processor lacks keeps the current one
// and returns false.
RenderPath currentRenderPath();
bool setRenderPath(RenderPath path);

// drawModel and drawCube on the current path. While triangleSink is not
// fillTriangle (a test recording what vertex processing emits) they take the
// reference path, which is the one that feeds the sink.
void drawModelOnPath();
void drawCubeOnPath();
