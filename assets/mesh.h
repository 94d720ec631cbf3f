#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/vertex.h"

struct Texture;

// Triangles per batch of the vector vertex stage, one per lane.
constexpr size_t trianglesPerBatch = 8;

// Triangles per run: a mesh's consecutive triangles are grouped in runs of
// this many (the last one may be shorter), each with the box around its
// corners, so that a draw can leave out a whole run that lies outside the
// view volume without reading its triangles. A whole number of batches. On
// the demo scene 32 leaves out about 1 % more of the triangles than 64 for
// 1 % more instructions a frame; 16 leaves out little more, and its run tests
// cost more than they save.
constexpr size_t trianglesPerRun = 32;
static_assert(trianglesPerRun % trianglesPerBatch == 0, "runs start at batch boundaries");

// The box around the corner positions of one run (or of a whole mesh). When a coordinate is not a
// finite number the bounds are NaN, which no skip test passes.
struct RunBounds {
    float min[3];
    float max[3];
};

// The corner positions and texture coordinates of one batch of triangles,
// laid out for the vector loads: x[c][k] is corner c of the batch's triangle
// k. A mesh's last batch is filled up with copies of its last triangle.
struct alignas(32) CornerBatch {
    float x[3][trianglesPerBatch];
    float y[3][trianglesPerBatch];
    float z[3][trianglesPerBatch];
    float u[3][trianglesPerBatch];
    float v[3][trianglesPerBatch];
};

// Triangles sharing one material, as drawn: three records per triangle (a
// stray record or two at the end are kept but never drawn), the texture the
// material names (null: the draw keeps the current texture), the box around
// all its triangles and around each run, and the corners again in batches.
struct Mesh {
    std::vector<Vertex> vertices;
    int32_t material_id;
    const Texture* texture;
    RunBounds bounds;
    std::vector<RunBounds> runs;
    std::vector<CornerBatch> batches;

    size_t triangleCount() const { return vertices.size() / 3; }
};

// The one way meshes are made: takes the records and builds the run data and
// the corner batches. The texture starts as null.
Mesh makeMesh(std::vector<Vertex> vertices, int32_t materialId);
