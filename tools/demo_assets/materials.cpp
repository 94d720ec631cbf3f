#include "materials.h"

#include <cstdio>

namespace demo_assets {

const std::vector<MaterialSpec>& courtyardMaterials() {
    static const std::vector<MaterialSpec> materials = {
        {"court_floor", "floor_tiles", {1, 1, 1}, 0.20f, 30},
        {"gallery_floor", "gallery_stone", {1, 1, 1}, 0.05f, 10},
        {"column_marble", "marble_white", {1, 1, 1}, 0.40f, 60},
        {"column_rose", "marble_rose", {1, 1, 1}, 0.40f, 60},
        {"gilded_trim", "gilded", {1, 1, 1}, 0.60f, 80},
        {"arch_voussoirs", "voussoir", {1, 1, 1}, 0.10f, 20},
        {"plaster", "plaster", {1, 1, 1}, 0.02f, 8},
        {"brick", "bricks", {1, 1, 1}, 0.02f, 8},
        {"fresco", "fresco", {1, 1, 1}, 0.02f, 8},
        {"vault_stars", "vault_stars", {1, 1, 1}, 0.05f, 10},
        {"cornice", "cornice", {1, 1, 1}, 0.05f, 10},
        {"door", "door_wood", {1, 1, 1}, 0.10f, 20},
        {"bench_wood", "wood", {1, 1, 1}, 0.10f, 20},
        {"granite", "granite", {1, 1, 1}, 0.30f, 40},
        {"ceramic", "ceramic", {1, 1, 1}, 0.50f, 70},
        {"terracotta", "terracotta", {1, 1, 1}, 0.05f, 10},
        {"soil", "soil", {1, 1, 1}, 0.00f, 1},
        {"leaves", "leaves", {1, 1, 1}, 0.10f, 20},
        {"fern", "fern", {1, 1, 1}, 0.10f, 20},
        {"curtain_red", "curtain_red", {1, 1, 1}, 0.02f, 8},
        {"curtain_blue", "curtain_blue", {1, 1, 1}, 0.02f, 8},
        {"lattice", "lattice", {1, 1, 1}, 0.10f, 20},
        {"mosaic", "mosaic", {1, 1, 1}, 0.30f, 40},
        {"steps", "steps", {1, 1, 1}, 0.05f, 10},
        {"riser_tiles", "riser_tiles", {1, 1, 1}, 0.40f, 60},
        {"water", "water", {1, 1, 1}, 0.80f, 120},
        {"bronze", "", {0.80f, 0.52f, 0.22f}, 0.70f, 90},
    };
    return materials;
}

std::string materialLibraryText(const std::vector<MaterialSpec>& materials,
                                std::string (*textureFile)(const std::string& stem)) {
    std::string out = "# Courtyard demo materials, generated procedurally.\n";
    char line[160];
    for (const MaterialSpec& m : materials) {
        out += "\nnewmtl " + m.name + "\n";
        std::snprintf(line, sizeof line,
                      "Ka 0.1 0.1 0.1\nKd %.3f %.3f %.3f\nKs %.2f %.2f %.2f\nNs %.0f\nd 1\nillum 2\n", double(m.kd[0]),
                      double(m.kd[1]), double(m.kd[2]), double(m.ks), double(m.ks), double(m.ks), double(m.shininess));
        out += line;
        if (!m.texture.empty()) out += "map_Kd " + textureFile(m.texture) + "\n";
    }
    return out;
}

}  // namespace demo_assets
