#pragma once

#include <cstddef>
#include <cstdint>

#include <glm/glm.hpp>

#include "base/vertex.h"
#include "pipeline/fast_scan.h"

struct Mesh;

// The vertex stage eight vertices at a time (AVX2). Callable only on a
// processor with AVX2.

// Eight object-space positions carried to clip space as
// projection * (model * (x, y, z, 1)) with glm's products, and their outcodes
// against clipPlanes. Lane k of every array belongs to position k.
struct ClipLanes {
    float x[laneCount], y[laneCount], z[laneCount], w[laneCount];
    uint32_t outcode[laneCount];
};
void transformToClipAvx2(const glm::mat4& model, const glm::mat4& projection, const float x[laneCount],
                         const float y[laneCount], const float z[laneCount], ClipLanes& out);

// drawTriangle for each triangle of the mesh, in order, with the current
// matrices and texture. Triangles reach scan conversion (the queue of
// pipeline/fast_scan.h, drawn before this returns) in the same order and with
// the same corners and screen positions as drawTriangle would hand them over;
// whole runs that drawTriangle would drop triangle by triangle are left out
// unread.
void drawMeshAvx2(const Mesh& mesh);
