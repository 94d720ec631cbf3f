#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include <tiny_obj_loader.h>
#include <glm/glm.hpp>

// Per position index, the normalised sum of the unit normals of the faces that
// use it. `faces` lists the faces of the shape to take into account (face f
// has corners 3f, 3f+1, 3f+2 of shape.mesh.indices); their vertex indices
// must be valid. A face or sum of zero (or unmeasurable) length contributes
// the zero vector rather than non-numbers.
void buildSmoothingNormals(const tinyobj::attrib_t& attrib, const tinyobj::shape_t& shape,
                           const std::vector<size_t>& faces, std::map<int32_t, glm::vec3>& table);
