#pragma once

#include <cstdint>

#include <glm/glm.hpp>

// The scene's view volume: a field of view of pi/4 from near to far.
constexpr float sceneFieldOfView = 0.7853982f;
constexpr float sceneNear = 1.0f;
constexpr float sceneFar = 800.0f;

// The projection of a frame of the given size.
glm::mat4 sceneProjection(int32_t width, int32_t height);

// Draws one frame of the scene into the framebuffer at renderContext.elapsedTime:
// the turning model, the tumbling cube and, while toggled on with V, the
// depth view.
void composeScene();
