#include "pipeline/fast_scan.h"

#include <immintrin.h>

#include <cstdint>

#include "pipeline/fast_lanes.h"
#include "pipeline/fast_pixel_queue.h"
#include "pipeline/fast_texels.h"
#include "pipeline/fast_triangle_queue.h"
#include "pipeline/fast_walks.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/stage_counters.h"
#include "pipeline/triangle_setup.h"

// Everything from here on is compiled for AVX2. The headers above are read
// before the switch, so their inline functions (the depth-buffer checks,
// putPixel, fastReciprocal) keep the default target wherever the linker
// picks up an out-of-line copy of them; the vector headers switch for
// themselves.
#pragma GCC target("avx2")

namespace {

// Triangle set-up eight triangles at a time, and each triangle's box handed
// to a walk (pipeline/fast_walks.h) or, for narrow boxes, to the queue that
// packs pixels across triangles (pipeline/fast_pixel_queue.h), which the
// short ones among them reach already covered. The set-up
// repeats setupTriangle step for step where the integers allow
// (setupTriangle itself serves the other triangles).

// Counts a triangle whose box is about to be scanned, and charges the time
// from here on to the pixel stage.
SW_INLINE void countScanned([[maybe_unused]] const TriangleSetup& s) {
    SW_COUNT(scanned, 1);
    SW_COUNT(boxPixels, boxArea(s.minX, s.minY, s.maxX, s.maxY));
    SW_STAGE(pixel);
}

// scanTriangle itself, for draws the vector code does not serve, counted as
// this path's. `s` holds the triangle's attributes.
__attribute__((noinline)) void scanInOrder(const TriangleSetup& s) {
    countScanned(s);
    scanTriangle(s);
}

// scanTriangle eight pixels at a time, for a draw with t.vector set and a
// triangle whose edge values do not wrap in 32 bits: the set-up `s`, whose
// attributes are lane `lane` of `batch` (those of `s` itself need not be
// filled in). Narrow boxes leave their pixels in `queue`, whose batch is
// then `batch`; the caller drains it before anything else is drawn. Inlined
// into the batch loop, which then pays for one call per batch, not per
// triangle, and keeps the set-up out of memory.
SW_INLINE void scanExactTriangle(const TriangleSetup& s, const Lanes& batch, int32_t lane, const Target& t,
                                 PixelQueue& queue) {
    countScanned(s);
    if (s.maxX < s.minX || s.maxY < s.minY) return;

    // A depth outside [0, 1) ends the process in toDepth. With exact edge
    // values it cannot happen, so only the other triangles test it: a pixel's
    // edge value k is floor(T_k / grid) for the unrounded edge product T_k,
    // and the area is floor((T_0 + T_1 + T_2) / grid), so on a covered pixel
    // the three values, none negative, sum to at most the area. z/w there is
    // a weighted mean of the corners' z/w, which set-up keeps within
    // [0, maxCornerDepth], raised by at most eight roundings of 2^-24 (the
    // weights' conversion, products and sums, 1/area and the product with
    // it): never 1, and no term is negative.
    const int32_t width = s.maxX - s.minX + 1;
    if (width <= 4) {
        if (width <= 2) {
            queueNarrowBox<2>(s, lane, queue, t);
        } else {
            queueNarrowBox<4>(s, lane, queue, t);
        }
        return;
    }
    drainPixels(queue, t);
    Lanes l;
    lanesOfBatch(batch, _mm256_set1_epi32(lane), l);
    if (width <= laneCount) {
        scanRowPairs(s, l, t);
    } else if (width <= 2 * laneCount) {
        scanTwoColumns(s, l, t);
    } else {
        scanSpans(s, l, t);
    }
}

// A triangle set up on its own, with 64-bit products, whose attributes are
// in `s` and in every lane of `l`. Its edge values may wrap in 32 bits, so
// every group of its box is tested: at the first that fails, scanTriangle
// goes over the pixels again in its own order and stops at the first such
// one with its message. What was drawn on the way is lost with the process.
// Kept out of line, as such triangles are few.
__attribute__((noinline)) void scanTriangleAlone(const TriangleSetup& s, const Lanes& l, const Target& t,
                                                 PixelQueue& queue) {
    if (!t.vector) {
        scanInOrder(s);
        return;
    }
    countScanned(s);
    if (s.maxX < s.minX || s.maxY < s.minY) return;
    drainPixels(queue, t);
    if (!scanBox(s, l, t)) scanTriangle(s);
}

// Corners at most this far from the origin, in pixels, keep the integer
// set-up exact in 32-bit lanes: snapped coordinates, and box corners, then lie
// within subPixelScale * limit of 0, every difference within twice that, and
// the difference of two products of differences, 8 * (subPixelScale * limit)^2,
// below 2^31.
constexpr float exactSetupLimit = static_cast<float>((1 << (14 - subPixelBits)) - 1);

// (a - b) * (c - d) - (e - f) * (g - h), floor-divided by the grid scale, in
// 32-bit lanes: exact for corners within exactSetupLimit.
SW_INLINE __m256i crossOverGrid(__m256i a, __m256i b, __m256i c, __m256i d, __m256i e, __m256i f, __m256i g,
                                __m256i h) {
    const __m256i first = _mm256_mullo_epi32(_mm256_sub_epi32(a, b), _mm256_sub_epi32(c, d));
    const __m256i second = _mm256_mullo_epi32(_mm256_sub_epi32(e, f), _mm256_sub_epi32(g, h));
    return _mm256_srai_epi32(_mm256_sub_epi32(first, second), subPixelBits);
}

// Lane k's set-up, without its attributes.
SW_INLINE TriangleSetup laneSetup(const BatchSetup& b, int k) {
    TriangleSetup s;
    s.area = b.area[k];
    s.minX = b.minX[k];
    s.minY = b.minY[k];
    s.maxX = b.maxX[k];
    s.maxY = b.maxY[k];
#pragma GCC unroll 3
    for (int e = 0; e < 3; ++e) {
        s.weight[e] = b.weight[e][k];
        s.stepX[e] = b.stepX[e][k];
        s.stepY[e] = b.stepY[e][k];
    }
    return s;
}

// scanInOrder for lane k, with its attributes from `batch`.
__attribute__((noinline)) void scanLaneInOrder(const BatchSetup& b, const Lanes& batch, int k) {
    TriangleSetup s = laneSetup(b, k);
    Lanes l;
    lanesOfBatch(batch, _mm256_set1_epi32(k), l);
    storeAttributes(l, s);
    scanInOrder(s);
}

// Sets up the queued triangles of `lanes`, all of which passed the first
// tests, and scans them in order.
void setUpAndScan(const TriangleQueue& t, unsigned lanes) {
    const RenderContext& rc = renderContext;
    SW_STAGE(setup);
    __m256 x[3], y[3];
    for (int c = 0; c < 3; ++c) {
        x[c] = _mm256_load_ps(t.x[c]);
        y[c] = _mm256_load_ps(t.y[c]);
    }
    // Corners within exactSetupLimit (every triangle inside the view volume)
    // are set up here in 32-bit lanes; others one by one with 64-bit products.
    __m256 near = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    for (int c = 0; c < 3; ++c) {
        near = _mm256_and_ps(
            near, _mm256_and_ps(withinMagnitude(x[c], exactSetupLimit), withinMagnitude(y[c], exactSetupLimit)));
    }
    const __m256 scale = _mm256_set1_ps(static_cast<float>(subPixelScale));
    __m256i X[3], Y[3];
    for (int c = 0; c < 3; ++c) {
        X[c] = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(x[c], scale), _mm256_set1_ps(0.5f)));
        Y[c] = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(y[c], scale), _mm256_set1_ps(0.5f)));
    }
    const __m256i doubledArea = crossOverGrid(X[1], X[0], Y[2], Y[0], X[2], X[0], Y[1], Y[0]);
    const unsigned nearLanes = static_cast<unsigned>(_mm256_movemask_ps(near));
    const unsigned positive = laneBits(_mm256_cmpgt_epi32(doubledArea, _mm256_setzero_si256())) & nearLanes;

    // The box, clamped to the framebuffer. The lanes drawn hold no NaN, so the
    // vector minimum and maximum pick what std::min and std::max would, up to
    // the sign of a zero, which truncation ignores.
    const __m256i zero = _mm256_setzero_si256();
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256i minX = _mm256_max_epi32(_mm256_cvttps_epi32(_mm256_min_ps(_mm256_min_ps(x[0], x[1]), x[2])), zero);
    const __m256i minY = _mm256_max_epi32(_mm256_cvttps_epi32(_mm256_min_ps(_mm256_min_ps(y[0], y[1]), y[2])), zero);
    const __m256i maxX =
        _mm256_min_epi32(_mm256_cvttps_epi32(_mm256_add_ps(_mm256_max_ps(_mm256_max_ps(x[0], x[1]), x[2]), half)),
                         _mm256_set1_epi32(rc.framebufferWidth - 1));
    const __m256i maxY =
        _mm256_min_epi32(_mm256_cvttps_epi32(_mm256_add_ps(_mm256_max_ps(_mm256_max_ps(y[0], y[1]), y[2]), half)),
                         _mm256_set1_epi32(rc.framebufferHeight - 1));
    const __m256i px = _mm256_slli_epi32(minX, subPixelBits);
    const __m256i py = _mm256_slli_epi32(minY, subPixelBits);

    BatchSetup b;
    _mm256_store_si256(reinterpret_cast<__m256i*>(b.minX), minX);
    _mm256_store_si256(reinterpret_cast<__m256i*>(b.minY), minY);
    _mm256_store_si256(reinterpret_cast<__m256i*>(b.maxX), maxX);
    _mm256_store_si256(reinterpret_cast<__m256i*>(b.maxY), maxY);
    _mm256_store_ps(b.area, _mm256_cvtepi32_ps(doubledArea));
    // Edge values at the box corner and their steps, indexed as in
    // TriangleSetup.
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, c = (k + 2) % 3;
        _mm256_store_si256(reinterpret_cast<__m256i*>(b.weight[k]),
                           crossOverGrid(py, Y[a], X[c], X[a], px, X[a], Y[c], Y[a]));
        _mm256_store_si256(reinterpret_cast<__m256i*>(b.stepX[k]), _mm256_sub_epi32(Y[a], Y[c]));
        _mm256_store_si256(reinterpret_cast<__m256i*>(b.stepY[k]), _mm256_sub_epi32(X[c], X[a]));
    }

    // perVertex's divisions for every corner of every lane, and 1/area.
    const __m256 one = _mm256_set1_ps(1.0f);
    Lanes batch;
    __m256 depthsUsable = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    for (int c = 0; c < 3; ++c) {
        const __m256 w = _mm256_load_ps(t.w[c]);
        batch.attr[invW][c] = _mm256_div_ps(one, w);
        batch.attr[zOverW][c] = _mm256_div_ps(_mm256_load_ps(t.z[c]), w);
        batch.attr[uOverW][c] = _mm256_div_ps(_mm256_load_ps(t.u[c]), w);
        batch.attr[vOverW][c] = _mm256_div_ps(_mm256_load_ps(t.v[c]), w);
        // cornerDepthsUsable, corner by corner.
        const __m256 zw = batch.attr[zOverW][c];
        depthsUsable =
            _mm256_and_ps(depthsUsable, _mm256_and_ps(_mm256_cmp_ps(zw, _mm256_setzero_ps(), _CMP_GE_OQ),
                                                      _mm256_cmp_ps(zw, _mm256_set1_ps(maxCornerDepth), _CMP_LE_OQ)));
    }
    batch.inv = _mm256_div_ps(one, _mm256_cvtepi32_ps(doubledArea));
    const unsigned vectorLanes = positive & static_cast<unsigned>(_mm256_movemask_ps(depthsUsable));

    const Target target = drawTarget(rc.currentTexture);
    PixelQueue queue;
    startQueue(queue, batch, b);
    ShortBoxes shortBoxes;
    SW_STAGE(pixel);
    const unsigned shortLanes = target.vector ? coverShortBoxes(b, lanes & nearLanes & vectorLanes, shortBoxes) : 0;
    SW_STAGE(setup);
    for (unsigned work = lanes & (vectorLanes | ~nearLanes); work != 0; work &= work - 1) {
        const int k = __builtin_ctz(work);
        if (((nearLanes >> k) & 1u) == 0) {
            ScreenPosition p[3];
            Vertex corner[3] = {};
            for (int c = 0; c < 3; ++c) {
                p[c] = {t.x[c][k], t.y[c][k], t.z[c][k], t.w[c][k]};
                corner[c].texcoord[0] = t.u[c][k];
                corner[c].texcoord[1] = t.v[c][k];
            }
            TriangleSetup setup;
            if (setupTriangle(corner[0], corner[1], corner[2], p[0], p[1], p[2], setup)) {
                Lanes l;
                broadcastLanes(setup, l);
                scanTriangleAlone(setup, l, target, queue);
            }
        } else if (!target.vector) {
            scanLaneInOrder(b, batch, k);
        } else if (((shortLanes >> k) & 1u) != 0) {
            countScanned(laneSetup(b, k));
            queueShortBox(k, shortBoxes.covered[k], queue, target);
        } else {
            scanExactTriangle(laneSetup(b, k), batch, k, target, queue);
        }
        SW_STAGE(setup);
    }
    SW_STAGE(pixel);
    drainPixels(queue, target);
}

}  // namespace

TriangleQueue triangleQueue;

void drawQueueFront() {
    TriangleQueue& q = triangleQueue;
    setUpAndScan(q, (1u << laneCount) - 1);
    q.length -= laneCount;
    const auto moveDown = [](float* lanes) { _mm256_store_ps(lanes, _mm256_load_ps(lanes + laneCount)); };
    for (int c = 0; c < 3; ++c) {
        moveDown(q.x[c]);
        moveDown(q.y[c]);
        moveDown(q.z[c]);
        moveDown(q.w[c]);
        moveDown(q.u[c]);
        moveDown(q.v[c]);
    }
    SW_STAGE(vertex);
}

void queueTrianglesAvx2(const ScreenTriangles& t, unsigned lanes) {
    SW_COUNT(reachedSetup, __builtin_popcount(lanes));
    CornerLanes corner[3];
    for (int c = 0; c < 3; ++c) {
        corner[c] = {_mm256_load_ps(t.x[c]), _mm256_load_ps(t.y[c]), _mm256_load_ps(t.z[c]),
                     _mm256_load_ps(t.w[c]), _mm256_load_ps(t.u[c]), _mm256_load_ps(t.v[c])};
    }
    const unsigned joining = lanes & passingFirstTests(corner);
    if (joining != 0) joinQueue(corner, joining);
}

void queueTriangleAvx2(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                       ScreenPosition p1, ScreenPosition p2) {
    SW_COUNT(reachedSetup, 1);
    if (!passesFirstTests(p0, p1, p2)) return;
    TriangleQueue& q = triangleQueue;
    const ScreenPosition* p[3] = {&p0, &p1, &p2};
    const Vertex* corner[3] = {&vertex0, &vertex1, &vertex2};
    for (int c = 0; c < 3; ++c) {
        q.x[c][q.length] = p[c]->x;
        q.y[c][q.length] = p[c]->y;
        q.z[c][q.length] = p[c]->z;
        q.w[c][q.length] = p[c]->w;
        q.u[c][q.length] = corner[c]->texcoord[0];
        q.v[c][q.length] = corner[c]->texcoord[1];
    }
    if (++q.length == laneCount) drawQueuedTrianglesAvx2();
}

void drawQueuedTrianglesAvx2() {
    TriangleQueue& q = triangleQueue;
    if (q.length == 0) return;
    setUpAndScan(q, (1u << q.length) - 1);
    q.length = 0;
    SW_STAGE(vertex);
}
