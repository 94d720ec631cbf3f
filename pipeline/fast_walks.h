#pragma once

// The walks over a triangle's box that group its pixels eight at a time in
// blocks, and the shading of a block. A part of pipeline/fast_scan.cpp, like
// pipeline/fast_lanes.h.

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "pipeline/fast_lanes.h"
#include "pipeline/fast_texels.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/stage_counters.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// In the walk over every pixel of a box, covered groups wait in a queue of
// this many before they are shaded: long enough to keep the walk free of
// branches, short enough to stay in cache.
constexpr int groupQueueLength = 32;

// A block's top-left pixel, the edge values of its lanes and the lanes inside
// the triangle. In a block of two rows, the second row starts `shift` columns
// right of the first (left, if negative): rows packed from a triangle's spans
// need not line up.
struct Group {
    __m256i e[3];
    __m256i covered;
    int32_t x, y;
    int32_t shift = 0;
};

// The cells of a block whose rows all lie inside the buffer, `stride` cells
// apart: plain loads and stores. A masked store costs more than a blend and
// a plain store on some processors; lanes outside the triangle are written
// back as they were read.
template <int W>
SW_INLINE __m256i loadBlock(const uint32_t* p, ptrdiff_t stride) {
    if constexpr (W == 8) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    } else if constexpr (W == 4) {
        const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(top),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride)), 1);
    } else {
        const auto pair = [&](const uint32_t* q) {
            return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)),
                                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + stride)));
        };
        return _mm256_inserti128_si256(_mm256_castsi128_si256(pair(p)), pair(p + 2 * stride), 1);
    }
}

template <int W>
SW_INLINE void storeBlock(uint32_t* p, ptrdiff_t stride, __m256i v) {
    if constexpr (W == 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    } else if constexpr (W == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + stride), _mm256_extracti128_si256(v, 1));
    } else {
        const auto pair = [&](uint32_t* q, __m128i two) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), two);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q + stride), _mm_unpackhi_epi64(two, two));
        };
        pair(p, _mm256_castsi256_si128(v));
        pair(p + 2 * stride, _mm256_extracti128_si256(v, 1));
    }
}

// The same one lane at a time, touching only the lanes of `lanes`: for blocks
// that reach past the last column or row of a buffer.
template <int W>
__attribute__((noinline)) __m256i loadLanes(const uint32_t* p, ptrdiff_t stride, __m256i lanes) {
    alignas(32) uint32_t cells[laneCount] = {};
    for (unsigned bits = laneBits(lanes); bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        cells[k] = p[k / W * stride + k % W];
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(cells));
}

template <int W>
__attribute__((noinline)) void storeLanes(uint32_t* p, ptrdiff_t stride, __m256i v, __m256i lanes) {
    alignas(32) uint32_t cells[laneCount];
    _mm256_store_si256(reinterpret_cast<__m256i*>(cells), v);
    for (unsigned bits = laneBits(lanes); bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        p[k / W * stride + k % W] = cells[k];
    }
}

// The edge values of a group as floats: the weights of the corners.
SW_INLINE void barycentrics(const Group& g, __m256 b[3]) {
    for (int k = 0; k < 3; ++k) b[k] = _mm256_cvtepi32_ps(g.e[k]);
}

// Whether every covered pixel's depth passes toDepth's checks: z/w in [0, 1).
SW_INLINE bool depthsInRange(const Lanes& l, const Group& g) {
    __m256 b[3];
    barycentrics(g, b);
    const __m256 zf = interpolate(b, l, zOverW);
    const __m256 valid = _mm256_and_ps(_mm256_cmp_ps(zf, _mm256_setzero_ps(), _CMP_GE_OQ),
                                       _mm256_cmp_ps(zf, _mm256_set1_ps(1.0f), _CMP_LT_OQ));
    return _mm256_testc_si256(_mm256_castps_si256(valid), g.covered);
}

// Whether every block the walks place in the box of `s` lies inside both
// buffers: a block starts at most at the box's last column and row, and
// reaches at most eight columns and two rows from there.
SW_INLINE bool blocksInside(const TriangleSetup& s, const Target& t) {
    return s.maxX + laneCount <= t.width && s.maxY + 2 <= t.height;
}

// Shades the covered pixels of a block, whose depths are in range;
// `boxInside` is blocksInside for its triangle, which spares most blocks
// their own test.
template <int W>
SW_INLINE void shadeGroup(const Lanes& l, const Target& t, const Group& g, bool boxInside) {
    RenderContext& rc = renderContext;
    SW_COUNT(groups, 1);
    __m256 b[3];
    barycentrics(g, b);
    const __m256i depth = depthsOf(b, l);
    const bool plain = boxInside || (std::max(g.x, g.x + g.shift) + W <= t.width && g.y + laneCount / W <= t.height);
    const ptrdiff_t depthStride = rc.zbuffer.w + g.shift;
    uint32_t* depthCells = rc.zbuffer.buffer + static_cast<ptrdiff_t>(g.y) * rc.zbuffer.w + g.x;
    const __m256i cells =
        plain ? loadBlock<W>(depthCells, depthStride) : loadLanes<W>(depthCells, depthStride, g.covered);
    const __m256i passed = nearerLanes(depth, cells, g.covered);
    if (_mm256_testz_si256(passed, passed)) return;

    __m256i written;
    const __m256i colour = texelsAt(b, l, t, passed, written);
    const ptrdiff_t pixelStride = rc.framebufferWidth + g.shift;
    uint32_t* pixels = rc.framebufferPixels + static_cast<ptrdiff_t>(g.y) * rc.framebufferWidth + g.x;
    if (plain) {
        storeBlock<W>(pixels, pixelStride, select(written, colour, loadBlock<W>(pixels, pixelStride)));
        storeBlock<W>(depthCells, depthStride, select(written, depth, cells));
    } else {
        storeLanes<W>(pixels, pixelStride, colour, written);
        storeLanes<W>(depthCells, depthStride, depth, written);
    }
}

// Boxes five to eight pixels wide, two rows at a time. When the covered
// pixels of both rows fit in four columns each, the two rows share one 4 x 2
// block, each half starting where its row's pixels start; otherwise each row
// with covered pixels is one block of 8 x 1. Slanted slivers, common in such
// boxes, cover a few pixels per row.
SW_INLINE void scanRowPairs(const TriangleSetup& s, const Lanes& l, const Target& t) {
    const bool boxInside = blocksInside(s, t);
    const __m256i inColumns = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxX - s.minX + 1), laneColumn<laneCount>());
    __m256i top[3], bottom[3], step[3];
    blockStart<laneCount>(s, top);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        bottom[k] = _mm256_add_epi32(top[k], _mm256_set1_epi32(s.stepY[k]));
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepY[k]) * 2));
    }
    for (int32_t y = s.minY; y <= s.maxY; y += 2, advance(top, step), advance(bottom, step)) {
        const __m256i upper = coveredLanes(top, inColumns);
        const __m256i lower = y < s.maxY ? coveredLanes(bottom, inColumns) : _mm256_setzero_si256();
        const unsigned a = laneBits(upper), b = laneBits(lower);
        if ((a | b) == 0) continue;
        const int startA = __builtin_ctz(a | b << 8) & 7, startB = __builtin_ctz(b | a << 8) & 7;
        const unsigned spanA = a >> startA, spanB = b >> startB;
        if ((spanA | spanB) < 16) {
            // Lanes 0-3 take the upper row from startA, lanes 4-7 the lower
            // row from startB; lanes past the last column hold other columns'
            // values and are not covered.
            const __m256i from =
                _mm256_add_epi32(_mm256_setr_epi32(0, 1, 2, 3, 0, 1, 2, 3),
                                 _mm256_setr_epi32(startA, startA, startA, startA, startB, startB, startB, startB));
            Group g;
#pragma GCC unroll 3
            for (int k = 0; k < 3; ++k) {
                g.e[k] = _mm256_blend_epi32(_mm256_permutevar8x32_epi32(top[k], from),
                                            _mm256_permutevar8x32_epi32(bottom[k], from), 0xF0);
            }
            g.covered = lanesOf(spanA | spanB << 4);
            g.x = s.minX + startA;
            g.y = y;
            g.shift = startB - startA;
            shadeGroup<4>(l, t, g, boxInside);
            continue;
        }
        if (a != 0) shadeGroup<laneCount>(l, t, Group{{top[0], top[1], top[2]}, upper, s.minX, y}, boxInside);
        if (b != 0)
            shadeGroup<laneCount>(l, t, Group{{bottom[0], bottom[1], bottom[2]}, lower, s.minX, y + 1}, boxInside);
    }
}

// Boxes up to twice as wide as a group: every pixel of a row tested in two
// groups side by side, as the narrow boxes test every block; for such boxes
// this costs less than working out each row's span. When the row's covered
// pixels fit in eight columns, one group placed where they start shades them
// all.
SW_INLINE void scanTwoColumns(const TriangleSetup& s, const Lanes& l, const Target& t) {
    const bool boxInside = blocksInside(s, t);
    const __m256i all = _mm256_set1_epi32(-1);
    const __m256i lane = laneColumn<laneCount>();
    const __m256i inRight = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxX - s.minX + 1 - laneCount), lane);
    __m256i step[3], across[3], e[3];
    blockStart<laneCount>(s, e);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        step[k] = _mm256_set1_epi32(s.stepY[k]);
        across[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepX[k]) * laneCount));
    }
    for (int32_t y = s.minY; y <= s.maxY; ++y, advance(e, step)) {
        __m256i r[3] = {e[0], e[1], e[2]};
        advance(r, across);
        const __m256i coveredLeft = coveredLanes(e, all), coveredRight = coveredLanes(r, inRight);
        const unsigned left = laneBits(coveredLeft), right = laneBits(coveredRight);
        if (left != 0 && right != 0) {
            const int first = __builtin_ctz(left);
            const unsigned span = (left | right << laneCount) >> first;
            if (span < (1u << laneCount)) {
                // Lane k takes column first + k: from the left group while
                // that lies in it, then from the right one (a permute reads
                // the index modulo eight).
                const __m256i from = _mm256_add_epi32(lane, _mm256_set1_epi32(first));
                const __m256i fromRight = _mm256_cmpgt_epi32(from, _mm256_set1_epi32(laneCount - 1));
                Group g;
#pragma GCC unroll 3
                for (int k = 0; k < 3; ++k) {
                    g.e[k] = select(fromRight, _mm256_permutevar8x32_epi32(r[k], from),
                                    _mm256_permutevar8x32_epi32(e[k], from));
                }
                g.covered = lanesOf(span);
                g.x = s.minX + first;
                g.y = y;
                shadeGroup<laneCount>(l, t, g, boxInside);
                continue;
            }
        }
        if (left != 0) shadeGroup<laneCount>(l, t, Group{{e[0], e[1], e[2]}, coveredLeft, s.minX, y}, boxInside);
        if (right != 0)
            shadeGroup<laneCount>(l, t, Group{{r[0], r[1], r[2]}, coveredRight, s.minX + laneCount, y}, boxInside);
    }
}

// Wider boxes of triangles whose edge values are exact (no step wraps), row
// by row, from where the row enters the triangle to where it leaves it.
// Along a row an edge value is zero at column offset -value / stepX, a linear
// function of the row: edges whose values grow to the right bound the
// covered columns from the left, the others from the right. Worked out in
// double precision with a margin far above its rounding error, the bounds are
// never tighter than the exact ones, and the lanes' own edge tests decide
// which pixels are covered. The bounds of a stretch of rows are worked out
// four rows at a time before its pixels are walked, so that the walk keeps
// little besides the edge values in registers.
SW_INLINE void scanSpans(const TriangleSetup& s, const Lanes& l, const Target& t) {
    const bool boxInside = blocksInside(s, t);
    const double margin = 1.0 / 256.0, inf = std::numeric_limits<double>::infinity();
    // Per edge: the bound at row 0 and its slope, as four equal rows; an edge
    // that bounds the other side, or no side, gives no bound (infinity).
    __m256d leftStart[3], leftSlope[3], rightStart[3], rightSlope[3];
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        const double stepX = s.stepX[k];
        const double start = -s.weight[k] / stepX, slope = -s.stepY[k] / stepX;
        leftStart[k] = _mm256_set1_pd(s.stepX[k] > 0 ? start - margin : -inf);
        rightStart[k] = _mm256_set1_pd(s.stepX[k] < 0 ? start + margin : inf);
        leftSlope[k] = _mm256_set1_pd(s.stepX[k] > 0 ? slope : 0.0);
        rightSlope[k] = _mm256_set1_pd(s.stepX[k] < 0 ? slope : 0.0);
    }
    const int32_t lastColumn = s.maxX - s.minX;
    const __m256d lowest = _mm256_set1_pd(-1.0), highest = _mm256_set1_pd(lastColumn + 1);

    const __m256i lane = laneColumn<laneCount>();
    __m256i laneStart[3], step[3];
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        laneStart[k] = _mm256_mullo_epi32(lane, _mm256_set1_epi32(s.stepX[k]));
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepX[k]) * laneCount));
    }
    constexpr int stretch = 64;
    alignas(16) int32_t first[stretch], last[stretch], startValue[3][stretch];
    const int32_t rows = s.maxY - s.minY + 1;
    for (int32_t j0 = 0; j0 < rows; j0 += stretch) {
        const int32_t count = std::min(stretch, rows - j0);
        // Bounds clamped to [-1, lastColumn + 1], so that they convert
        // exactly (first > last on a row with no covered column), and the
        // edge values at each row's first column, as the steps from the
        // box's corner would reach them.
        for (int32_t j = 0; j < count; j += 4) {
            const __m128i rowIndices = _mm_add_epi32(_mm_set1_epi32(j0 + j), _mm_setr_epi32(0, 1, 2, 3));
            const __m256d rowIndex = _mm256_cvtepi32_pd(rowIndices);
            __m256d left = _mm256_set1_pd(-inf), right = _mm256_set1_pd(inf);
#pragma GCC unroll 3
            for (int k = 0; k < 3; ++k) {
                left = _mm256_max_pd(left, _mm256_add_pd(leftStart[k], _mm256_mul_pd(rowIndex, leftSlope[k])));
                right = _mm256_min_pd(right, _mm256_add_pd(rightStart[k], _mm256_mul_pd(rowIndex, rightSlope[k])));
            }
            const __m256d from = _mm256_min_pd(_mm256_max_pd(_mm256_ceil_pd(left), _mm256_setzero_pd()), highest);
            const __m256d to = _mm256_max_pd(_mm256_min_pd(_mm256_floor_pd(right), _mm256_set1_pd(lastColumn)), lowest);
            const __m128i columns = _mm256_cvttpd_epi32(from);
            _mm_store_si128(reinterpret_cast<__m128i*>(first + j), columns);
            _mm_store_si128(reinterpret_cast<__m128i*>(last + j), _mm256_cvttpd_epi32(to));
#pragma GCC unroll 3
            for (int k = 0; k < 3; ++k) {
                const __m128i value = _mm_add_epi32(
                    _mm_set1_epi32(s.weight[k]), _mm_add_epi32(_mm_mullo_epi32(rowIndices, _mm_set1_epi32(s.stepY[k])),
                                                               _mm_mullo_epi32(columns, _mm_set1_epi32(s.stepX[k]))));
                _mm_store_si128(reinterpret_cast<__m128i*>(startValue[k] + j), value);
            }
        }
        for (int32_t j = 0; j < count; ++j) {
            const int32_t x0 = first[j], x1 = last[j];
            if (x0 > x1) continue;
            const int32_t y = s.minY + j0 + j;
            __m256i e[3];
#pragma GCC unroll 3
            for (int k = 0; k < 3; ++k) e[k] = _mm256_add_epi32(laneStart[k], _mm256_set1_epi32(startValue[k][j]));
            for (int32_t x = x0; x <= x1; x += laneCount, advance(e, step)) {
                const __m256i inSpan = _mm256_cmpgt_epi32(_mm256_set1_epi32(x1 - x + 1), lane);
                const Group g{{e[0], e[1], e[2]}, coveredLanes(e, inSpan), s.minX + x, y};
                if (!_mm256_testz_si256(g.covered, g.covered)) shadeGroup<laneCount>(l, t, g, boxInside);
            }
        }
    }
}

// The covered groups of a walk, shaded in walk order a queue at a time, so
// that the walk itself has no branch on coverage.
struct GroupQueue {
    Group group[groupQueueLength];
    int length = 0;
};

// Shades the first `count` queued groups in order. Returns false, having
// stopped before it, at the first group with a covered depth out of range.
SW_INLINE bool shadeQueue(const GroupQueue& queue, int count, const Lanes& l, const Target& t, bool boxInside) {
    for (int i = 0; i < count; ++i) {
        if (!depthsInRange(l, queue.group[i])) return false;
        shadeGroup<laneCount>(l, t, queue.group[i], boxInside);
    }
    return true;
}

// Every pixel of the box, eight at a time in one flat walk along the rows:
// triangles whose edge values may wrap. Returns false when a covered pixel's
// depth fails toDepth's checks. Such triangles are rare, and out of line the
// queue does not widen every other triangle's stack frame.
__attribute__((noinline)) bool scanBox(const TriangleSetup& s, const Lanes& l, const Target& t) {
    const bool boxInside = blocksInside(s, t);
    const __m256i lane = laneColumn<laneCount>();
    __m256i step[3], rowStep[3], row[3], e[3];
    blockStart<laneCount>(s, row);
    for (int k = 0; k < 3; ++k) {
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepX[k]) * laneCount));
        rowStep[k] = _mm256_set1_epi32(s.stepY[k]);
        e[k] = row[k];
    }
    GroupQueue queue;
    int32_t x = s.minX, y = s.minY;
    for (;;) {
        const __m256i inBox = _mm256_cmpgt_epi32(_mm256_set1_epi32(s.maxX - x + 1), lane);
        queue.group[queue.length] = {{e[0], e[1], e[2]}, coveredLanes(e, inBox), x, y};
        queue.length += !_mm256_testz_si256(queue.group[queue.length].covered, queue.group[queue.length].covered);
        if (queue.length == groupQueueLength) {
            queue.length = 0;
            if (!shadeQueue(queue, groupQueueLength, l, t, boxInside)) return false;
        }
        if (x + laneCount <= s.maxX) {
            x += laneCount;
            advance(e, step);
        } else if (y < s.maxY) {
            ++y;
            x = s.minX;
            advance(row, rowStep);
            e[0] = row[0];
            e[1] = row[1];
            e[2] = row[2];
        } else {
            return shadeQueue(queue, queue.length, l, t, boxInside);
        }
    }
}

}  // namespace

#pragma GCC pop_options
