#include "scene_files.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include <stb/stb_image_write.h>

namespace scene_files {

const char* const baseObj =
    "mtllib sponza.mtl\n"
    "v -1.5 0 0\n"
    "v 1.5 0 0\n"
    "v 1.5 2 0\n"
    "v -1.5 2 0\n"
    "v 0 0 -1.5\n"
    "v 0 2 1.5\n"
    "vt 0 0\n"
    "vt 2 0\n"
    "vt 2 2\n"
    "vt 0 2\n"
    "vn 0 0 1\n"
    "o panels\n"
    "usemtl wall\n"
    "f 1/1/1 2/2/1 3/3/1\n"
    "f 1/1/1 3/3/1 4/4/1\n"
    "f 3/3/1 2/2/1 1/1/1\n"
    "f 4/4/1 3/3/1 1/1/1\n"
    "f 5/1/1 6/3/1 1/2/1\n"
    "f 1/2/1 6/3/1 5/1/1\n";

const char* const baseMtl =
    "newmtl wall\n"
    "Kd 1 1 1\n"
    "map_Kd textures/wall.png\n";

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

namespace {

std::vector<uint8_t> checkerboard(int width, int height) {
    std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* t = &texels[(static_cast<size_t>(y) * width + x) * 4];
            const bool light = ((x / 2) + (y / 2)) % 2 == 0;
            t[0] = light ? 230 : 40;
            t[1] = light ? 200 : 90;
            t[2] = light ? 60 : 160;
            t[3] = 255;
        }
    }
    return texels;
}

void appendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace

std::string bmpFile(int width, int height) {
    std::string bytes;
    stbi_write_bmp_to_func(appendBytes, &bytes, width, height, 4, checkerboard(width, height).data());
    return bytes;
}

std::string pngFile(int width, int height) {
    std::string bytes;
    stbi_write_png_to_func(appendBytes, &bytes, width, height, 4, checkerboard(width, height).data(), width * 4);
    return bytes;
}

void writeBaseScene(const std::string& dir) {
    for (const char* sub : {"/models", "/models/qorvelin-sponza", "/models/qorvelin-sponza/textures"}) {
        mkdir((dir + sub).c_str(), 0755);
    }
    writeFile(dir + "/texture.bmp", bmpFile(8, 8));
    writeFile(dir + "/cool.bmp", bmpFile(16, 16));
    writeFile(dir + "/" + objPath, baseObj);
    writeFile(dir + "/" + mtlPath, baseMtl);
    writeFile(dir + "/" + wallPath, pngFile(16, 8));
}

}  // namespace scene_files
