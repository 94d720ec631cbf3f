#include "demo_assets.h"

#include <cstdio>

#include "chime.h"
#include "courtyard_grid.h"
#include "file_util.h"
#include "image.h"
#include "materials.h"
#include "obj_builder.h"
#include "textures.h"
#include "wav_writer.h"

namespace demo_assets {

const char* const kModelDir = "models/qorvelin-sponza";

namespace {

const char* const kTextureSubdir = "textures";

std::string textureFileForStem(const std::string& stem) {
    for (const TextureSpec& t : modelTextures())
        if (t.stem == stem) return std::string(kTextureSubdir) + "/" + t.fileName();
    return std::string(kTextureSubdir) + "/" + stem;
}

bool writeImage(const std::string& outDir, const std::string& rel, const Image& img, ImageFormat format,
                DemoAssetSummary& sum, std::string& error) {
    std::vector<uint8_t> bytes;
    const std::string path = joinPath(outDir, rel);
    if (!encodeImage(img, format, bytes)) {
        error = "cannot encode image '" + path + "'";
        return false;
    }
    if (!writeFileBytes(path, bytes, error)) return false;
    sum.files.push_back(rel);
    return true;
}

bool writeStandaloneImages(const std::string& outDir, DemoAssetSummary& sum, std::string& error) {
    struct Item {
        const char* name;
        Image img;
    } items[] = {{"texture.bmp", makeDefaultTexture(256)}, {"cool.bmp", makeCubeTexture(256)}};
    for (const Item& it : items) {
        if (!writeImage(outDir, it.name, it.img, ImageFormat::Bmp, sum, error)) return false;
        sum.images.push_back({it.name, it.img.width(), it.img.height(), false});
    }
    return true;
}

bool writeSound(const std::string& outDir, DemoAssetSummary& sum, std::string& error) {
    const ChimeSound chime = makeStartupChime();
    const std::vector<uint8_t> wav = encodeWav16(chime.samples, chime.channels, chime.sampleRate);
    sum.soundPath = "bileet3.wav";
    if (!writeFileBytes(joinPath(outDir, sum.soundPath), wav, error)) return false;
    sum.files.push_back(sum.soundPath);
    sum.soundChannels = chime.channels;
    sum.soundRate = chime.sampleRate;
    sum.soundSeconds = double(chime.samples.size() / size_t(chime.channels)) / chime.sampleRate;
    return true;
}

bool writeModel(const std::string& outDir, int copies, DemoAssetSummary& sum, std::string& error) {
    const std::string modelDir = joinPath(outDir, kModelDir);
    if (!makeDirectories(joinPath(modelDir, kTextureSubdir), error)) return false;

    for (const TextureSpec& t : modelTextures()) {
        const std::string rel = std::string(kModelDir) + "/" + kTextureSubdir + "/" + t.fileName();
        if (!writeImage(outDir, rel, t.make(t.size), t.format, sum, error)) return false;
        sum.modelTextures.push_back({rel, t.size, t.size, t.cutout});
    }

    const std::vector<MaterialSpec>& materials = courtyardMaterials();
    sum.mtlPath = std::string(kModelDir) + "/sponza.mtl";
    if (!writeFileText(joinPath(outDir, sum.mtlPath), materialLibraryText(materials, textureFileForStem), error))
        return false;
    sum.files.push_back(sum.mtlPath);
    sum.materials = materials.size();

    // The renderer samples texture rows from the top of the stored image at
    // v = 0 (it does not flip v when loading the scene), so the scene's
    // texture coordinates are written top-down to keep pictures upright.
    ObjBuilder obj("sponza.mtl", ObjBuilder::VOrigin::Top);
    buildCourtyardGrid(obj, copies);
    sum.copies = copies;
    sum.objPath = std::string(kModelDir) + "/sponza.obj";
    if (!writeFileText(joinPath(outDir, sum.objPath), obj.text(), error)) return false;
    sum.files.push_back(sum.objPath);
    sum.triangles = obj.triangleCount();
    sum.faces = obj.faceCount();
    sum.polygons = obj.polygonCount();
    sum.shapes = obj.shapeCount();
    sum.positions = obj.positionCount();
    sum.texcoords = obj.texcoordCount();
    sum.normals = obj.normalCount();
    return true;
}

}  // namespace

std::string DemoAssetSummary::describe() const {
    if (!ok) return "error: " + error;
    size_t cutouts = 0;
    for (const WrittenImage& t : modelTextures) cutouts += t.cutout ? 1 : 0;
    char grid[48] = "";
    if (copies > 1) std::snprintf(grid, sizeof grid, " in %d x %d courtyards", copies, copies);
    char line[360];
    std::snprintf(line, sizeof line,
                  "wrote %zu files: %s (%zu triangles%s, %zu shapes, %zu materials, %zu textures of which %zu "
                  "cut-out), 2 images, %s (%.2f s)",
                  files.size(), objPath.c_str(), triangles, grid, shapes, materials, modelTextures.size(), cutouts,
                  soundPath.c_str(), soundSeconds);
    return line;
}

DemoAssetSummary writeDemoAssets(const std::string& outDir, int copies) {
    DemoAssetSummary sum;
    std::string error;
    bool ok = makeDirectories(outDir, error) && writeStandaloneImages(outDir, sum, error) &&
              writeSound(outDir, sum, error) && writeModel(outDir, copies, sum, error);
    sum.ok = ok;
    sum.error = ok ? std::string() : error;
    return sum;
}

}  // namespace demo_assets
