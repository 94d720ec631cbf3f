#include "assets/mesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

RunBounds boundsOf(const Vertex* first, size_t records) {
    RunBounds b;
    for (int k = 0; k < 3; ++k) b.min[k] = b.max[k] = first[0].position[k];
    for (size_t i = 0; i < records; ++i) {
        for (int k = 0; k < 3; ++k) {
            const float c = first[i].position[k];
            if (!std::isfinite(c)) {
                const float nan = std::numeric_limits<float>::quiet_NaN();
                return {{nan, nan, nan}, {nan, nan, nan}};
            }
            b.min[k] = std::min(b.min[k], c);
            b.max[k] = std::max(b.max[k], c);
        }
    }
    return b;
}

}  // namespace

Mesh makeMesh(std::vector<Vertex> vertices, int32_t materialId) {
    Mesh mesh{std::move(vertices), materialId, {}};
    const size_t triangles = mesh.vertices.size() / 3;
    mesh.runs.reserve((triangles + trianglesPerRun - 1) / trianglesPerRun);
    for (size_t t = 0; t < triangles; t += trianglesPerRun) {
        mesh.runs.push_back(boundsOf(&mesh.vertices[3 * t], 3 * std::min(trianglesPerRun, triangles - t)));
    }
    return mesh;
}
