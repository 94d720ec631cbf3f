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
#include "pipeline/render_path.h"

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

Texture* makeTexture(int32_t w, int32_t h) {
    uint8_t* data = new uint8_t[static_cast<size_t>(w) * h * 4];
    for (int32_t i = 0; i < w * h * 4; ++i) data[i] = static_cast<uint8_t>(i * 37 | 3);
    Texture* tex = new Texture{w, h, 4, 1, data, {data}};
    generateMipmaps(tex);
    return tex;
}

Vertex corner(float x, float y, float z, float u, float v) {
    return {{x, y, z}, {255, 255, 255, 255}, {0, 0, 1}, {u, v}};
}

// On every supported render path, after a warm-up frame at the first of
// `times`: the frames at `times` neither allocate nor release, and draw something.
void expectFramesLeaveTheHeapAlone(std::initializer_list<double> times) {
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        for (size_t i = 0; i <= times.size(); ++i) {
            renderContext.elapsedTime = times.begin()[i == 0 ? 0 : i - 1];
            renderContext.zbuffer.clear();
            if (i > 0) startCounting();
            composeScene();
            counting = false;
            if (i == 0) continue;
            const uint32_t* pixels = renderContext.framebufferPixels;
            SCOPED_TRACE(::testing::Message() << renderPathName(path) << ", t = " << renderContext.elapsedTime);
            EXPECT_EQ(allocations, 0u);
            EXPECT_EQ(releases, 0u);
            EXPECT_NE(std::count(pixels, pixels + 640 * 480, 0u), 640 * 480);
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

// A floor through the eye and a wall wider than the view, both sides of each
// drawn (one textured, one without a material): clipped against several planes
// in every frame, besides the cube, which is not.
TEST(FrameAllocations, noneForTrianglesCrossingTheViewVolume) {
    const Vertex floor[] = {corner(-60, -0.5f, -60, 0, 0), corner(60, -0.5f, -60, 9, 0), corner(0, -0.5f, 60, 4, 9)};
    const Vertex wall[] = {corner(-40, -20, -3, 0, 0), corner(40, -20, -3, 5, 0), corner(0, 30, -3, 2, 5)};
    Model* model = new Model{};
    model->materials.emplace_back().diffuse_texname = "wall";
    model->textures["wall"] = makeTexture(64, 64);
    model->meshes = {{{floor[0], floor[1], floor[2], floor[2], floor[1], floor[0]}, 0},
                     {{wall[0], wall[1], wall[2], wall[2], wall[1], wall[0]}, -1}};
    createSurfaces(framebufferStorage, 640, 480);
    renderContext.defaultTexture = makeTexture(8, 8);
    renderContext.cubeTexture = makeTexture(16, 16);
    renderContext.keyboardState = noKeys;
    renderContext.sceneModel = model;
    expectFramesLeaveTheHeapAlone({1.5, 7.0, 20.0});
}

TEST(FrameAllocations, noneForTheDemoScene) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    createSurfaces(framebufferStorage, 640, 480);
    renderContext.keyboardState = noKeys;
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    ASSERT_NE(renderContext.sceneModel, nullptr);
    expectFramesLeaveTheHeapAlone({4.0, 10.0, 29.5});
}
