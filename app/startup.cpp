#include "app/startup.h"

#include "assets/model.h"
#include "assets/texture.h"
#include "pipeline/render_context.h"

void createSurfaces(std::vector<uint8_t>& storage, int32_t width, int32_t height) {
    RenderContext& rc = renderContext;
    rc.framebufferHeight = height;
    rc.framebufferWidth = width;
    storage.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    rc.framebufferPixels = reinterpret_cast<uint32_t*>(storage.data());
    // The cells stay uninitialised: every frame clears them before drawing.
    rc.zbuffer = ZBuffer{new uint32_t[static_cast<size_t>(width) * static_cast<size_t>(height)], width, height};
}

void loadStartupTextures() {
    RenderContext& rc = renderContext;
    rc.defaultTexture = loadTexture(defaultTexturePath);
    rc.cubeTexture = loadTexture(cubeTexturePath);
    generateMipmaps(rc.cubeTexture);
}

Model* loadSceneModel(int flipV, int buildMipmaps) { return loadModel(sceneModelPath, flipV, buildMipmaps); }

void installSceneModel(Model* model) {
    renderContext.sceneModel = model;
    if (model != nullptr) shrinkModelTextures(*model);
}
