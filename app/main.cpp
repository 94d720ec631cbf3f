// scanweaver: a software rasterizer that draws a textured scene into a pixel
// array on the CPU and hands the finished image to SDL once per frame.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include <SDL.h>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "base/platform.h"
#include "pipeline/render_context.h"

namespace {

constexpr double runSeconds = 30.0;

[[noreturn]] void failSetup(const char* call) {
    std::fprintf(stderr, "%s failed: %s\n", call, SDL_GetError());
    exitProcess(1);
}

// Without a display SDL falls back to a video driver that shows nothing, and
// the run would pass for a success. Only a driver asked for by name may be
// one of those.
void requireDisplay() {
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested != nullptr && *requested != '\0') return;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr, "scanweaver: no display (set DISPLAY, or SDL_VIDEODRIVER=dummy to run without one)\n");
        exitProcess(1);
    }
}

int createWindow() {
    RenderContext& rc = renderContext;
    rc.windowWidth = frameWidth;
    rc.windowHeight = frameHeight;
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) failSetup("SDL_Init");
    requireDisplay();
    rc.window = SDL_CreateWindow("my scanweaver", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, rc.windowWidth,
                                 rc.windowHeight, SDL_WINDOW_FULLSCREEN | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (rc.window == nullptr) {
        std::fprintf(stderr, "Couldn't create SDL window.\n");
        return -1;
    }
    return 0;
}

// The accelerated renderer when there is one; SDL's software renderer where
// the display offers none (dummy video driver, X servers without GL).
SDL_Renderer* createRenderer() {
    SDL_Renderer* renderer = SDL_CreateRenderer(renderContext.window, -1, SDL_RENDERER_ACCELERATED);
    if (renderer == nullptr) renderer = SDL_CreateRenderer(renderContext.window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer == nullptr) failSetup("SDL_CreateRenderer");
    return renderer;
}

void reportRenderer(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0) failSetup("SDL_GetRendererInfo");
    std::cout << "Renderer name: " << info.name << std::endl;
    std::cout << "Texture formats: " << std::endl;
    for (Uint32 i = 0; i < info.num_texture_formats; ++i) {
        std::cout << SDL_GetPixelFormatName(info.texture_formats[i]) << std::endl;
    }
}

// True when the events queued so far ask the run to end: the window closed or
// Escape pressed. Events after a stop request stay queued.
bool stopRequested() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT || (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int, char**) {
    enableFlushToZero();
    RenderContext& rc = renderContext;

    if (createWindow() != 0) failSetup("SDL_CreateWindow");
    SDL_Renderer* renderer = createRenderer();
    reportRenderer(renderer);
    SDL_Texture* screen = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                            rc.windowWidth, rc.windowHeight);
    if (screen == nullptr) failSetup("SDL_CreateTexture");

    std::vector<uint8_t> framebufferStorage;
    createSurfaces(framebufferStorage, rc.windowWidth, rc.windowHeight);
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));

    const double frequency = static_cast<double>(SDL_GetPerformanceFrequency());
    const Uint64 startCounter = SDL_GetPerformanceCounter();
    pauseMilliseconds(1000);
    playSoundAsync(startupSoundPath);

    bool running = true;
    do {
        const Uint64 frameStart = SDL_GetPerformanceCounter();
        rc.elapsedTime = frameStart / frequency - startCounter / frequency;
        if (rc.elapsedTime > runSeconds) running = false;

        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        rc.zbuffer.clear();
        if (stopRequested()) running = false;
        rc.keyboardState = SDL_GetKeyboardState(nullptr);

        composeScene();

        SDL_UpdateTexture(screen, nullptr, rc.framebufferPixels, rc.windowWidth * 4);
        SDL_RenderCopy(renderer, screen, nullptr, nullptr);
        SDL_RenderPresent(renderer);

        rc.frameTime = static_cast<double>(SDL_GetPerformanceCounter() - frameStart) / frequency;
        std::cout << "Frame time: " << rc.frameTime * 1000.0 << "ms" << std::endl;
    } while (running);

    SDL_DestroyRenderer(renderer);
    if (rc.window != nullptr) SDL_DestroyWindow(rc.window);
    SDL_Quit();
    return 0;
}
