#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/vertex.h"

// Triangles per run: a mesh's consecutive triangles are grouped in runs of
// this many (the last one may be shorter), each with the box around its
// corners, so that a draw can leave out a whole run that lies outside the
// view volume without reading its records.
constexpr size_t trianglesPerRun = 64;

// The box around the corner positions of one run. When a coordinate is not a
// finite number the bounds are NaN, which no skip test passes.
struct RunBounds {
    float min[3];
    float max[3];
};

// Triangles sharing one material: three records per triangle (a stray record
// or two at the end are kept but never drawn), and the run boxes.
struct Mesh {
    std::vector<Vertex> vertices;
    int32_t material_id;
    std::vector<RunBounds> runs;
};

// The one way meshes are made: takes the records and builds the run data.
Mesh makeMesh(std::vector<Vertex> vertices, int32_t materialId);
