// Frames must not touch the heap: every allocation and release made between
// startCounting() and stopCounting() is counted, through both the global
// operator new/delete and the C allocation functions.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
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
size_t allocations = 0;
size_t releases = 0;

void countAllocation() {
    if (counting) ++allocations;
}

void countRelease(void* block) {
    if (counting && block != nullptr) ++releases;
}

void* allocate(size_t size) {
    countAllocation();
    void* block = __libc_malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* allocateAligned(size_t size, std::align_val_t alignment) {
    countAllocation();
    void* block = __libc_memalign(static_cast<size_t>(alignment), size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void release(void* block) {
    countRelease(block);
    __libc_free(block);
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
    countAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    countAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    countAllocation();
    return __libc_realloc(block, size);
}
void free(void* block) { release(block); }
}

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    countAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    countAllocation();
    return __libc_malloc(size == 0 ? 1 : size);
}
void* operator new(size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new[](size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, size_t) noexcept { release(block); }
void operator delete[](void* block, size_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { release(block); }

namespace {

void startCounting() {
    allocations = 0;
    releases = 0;
    counting = true;
}

void stopCounting() { counting = false; }

std::vector<uint8_t> framebufferStorage;
const uint8_t noKeys[512] = {};

Texture* makeTexture(int32_t w, int32_t h, bool mipmapped) {
    Texture* tex = new Texture{};
    tex->width = w;
    tex->height = h;
    tex->bytesPerPixel = 4;
    tex->data = new uint8_t[static_cast<size_t>(w) * h * 4];
    for (size_t i = 0; i < static_cast<size_t>(w) * h * 4; ++i) tex->data[i] = static_cast<uint8_t>(i * 37 | 3);
    tex->mipchain[0] = tex->data;
    tex->mipLevels = 1;
    if (mipmapped) generateMipmaps(tex);
    return tex;
}

Vertex corner(float x, float y, float z, float u, float v) { return {{x, y, z}, {255, 255, 255, 255}, {0, 0, 1}, {u, v}}; }

// Appends a triangle with both windings, so it shows whichever way it turns.
void addTwoSided(Mesh& mesh, const Vertex& a, const Vertex& b, const Vertex& c) {
    mesh.vertices.insert(mesh.vertices.end(), {a, b, c, c, b, a});
}

// A scene model with one textured material and one mesh without a material.
Model* makeModel(const std::vector<Mesh>& meshes) {
    Model* model = new Model{};
    tinyobj::material_t wall;
    wall.diffuse_texname = "wall";
    model->materials.push_back(wall);
    model->textures["wall"] = makeTexture(64, 64, true);
    model->meshes = meshes;
    return model;
}

void setUpFrames(Model* model) {
    createSurfaces(framebufferStorage, 640, 480);
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
    size_t lit = 0;
    for (int i = 0; i < 640 * 480; ++i) lit += renderContext.framebufferPixels[i] != 0;
    return lit;
}

size_t sinkCalls = 0;
void countingSink(const Vertex& a, const Vertex& b, const Vertex& c, ScreenPosition pa, ScreenPosition pb,
                  ScreenPosition pc) {
    ++sinkCalls;
    fillTriangle(a, b, c, pa, pb, pc);
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
    stopCounting();
    EXPECT_EQ(allocations, 4u);
    EXPECT_EQ(releases, 3u);
}

TEST(FrameAllocations, noneForTrianglesInsideTheViewVolumeAndTheCube) {
    // Small triangles around the model origin, which sits 7 in front of the
    // eye: well inside the volume at every turn.
    Mesh textured{{}, 0};
    Mesh plain{{}, -1};
    for (int i = 0; i < 8; ++i) {
        const float x = -1.0f + 0.25f * static_cast<float>(i);
        addTwoSided(textured, corner(x, 0.0f, 0.2f, 0, 0), corner(x + 0.2f, 0.0f, 0.0f, 1, 0),
                    corner(x + 0.1f, 0.8f, 0.1f, 0.5f, 1));
        addTwoSided(plain, corner(x, 1.0f, -0.2f, 0, 0), corner(x + 0.2f, 1.0f, 0.0f, 1, 0),
                    corner(x + 0.1f, 1.6f, -0.1f, 0.5f, 1));
    }
    setUpFrames(makeModel({textured, plain}));
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderFrame(1.5);  // warm-up
        for (const double t : {1.5, 4.0, 12.0, 29.5}) {
            startCounting();
            renderFrame(t);
            stopCounting();
            EXPECT_EQ(allocations, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_EQ(releases, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_GT(litPixels(), 0u) << renderPathName(path) << ", t = " << t;
        }
    }
    setRenderPath(fastestRenderPath());
}

TEST(FrameAllocations, noneForTrianglesCrossingTheViewVolume) {
    // A floor through the eye and a wall wider than the view: both are clipped
    // against several planes in every frame.
    Mesh crossing{{}, 0};
    addTwoSided(crossing, corner(-60, -0.5f, -60, 0, 0), corner(60, -0.5f, -60, 9, 0), corner(0, -0.5f, 60, 4, 9));
    addTwoSided(crossing, corner(-40, -20, -3, 0, 0), corner(40, -20, -3, 5, 0), corner(0, 30, -3, 2, 5));
    setUpFrames(makeModel({crossing}));

    // Through a counting sink first, which shows that clipping happens: four
    // model triangles and twelve cube triangles go in, fans come out.
    triangleSink = countingSink;
    renderFrame(1.5);
    EXPECT_GT(sinkCalls, 16u);
    triangleSink = fillTriangle;

    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderFrame(1.5);
        for (const double t : {1.5, 7.0, 20.0}) {
            startCounting();
            renderFrame(t);
            stopCounting();
            EXPECT_EQ(allocations, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_EQ(releases, 0u) << renderPathName(path) << ", t = " << t;
            EXPECT_GT(litPixels(), 0u) << renderPathName(path) << ", t = " << t;
        }
    }
    setRenderPath(fastestRenderPath());
}

TEST(FrameAllocations, noneForTheDemoScene) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    setUpFrames(nullptr);
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    ASSERT_NE(renderContext.sceneModel, nullptr);
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        renderFrame(1.5);
        startCounting();
        renderFrame(10.0);
        stopCounting();
        EXPECT_EQ(allocations, 0u) << renderPathName(path);
        EXPECT_EQ(releases, 0u) << renderPathName(path);
        EXPECT_GT(litPixels(), 0u) << renderPathName(path);
    }
    setRenderPath(fastestRenderPath());
}
