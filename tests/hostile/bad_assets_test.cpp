// Runs scanweaver-render in data directories that each carry one broken or
// hostile asset and checks what it says and how it ends. In the sanitizer
// build every run is watched by the sanitizers, whose reports abort the
// process: the exact standard-error and status checks notice them.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "assets/image_checks.h"
#include "assets/texture.h"

#include "scene_files.h"

using scene_files::objPath;
using scene_files::readFile;
using scene_files::wallPath;
using scene_files::writeFile;

namespace {

struct Outcome {
    int status;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
};

const std::string wallFull = std::string(wallPath);

std::string testWorkDir() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string dir = std::string(HOSTILE_WORK_DIR) + "/" + info->test_suite_name() + "." + info->name();
    mkdir(HOSTILE_WORK_DIR, 0755);
    std::system(("rm -rf '" + dir + "'").c_str());
    mkdir(dir.c_str(), 0755);
    return dir;
}

// Runs the renderer for one frame at t = 1.5 inside dir, writing x.png there.
Outcome render(const std::string& dir) {
    const std::string outPath = dir + "/stdout.txt";
    const std::string errPath = dir + "/stderr.txt";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        alarm(300);  // a hang ends in SIGALRM, which the status check reports
        execl(SCANWEAVER_RENDER_PATH, SCANWEAVER_RENDER_PATH, "--time", "1.5", "--out", "x.png",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return {status, readFile(outPath), readFile(errPath)};
}

// The frame a run wrote, as RGBA bytes; empty when there is none.
std::vector<uint8_t> picture(const std::string& dir) {
    int w = 0, h = 0, channels = 0;
    uint8_t* pixels = stbi_load((dir + "/x.png").c_str(), &w, &h, &channels, 4);
    if (pixels == nullptr) return {};
    std::vector<uint8_t> bytes(pixels, pixels + static_cast<size_t>(w) * h * 4);
    stbi_image_free(pixels);
    return bytes;
}

// A fresh copy of the valid data directory under the test's work directory.
std::string baseScene(const std::string& work, const std::string& name) {
    const std::string dir = work + "/" + name;
    mkdir(dir.c_str(), 0755);
    scene_files::writeBaseScene(dir);
    return dir;
}

// The base OBJ's vertex, texture-coordinate and normal lines, without faces.
std::string baseAttributes() {
    const std::string obj = scene_files::baseObj;
    return obj.substr(0, obj.find("o panels"));
}

std::string baseFaces() {
    const std::string obj = scene_files::baseObj;
    return obj.substr(obj.find("o panels"));
}

// Standard error without the parser's own out-of-range index warnings, which
// name the last line of the file and are followed by an empty line.
std::string withoutIndexWarnings(const std::string& err) {
    std::istringstream lines(err);
    std::string line, kept;
    bool skipBlank = false;
    while (std::getline(lines, line)) {
        if (line.find("indices out of bounds (line ") != std::string::npos) {
            skipBlank = true;
            continue;
        }
        if (skipBlank && line.empty()) continue;
        skipBlank = false;
        kept += line + "\n";
    }
    return kept;
}

std::string leftOut(int shape, const char* name, int count) {
    return std::string(objPath) + ": shape " + std::to_string(shape) + " \"" + name + "\": left out " +
           std::to_string(count) + " faces with out-of-range indices or non-finite positions\n";
}

std::string statisticsLine(const std::string& out, const char* prefix) {
    const size_t at = out.find(prefix);
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

// A JPEG start whose first Huffman table declares `perLength` symbols for
// each of the 16 code lengths.
std::string jpegWithHuffmanCounts(int perLength) {
    std::string bytes = "\xFF\xD8\xFF\xC4";
    const int length = 2 + 17 + 16 * perLength;
    bytes += static_cast<char>(length >> 8);
    bytes += static_cast<char>(length & 0xFF);
    bytes += '\x10';
    bytes += std::string(16, static_cast<char>(perLength));
    bytes += std::string(static_cast<size_t>(16 * perLength), '\x01');
    return bytes;
}

// Image files that exist but do not decode, keyed by a short description. (A
// truncated PNG fails; a BMP cut short decodes, its missing texels read as 0.)
std::vector<std::pair<std::string, std::string>> undecodableImages(const std::string& valid,
                                                                   const std::string& tooLong) {
    std::string hugeHeader = valid;  // dimensions far beyond any allocation
    if (hugeHeader.size() > 24 && hugeHeader.compare(1, 3, "PNG") == 0) {
        std::memcpy(&hugeHeader[16], "\x7f\xff\xff\xf0\x7f\xff\xff\xf0", 8);
    } else if (hugeHeader.size() > 26) {
        std::memcpy(&hugeHeader[18], "\xf0\xff\xff\x7f\xf0\xff\xff\x7f", 8);
    }
    return {
        {"empty", ""},
        {"text", "this is not an image\n"},
        {"header only", valid.substr(0, 40)},
        {"huge dimensions", hugeHeader},
        {"JPEG Huffman table of 272 symbols", jpegWithHuffmanCounts(17)},
        {"16-bit PNM", "P6\n2 2\n65535\n" + std::string(24, '\x7f')},
        {"side longer than 16384", tooLong},
        {"PNM of height 0", "P6\n4 0\n255\n"},
    };
}

}  // namespace

TEST(BadAssets, startupImagesThatCannotBeReadEndTheRunWithStatusOne) {
    const std::string work = testWorkDir();
    for (const char* name : {"texture.bmp", "cool.bmp"}) {
        const std::string expected = std::string("Couldn't open image ") + name + "!\n";
        int n = 0;
        for (const auto& image : undecodableImages(scene_files::bmpFile(16, 16), scene_files::bmpFile(16385, 2))) {
            const std::string dir = baseScene(work, std::string(name) + "." + std::to_string(n++));
            writeFile(dir + "/" + name, image.second);
            const Outcome run = render(dir);
            EXPECT_EQ(run.status, 1) << name << ", " << image.first;
            EXPECT_EQ(run.err, expected) << name << ", " << image.first;
        }
        std::string dir = baseScene(work, std::string(name) + ".truncated");
        const std::string bmp = scene_files::bmpFile(16, 16);
        writeFile(dir + "/" + name, bmp.substr(0, bmp.size() / 2));
        Outcome run = render(dir);
        EXPECT_EQ(run.status, 0) << name << " truncated";
        EXPECT_EQ(run.err, "") << name << " truncated";

        dir = baseScene(work, std::string(name) + ".missing");
        std::remove((dir + "/" + name).c_str());
        run = render(dir);
        EXPECT_EQ(run.status, 1) << name << " missing";
        EXPECT_EQ(run.err, expected) << name << " missing";

        // fopen succeeds on a directory; decoding it must still fail cleanly.
        dir = baseScene(work, std::string(name) + ".directory");
        std::remove((dir + "/" + name).c_str());
        mkdir((dir + "/" + name).c_str(), 0755);
        run = render(dir);
        EXPECT_EQ(run.status, 1) << name << " directory";
        EXPECT_EQ(run.err, expected) << name << " directory";
    }
}

TEST(BadAssets, materialTexturesThatDoNotDecodeEndTheRunWithStatusOne) {
    const std::string work = testWorkDir();
    const std::string expected = "Couldn't open image models/qorvelin-sponza/" + std::string("textures/wall.png") + "!\n";
    int n = 0;
    const std::string png = scene_files::pngFile(16, 8);
    std::vector<std::pair<std::string, std::string>> images = undecodableImages(png, scene_files::pngFile(4, 16385));
    images.emplace_back("truncated", png.substr(0, png.size() / 2));
    for (const auto& image : images) {
        const std::string dir = baseScene(work, "wall." + std::to_string(n++));
        writeFile(dir + "/" + wallFull, image.second);
        const Outcome run = render(dir);
        EXPECT_EQ(run.status, 1) << image.first;
        EXPECT_EQ(run.err, expected) << image.first;
    }
    const std::string dir = baseScene(work, "wall.directory");
    std::remove((dir + "/" + wallFull).c_str());
    mkdir((dir + "/" + wallFull).c_str(), 0755);
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, expected);
}

TEST(BadAssets, materialTextureFoundNowhereEndsTheRunWithStatusOne) {
    const std::string work = testWorkDir();
    std::string dir = baseScene(work, "missing");
    std::remove((dir + "/" + wallFull).c_str());
    Outcome run = render(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Unable to find file: textures/wall.png\n");

    dir = baseScene(work, "missing-backslash");
    writeFile(dir + "/" + scene_files::mtlPath, "newmtl wall\nmap_Kd textures\\gone.png\n");
    run = render(dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Unable to find file: textures\\gone.png\n");
}

TEST(BadAssets, windowsStyleTextureNamesLoad) {
    const std::string work = testWorkDir();
    const std::string base = baseScene(work, "base");
    const Outcome reference = render(base);
    ASSERT_EQ(reference.status, 0);
    EXPECT_EQ(reference.err, "");

    const std::string dir = baseScene(work, "backslash");
    writeFile(dir + "/" + scene_files::mtlPath, "newmtl wall\nKd 1 1 1\nmap_Kd textures\\wall.png\n");
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("material[0].diffuse_texname = textures\\wall.png\n"), std::string::npos);
    EXPECT_EQ(picture(dir), picture(base));
}

TEST(BadAssets, missingObjIsReportedAndTheCubeIsDrawnAlone) {
    const std::string work = testWorkDir();
    const std::string dir = baseScene(work, "missing");
    std::remove((dir + "/" + objPath).c_str());
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    const std::string path = objPath;
    const std::string expected =
        "Cannot open file [" + path + "]\n\nFailed to load " + path + "\nCouldn't load model " + path + "!\n";
    EXPECT_EQ(run.err, expected);

    // The same frame as a model that has nothing to draw.
    const std::string faceless = baseScene(work, "faceless");
    writeFile(faceless + "/" + objPath, baseAttributes());
    const Outcome empty = render(faceless);
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.err, "");
    EXPECT_EQ(statisticsLine(empty.out, "bmin = "),
              "bmin = 340282346638528859811704183484516925440.000000, 340282346638528859811704183484516925440.000000, "
              "340282346638528859811704183484516925440.000000");
    const std::vector<uint8_t> cubeAlone = picture(dir);
    ASSERT_FALSE(cubeAlone.empty());
    EXPECT_EQ(cubeAlone, picture(faceless));
    EXPECT_NE(cubeAlone, std::vector<uint8_t>(cubeAlone.size(), 0)) << "the cube is missing";

    const std::string base = baseScene(work, "base");
    ASSERT_EQ(render(base).status, 0);
    EXPECT_NE(picture(base), cubeAlone) << "the base model draws nothing, so the comparisons prove nothing";
}

TEST(BadAssets, missingMaterialLibraryWarnsAndLoadingGoesOn) {
    const std::string work = testWorkDir();
    const std::string dir = baseScene(work, "missing");
    std::remove((dir + "/" + scene_files::mtlPath).c_str());
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "Material file [ sponza.mtl ] not found in a path : models/qorvelin-sponza/\n"
              "Failed to load material file(s). Use default material.\n"
              "material [ 'wall' ] not found in .mtl\n\n");
    EXPECT_NE(run.out.find("# of shapes    = 1\n"), std::string::npos);
    EXPECT_FALSE(picture(dir).empty());
}

TEST(BadAssets, facesReachingOutsideTheAttributeArraysAreLeftOutPerShape) {
    const std::string work = testWorkDir();
    const std::string base = baseScene(work, "base");
    const Outcome reference = render(base);
    ASSERT_EQ(reference.status, 0);

    const std::string dir = baseScene(work, "indices");
    writeFile(dir + "/" + objPath, baseAttributes() + baseFaces() +
                                       "f 1/1/1 2/2/1 7/3/1\n"        // vertex past the end
                                       "f 1/1/1 2/2/1 99999/3/1\n"
                                       "o texcoords\n"
                                       "f 1/1/1 2/5/1 3/3/1\n"        // texture coordinate past the end
                                       "o normals\n"
                                       "f 1/1/1 2/2/2 3/3/1\n"        // normal past the end
                                       "f 1/1/1 2/2/1 3/3/1000000\n"
                                       "o relative\n"
                                       "f -7 -6 -5\n"                 // before the first vertex
                                       "f 1 2 -2000000000\n"
                                       "o kept\n"
                                       "f 1/1/1 2/2/1 3/3/1\n");
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(withoutIndexWarnings(run.err), leftOut(0, "panels", 2) + leftOut(1, "texcoords", 1) +
                                                 leftOut(2, "normals", 2) + leftOut(3, "relative", 2));
    EXPECT_NE(run.out.find("shape[4] material_id 0\n"), std::string::npos);
    // Nothing of a left-out face reaches the bounding box.
    EXPECT_EQ(statisticsLine(run.out, "bmin = "), statisticsLine(reference.out, "bmin = "));
    EXPECT_EQ(statisticsLine(run.out, "bmax = "), statisticsLine(reference.out, "bmax = "));

    // A shape reduced to nothing yields no mesh; the others draw as usual.
    const std::string only = baseScene(work, "only-bad");
    writeFile(only + "/" + objPath, baseAttributes() + "o bad\nf 1 2 9\n" + baseFaces());
    const Outcome onlyRun = render(only);
    EXPECT_EQ(onlyRun.status, 0);
    EXPECT_EQ(withoutIndexWarnings(onlyRun.err), leftOut(0, "bad", 1));
    EXPECT_EQ(onlyRun.out.find("shape[0]"), std::string::npos);
    EXPECT_EQ(picture(only), picture(base));
}

TEST(BadAssets, facesWithNonFiniteOrOverflowingPositionsAreLeftOut) {
    const std::string work = testWorkDir();
    const std::string base = baseScene(work, "base");
    const Outcome reference = render(base);
    ASSERT_EQ(reference.status, 0);

    // 0e999 parses as 0 * inf, a NaN; 1e39 and 1e400 overflow a float.
    const std::string dir = baseScene(work, "positions");
    writeFile(dir + "/" + objPath, baseAttributes() + baseFaces() +
                                       "v 0e999 0 0\n"
                                       "v 1e400 0 0\n"
                                       "v 0 -1e400 0\n"
                                       "v 1e39 1e39 1e39\n"
                                       "v 0 0 -1e39\n"
                                       "o wild\n"
                                       "f 1 2 7\n"
                                       "f 8 1 2\n"
                                       "f 2 9 1\n"
                                       "f 10 10 10\n"
                                       "f 1 11 2\n");
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, leftOut(1, "wild", 5));
    EXPECT_EQ(statisticsLine(run.out, "bmin = "), statisticsLine(reference.out, "bmin = "));
    EXPECT_EQ(statisticsLine(run.out, "bmax = "), statisticsLine(reference.out, "bmax = "));
    EXPECT_EQ(picture(dir), picture(base));
}

TEST(BadAssets, wildAttributesOfUsableFacesAreDrawnWithoutHarm) {
    const std::string work = testWorkDir();
    const std::string dir = baseScene(work, "attributes");
    writeFile(dir + "/" + objPath,
              "mtllib sponza.mtl\n"
              "v -1.5 0 0 1e39 -1e39 0e999\n"  // colours far out of range and NaN
              "v 1.5 0 0 -1e400 2 0.5\n"
              "v 0 2 0\n"
              "v 0 2 0\n"
              "vt 1e20 3e9\n"                  // scaled texel index beyond 32 bits
              "vt -1e30 0e999\n"
              "vt 1e400 -1e400\n"
              "vt -3e9 -1e-45\n"
              "vn 0e999 1e400 0\n"
              "usemtl wall\n"
              "o texcoords\n"
              "f 1/1/1 2/2/1 3/3/1\n"
              "f 3/3/1 2/2/1 1/1/1\n"
              "f 1/4 3/1 2/2\n"
              "f 2/4 3/1 1/2\n"
              "o fallbacks\n"
              "f 1/-9/-9 2/1/1 3/2/1\n"        // relative indices before the first: treated as absent
              "f 3/-9 2/1 1/2\n"
              "o smoothed\n"
              "s 1\n"
              "f 1/1 2/2 3/3\n"
              "f 3/1 4/2 3/3\n"                // zero area: no direction to smooth with
              "f 4 3 1\n");
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("Compute smoothingNormal for shape [2]\n"), std::string::npos);
    EXPECT_FALSE(picture(dir).empty());
}

TEST(BadAssets, shapesWithoutFacesYieldNothing) {
    const std::string work = testWorkDir();
    const std::string dir = baseScene(work, "middle");
    writeFile(dir + "/" + objPath, baseAttributes() +
                                       "usemtl wall\n"
                                       "o first\n"
                                       "f 1/1/1 2/2/1 3/3/1\n"
                                       "o lines\n"
                                       "l 1 2 3\n"
                                       "o last\n"
                                       "f 3/3/1 2/2/1 1/1/1\n"
                                       "f 1/1/1 3/3/1 4/4/1\n");
    const Outcome run = render(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("# of shapes    = 3\n"), std::string::npos);
    EXPECT_NE(run.out.find("shape[0] material_id 0\n"), std::string::npos);
    EXPECT_EQ(run.out.find("shape[1"), std::string::npos);
    EXPECT_NE(run.out.find("shape[2:2] material_id 0,\t6 verts\n"), std::string::npos);
}

TEST(BadAssets, contentsTheDecoderMishandlesAreRefusedBeforeDecoding) {
    auto safe = [](const std::string& bytes) {
        return imageSafeToDecode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    std::string valid;
    std::vector<uint8_t> texels(8 * 8 * 3, 90);
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size); },
        &valid, 8, 8, 3, texels.data(), 90);
    ASSERT_GT(valid.size(), 100u);
    EXPECT_TRUE(safe(valid));
    EXPECT_TRUE(safe(jpegWithHuffmanCounts(16)));  // exactly 256 symbols
    EXPECT_FALSE(safe(jpegWithHuffmanCounts(17)));
    EXPECT_FALSE(safe("\xFF\xFF" + jpegWithHuffmanCounts(17).substr(1)));  // fill bytes before the start

    // Inside a segment the decoder skips, the same bytes are harmless.
    const std::string table = jpegWithHuffmanCounts(17).substr(2);
    std::string comment = "\xFF\xD8\xFF\xFE";
    comment += static_cast<char>(0);
    comment += static_cast<char>(2 + table.size());
    EXPECT_TRUE(safe(comment + table + valid.substr(2)));

    // Past the frame header, in a later scan's tables, they are not.
    const size_t frame = valid.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    std::string later = valid;
    later.insert(later.size() - 2, table);
    EXPECT_FALSE(safe(later));

    // Other formats are not read as JPEG.
    EXPECT_TRUE(safe(scene_files::pngFile(4, 4) + table));
    EXPECT_TRUE(safe(""));

    // Binary PNM: 8-bit samples only, and numbers that fit an int; the
    // header is read with the decoder's comment and end-of-file rules.
    const std::string pixels(12, '\x40');
    EXPECT_TRUE(safe("P6\n2 2\n255\n" + pixels));
    EXPECT_TRUE(safe("P5 # comment 999\n4\t3\n255 " + pixels));
    EXPECT_FALSE(safe("P6\n2 2\n256\n" + pixels));
    EXPECT_FALSE(safe("P5\n# maximum below\n2 2 65535\n" + pixels));
    EXPECT_FALSE(safe("P6\n2147483648 1\n255\n" + pixels));
    EXPECT_TRUE(safe("P6\n2147483647 1\n255\n" + pixels));
    EXPECT_FALSE(safe("P6\n2 2\n2555"));  // the final digit counts, read or not
    EXPECT_TRUE(safe("P3\n2 2\n65535\n"));  // text PNM is not decoded at all
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
