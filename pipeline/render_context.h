#pragma once

#include <cstddef>
#include <cstdint>

#include <glm/glm.hpp>

#include "pipeline/zbuffer.h"

struct SDL_Window;
struct Texture;
struct Model;

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

// The one render state shared by the shell and the pipeline.
struct RenderContext {
    SDL_Window* window;
    int32_t windowWidth;
    int32_t windowHeight;

    uint32_t* framebufferPixels;
    int32_t framebufferWidth;
    int32_t framebufferHeight;
    ZBuffer zbuffer;

    glm::mat4 projection;
    glm::mat4 modelMatrix;
    float zNear;
    float zFar;
    const Texture* currentTexture;

    const uint8_t* keyboardState;
    double elapsedTime;
    double frameTime;

    Model* sceneModel;
    Texture* defaultTexture;
    Texture* cubeTexture;
    int32_t depthViewActive;
};

extern RenderContext renderContext;
