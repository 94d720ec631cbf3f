// The courtyard's material library: names, colours and texture files.
#pragma once

#include <string>
#include <vector>

namespace demo_assets {

struct MaterialSpec {
    std::string name;
    std::string texture;  // stem of a model texture, empty = untextured
    float kd[3];
    float ks;  // grey specular level
    float shininess;
};

// Every material the scene uses, in the order written to the MTL file.
const std::vector<MaterialSpec>& courtyardMaterials();

// MTL text; `textureFile(stem)` gives the path written after map_Kd
// (relative to the OBJ's directory).
std::string materialLibraryText(const std::vector<MaterialSpec>& materials,
                                std::string (*textureFile)(const std::string& stem));

}  // namespace demo_assets
