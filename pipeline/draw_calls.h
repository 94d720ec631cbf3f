#pragma once

#include <cstdint>

#include "base/vertex.h"

struct Mesh;
struct Model;
struct Texture;

// The built-in cube: four corners per face (+z, +x, -z, -x, -y, +y), each face
// carrying the whole texture once, and two counter-clockwise triangles per face.
extern const Vertex cubeVertices[24];
extern const int32_t cubeIndices[36];

// Draws the cube with the current matrices and texture.
void drawCube();

// Draws every mesh of the scene model, binding each mesh's material texture.
void drawModel();

// The texture a mesh's material names, or null when the mesh keeps the one
// already bound: no material (-1 or out of range), no texture name, or a name
// that was never loaded.
const Texture* meshTexture(const Model& model, const Mesh& mesh);

// Replaces the framebuffer by a grey-scale picture of the depth buffer.
void showDepthBuffer();
