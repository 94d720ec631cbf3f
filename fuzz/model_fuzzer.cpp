// OBJ and MTL text through model loading and a drawn frame.
//
// Input: OBJ text, optionally followed by the line "#MTL" and MTL text. Every
// mtllib line is pointed at the MTL part and every map_Kd line at an image
// that exists, since a texture that is missing or undecodable ends the
// process by design.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <SDL_scancode.h>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "base/platform.h"
#include "fuzz_support.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"

namespace {

uint8_t keys[SDL_NUM_SCANCODES] = {};

bool startsDirective(const std::string& line, const char* directive) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return false;
    const std::string name(directive);
    return line.compare(start, name.size(), name) == 0 && start + name.size() < line.size() &&
           (line[start + name.size()] == ' ' || line[start + name.size()] == '\t');
}

// Replaces every line that starts with the directive by `replacement`. Lines
// end at '\r' or '\n', as the parser reads them.
std::string replaceDirective(const std::string& text, const char* directive, const char* replacement) {
    std::string out;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(begin, end - begin);
        out += startsDirective(line, directive) ? std::string(replacement) : line;
        if (end < text.size()) out += text[end];
        begin = end + 1;
    }
    return out;
}

void writeText(const char* path, const std::string& text) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enableFlushToZero();  // as the program does before anything else
    // Loading prints statistics for every input; they are of no use here.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    fuzz_support::enterScratchDirectory();
    fuzz_support::writeImage(defaultTexturePath, 8, 8);
    fuzz_support::writeImage(cubeTexturePath, 16, 16);
    fuzz_support::writeImage("t.bmp", 12, 10);
    fuzz_support::createFrame();
    loadStartupTextures();
    renderContext.keyboardState = keys;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("#MTL\n");
    const std::string obj = input.substr(0, split);
    const std::string mtl = split == std::string::npos ? std::string() : input.substr(split + 5);
    writeText("m.obj", replaceDirective(obj, "mtllib", "mtllib m.mtl"));
    writeText("m.mtl", replaceDirective(mtl, "map_Kd", "map_Kd t.bmp"));

    // The size decides whether v is flipped and whether V is held (which
    // toggles the depth view each frame), so every way gets exercised.
    keys[SDL_SCANCODE_V] = static_cast<uint8_t>(size / 2 % 2);
    Model* model = loadModel("m.obj", static_cast<int>(size % 2), 1);
    installSceneModel(model);
    // One frame on each render path the processor supports.
    double t = 1.5;
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderContext.zbuffer.clear();
        renderContext.elapsedTime = t;
        composeScene();
        t += 20.0;
    }
    renderContext.sceneModel = nullptr;
    releaseModel(model);
    return 0;
}
