#pragma once

// The eight-lane arithmetic of the vector pixel loop: lane masks, the
// attributes a triangle interpolates, fastReciprocal and the depth test in
// every lane, and edge values stepped across a box. Every float operation of
// a lane is the one fillTriangle does for that pixel, in the same order, so
// results agree to the bit.
//
// This header and the three beside it (fast_texels.h, fast_walks.h,
// fast_pixel_queue.h) are parts of pipeline/fast_scan.cpp, split out for
// reading (pipeline/fast_triangle_queue.h uses this one too): their
// functions have internal linkage, so the compiler sees every caller, and
// they are compiled for AVX2, after every header whose inline functions must
// keep the default target.

#include <immintrin.h>

#include <cstdint>

#include "pipeline/fast_scan.h"
#include "pipeline/rasterizer.h"
#include "pipeline/stage_counters.h"
#include "pipeline/zbuffer.h"

#pragma GCC push_options
#pragma GCC target("avx2")

// Small helpers are always inlined into the loops that use them.
#define SW_INLINE inline __attribute__((always_inline))

namespace {

SW_INLINE unsigned laneBits(__m256i mask) {
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(mask)));
}

// `chosen` in the lanes of `lanes`, `other` in the rest.
SW_INLINE __m256i select(__m256i lanes, __m256i chosen, __m256i other) {
    return _mm256_castps_si256(
        _mm256_blendv_ps(_mm256_castsi256_ps(other), _mm256_castsi256_ps(chosen), _mm256_castsi256_ps(lanes)));
}

// The lanes whose bits are set in `bits`: the inverse of laneBits.
SW_INLINE __m256i lanesOf(unsigned bits) {
    const __m256i laneBit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int32_t>(bits)), laneBit), laneBit);
}

// For each set of lanes, the permutation that moves them to the front in
// order.
struct LeftPack {
    alignas(32) int32_t order[1 << laneCount][laneCount];
};

constexpr LeftPack makeLeftPack() {
    LeftPack p{};
    for (unsigned bits = 0; bits < (1u << laneCount); ++bits) {
        int n = 0;
        for (int k = 0; k < laneCount; ++k) {
            if ((bits >> k) & 1u) p.order[bits][n++] = k;
        }
    }
    return p;
}

constexpr LeftPack leftPack = makeLeftPack();

// fastReciprocal in every lane: the estimate from the bits, two Newton steps.
SW_INLINE __m256 reciprocal(__m256 q) {
    const __m256i bits =
        _mm256_sub_epi32(_mm256_set1_epi32(static_cast<int32_t>(reciprocalMagic)), _mm256_castps_si256(q));
    const __m256 two = _mm256_set1_ps(2.0f);
    const __m256 r0 = _mm256_castsi256_ps(bits);
    const __m256 r1 = _mm256_mul_ps(r0, _mm256_sub_ps(two, _mm256_mul_ps(q, r0)));
    return _mm256_mul_ps(r1, _mm256_sub_ps(two, _mm256_mul_ps(q, r1)));
}

// (float)((double)q + reciprocalNudge) in every lane.
SW_INLINE __m256 nudge(__m256 q) {
    const __m256d epsilon = _mm256_set1_pd(reciprocalNudge);
    const __m256d low = _mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(q)), epsilon);
    const __m256d high = _mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(q, 1)), epsilon);
    return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
}

// Per-corner attributes and 1/area: a batch's, one triangle per lane, or one
// triangle's in every lane, broadcast once per triangle so that the products
// take them straight from memory (one instruction fewer for each than a
// broadcast per group).
enum Attribute { invW, zOverW, uOverW, vOverW };

struct Lanes {
    __m256 attr[4][3];  // [attribute][corner]
    __m256 inv;
};

// The integer set-up of a batch's triangles, one per lane, indexed as in
// TriangleSetup.
struct BatchSetup {
    alignas(32) int32_t minX[laneCount], minY[laneCount], maxX[laneCount], maxY[laneCount];
    alignas(32) int32_t weight[3][laneCount], stepX[3][laneCount], stepY[3][laneCount];
    alignas(32) float area[laneCount];
};

SW_INLINE void broadcastLanes(const TriangleSetup& s, Lanes& l) {
    for (int c = 0; c < 3; ++c) {
        l.attr[invW][c] = _mm256_set1_ps(s.attr[c].invW);
        l.attr[zOverW][c] = _mm256_set1_ps(s.attr[c].zOverW);
        l.attr[uOverW][c] = _mm256_set1_ps(s.attr[c].uOverW);
        l.attr[vOverW][c] = _mm256_set1_ps(s.attr[c].vOverW);
    }
    l.inv = _mm256_set1_ps(1.0f / s.area);
}

// The attributes again as setupTriangle leaves them, for scanTriangle.
SW_INLINE void storeAttributes(const Lanes& l, TriangleSetup& s) {
    for (int c = 0; c < 3; ++c) {
        s.attr[c] = {_mm256_cvtss_f32(l.attr[invW][c]), _mm256_cvtss_f32(l.attr[zOverW][c]),
                     _mm256_cvtss_f32(l.attr[uOverW][c]), _mm256_cvtss_f32(l.attr[vOverW][c])};
    }
}

// In lane k of `l`, lane `from`[k] of every attribute of `batch`.
SW_INLINE void lanesOfBatch(const Lanes& batch, __m256i from, Lanes& l) {
#pragma GCC unroll 4
    for (int a = 0; a < 4; ++a) {
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) l.attr[a][c] = _mm256_permutevar8x32_ps(batch.attr[a][c], from);
    }
    l.inv = _mm256_permutevar8x32_ps(batch.inv, from);
}

// b[0] * a[0] + b[1] * a[1] + b[2] * a[2], summed left to right, times 1/area,
// where a[c] is the attribute `field` of corner c.
SW_INLINE __m256 interpolate(const __m256 b[3], const Lanes& l, Attribute field) {
    const __m256* a = l.attr[field];
    const __m256 sum =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(b[0], a[0]), _mm256_mul_ps(b[1], a[1])), _mm256_mul_ps(b[2], a[2]));
    return _mm256_mul_ps(sum, l.inv);
}

// A group is a block of eight pixels, W columns by laneCount / W rows: lane k
// is the pixel (x + k % W, y + k / W). Boxes at most four or two pixels wide
// take the narrow blocks, so that fewer lanes fall outside the box.
template <int W>
SW_INLINE __m256i laneColumn() {
    return _mm256_setr_epi32(0 % W, 1 % W, 2 % W, 3 % W, 4 % W, 5 % W, 6 % W, 7 % W);
}

template <int W>
SW_INLINE __m256i laneRow() {
    return _mm256_setr_epi32(0 / W, 1 / W, 2 / W, 3 / W, 4 / W, 5 / W, 6 / W, 7 / W);
}

// toDepth in every lane, for depths in range.
SW_INLINE __m256i depthsOf(const __m256 b[3], const Lanes& l) {
    return _mm256_cvttps_epi32(_mm256_mul_ps(interpolate(b, l, zOverW), _mm256_set1_ps(ZBuffer::maxDepth)));
}

// The lanes of `covered` whose depth is nearer than the cell's: an unsigned
// compare, made signed by flipping the sign bits.
SW_INLINE __m256i nearerLanes(__m256i depth, __m256i cells, __m256i covered) {
    const __m256i signBit = _mm256_set1_epi32(INT32_MIN);
    const __m256i nearer = _mm256_cmpgt_epi32(_mm256_xor_si256(depth, signBit), _mm256_xor_si256(cells, signBit));
    const __m256i passed = _mm256_and_si256(covered, nearer);
    SW_COUNT(covered, __builtin_popcount(laneBits(covered)));
    SW_COUNT(depthPassed, __builtin_popcount(laneBits(passed)));
    return passed;
}

// Edge values of the block at the box's top-left pixel: weight + column *
// stepX + row * stepY in each lane. 32-bit products wrap exactly like the
// wrapping additions that step from pixel to pixel.
template <int W>
SW_INLINE void blockStart(const TriangleSetup& s, __m256i e[3]) {
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        e[k] = _mm256_add_epi32(_mm256_set1_epi32(s.weight[k]),
                                _mm256_add_epi32(_mm256_mullo_epi32(laneColumn<W>(), _mm256_set1_epi32(s.stepX[k])),
                                                 _mm256_mullo_epi32(laneRow<W>(), _mm256_set1_epi32(s.stepY[k]))));
    }
}

// Lanes whose edge values are all non-negative, within `inBox`.
SW_INLINE __m256i coveredLanes(const __m256i e[3], __m256i inBox) {
    const __m256i negative = _mm256_srai_epi32(_mm256_or_si256(_mm256_or_si256(e[0], e[1]), e[2]), 31);
    return _mm256_andnot_si256(negative, inBox);
}

// Adds `step` to the three edge values (written out, so that they stay in
// registers).
SW_INLINE void advance(__m256i e[3], const __m256i step[3]) {
    e[0] = _mm256_add_epi32(e[0], step[0]);
    e[1] = _mm256_add_epi32(e[1], step[1]);
    e[2] = _mm256_add_epi32(e[2], step[2]);
}

}  // namespace

#pragma GCC pop_options
