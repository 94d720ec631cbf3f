#pragma once

// The queue of triangles waiting for set-up (see pipeline/fast_scan.h), which
// the vertex stage joins eight triangles at a time straight from its
// registers. Shared by pipeline/fast_scan.cpp, which owns the queue and
// sets its triangles up, and pipeline/fast_transform.cpp.

#include <immintrin.h>

#include <cstdint>

#include "pipeline/fast_lanes.h"
#include "pipeline/fast_scan.h"
#include "pipeline/rasterizer.h"

// The triangles waiting for set-up, one per lane from lane 0 on, in the
// order they were queued. Up to seven wait between batches, and up to eight
// more join at a time.
struct TriangleQueue : TriangleLanes<2 * laneCount> {
    int length;
};

extern TriangleQueue triangleQueue;

// Sets up and scans the first eight queued triangles, and moves the others
// to the front.
void drawQueueFront();

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

// One corner of eight triangles, as set-up reads it.
struct CornerLanes {
    __m256 x, y, z, w, u, v;
};

SW_INLINE __m256 withinMagnitude(__m256 v, float limit) {
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    return _mm256_cmp_ps(_mm256_and_ps(v, magnitude), _mm256_set1_ps(limit), _CMP_LE_OQ);
}

// The lanes whose corners pass passesFirstTests; only x and y are read.
SW_INLINE unsigned passingFirstTests(const CornerLanes c[3]) {
    const __m256 s = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(c[0].y, c[1].y), _mm256_sub_ps(c[2].x, c[0].x)),
                                   _mm256_mul_ps(_mm256_sub_ps(c[2].y, c[0].y), _mm256_sub_ps(c[1].x, c[0].x)));
    const float m = maxCornerMagnitude;
    const __m256 passed = _mm256_and_ps(
        _mm256_cmp_ps(s, _mm256_set1_ps(0.5f), _CMP_GE_OQ),
        _mm256_and_ps(_mm256_and_ps(_mm256_and_ps(withinMagnitude(c[0].x, m), withinMagnitude(c[0].y, m)),
                                    _mm256_and_ps(withinMagnitude(c[1].x, m), withinMagnitude(c[1].y, m))),
                      _mm256_and_ps(withinMagnitude(c[2].x, m), withinMagnitude(c[2].y, m))));
    return static_cast<unsigned>(_mm256_movemask_ps(passed));
}

// Queues the triangles of `lanes`, which pass the first tests, lowest lane
// first.
SW_INLINE void joinQueue(const CornerLanes c[3], unsigned lanes) {
    TriangleQueue& q = triangleQueue;
    const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(leftPack.order[lanes]));
    const int end = q.length;  // in a local: the vector stores may alias anything
    const auto append = [&](float* to, __m256 values) {
        _mm256_storeu_ps(to + end, _mm256_permutevar8x32_ps(values, order));
    };
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        append(q.x[k], c[k].x);
        append(q.y[k], c[k].y);
        append(q.z[k], c[k].z);
        append(q.w[k], c[k].w);
        append(q.u[k], c[k].u);
        append(q.v[k], c[k].v);
    }
    q.length = end + __builtin_popcount(lanes);
    if (q.length >= laneCount) drawQueueFront();
}

}  // namespace

#pragma GCC pop_options
