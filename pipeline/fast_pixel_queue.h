#pragma once

// Pixels of narrow triangles packed eight to a group across triangles, and
// the short narrow boxes of a batch covered all at once. A part of
// pipeline/fast_scan.cpp, like pipeline/fast_lanes.h.

#include <immintrin.h>

#include <algorithm>
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
// its triangle's set-up and attributes from its lane of the queue's batch.
// Pixels are still written in the order the triangles are drawn: the queue
// is emptied before any other triangle is scanned, and where two lanes of a
// group are the same pixel, each triangle's lanes are shaded in turn. Lanes
// past the length are read but not used.
//
// A queued pixel is one number: its triangle's lane in the batch in the low
// three bits, all that a lane permutation reads, and above them its place in
// the triangle's box, 4 * row + column counted from the top-left corner.
constexpr int placeShift = 3;

struct PixelQueue {
    static constexpr int capacity = 2 * laneCount;
    alignas(32) int32_t pixel[capacity];
    int length;
    const Lanes* batch;       // the attributes of the triangles queued
    const BatchSetup* setup;  // and their set-up
};

// An empty queue for the triangles whose attributes are the lanes of
// `batch` and whose set-up is `setup`. Its lanes are zeroed, so that those
// past the length that a group reads hold a pixel too.
SW_INLINE void startQueue(PixelQueue& q, const Lanes& batch, const BatchSetup& setup) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(q.pixel), _mm256_setzero_si256());
    _mm256_store_si256(reinterpret_cast<__m256i*>(q.pixel + laneCount), _mm256_setzero_si256());
    q.length = 0;
    q.batch = &batch;
    q.setup = &setup;
}

// The queued numbers of the pixels at `places` in the box of the batch's
// triangle `triangle`.
SW_INLINE __m256i pixelNumbers(int32_t triangle, __m256i places) {
    return _mm256_or_si256(_mm256_slli_epi32(places, placeShift), _mm256_set1_epi32(triangle));
}

// Appends the lanes of `bits` of the pixel numbers `pixels`.
SW_INLINE void queuePixels(PixelQueue& q, __m256i pixels, unsigned bits) {
    const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(leftPack.order[bits]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q.pixel + q.length), _mm256_permutevar8x32_epi32(pixels, order));
    q.length += __builtin_popcount(bits);
}

template <typename T>
SW_INLINE __m256i loadVector(const T* from) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(from));
}

// Lane k of `values`[pixel k's triangle]: a field of the batch's set-up, per
// lane.
SW_INLINE __m256i perTriangle(const int32_t* values, __m256i pixels) {
    return _mm256_permutevar8x32_epi32(loadVector(values), pixels);
}

// The queue's first group unpacked: each lane's triangle, place in its box
// and pixel.
struct QueuedGroup {
    __m256i pixels;  // the queued numbers
    __m256i triangle, column, row, x, y;
};

SW_INLINE QueuedGroup queuedGroup(const PixelQueue& q) {
    const BatchSetup& s = *q.setup;
    QueuedGroup g;
    g.pixels = loadVector(q.pixel);
    g.triangle = _mm256_and_si256(g.pixels, _mm256_set1_epi32((1 << placeShift) - 1));
    const __m256i place = _mm256_srli_epi32(g.pixels, placeShift);
    g.column = _mm256_and_si256(place, _mm256_set1_epi32(3));
    g.row = _mm256_srli_epi32(place, 2);
    g.x = _mm256_add_epi32(perTriangle(s.minX, g.pixels), g.column);
    g.y = _mm256_add_epi32(perTriangle(s.minY, g.pixels), g.row);
    return g;
}

// The edge values of a queued group: weight + column * stepX + row * stepY of
// each lane's triangle, in the same wrapping 32-bit arithmetic as the walks'.
SW_INLINE void queuedEdgeValues(const BatchSetup& s, const QueuedGroup& g, __m256i e[3]) {
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        e[k] = _mm256_add_epi32(perTriangle(s.weight[k], g.pixels),
                                _mm256_add_epi32(_mm256_mullo_epi32(g.column, perTriangle(s.stepX[k], g.pixels)),
                                                 _mm256_mullo_epi32(g.row, perTriangle(s.stepY[k], g.pixels))));
    }
}

// Shades the lanes of `lanes` of the queued group `g`, whose depth cells are
// `cell`, no two of them the same pixel.
SW_INLINE void shadeQueuedLanes(const PixelQueue& q, const QueuedGroup& g, __m256i lanes, __m256i cell,
                                const Target& t) {
    RenderContext& rc = renderContext;
    SW_COUNT(groups, 1);
    Lanes l;
    lanesOfBatch(*q.batch, g.pixels, l);
    __m256i e[3];
    queuedEdgeValues(*q.setup, g, e);
    const __m256 b[3] = {_mm256_cvtepi32_ps(e[0]), _mm256_cvtepi32_ps(e[1]), _mm256_cvtepi32_ps(e[2])};
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
    _mm256_store_si256(reinterpret_cast<__m256i*>(pixel),
                       _mm256_add_epi32(_mm256_mullo_epi32(g.y, _mm256_set1_epi32(rc.framebufferWidth)), g.x));
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
    const QueuedGroup g = queuedGroup(q);
    const __m256i cell = _mm256_add_epi32(_mm256_mullo_epi32(g.y, _mm256_set1_epi32(renderContext.zbuffer.w)), g.x);
    const __m256i firstTriangle = _mm256_permutevar8x32_epi32(g.triangle, _mm256_setzero_si256());
    if (!_mm256_testc_si256(_mm256_cmpeq_epi32(g.triangle, firstTriangle), lanes)) {
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
                const __m256i one = _mm256_and_si256(
                    rest, _mm256_cmpeq_epi32(g.triangle, _mm256_permutevar8x32_epi32(g.triangle, first)));
                shadeQueuedLanes(q, g, one, cell, t);
                rest = _mm256_andnot_si256(one, rest);
            }
            return;
        }
    }
    shadeQueuedLanes(q, g, lanes, cell, t);
}

// Shades whatever the queue holds.
SW_INLINE void drainPixels(PixelQueue& q, const Target& t) {
    if (q.length == 0) return;
    shadeQueuedGroup(q, _mm256_cmpgt_epi32(_mm256_set1_epi32(q.length), laneColumn<laneCount>()), t);
    q.length = 0;
}

// Shades the queue's first group once it is full, and moves the rest to the
// front.
SW_INLINE void shadeIfFull(PixelQueue& q, const Target& t) {
    if (q.length < laneCount) return;
    shadeQueuedGroup(q, _mm256_set1_epi32(-1), t);
    q.length -= laneCount;
    _mm256_store_si256(reinterpret_cast<__m256i*>(q.pixel), loadVector(q.pixel + laneCount));
}

// Boxes at most W pixels wide: one column of blocks down the box, the covered
// pixels queued.
template <int W>
SW_INLINE void queueNarrowBox(const TriangleSetup& s, int32_t triangle, PixelQueue& q, const Target& t) {
    constexpr int rows = laneCount / W;
    const __m256i inColumns = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxX - s.minX + 1), laneColumn<W>());
    __m256i pixels = pixelNumbers(triangle, _mm256_add_epi32(_mm256_slli_epi32(laneRow<W>(), 2), laneColumn<W>()));
    const __m256i nextPixels = _mm256_set1_epi32(4 * rows << placeShift);
    __m256i step[3], e[3];
    blockStart<W>(s, e);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepY[k]) * rows));
    }
    for (int32_t y = s.minY; y <= s.maxY; y += rows, advance(e, step), pixels = _mm256_add_epi32(pixels, nextPixels)) {
        const __m256i inRows = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxY - y + 1), laneRow<W>());
        const unsigned bits = laneBits(coveredLanes(e, _mm256_and_si256(inColumns, inRows)));
        if (bits == 0) continue;
        queuePixels(q, pixels, bits);
        shadeIfFull(q, t);
    }
}

// Boxes at most four pixels wide and this many rows high (most of the tiny
// triangles of a scene) are covered a batch at a time, when at least half of
// the batch's triangles have one: with fewer, covering them one by one costs
// less than a pass over the tallest box in every lane.
constexpr int shortBoxRows = 8;
constexpr int shortBoxesPerBatch = laneCount / 2;

// The covered pixels of a batch's short narrow boxes: in lane k, bit
// 4 * row + column for each covered pixel of triangle k's box, counted from
// its top-left corner, so that byte n is the block of 4 x 2 pixels at row
// 2 * n.
struct ShortBoxes {
    alignas(32) uint32_t covered[laneCount];
};
static_assert(4 * shortBoxRows <= 32, "a short box's pixels fit in one 32-bit lane");

// Covers the boxes of `lanes` that are at most four pixels wide and
// shortBoxRows high for all eight triangles at once, each lane one triangle,
// a row of up to four pixels at a time, and returns the lanes it covered; if
// fewer than shortBoxesPerBatch qualify, it covers none.
__attribute__((noinline)) unsigned coverShortBoxes(const BatchSetup& b, unsigned lanes, ShortBoxes& out) {
    // The boxes' last column and row, counted from their corner.
    const __m256i lastColumn = _mm256_sub_epi32(loadVector(b.maxX), loadVector(b.minX));
    const __m256i lastRow = _mm256_sub_epi32(loadVector(b.maxY), loadVector(b.minY));
    const __m256i none = _mm256_set1_epi32(-1);
    const __m256i fits = _mm256_and_si256(
        _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(4), lastColumn), _mm256_cmpgt_epi32(lastColumn, none)),
        _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(shortBoxRows), lastRow),
                         _mm256_cmpgt_epi32(lastRow, none)));
    const unsigned chosen = lanes & laneBits(fits);
    if (__builtin_popcount(chosen) < shortBoxesPerBatch) return 0;
    int32_t rows = 0, columns = 0;
    for (unsigned bits = chosen; bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        rows = std::max(rows, b.maxY[k] - b.minY[k] + 1);
        columns = std::max(columns, b.maxX[k] - b.minX[k] + 1);
    }

    // Edge values at the first column of each row, and what each further
    // column adds; pixels past a box's last column count as outside through
    // their sign bit, and rows past its last row are cleared.
    __m256i row[3], stepY[3], across[3][4], outsideColumn[4];
#pragma GCC unroll 4
    for (int c = 0; c < 4; ++c) outsideColumn[c] = _mm256_cmpgt_epi32(_mm256_set1_epi32(c), lastColumn);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        row[k] = loadVector(b.weight[k]);
        stepY[k] = loadVector(b.stepY[k]);
        const __m256i stepX = loadVector(b.stepX[k]);
        across[k][0] = _mm256_setzero_si256();
#pragma GCC unroll 3
        for (int c = 1; c < 4; ++c) across[k][c] = _mm256_add_epi32(across[k][c - 1], stepX);
    }
    __m256i covered = _mm256_setzero_si256();
    for (int32_t r = 0; r < rows; ++r, advance(row, stepY)) {
        __m256i rowBits = _mm256_setzero_si256();
#pragma GCC unroll 4
        for (int c = 0; c < 4; ++c) {
            if (c >= columns) break;
            const __m256i e0 = _mm256_add_epi32(row[0], across[0][c]), e1 = _mm256_add_epi32(row[1], across[1][c]),
                          e2 = _mm256_add_epi32(row[2], across[2][c]);
            // Covered: no edge value negative and inside the box, so no
            // sign bit set; the blend adds the column's bit only then.
            const __m256i missed = _mm256_or_si256(_mm256_or_si256(e0, e1), _mm256_or_si256(e2, outsideColumn[c]));
            rowBits = _mm256_castps_si256(
                _mm256_blendv_ps(_mm256_castsi256_ps(_mm256_or_si256(rowBits, _mm256_set1_epi32(1 << c))),
                                 _mm256_castsi256_ps(rowBits), _mm256_castsi256_ps(missed)));
        }
        const __m256i outsideRow = _mm256_cmpgt_epi32(_mm256_set1_epi32(r), lastRow);
        covered = _mm256_or_si256(covered,
                                  _mm256_sll_epi32(_mm256_andnot_si256(outsideRow, rowBits), _mm_cvtsi32_si128(4 * r)));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.covered), covered);
    return chosen;
}

// Queues the pixels of the short narrow box of the batch's triangle
// `triangle` that `covered` marks, a block at a time.
SW_INLINE void queueShortBox(int32_t triangle, uint32_t covered, PixelQueue& q, const Target& t) {
    const __m256i firstBlock = pixelNumbers(triangle, laneColumn<laneCount>());
    while (covered != 0) {
        const int block = __builtin_ctz(covered) / laneCount;
        const unsigned bits = (covered >> (laneCount * block)) & 0xFFu;
        covered &= ~(0xFFu << (laneCount * block));
        queuePixels(q, _mm256_add_epi32(firstBlock, _mm256_set1_epi32(laneCount * block << placeShift)), bits);
        shadeIfFull(q, t);
    }
}

}  // namespace

#pragma GCC pop_options
