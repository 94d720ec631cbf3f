// Runs scanweaver-render in data directories that each carry one broken or
// hostile asset and checks what it says and how it ends. In the sanitizer
// build every run is watched by the sanitizers, whose reports abort the
// process: the exact standard-error and status checks notice them.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "assets/image_checks.h"
#include "assets/image_palettes.h"
#include "assets/texture.h"

#include "scene_files.h"

using scene_files::mtlPath;
using scene_files::objPath;
using scene_files::wallPath;

namespace {

struct Outcome {
    int status;  // exit status, or 128 + signal number
    std::string out, err, dir;
};

const std::string unchanged = "<unchanged>", missing = "<missing>";
const std::string directory = "<directory>";  // fopen succeeds on one; decoding must still fail

// A fresh copy of the valid data directory, named after the running test.
std::string freshScene() {
    static int n = 0;
    const std::string dir = std::string(HOSTILE_WORK_DIR) + "/" +
                            testing::UnitTest::GetInstance()->current_test_info()->name() + "." + std::to_string(n++);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    scene_files::writeBaseScene(dir);
    return dir;
}

// Runs the renderer for one frame at t = 1.5 inside dir, writing x.png there.
// A hang ends in a time-out, which the status check reports.
Outcome render(const std::string& dir) {
    std::fflush(nullptr);
    const int raw = std::system(("cd '" + dir +
                                 "' && exec timeout -s ALRM 300 '" SCANWEAVER_RENDER_PATH
                                 "' --time 1.5 --out x.png >stdout.txt 2>stderr.txt")
                                    .c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return {status, scene_files::readFile(dir + "/stdout.txt"), scene_files::readFile(dir + "/stderr.txt"), dir};
}

// Renders a fresh scene in which `file` holds `bytes`, is missing or is a directory.
Outcome renderWith(const std::string& file = "", const std::string& bytes = unchanged) {
    const std::string dir = freshScene();
    const std::string path = dir + "/" + file;
    if (bytes != unchanged) std::remove(path.c_str());
    if (bytes == directory) mkdir(path.c_str(), 0755);
    if (bytes != unchanged && bytes != missing && bytes != directory) scene_files::writeFile(path, bytes);
    return render(dir);
}

// A run's exit status and standard error, as "status: text", without the
// parser's own out-of-range index warnings, which name the last line of the
// file and are followed by empty lines.
std::string ending(const Outcome& run) {
    return std::to_string(run.status) + ": " +
           std::regex_replace(run.err, std::regex(".*indices out of bounds \\(line .*\n*"), "");
}

// The valid scene's run, made once per process.
const Outcome& reference() {
    static const Outcome run = renderWith();
    return run;
}

// The frame a run wrote, as RGBA bytes; empty when there is none.
std::vector<uint8_t> picture(const Outcome& run) {
    int w = 0, h = 0, channels = 0;
    uint8_t* pixels = stbi_load((run.dir + "/x.png").c_str(), &w, &h, &channels, 4);
    if (pixels == nullptr) return {};
    std::vector<uint8_t> bytes(pixels, pixels + static_cast<size_t>(w) * h * 4);
    stbi_image_free(pixels);
    return bytes;
}

std::string leftOut(int shape, const char* name, int count) {
    return std::string(objPath) + ": shape " + std::to_string(shape) + " \"" + name + "\": left out " +
           std::to_string(count) + " faces with out-of-range indices or non-finite positions\n";
}

// The bounding-box lines, which end the model's statistics, and the line
// naming the written frame.
std::string bounds(const Outcome& run) {
    const size_t at = run.out.find("bmin = ");
    return at == std::string::npos ? std::string() : run.out.substr(at);
}

// A JPEG start whose first Huffman table declares `perLength` symbols for
// each of the 16 code lengths.
std::string jpegWithHuffmanCounts(int perLength) {
    const int length = 2 + 17 + 16 * perLength;
    return std::string("\xFF\xD8\xFF\xC4") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
           '\x10' + std::string(16, static_cast<char>(perLength)) + std::string(16 * perLength, '\x01');
}

}  // namespace

TEST(BadAssets, imagesThatCannotBeReadEndTheRunWithStatusOne) {
    for (const std::string file : {"texture.bmp", "cool.bmp", wallPath}) {
        const bool png = file == wallPath;
        const std::string valid = png ? scene_files::pngFile(16, 8) : scene_files::bmpFile(16, 16);
        std::string hugeHeader = valid;  // dimensions far beyond any allocation
        const char* huge = png ? "\x7f\xff\xff\xf0\x7f\xff\xff\xf0" : "\xf0\xff\xff\x7f\xf0\xff\xff\x7f";
        std::memcpy(&hugeHeader[png ? 16 : 18], huge, 8);
        // clang-format off
        std::vector<std::pair<std::string, std::string>> images = {
            {"directory", directory}, {"empty", ""}, {"text", "this is not an image\n"},
            {"header only", valid.substr(0, 40)}, {"huge dimensions", hugeHeader},
            {"JPEG Huffman table of 272 symbols", jpegWithHuffmanCounts(17)},
            {"16-bit PNM", "P6\n2 2\n65535\n" + std::string(24, '\x7f')}, {"PNM of height 0", "P6\n4 0\n255\n"},
            {"side longer than 16384", png ? scene_files::pngFile(4, 16385) : scene_files::bmpFile(16385, 2)},
            {"truncated", valid.substr(0, valid.size() / 2)}};
        // clang-format on
        if (!png) images.emplace_back("missing", missing);  // a missing wall texture is one found nowhere, below
        for (const auto& [what, bytes] : images) {
            // A BMP cut short decodes, its missing texels read as 0.
            const std::string want = !png && what == "truncated" ? "0: " : "1: Couldn't open image " + file + "!\n";
            EXPECT_EQ(ending(renderWith(file, bytes)), want) << file << ", " << what;
        }
    }
}

TEST(BadAssets, materialTexturesAreFoundUnderWindowsNames) {
    const std::string wall = scene_files::pngFile(16, 8);
    const std::string broken = "not an image\n";
    const struct {
        const char* name;                                        // as the MTL file gives it
        std::vector<std::pair<std::string, std::string>> extra;  // files beside the OBJ file
        const char* err;                                         // "" when the scene loads
    } cases[] = {
        {"textures/wall.png", {{"wall.png", broken}}, ""},  // as named comes first
        {"C:\\Users\\me\\scene\\wall.png", {{"wall.png", wall}}, ""},
        {"D:/art/Wall.PNG", {{"wall.png", wall}}, ""},
        {"C:\\me\\WALL.png", {{"wall.png", broken}, {"Wall.png", wall}}, ""},  // first in byte order
        {"C:wall.png", {{"wall.png", wall}}, ""},
        {"textures\\Wall.png", {}, "Unable to find file: textures\\Wall.png\n"},  // only beside the OBJ file
        {"C:\\scene\\", {}, "Unable to find file: C:\\scene\\\n"},
    };
    for (const auto& c : cases) {
        const std::string dir = freshScene();
        scene_files::writeFile(dir + "/" + mtlPath, std::string("newmtl wall\nKd 1 1 1\nmap_Kd ") + c.name + "\n");
        for (const auto& [name, text] : c.extra) scene_files::writeFile(dir + "/models/qorvelin-sponza/" + name, text);
        const Outcome run = render(dir);
        EXPECT_EQ(ending(run), (*c.err ? "1: " : "0: ") + std::string(c.err)) << c.name;
        EXPECT_TRUE(*c.err || picture(run) == picture(reference())) << c.name << ": not the valid scene's frame";
    }
}

TEST(BadAssets, missingObjIsReportedAndTheCubeIsDrawnAlone) {
    const std::string path = objPath;
    Outcome run;
    for (const std::string& obj : {directory, missing}) {
        run = renderWith(objPath, obj);
        // The library's text and its line break, then ours, each ending its line.
        EXPECT_EQ(ending(run), "0: Cannot open file [" + path + "]\n\nFailed to load " + path +
                                   "\nCouldn't load model " + path + "!\n");
        EXPECT_EQ(run.out, "wrote x.png (640x480)\n");
    }

    // The same frame as a model that has nothing to draw, whose bounding box stays empty.
    const Outcome faceless = renderWith(objPath, scene_files::baseAttributes);
    EXPECT_EQ(ending(faceless), "0: ");
    const std::string max = "340282346638528859811704183484516925440.000000";
    EXPECT_EQ(bounds(faceless), "bmin = " + max + ", " + max + ", " + max + "\nbmax = -" + max + ", -" + max + ", -" +
                                    max + "\nwrote x.png (640x480)\n");
    EXPECT_EQ(faceless.out.find("shape["), std::string::npos);
    const std::vector<uint8_t> cubeAlone = picture(run);
    ASSERT_FALSE(cubeAlone.empty());
    EXPECT_EQ(cubeAlone, picture(faceless));
    EXPECT_NE(cubeAlone, std::vector<uint8_t>(cubeAlone.size(), 0)) << "the cube is missing";
    // The valid scene, which the other tests compare with, runs cleanly and draws more.
    EXPECT_EQ(ending(reference()), "0: ");
    EXPECT_NE(bounds(reference()), "");
    EXPECT_NE(picture(reference()), cubeAlone) << "the base model draws nothing, so the comparisons prove nothing";
}

// Broken or wild model and material files: how the run ends (status and
// standard error), what the statistics on standard output show or lack, and
// whether the frame and the bounding box are the valid scene's.
TEST(BadAssets, modelAndMaterialFilesThatAreBrokenOrWild) {
    const std::string attributes = scene_files::baseAttributes, faces = scene_files::baseFaces;
    struct Case {
        const char* what;
        const char* file;
        std::string bytes, ending;
        std::vector<std::string> shown, absent;
        bool likeReference;
    };
    // clang-format off
    const Case cases[] = {
        {"texture found nowhere", wallPath, missing, "1: Unable to find file: textures/wall.png\n", {}, {}, false},
        {"texture under a backslash found nowhere", mtlPath, "newmtl wall\nmap_Kd textures\\gone.png\n",
         "1: Unable to find file: textures\\gone.png\n", {}, {}, false},
        {"texture under a backslash", mtlPath, "newmtl wall\nKd 1 1 1\nmap_Kd textures\\wall.png\n", "0: ",
         {"material[0].diffuse_texname = textures\\wall.png\n"}, {}, true},
        {"no material library", mtlPath, missing,
         "0: Material file [ sponza.mtl ] not found in a path : models/qorvelin-sponza/\n"
         "Failed to load material file(s). Use default material.\nmaterial [ 'wall' ] not found in .mtl\n\n",
         {"# of materials = 0\n# of shapes    = 1\n", "shape[0:6] material_id -1,\t18 verts\n"}, {}, false},
        // Past the end of the vertices, texture coordinates and normals, and before the first vertex.
        {"faces reaching outside the attributes", objPath,
         attributes + faces +
             "f 1/1/1 2/2/1 7/3/1\nf 1/1/1 2/2/1 99999/3/1\no texcoords\nf 1/1/1 2/5/1 3/3/1\n"
             "o normals\nf 1/1/1 2/2/2 3/3/1\nf 1/1/1 2/2/1 3/3/1000000\n"
             "o relative\nf -7 -6 -5\nf 1 2 -2000000000\no kept\nf 1/1/1 2/2/1 3/3/1\n",
         "0: " + leftOut(0, "panels", 2) + leftOut(1, "texcoords", 1) + leftOut(2, "normals", 2) +
             leftOut(3, "relative", 2),
         {"shape[4] material_id 0\n"}, {}, true},
        {"a shape reduced to nothing", objPath, attributes + "o bad\nf 1 2 9\n" + faces,
         "0: " + leftOut(0, "bad", 1), {}, {"shape[0]"}, true},
        // 0e999 parses as 0 * inf, a NaN; 1e39 and 1e400 overflow a float.
        {"non-finite or overflowing positions", objPath,
         attributes + faces + "v 0e999 0 0\nv 1e400 0 0\nv 0 -1e400 0\nv 1e39 1e39 1e39\nv 0 0 -1e39\n"
                              "o wild\nf 1 2 7\nf 8 1 2\nf 2 9 1\nf 10 10 10\nf 1 11 2\n",
         "0: " + leftOut(1, "wild", 5), {}, {}, true},
        {"wild attributes of usable faces", objPath,
         "mtllib sponza.mtl\n"
         "v -1.5 0 0 1e39 -1e39 0e999\n"  // colours far out of range and NaN
         "v 1.5 0 0 -1e400 2 0.5\nv 0 2 0\nv 0 2 0\n"
         "vt 1e20 3e9\n"  // scaled texel index beyond 32 bits
         "vt -1e30 0e999\nvt 1e400 -1e400\nvt -3e9 -1e-45\nvn 0e999 1e400 0\nusemtl wall\n"
         "o texcoords\nf 1/1/1 2/2/1 3/3/1\nf 3/3/1 2/2/1 1/1/1\nf 1/4 3/1 2/2\nf 2/4 3/1 1/2\n"
         "o fallbacks\nf 1/-9/-9 2/1/1 3/2/1\n"  // relative indices before the first: treated as absent
         "f 3/-9 2/1 1/2\n"
         "o smoothed\ns 1\nf 1/1 2/2 3/3\nf 3/1 4/2 3/3\n"  // zero area: no direction to smooth with
         "f 4 3 1\n",
         "0: ", {"Compute smoothingNormal for shape [2]\n"}, {}, false},
        {"shapes without faces", objPath,
         attributes + "usemtl wall\no first\nf 1/1/1 2/2/1 3/3/1\no lines\nl 1 2 3\n"
                      "o last\nf 3/3/1 2/2/1 1/1/1\nf 1/1/1 3/3/1 4/4/1\n",
         "0: ", {"# of shapes    = 3\n", "shape[0] material_id 0\n", "shape[2:2] material_id 0,\t6 verts\n"},
         {"shape[1"}, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        const Outcome run = renderWith(c.file, c.bytes);
        EXPECT_EQ(ending(run), c.ending) << c.what;
        for (const std::string& text : c.shown) EXPECT_NE(run.out.find(text), std::string::npos) << c.what;
        for (const std::string& text : c.absent) EXPECT_EQ(run.out.find(text), std::string::npos) << c.what;
        EXPECT_EQ(picture(run).empty(), run.status != 0) << c.what;
        if (c.likeReference) {
            EXPECT_EQ(picture(run), picture(reference())) << c.what;
            EXPECT_EQ(bounds(run), bounds(reference())) << c.what;  // nothing of a left-out face was measured
        }
    }
}

// A PNG whose image-data chunk declares `length` bytes.
std::string pngWithDataLength(uint32_t length) {
    std::string png = scene_files::pngFile(4, 4);
    const size_t type = png.find("IDAT");
    for (int i = 0; i < 4; ++i) png[type - 4 + i] = static_cast<char>(length >> (24 - 8 * i));
    return png;
}

// A Radiance image of width x height whose pixel data is `pixels`, under the
// identifier `identifier`.
std::string radianceImage(int width, int height, const std::string& pixels,
                          const std::string& identifier = "#?RADIANCE") {
    return identifier + "\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(height) + " +X " + std::to_string(width) +
           "\n" + pixels;
}

// A TGA header of image type `type`, `bits` per pixel, 2 x 2 pixels and an
// identification field of `idLength` bytes, and `data` after it.
std::string tgaImage(char type, char bits, char idLength, const std::string& data) {
    return std::string(1, idLength) + '\0' + type + std::string(9, '\0') + std::string("\2\0\2\0", 4) + bits + '\0' +
           data;
}

TEST(BadAssets, contentsTheDecoderMishandlesAreRefusedBeforeDecoding) {
    const std::string valid = scene_files::jpgFile(8, 8), table = jpegWithHuffmanCounts(17).substr(2);
    ASSERT_NE(valid.find("\xFF\xC0"), std::string::npos);
    const std::string png = scene_files::pngFile(4, 4);
    const size_t pngDataEnd = png.size() - png.find("IDAT") - 4;  // what a data chunk there can hold
    const std::string emptyData("\0\0\0\0IDAT\0\0\0\0", 12);
    const std::string comment = std::string("\xFF\xD8\xFF\xFE") + '\0' + static_cast<char>(2 + table.size());
    const std::string pixels(12, '\x40');
    // Radiance scanlines of eight pixels: each component one run, or values
    // written out after a count of 0 that only takes a byte; and flat pixels.
    const std::string scanline("\2\2\0\x08", 4), runs = scanline + "\x88\x80\x88\x80\x88\x80\x88\x81";
    std::string written = scanline;
    for (int component = 0; component < 4; ++component)
        written += std::string(1, '\0') + '\x08' + std::string(8, '\x80');
    std::string flat;
    for (int i = 0; i < 16; ++i) flat += "\x80\x80\x80\x81";
    const std::pair<std::string, bool> cases[] = {
        {valid, true},
        {jpegWithHuffmanCounts(16), true},  // exactly 256 symbols
        {jpegWithHuffmanCounts(17), false},
        {"\xFF\xFF" + jpegWithHuffmanCounts(17).substr(1), false},  // fill bytes before the start
        {comment + table + valid.substr(2), true},                  // inside a segment the decoder skips
        {valid.substr(0, valid.size() - 2) + table + valid.substr(valid.size() - 2), false},  // a later scan's tables
        {scene_files::pngFile(4, 4) + table, true},  // other formats are not read as JPEG
        {"", true},
        // Binary PNM: 8-bit samples only, and numbers that fit an int; the
        // header is read with the decoder's comment and end-of-file rules.
        {"P6\n2 2\n255\n" + pixels, true},
        {"P5 # comment 999\n4\t3\n255 " + pixels, true},
        {"P6\n2 2\n256\n" + pixels, false},
        {"P5\n# maximum below\n2 2 65535\n" + pixels, false},
        {"P6\n2147483648 0\n255\n", false},
        {"P6\n2147483647 0\n255\n", true},
        {"P6\n2 2\n2555", false},                      // the final digit counts, read or not
        {"P6\n2 2\n255\n" + pixels.substr(1), false},  // every sample, read in one piece
        {"P5\n4 3\n255" + pixels, false},              // the first sample ends the header
        {"P3\n2 2\n65535\n", true},                    // text PNM is not decoded at all
        // PNG data chunks: up to the end of the contents, not one byte more;
        // chunks after the end chunk are never read.
        {png, true},
        {pngWithDataLength(static_cast<uint32_t>(pngDataEnd)), true},
        {pngWithDataLength(static_cast<uint32_t>(pngDataEnd + 1)), false},
        {pngWithDataLength(0x7FFFFFF0u), false},
        {png + pngWithDataLength(0x7FFFFFF0u).substr(png.find("IDAT") - 4), true},
        // An empty data chunk before any data, and after it.
        {png.substr(0, png.find("IDAT") - 4) + emptyData + png.substr(png.find("IDAT") - 4), false},
        {png.substr(0, png.find("IEND") - 4) + emptyData + png.substr(png.find("IEND") - 4), true},
        // Radiance pixel data: to the last pixel, whether run-length encoded
        // or flat (narrow images, or a first scanline without the marker).
        // A scanline the decoder gives up on ends its reading.
        {radianceImage(8, 2, runs + written), true},
        {radianceImage(8, 2, runs + written.substr(0, written.size() - 1)), false},
        {radianceImage(8, 2, runs + runs.substr(0, runs.size() - 1)), false},
        {radianceImage(8, 2, runs + scanline), false},          // counts of 0 read forever
        {radianceImage(8, 2, runs + "\2\2\0\x07"), true},       // not eight pixels long
        {radianceImage(8, 2, runs + scanline + "\x89"), true},  // a run past the row
        {radianceImage(8, 2, flat), true},
        {radianceImage(8, 2, flat.substr(1)), false},
        {radianceImage(4, 4, flat), true},
        {radianceImage(4, 4, flat.substr(4), "#?RGBE"), false},
        {radianceImage(4, -4, ""), true},
        {"#?RADIANCE\n\n-Y 2 +X 8\n" + runs, true},  // no format line: not decoded
        // Uncompressed true-colour and grey TGA pixels: to the last byte, after
        // the identification field. Run-length and 16-bit colour images read 0
        // past the end; a header a byte short reads 0 for its last byte.
        {tgaImage(2, 24, 0, std::string(12, '\x40')), true},
        {tgaImage(2, 24, 0, std::string(11, '\x40')), false},
        {tgaImage(2, 32, 3, std::string(19, '\x40')), true},
        {tgaImage(2, 32, 3, std::string(18, '\x40')), false},
        {tgaImage(3, 8, 0, std::string(3, '\x40')), false},
        {tgaImage(10, 24, 0, std::string(2, '\x40')), true},
        {tgaImage(2, 16, 0, std::string(2, '\x40')), true},
        {tgaImage(2, 24, 0, "").substr(0, 17), false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string& bytes = cases[i].first;
        EXPECT_EQ(imageSafeToDecode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), cases[i].second)
            << "case " << i;
    }
    // The complete Radiance and TGA images are ones the decoder reads.
    for (const std::string& complete : {radianceImage(8, 2, runs + written), radianceImage(8, 2, flat),
                                        tgaImage(2, 32, 3, std::string(19, '\x40'))}) {
        int width = 0, height = 0, channels = 0;
        stbi_uc* decoded = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(complete.data()),
                                                 static_cast<int>(complete.size()), &width, &height, &channels, 4);
        EXPECT_NE(decoded, nullptr) << stbi_failure_reason();
        stbi_image_free(decoded);
    }
}

// A paletted PNG of one row of four pixels, indices 0 to 3, with the palette
// `colours` (three bytes an entry) and, unless empty, the transparency chunk
// `opacities`. Checksums are left 0: the decoder reads none.
std::string palettedPng(const std::string& colours, const std::string& opacities) {
    const auto chunk = [](const char* type, const std::string& data) {
        std::string bytes;
        for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(data.size() >> shift);
        return bytes + type + data + std::string(4, '\0');
    };
    // The image data: no filter, then the indices, as one stored block of a
    // zlib stream.
    const uint8_t row[] = {0, 0, 1, 2, 3};
    uint32_t a = 1, b = 0;  // the stream's Adler-32 checksum
    for (const uint8_t byte : row) a = (a + byte) % 65521, b = (b + a) % 65521;
    std::string data("\x78\x01\x01\x05\0\xFA\xFF", 7);
    data.append(reinterpret_cast<const char*>(row), sizeof row);
    for (int shift = 24; shift >= 0; shift -= 8) data += static_cast<char>((b << 16 | a) >> shift);
    const std::string header("\0\0\0\4\0\0\0\1\x08\x03\0\0\0", 13);  // 4 x 1, 8-bit indices
    std::string png = "\x89PNG\r\n\x1A\n" + chunk("IHDR", header) + chunk("PLTE", colours);
    if (!opacities.empty()) png += chunk("tRNS", opacities);
    return png + chunk("IDAT", data) + chunk("IEND", "");
}

// A BMP of one row of four pixels, 8-bit indices 0 to 3, with the palette
// `colours` (four bytes an entry, blue first).
std::string palettedBmp(const std::string& colours) {
    const auto le32 = [](size_t value) {
        std::string bytes;
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i));
        return bytes;
    };
    const size_t offset = 14 + 40 + colours.size();
    return "BM" + le32(offset + 4) + le32(0) + le32(offset) + le32(40) + le32(4) + le32(1) +
           std::string("\1\0\x08\0", 4) + std::string(24, '\0') + colours + std::string("\0\1\2\3", 4);
}

TEST(BadAssets, palettedImagesShowIndicesPastTheirPaletteAsOpaqueBlack) {
    std::filesystem::create_directories(HOSTILE_WORK_DIR);
    const auto decoded = [](const std::string& name, const std::string& file) {
        const std::string path = std::string(HOSTILE_WORK_DIR) + "/" + name;
        scene_files::writeFile(path, file);
        Texture* tex = decodeTexture(path.c_str());
        std::vector<uint8_t> texels;
        if (tex != nullptr) texels.assign(tex->data, tex->data + 4 * tex->width * tex->height);
        delete tex;
        return texels;
    };
    // Two colours, the first half transparent in the PNG; indices 2 and 3
    // have none.
    const std::string twoColours("\xFF\0\0\0\xFF\0", 6);
    const std::vector<uint8_t> black = {0, 0, 0, 255, 0, 0, 0, 255};
    std::vector<uint8_t> want = {255, 0, 0, 128, 0, 255, 0, 255};
    want.insert(want.end(), black.begin(), black.end());
    EXPECT_EQ(decoded("palette.png", palettedPng(twoColours, "\x80")), want);
    want[3] = 255;
    // The BMP decoder writes alpha 255 itself, and memory it leaves unset may
    // hold zeros, so the padding is also checked on the bytes: 254 entries
    // more. A negative compression field is taken for none.
    const std::string bmp = palettedBmp(std::string("\0\0\xFF\0\0\xFF\0\0", 8));
    const std::string negative = bmp.substr(0, 33) + '\xFA' + bmp.substr(34);
    for (const std::string& file : {bmp, negative}) {
        EXPECT_EQ(decoded("palette.bmp", file), want);
        EXPECT_EQ(withWholePalettes({file.begin(), file.end()}).size(), file.size() + 254 * 4);
    }
    // A second palette chunk keeps the first one's entries past its own.
    const std::string paletteChunk = palettedPng(twoColours, "").substr(33, 18);
    std::string twice = palettedPng("\x10\x20\x30", "");
    twice.insert(twice.find("PLTE") - 4, paletteChunk);
    want = {16, 32, 48, 255, 0, 255, 0, 255};
    want.insert(want.end(), black.begin(), black.end());
    EXPECT_EQ(decoded("twice.png", twice), want);
    // A transparency chunk longer than its palette is still refused, and so
    // is a BMP whose pixels start inside its headers (no palette is read).
    EXPECT_TRUE(decoded("opacities.png", palettedPng(twoColours, "\x80\x80\x80")).empty());
    std::string inside = palettedBmp(std::string(8, '\0'));
    inside[10] = 50;
    EXPECT_TRUE(decoded("inside.bmp", inside).empty());
}

int main(int argc, char** argv) {
    // "--write-scene DIR" only lays out the valid data directory, for scripts.
    if (argc == 3 && std::strcmp(argv[1], "--write-scene") == 0) {
        mkdir(argv[2], 0755);
        scene_files::writeBaseScene(argv[2]);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
