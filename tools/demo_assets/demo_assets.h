// Generator for the demo's data files: the cube and default textures, the
// start-up chime and the courtyard model (OBJ + MTL + textures).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace demo_assets {

struct WrittenImage {
    std::string path;  // relative to the output directory
    int width = 0;
    int height = 0;
    bool cutout = false;  // contains alpha-0 texels meant to be see-through
};

struct DemoAssetSummary {
    bool ok = false;
    std::string error;  // one line naming the file, when !ok

    std::string objPath;  // relative to the output directory
    std::string mtlPath;
    int copies = 1;        // the model holds copies x copies courtyards
    size_t triangles = 0;  // after triangulating every polygon
    size_t faces = 0;
    size_t polygons = 0;  // faces with 4 or more corners
    size_t shapes = 0;    // `o`/`g` groups that have faces
    size_t materials = 0;
    size_t positions = 0, texcoords = 0, normals = 0;

    std::vector<WrittenImage> modelTextures;  // referenced from the MTL file
    std::vector<WrittenImage> images;         // texture.bmp, cool.bmp

    std::string soundPath;
    double soundSeconds = 0;
    int soundChannels = 0;
    int soundRate = 0;

    std::vector<std::string> files;  // everything written, relative paths

    // One line for the command-line tool.
    std::string describe() const;
};

// Directory of the courtyard model inside the output directory.
extern const char* const kModelDir;

// Writes every asset under `outDir`, creating directories as needed. The
// model holds `copies` x `copies` courtyards (1 to kMaxCopies, see
// courtyard_grid.h) sharing one material library and its textures.
DemoAssetSummary writeDemoAssets(const std::string& outDir, int copies = 1);

}  // namespace demo_assets
