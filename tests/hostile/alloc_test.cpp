// Frames must not touch the heap: every allocation and release made between
// startCounting() and `counting = false` is counted, through both the global
// operator new/delete and the C allocation functions.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>
#include <vector>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
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

// On every supported render path, after a warm-up frame: the demo scene's
// frames neither allocate nor release, and draw something.
TEST(FrameAllocations, noneForTheDemoScene) {
    const char* dataDir = std::getenv("SCANWEAVER_DEMO_DATA");
    if (dataDir == nullptr) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    ASSERT_EQ(chdir(dataDir), 0) << dataDir;
    static std::vector<uint8_t> framebuffer;
    static const uint8_t noKeys[512] = {};
    createSurfaces(framebuffer, 640, 480);
    renderContext.keyboardState = noKeys;
    loadStartupTextures();
    installSceneModel(loadSceneModel(0, 1));
    ASSERT_NE(renderContext.sceneModel, nullptr);
    for (const RenderPath path : allRenderPaths) {
        if (!setRenderPath(path)) continue;
        const double times[] = {4.0, 4.0, 10.0, 29.5};  // the first frame warms up
        for (size_t i = 0; i < std::size(times); ++i) {
            renderContext.elapsedTime = times[i];
            renderContext.zbuffer.clear();
            startCounting();
            composeScene();
            counting = false;
            if (i == 0) continue;
            const uint32_t* pixels = renderContext.framebufferPixels;
            SCOPED_TRACE(::testing::Message() << renderPathName(path) << ", t = " << times[i]);
            EXPECT_EQ(allocations, 0u);
            EXPECT_EQ(releases, 0u);
            EXPECT_NE(std::count(pixels, pixels + 640 * 480, 0u), 640 * 480);
        }
    }
}
