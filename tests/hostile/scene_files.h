#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small, valid data directory for the renderer and the helpers that break
// it one file at a time.
namespace scene_files {

constexpr const char* objPath = "models/qorvelin-sponza/sponza.obj";
constexpr const char* mtlPath = "models/qorvelin-sponza/sponza.mtl";
constexpr const char* wallPath = "models/qorvelin-sponza/textures/wall.png";

// The OBJ: its vertex, texture-coordinate and normal lines, then a few
// textured triangles in front of the camera, each with both windings so that
// some of them face the viewer at any turn of the model.
extern const char* const baseAttributes;
extern const char* const baseFaces;
extern const char* const baseMtl;

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// Image file contents: a checkerboard of two colours.
std::string bmpFile(int width, int height);
std::string pngFile(int width, int height);
std::string jpgFile(int width, int height);

// Writes texture.bmp, cool.bmp, the OBJ, its MTL and the wall texture into dir
// (which must exist), creating the model directories.
void writeBaseScene(const std::string& dir);

}  // namespace scene_files
