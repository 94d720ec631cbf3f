#include "assets/mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr RunBounds noBounds = {{nan, nan, nan}, {nan, nan, nan}};

// The box around the positions of `count` records, or noBounds when a
// coordinate is not finite (or there are none).
RunBounds boxAround(const Vertex* records, size_t count) {
    if (count == 0) return noBounds;
    RunBounds b;
    for (int k = 0; k < 3; ++k) b.min[k] = b.max[k] = records[0].position[k];
    for (size_t i = 0; i < count; ++i) {
        for (int k = 0; k < 3; ++k) {
            const float c = records[i].position[k];
            if (!std::isfinite(c)) return noBounds;
            b.min[k] = std::min(b.min[k], c);
            b.max[k] = std::max(b.max[k], c);
        }
    }
    return b;
}

}  // namespace

Mesh makeMesh(std::vector<Vertex> vertices, int32_t materialId) {
    Mesh mesh{std::move(vertices), materialId, nullptr, noBounds, {}, {}};
    const size_t triangles = mesh.triangleCount();
    mesh.runs.reserve((triangles + trianglesPerRun - 1) / trianglesPerRun);
    for (size_t t = 0; t < triangles; t += trianglesPerRun) {
        const size_t records = 3 * std::min(trianglesPerRun, triangles - t);
        mesh.runs.push_back(boxAround(&mesh.vertices[3 * t], records));
    }
    mesh.bounds = boxAround(mesh.vertices.data(), 3 * triangles);
    mesh.batches.resize((triangles + trianglesPerBatch - 1) / trianglesPerBatch);
    for (size_t b = 0; b < mesh.batches.size(); ++b) {
        CornerBatch& batch = mesh.batches[b];
        for (size_t k = 0; k < trianglesPerBatch; ++k) {
            const size_t t = std::min(b * trianglesPerBatch + k, triangles - 1);
            for (int c = 0; c < 3; ++c) {
                const Vertex& corner = mesh.vertices[3 * t + c];
                batch.x[c][k] = corner.position[0];
                batch.y[c][k] = corner.position[1];
                batch.z[c][k] = corner.position[2];
                batch.u[c][k] = corner.texcoord[0];
                batch.v[c][k] = corner.texcoord[1];
            }
        }
    }
    return mesh;
}
