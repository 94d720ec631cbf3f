#include "assets/smoothing_normals.h"

#include <cmath>

#include "base/check.h"

namespace {

// Multiplies by the reciprocal of the single-precision length; a vector whose
// length is zero or not finite has no direction and becomes zero.
glm::vec3 normalised(const glm::vec3& n) {
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0f && length <= 3.402823466e38f)) return glm::vec3(0.0f);
    const float inverse = 1.0f / length;
    return n * inverse;
}

glm::vec3 position(const tinyobj::attrib_t& attrib, int32_t vertexIndex) {
    const size_t base = 3 * static_cast<size_t>(vertexIndex);
    return {attrib.vertices[base], attrib.vertices[base + 1], attrib.vertices[base + 2]};
}

}  // namespace

void buildSmoothingNormals(const tinyobj::attrib_t& attrib, const tinyobj::shape_t& shape,
                           const std::vector<size_t>& faces, std::map<int32_t, glm::vec3>& table) {
    table.clear();
    for (const size_t f : faces) {
        int32_t vi[3];
        for (int c = 0; c < 3; ++c) vi[c] = shape.mesh.indices[3 * f + c].vertex_index;
        SW_CHECK(vi[0] >= 0, "model");
        SW_CHECK(vi[1] >= 0, "model");
        SW_CHECK(vi[2] >= 0, "model");

        const glm::vec3 p0 = position(attrib, vi[0]);
        const glm::vec3 e1 = position(attrib, vi[1]) - p0;
        const glm::vec3 e2 = position(attrib, vi[2]) - p0;
        const glm::vec3 n =
            normalised(glm::vec3(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x));
        for (int c = 0; c < 3; ++c) {
            auto entry = table.find(vi[c]);
            if (entry == table.end()) {
                table.emplace(vi[c], n);
            } else {
                entry->second += n;
            }
        }
    }
    for (auto& entry : table) entry.second = normalised(entry.second);
}
