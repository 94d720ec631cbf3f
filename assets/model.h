#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tiny_obj_loader.h>
#include <glm/glm.hpp>

#include "assets/mesh.h"

struct Texture;

// The loaded scene: meshes in file order, the materials (plus an appended
// default one) and one texture per distinct diffuse texture name.
struct Model {
    glm::vec3 bmin;
    glm::vec3 bmax;
    std::vector<Mesh> meshes;
    std::vector<tinyobj::material_t> materials;
    std::map<std::string, Texture*> textures;
};

// Loads an OBJ file with its material library and textures, printing its
// statistics. Returns null, after reporting why, when the file cannot be
// loaded; a texture that cannot be found or decoded ends the process.
Model* loadModel(const std::string& path, int flipV, int buildMipmaps);

// Points every mesh at the texture its material names, or at none (the mesh
// then keeps the texture already bound when drawn): no material (-1 or out of
// range), no texture name, or a name that was never loaded. Loading does this;
// a model built in memory calls it once its meshes, materials and textures are
// in place.
void resolveMeshTextures(Model& model);

// Releases a model and its textures. The program keeps its model until it
// ends; tests and fuzz targets load many.
void releaseModel(Model* model);

// Brings every texture of the model down to 64 x 64 texels.
void shrinkModelTextures(Model& model);

// The part of a path before its last '/' or '\', or "" when there is none.
std::string directoryOf(const std::string& path);

// Whether the file can be opened for reading.
bool canOpenFile(const std::string& path);
