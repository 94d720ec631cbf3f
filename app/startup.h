#pragma once

#include <cstdint>
#include <vector>

struct Model;

// Start-up work shared by the program and the headless renderer.

// Publishes a zero-filled framebuffer held in `storage` and a depth buffer of
// the same size in the render context.
void createSurfaces(std::vector<uint8_t>& storage, int32_t width, int32_t height);

// Loads "texture.bmp" as the default texture and "cool.bmp", with its mip
// chain, as the cube's. Either file failing to load ends the process.
void loadStartupTextures();

// Makes `model` (null when it could not be loaded) the scene model and brings
// its textures down to 64 x 64 texels.
void installSceneModel(Model* model);
