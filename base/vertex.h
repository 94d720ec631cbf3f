#pragma once

#include <cstddef>
#include <cstdint>

#include <glm/glm.hpp>

// The vertex record shared by meshes, the built-in cube and the clipper.
struct Vertex {
    float position[3];
    int32_t color[4];
    float normal[3];
    float texcoord[2];
};
static_assert(sizeof(Vertex) == 12 * 4, "a Vertex is twelve 32-bit values");
static_assert(offsetof(Vertex, texcoord) == 10 * 4, "texcoord is the last two values");

// A polygon point while clipping: clip-space position and the weights of the
// source triangle's three corners.
struct ClipVertex {
    glm::vec4 clip;
    glm::vec3 weights;
};

// Pixel column, pixel row (downwards), depth and clip-space w of a vertex.
struct ScreenPosition {
    float x, y, z, w;
};
