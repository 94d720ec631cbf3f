#pragma once

#include <cstdint>
#include <vector>

struct Model;

// Start-up work shared by the program and the headless renderer.

// The size of the window's image, and so of every frame either program draws.
constexpr int32_t frameWidth = 640;
constexpr int32_t frameHeight = 480;

// The files the programs open, relative to the working directory.
constexpr const char* defaultTexturePath = "texture.bmp";
constexpr const char* cubeTexturePath = "cool.bmp";
constexpr const char* sceneModelPath = "models/qorvelin-sponza/sponza.obj";
constexpr const char* startupSoundPath = "bileet3.wav";

// Publishes a zero-filled framebuffer held in `storage` and a depth buffer of
// the same size in the render context.
void createSurfaces(std::vector<uint8_t>& storage, int32_t width, int32_t height);

// Loads defaultTexturePath as the default texture and cubeTexturePath, with
// its mip chain, as the cube's. Either file failing to load ends the process.
void loadStartupTextures();

// Loads the scene model from sceneModelPath.
Model* loadSceneModel(int flipV, int buildMipmaps);

// Makes `model` (null when it could not be loaded) the scene model and brings
// its textures down to 64 x 64 texels.
void installSceneModel(Model* model);
