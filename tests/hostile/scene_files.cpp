#include "scene_files.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include <stb/stb_image_write.h>

namespace scene_files {

const char* const baseAttributes =
    "mtllib sponza.mtl\n"
    "v -1.5 0 0\nv 1.5 0 0\nv 1.5 2 0\nv -1.5 2 0\nv 0 0 -1.5\nv 0 2 1.5\n"
    "vt 0 0\nvt 2 0\nvt 2 2\nvt 0 2\n"
    "vn 0 0 1\n";

const char* const baseFaces =
    "o panels\n"
    "usemtl wall\n"
    "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\n"
    "f 3/3/1 2/2/1 1/1/1\nf 4/4/1 3/3/1 1/1/1\n"
    "f 5/1/1 6/3/1 1/2/1\nf 1/2/1 6/3/1 5/1/1\n";

const char* const baseMtl = "newmtl wall\nKd 1 1 1\nmap_Kd textures/wall.png\n";

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string readFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

namespace {

// A checkerboard of 2 x 2 squares in two colours, as an image file of the given format.
std::string checkerboardFile(char format, int width, int height) {
    std::vector<uint8_t> texels;
    for (int i = 0; i < width * height; ++i) {
        const bool light = ((i % width / 2) + (i / width / 2)) % 2 == 0;
        texels.insert(texels.end(), {uint8_t(light ? 230 : 40), uint8_t(light ? 200 : 90), uint8_t(light ? 60 : 160)});
        texels.push_back(255);
    }
    std::string bytes;
    auto append = [](void* out, void* data, int size) {
        static_cast<std::string*>(out)->append(static_cast<char*>(data), static_cast<size_t>(size));
    };
    if (format == 'p') stbi_write_png_to_func(append, &bytes, width, height, 4, texels.data(), width * 4);
    if (format == 'b') stbi_write_bmp_to_func(append, &bytes, width, height, 4, texels.data());
    if (format == 'j') stbi_write_jpg_to_func(append, &bytes, width, height, 4, texels.data(), 90);
    return bytes;
}

}  // namespace

std::string bmpFile(int width, int height) { return checkerboardFile('b', width, height); }
std::string pngFile(int width, int height) { return checkerboardFile('p', width, height); }
std::string jpgFile(int width, int height) { return checkerboardFile('j', width, height); }

void writeBaseScene(const std::string& dir) {
    for (const char* sub : {"/models", "/models/qorvelin-sponza", "/models/qorvelin-sponza/textures"}) {
        mkdir((dir + sub).c_str(), 0755);
    }
    writeFile(dir + "/texture.bmp", bmpFile(8, 8));
    writeFile(dir + "/cool.bmp", bmpFile(16, 16));
    writeFile(dir + "/" + objPath, std::string(baseAttributes) + baseFaces);
    writeFile(dir + "/" + mtlPath, baseMtl);
    writeFile(dir + "/" + wallPath, pngFile(16, 8));
}

}  // namespace scene_files
