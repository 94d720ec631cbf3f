#pragma once

#include <cstdint>

#include "base/vertex.h"

// The built-in cube: four corners per face (+z, +x, -z, -x, -y, +y), each face
// carrying the whole texture once, and two counter-clockwise triangles per face.
extern const Vertex cubeVertices[24];
extern const int32_t cubeIndices[36];

// Draws the cube with the current matrices and texture, on the current path.
void drawCube();

// Draws every mesh of the scene model on the current path, binding each
// mesh's texture (a mesh without one keeps the texture bound before it).
void drawModel();

// Replaces the framebuffer by a grey-scale picture of the depth buffer.
void showDepthBuffer();
