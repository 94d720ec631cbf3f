#pragma once

#include "base/vertex.h"

// fillTriangle with the pixel loop eight pixels at a time (AVX2). Same
// arguments, same pixels and depth cells, same checks; callable only on a
// processor with AVX2.
void fillTriangleAvx2(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                      ScreenPosition p1, ScreenPosition p2);

// Lanes of the AVX2 registers in 32-bit values: pixels per group, triangles
// per batch.
constexpr int laneCount = 8;

// Up to eight triangles as drawTriangle hands them to scan conversion, one
// per lane: corner c of lane k is the record vertex[c][3 * k] at the screen
// position (x[c][k], y[c][k], z[c][k], w[c][k]), its texture coordinates
// copied to (u[c][k], v[c][k]) so that set-up need not read the records. The
// records of consecutive lanes lie three apart, as a mesh's triangles do.
struct ScreenTriangles {
    alignas(32) float x[3][laneCount];
    alignas(32) float y[3][laneCount];
    alignas(32) float z[3][laneCount];
    alignas(32) float w[3][laneCount];
    alignas(32) float u[3][laneCount];
    alignas(32) float v[3][laneCount];
    const Vertex* vertex[3];
};

// fillTriangleAvx2 for each lane of `lanes`, lowest lane first, with the
// triangle set-up done for all of them at once.
void fillTrianglesAvx2(const ScreenTriangles& triangles, unsigned lanes);
