#pragma once

#include <cstdint>

#include <glm/glm.hpp>

#include "pipeline/zbuffer.h"

struct SDL_Window;
struct Texture;
struct Model;

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
