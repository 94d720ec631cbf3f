#include "app/scene.h"

#include <cmath>

#include <SDL_scancode.h>
#include <glm/gtc/matrix_transform.hpp>

#include "pipeline/draw_calls.h"
#include "pipeline/framebuffer.h"
#include "pipeline/render_path.h"
#include "pipeline/render_context.h"

void composeScene() {
    RenderContext& rc = renderContext;
    const double t = rc.elapsedTime;
    const float tf = static_cast<float>(t);

    clearFramebuffer();

    const float aspect = static_cast<float>(rc.framebufferWidth) / static_cast<float>(rc.framebufferHeight);
    rc.projection = glm::perspective(0.7853982f, aspect, 1.0f, 800.0f);
    rc.zNear = 1.0f;
    rc.zFar = 800.0f;

    // The model turns about its vertical axis with its origin 2 below and 7 in
    // front of the eye.
    rc.currentTexture = rc.defaultTexture;
    glm::mat4 m = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -2.0f, -7.0f));
    m = glm::rotate(m, 1.5f, glm::vec3(0.0f, 1.0f, 0.0f));
    m = glm::rotate(m, 0.5f, glm::vec3(0.0f, 1.0f, 0.0f));
    m = glm::rotate(m, 0.1f * tf + 9.424778f, glm::vec3(0.0f, 1.0f, 0.0f));
    rc.modelMatrix = m;
    drawModelOnPath();

    // The cube rides on the model's vertical axis, sinking as ln t grows and
    // tumbling about a tilted axis.
    const float height = static_cast<float>(5.5 - 2.2 * std::log(t));
    glm::mat4 c = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, height, 0.0f));
    c = glm::rotate(c, 0.5f * tf, glm::vec3(0.5f, 0.0f, 1.0f));
    rc.modelMatrix = rc.modelMatrix * c;
    rc.currentTexture = rc.cubeTexture;
    drawCubeOnPath();

    rc.depthViewActive ^= rc.keyboardState[SDL_SCANCODE_V];
    if (rc.depthViewActive != 0) showDepthBuffer();
}
