// Frames must not touch the heap: every allocation and release made between
// startCounting() and `counting = false` is counted, through both the global
// operator new/delete and the C allocation functions.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <vector>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "pipeline/render_context.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_path.h"
#include "pipeline/vertex_processing.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

bool counting = false;
size_t allocations = 0, releases = 0;

void* counted(void* block) {
    if (counting) ++allocations;
    return block;
}

void* orThrow(void* block) {
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

size_t atLeastOne(size_t size) { return size == 0 ? 1 : size; }

void* alignedBlock(size_t size, std::align_val_t align) {
    return orThrow(counted(__libc_memalign(static_cast<size_t>(align), atLeastOne(size))));
}

}  // namespace

extern "C" {
void* malloc(size_t size) { return counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return counted(__libc_calloc(count, size)); }
void* realloc(void* block, size_t size) { return counted(__libc_realloc(block, size)); }
void free(void* block) {
    if (counting && block != nullptr) ++releases;
    __libc_free(block);
}
}

void* operator new(size_t size) { return orThrow(malloc(atLeastOne(size))); }
void* operator new[](size_t size) { return orThrow(malloc(atLeastOne(size))); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(atLeastOne(size)); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(atLeastOne(size)); }
void* operator new(size_t size, std::align_val_t align) { return alignedBlock(size, align); }
void* operator new[](size_t size, std::align_val_t align) { return alignedBlock(size, align); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }
void operator delete(void* block, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { free(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { free(block); }

namespace {

void startCounting() {
    allocations = releases = 0;
    counting = true;
}

std::vector<uint8_t> framebufferStorage;
const uint8_t noKeys[512] = {};

Texture* makeTexture(int32_t w, int32_t h, bool mipmapped) {
    const size_t bytes = static_cast<size_t>(w) * h * 4;
    uint8_t* data = new uint8_t[bytes];
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 37 | 3);
    Texture* tex = new Texture{w, h, 4, 1, data, {data}};
    if (mipmapped) generateMipmaps(tex);
    return tex;
}

Vertex corner(float x, float y, float z, float u, float v) { return {{x, y, z}, {255, 255, 255, 255}, {0, 0, 1}, {u, v}}; }

// Appends a triangle with both windings, so it shows whichever way it turns.
void addTwoSided(std::vector<Vertex>& mesh, const Vertex& a, const Vertex& b, const Vertex& c) {
    mesh.insert(mesh.end(), {a, b, c, c, b, a});
}

// A scene model with one textured material: the first mesh has it, the
// second none.
Model* makeModel(const std::vector<std::vector<Vertex>>& meshes) {
    Model* model = new Model{};
    model->materials.emplace_back().diffuse_texname = "wall";
    model->textures["wall"] = makeTexture(64, 64, true);
    for (size_t i = 0; i < meshes.size(); ++i) model->meshes.push_back(makeMesh(meshes[i], i == 0 ? 0 : -1));
    resolveMeshTextures(*model);
    return model;
}

void setUpFrames(Model* model) {
    createSurfaces(framebufferStorage, frameWidth, frameHeight);
    renderContext.defaultTexture = makeTexture(8, 8, false);
    renderContext.cubeTexture = makeTexture(16, 16, true);
    renderContext.keyboardState = noKeys;
    renderContext.sceneModel = model;
}

void renderFrame(double t) {
    renderContext.zbuffer.clear();
    renderContext.elapsedTime = t;
    composeScene();
}

size_t litPixels() {
    const uint32_t* pixels = renderContext.framebufferPixels;
    const size_t cells = static_cast<size_t>(frameWidth) * frameHeight;
    return cells - static_cast<size_t>(std::count(pixels, pixels + cells, 0u));
}

size_t sinkCalls = 0;
void countingSink(const Vertex& a, const Vertex& b, const Vertex& c, ScreenPosition pa, ScreenPosition pb,
                  ScreenPosition pc) {
    ++sinkCalls;
    fillTriangle(a, b, c, pa, pb, pc);
}

// On every supported render path, after a warm-up frame: the frames at `times`
// neither allocate nor release, and draw something.
void expectFramesLeaveTheHeapAlone(std::initializer_list<double> times) {
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderFrame(1.5);
        for (const double t : times) {
            startCounting();
            renderFrame(t);
            counting = false;
            EXPECT_EQ(allocations, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_EQ(releases, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_GT(litPixels(), 0u) << renderPathName(path) << ", t = " << t;
        }
    }
    setRenderPath(fastestRenderPath());
}

}  // namespace

TEST(FrameAllocations, theCounterSeesEveryKindOfHeapUse) {
    startCounting();
    int* volatile single = new int(1);
    delete single;
    void* volatile block = std::malloc(100);
    block = std::realloc(block, 5000);
    std::free(block);
    std::vector<double> list(1000);
    list.clear();
    list.shrink_to_fit();
    counting = false;
    EXPECT_EQ(allocations, 4u);
    EXPECT_EQ(releases, 3u);
}

TEST(FrameAllocations, noneForTrianglesInsideTheViewVolumeAndTheCube) {
    // Small triangles around the model origin, which sits 7 in front of the
    // eye: well inside the volume at every turn.
    std::vector<Vertex> textured, plain;
    for (int i = 0; i < 8; ++i) {
        const float x = -1.0f + 0.25f * static_cast<float>(i);
        addTwoSided(textured, corner(x, 0.0f, 0.2f, 0, 0), corner(x + 0.2f, 0.0f, 0.0f, 1, 0),
                    corner(x + 0.1f, 0.8f, 0.1f, 0.5f, 1));
        addTwoSided(plain, corner(x, 1.0f, -0.2f, 0, 0), corner(x + 0.2f, 1.0f, 0.0f, 1, 0),
                    corner(x + 0.1f, 1.6f, -0.1f, 0.5f, 1));
    }
    setUpFrames(makeModel({textured, plain}));
    expectFramesLeaveTheHeapAlone({1.5, 4.0, 12.0, 29.5});
}

TEST(FrameAllocations, noneForTrianglesCrossingTheViewVolume) {
    // A floor through the eye and a wall wider than the view: both are clipped
    // against several planes in every frame.
    std::vector<Vertex> crossing;
    addTwoSided(crossing, corner(-60, -0.5f, -60, 0, 0), corner(60, -0.5f, -60, 9, 0), corner(0, -0.5f, 60, 4, 9));
    addTwoSided(crossing, corner(-40, -20, -3, 0, 0), corner(40, -20, -3, 5, 0), corner(0, 30, -3, 2, 5));
    setUpFrames(makeModel({crossing}));

    // Through a counting sink first, which shows that clipping happens: four
    // model triangles and twelve cube triangles go in, fans come out.
    setRenderPath(RenderPath::recording, countingSink);
    renderFrame(1.5);
    EXPECT_GT(sinkCalls, 16u);
    setRenderPath(fastestRenderPath());

    expectFramesLeaveTheHeapAlone({1.5, 7.0, 20.0});
}

TEST(FrameAllocations, noneForTheDemoScene) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    setUpFrames(nullptr);
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    ASSERT_NE(renderContext.sceneModel, nullptr);
    expectFramesLeaveTheHeapAlone({10.0});
}
