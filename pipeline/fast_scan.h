#pragma once

#include "base/vertex.h"

// Lanes of the AVX2 registers in 32-bit values: pixels per group, triangles
// per batch.
constexpr int laneCount = 8;

// Scan conversion with the pixel loop eight pixels at a time (AVX2), callable
// only on a processor with AVX2. Same pixels and depth cells as fillTriangle
// for the same triangles in the same order, same checks.
//
// Triangles wait in a queue, in the order they are handed over, and those
// that pass set-up's first tests (facing the viewer, corners in range) are
// set up eight at a time: most triangles of a batch from the vertex stage
// fail them. Only texture coordinates are kept, and the current texture and
// the buffers are read when the triangles are drawn: draw what is queued
// before either changes.

// Triangles as drawTriangle hands them to scan conversion, one per lane:
// corner c of lane k at the screen position (x[c][k], y[c][k], z[c][k],
// w[c][k]), with the texture coordinates (u[c][k], v[c][k]).
template <int Lanes>
struct TriangleLanes {
    alignas(32) float x[3][Lanes];
    alignas(32) float y[3][Lanes];
    alignas(32) float z[3][Lanes];
    alignas(32) float w[3][Lanes];
    alignas(32) float u[3][Lanes];
    alignas(32) float v[3][Lanes];
};

// Up to eight triangles.
using ScreenTriangles = TriangleLanes<laneCount>;

// Queues the triangle of each lane of `lanes`, lowest lane first.
void queueTrianglesAvx2(const ScreenTriangles& triangles, unsigned lanes);

// Queues one triangle, as fillTriangle takes it (a TriangleSink).
void queueTriangleAvx2(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                       ScreenPosition p1, ScreenPosition p2);

// Draws every queued triangle.
void drawQueuedTrianglesAvx2();
