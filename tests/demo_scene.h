#pragma once

// The generated demo scene for the tests that draw it: loaded from the
// directory SCANWEAVER_DEMO_DATA names, as the programs load it, and drawn one
// frame at a time on a chosen path.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <SDL_scancode.h>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "base/platform.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

namespace demo_scene {

// Enters the data directory and installs its textures and model, with
// flush-to-zero on from the start as in the programs; false when
// SCANWEAVER_DEMO_DATA is not set. What it loads stays until the process ends.
inline bool load() {
    static std::vector<uint8_t> framebuffer;
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) return false;
    EXPECT_EQ(chdir(dataDir), 0) << dataDir;
    enableFlushToZero();
    createSurfaces(framebuffer, frameWidth, frameHeight);
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    EXPECT_NE(renderContext.sceneModel, nullptr) << "the demo model did not load";
    return true;
}

// Draws the installed scene at time t on `path`, which the processor must
// support, with the depth view on or off as if V had been held from the start.
inline void drawFrame(RenderPath path, double t, bool depthView = false) {
    static uint8_t keys[SDL_NUM_SCANCODES];
    EXPECT_TRUE(setRenderPath(path));
    keys[SDL_SCANCODE_V] = depthView ? 1 : 0;
    renderContext.keyboardState = keys;
    renderContext.depthViewActive = 0;
    renderContext.zbuffer.clear();
    renderContext.elapsedTime = t;
    composeScene();
}

}  // namespace demo_scene
