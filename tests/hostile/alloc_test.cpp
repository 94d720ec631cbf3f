// Frames must not touch the heap: every allocation and release made between
// startCounting() and `counting = false` is counted.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>
#include <vector>

#include "../demo_scene.h"

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

void startCounting() {
    allocations = releases = 0;
    counting = true;
}

}  // namespace

// The C++ allocation functions of the standard library call these, the
// aligned ones aligned_alloc, so every heap use of a frame passes through them.
extern "C" {
void* malloc(size_t size) { return counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return counted(__libc_calloc(count, size)); }
void* realloc(void* block, size_t size) { return counted(__libc_realloc(block, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return counted(__libc_memalign(alignment, size)); }
void free(void* block) {
    if (counting && block != nullptr) ++releases;
    __libc_free(block);
}
}

TEST(FrameAllocations, theCounterSeesEveryKindOfHeapUse) {
    struct alignas(64) Wide {
        char bytes[64];
    };
    startCounting();
    int* volatile single = new int(1);
    delete single;
    Wide* volatile wide = new Wide[3];
    delete[] wide;
    void* volatile block = std::malloc(100);
    block = std::realloc(block, 5000);
    std::free(block);
    std::vector<double> list(1000);
    list.clear();
    list.shrink_to_fit();
    counting = false;
    EXPECT_EQ(allocations, 5u);
    EXPECT_EQ(releases, 4u);
}

// On every supported render path, after a warm-up frame: the demo scene's
// frames neither allocate nor release, and draw something.
TEST(FrameAllocations, noneForTheDemoScene) {
    if (!demo_scene::load()) GTEST_SKIP() << "SCANWEAVER_DEMO_DATA is not set";
    for (const RenderPath path : allRenderPaths) {
        if (!renderPathSupported(path)) continue;
        const double times[] = {4.0, 4.0, 10.0, 29.5};  // the first frame warms up
        for (size_t i = 0; i < std::size(times); ++i) {
            startCounting();
            demo_scene::drawFrame(path, times[i]);
            counting = false;
            if (i == 0) continue;
            const uint32_t* pixels = renderContext.framebufferPixels;
            SCOPED_TRACE(::testing::Message() << renderPathName(path) << ", t = " << times[i]);
            EXPECT_EQ(allocations, 0u);
            EXPECT_EQ(releases, 0u);
            EXPECT_NE(std::count(pixels, pixels + frameWidth * frameHeight, 0u), frameWidth * frameHeight);
        }
    }
}
