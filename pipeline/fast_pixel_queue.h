#pragma once

// Pixels of narrow triangles packed eight to a group across triangles. A
// part of pipeline/fast_scan.cpp, like pipeline/fast_lanes.h.

#include <immintrin.h>

#include <cstdint>

#include "pipeline/fast_lanes.h"
#include "pipeline/fast_texels.h"
#include "pipeline/render_context.h"
#include "pipeline/stage_counters.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// The boxes of tiny triangles and slivers, at most four pixels wide, hold a
// pixel or two per block. Their covered pixels wait in a queue and are
// shaded eight at a time, whatever triangle they belong to: each lane takes
// its triangle's attributes from its lane of the queue's batch. Pixels are still
// written in the order the triangles are drawn: the queue is emptied before
// any other triangle is scanned, and where two lanes of a group are the same
// pixel, each triangle's lanes are shaded in turn. Lanes past the length
// are read but not used.
struct PixelQueue {
    static constexpr int capacity = 2 * laneCount;
    alignas(32) int32_t e[3][capacity];
    alignas(32) int32_t x[capacity];
    alignas(32) int32_t y[capacity];
    alignas(32) int32_t triangle[capacity];  // its lane in the batch
    int length;
    const Lanes* batch;  // the attributes of the triangles queued
};

// Calls `f` with each of the queue's arrays.
template <typename F>
SW_INLINE void eachArray(PixelQueue& q, F f) {
    f(q.e[0]);
    f(q.e[1]);
    f(q.e[2]);
    f(q.x);
    f(q.y);
    f(q.triangle);
}

// An empty queue for the triangles whose attributes are the lanes of
// `batch`. Its lanes are zeroed, so that those past the length that a group
// reads hold numbers too.
SW_INLINE void startQueue(PixelQueue& q, const Lanes& batch) {
    eachArray(q, [](int32_t* values) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(values), _mm256_setzero_si256());
        _mm256_store_si256(reinterpret_cast<__m256i*>(values + laneCount), _mm256_setzero_si256());
    });
    q.length = 0;
    q.batch = &batch;
}

// Appends the lanes of `bits`: pixels (x, y) of the batch's triangle
// `triangle` with edge values e.
SW_INLINE void queuePixels(PixelQueue& q, const __m256i e[3], __m256i x, __m256i y, int32_t triangle, unsigned bits) {
    const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(leftPack.order[bits]));
    const auto append = [&](int32_t* to, __m256i values) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + q.length), _mm256_permutevar8x32_epi32(values, order));
    };
    append(q.e[0], e[0]);
    append(q.e[1], e[1]);
    append(q.e[2], e[2]);
    append(q.x, x);
    append(q.y, y);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q.triangle + q.length), _mm256_set1_epi32(triangle));
    q.length += __builtin_popcount(bits);
}

template <typename T>
SW_INLINE __m256i loadVector(const T* from) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(from));
}

// Shades the lanes of `lanes` of the queue's first group, whose depth cells
// are `cell`, no two of them the same pixel.
SW_INLINE void shadeQueuedLanes(const PixelQueue& q, __m256i lanes, __m256i cell, const Target& t) {
    RenderContext& rc = renderContext;
    SW_COUNT(groups, 1);
    Lanes l;
    lanesOfBatch(*q.batch, loadVector(q.triangle), l);
    const __m256 b[3] = {_mm256_cvtepi32_ps(loadVector(q.e[0])), _mm256_cvtepi32_ps(loadVector(q.e[1])),
                         _mm256_cvtepi32_ps(loadVector(q.e[2]))};
    const __m256i depth = depthsOf(b, l);

    // Lanes outside `lanes` read cell 0 and write nothing.
    alignas(32) int32_t at[laneCount];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_and_si256(lanes, cell));
    const uint32_t* z = rc.zbuffer.buffer;
    const __m256i cells = _mm256_setr_epi32(static_cast<int32_t>(z[at[0]]), static_cast<int32_t>(z[at[1]]),
                                            static_cast<int32_t>(z[at[2]]), static_cast<int32_t>(z[at[3]]),
                                            static_cast<int32_t>(z[at[4]]), static_cast<int32_t>(z[at[5]]),
                                            static_cast<int32_t>(z[at[6]]), static_cast<int32_t>(z[at[7]]));
    const __m256i passed = nearerLanes(depth, cells, lanes);
    if (_mm256_testz_si256(passed, passed)) return;

    __m256i written;
    const __m256i colour = texelsAt(b, l, t, passed, written);
    alignas(32) int32_t pixel[laneCount];
    alignas(32) uint32_t colours[laneCount], depths[laneCount];
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(pixel),
        _mm256_add_epi32(_mm256_mullo_epi32(loadVector(q.y), _mm256_set1_epi32(rc.framebufferWidth)), loadVector(q.x)));
    _mm256_store_si256(reinterpret_cast<__m256i*>(colours), colour);
    _mm256_store_si256(reinterpret_cast<__m256i*>(depths), depth);
    for (unsigned bits = laneBits(written); bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        rc.framebufferPixels[pixel[k]] = colours[k];
        rc.zbuffer.buffer[at[k]] = depths[k];
    }
}

// Shades the lanes of `lanes` of the queue's first group. Triangles of a
// batch may overlap: where two lanes are the same pixel, each triangle's
// lanes go in turn, first queued first. Out of line: a packed group is
// shaded once per eight pixels queued, and inlined into the batch loop its
// code crowded the registers of every walk there.
__attribute__((noinline)) void shadeQueuedGroup(const PixelQueue& q, __m256i lanes, const Target& t) {
    const __m256i cell = _mm256_add_epi32(
        _mm256_mullo_epi32(loadVector(q.y), _mm256_set1_epi32(renderContext.zbuffer.w)), loadVector(q.x));
    const __m256i triangle = loadVector(q.triangle);
    const __m256i firstTriangle = _mm256_permutevar8x32_epi32(triangle, _mm256_setzero_si256());
    if (!_mm256_testc_si256(_mm256_cmpeq_epi32(triangle, firstTriangle), lanes)) {
        // Lanes outside `lanes` get cell numbers of their own, below 0. Every
        // pair of lanes is some rotation by one to four lanes apart.
        const __m256i where = select(lanes, cell, _mm256_sub_epi32(_mm256_set1_epi32(-1), laneColumn<laneCount>()));
        __m256i shared = _mm256_setzero_si256();
#pragma GCC unroll 4
        for (int r = 1; r <= laneCount / 2; ++r) {
            const __m256i rotation = _mm256_add_epi32(laneColumn<laneCount>(), _mm256_set1_epi32(r));
            shared = _mm256_or_si256(shared, _mm256_cmpeq_epi32(where, _mm256_permutevar8x32_epi32(where, rotation)));
        }
        if (!_mm256_testz_si256(shared, shared)) {
            for (__m256i rest = lanes; !_mm256_testz_si256(rest, rest);) {
                const __m256i first = _mm256_set1_epi32(__builtin_ctz(laneBits(rest)));
                const __m256i one =
                    _mm256_and_si256(rest, _mm256_cmpeq_epi32(triangle, _mm256_permutevar8x32_epi32(triangle, first)));
                shadeQueuedLanes(q, one, cell, t);
                rest = _mm256_andnot_si256(one, rest);
            }
            return;
        }
    }
    shadeQueuedLanes(q, lanes, cell, t);
}

// Shades whatever the queue holds.
SW_INLINE void drainPixels(PixelQueue& q, const Target& t) {
    if (q.length == 0) return;
    shadeQueuedGroup(q, _mm256_cmpgt_epi32(_mm256_set1_epi32(q.length), laneColumn<laneCount>()), t);
    q.length = 0;
}

// Boxes at most W pixels wide: one column of blocks down the box, the covered
// pixels queued.
template <int W>
SW_INLINE void queueNarrowBox(const TriangleSetup& s, int32_t triangle, PixelQueue& q, const Target& t) {
    constexpr int rows = laneCount / W;
    const __m256i inColumns = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxX - s.minX + 1), laneColumn<W>());
    const __m256i x = _mm256_add_epi32(_mm256_set1_epi32(s.minX), laneColumn<W>());
    __m256i step[3], e[3];
    blockStart<W>(s, e);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepY[k]) * rows));
    }
    for (int32_t y = s.minY; y <= s.maxY; y += rows, advance(e, step)) {
        const __m256i inRows = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxY - y + 1), laneRow<W>());
        const unsigned bits = laneBits(coveredLanes(e, _mm256_and_si256(inColumns, inRows)));
        if (bits == 0) continue;
        queuePixels(q, e, x, _mm256_add_epi32(_mm256_set1_epi32(y), laneRow<W>()), triangle, bits);
        if (q.length >= laneCount) {
            shadeQueuedGroup(q, _mm256_set1_epi32(-1), t);
            q.length -= laneCount;
            eachArray(q, [](int32_t* values) {
                _mm256_store_si256(reinterpret_cast<__m256i*>(values),
                                   _mm256_load_si256(reinterpret_cast<const __m256i*>(values + laneCount)));
            });
        }
    }
}

}  // namespace

#pragma GCC pop_options
