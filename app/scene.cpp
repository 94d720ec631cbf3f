#include "app/scene.h"

#include <cmath>

#include <SDL_scancode.h>
#include <glm/gtc/matrix_transform.hpp>

#include "pipeline/draw_calls.h"
#include "pipeline/framebuffer.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

glm::mat4 sceneProjection(int32_t width, int32_t height) {
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    return glm::perspective(sceneFieldOfView, aspect, sceneNear, sceneFar);
}

void composeScene() {
    RenderContext& rc = renderContext;
    const double t = rc.elapsedTime;
    const float tf = static_cast<float>(t);

    clearFramebuffer();

    rc.projection = sceneProjection(rc.framebufferWidth, rc.framebufferHeight);
    rc.zNear = sceneNear;
    rc.zFar = sceneFar;

    // The model turns about its vertical axis with its origin 2 below and 7 in
    // front of the eye.
    rc.currentTexture = rc.defaultTexture;
    glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -2.0f, -7.0f));
    m = glm::rotate(m, 1.5f, glm::vec3(0.0f, 1.0f, 0.0f));
    m = glm::rotate(m, 0.5f, glm::vec3(0.0f, 1.0f, 0.0f));
    m = glm::rotate(m, 0.1f * tf + 9.424778f, glm::vec3(0.0f, 1.0f, 0.0f));
    rc.modelMatrix = m;
    drawModel();

    // The cube rides on the model's vertical axis, sinking as ln t grows and
    // tumbling about a tilted axis.
    const float height = static_cast<float>(5.5 - 2.2 * std::log(t));
    glm::mat4 c = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, height, 0.0f));
    c = glm::rotate(c, 0.5f * tf, glm::vec3(0.5f, 0.0f, 1.0f));
    rc.modelMatrix = rc.modelMatrix * c;
    rc.currentTexture = rc.cubeTexture;
    drawCube();

    rc.depthViewActive ^= rc.keyboardState[SDL_SCANCODE_V];
    if (rc.depthViewActive != 0) showDepthBuffer();
}
