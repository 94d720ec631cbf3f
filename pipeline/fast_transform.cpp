#include "pipeline/fast_transform.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "assets/mesh.h"
#include "pipeline/fast_scan.h"
#include "pipeline/fast_triangle_queue.h"
#include "pipeline/render_context.h"
#include "pipeline/run_skipping.h"
#include "pipeline/stage_counters.h"
#include "pipeline/vertex_processing.h"

// Everything from here on is compiled for AVX2; the headers above keep the
// default target (see fast_scan.cpp).
#pragma GCC target("avx2")

namespace {

static_assert(trianglesPerBatch == laneCount, "a mesh's corner batches fill the lanes");

// The matrices with every element broadcast to eight lanes. glm's
// mat4 * vec4 sums the column products pairwise, ((c0 x + c1 y) + (c2 z + c3 w)),
// and so does every lane here. With w = 1 the last product of the first
// matrix is column 3 times 1.0, done once per draw: under flush-to-zero it
// turns a denormal entry into 0 exactly as the product in glm does.
//
// Most draws have an affine model matrix (last row 0, 0, 0, 1) and a
// perspective projection (clip x from eye x alone, y from eye y, z from eye
// z and w, w from eye z): then `shaped` is set. For corners whose every value
// on the way is finite, as in runs proven inside, the zero products add only
// zeros: the model's w is then exactly 1, and each clip coordinate is its
// non-zero products alone, the same value up to the sign of a zero. A zero
// x, y or z projects as the other zero does, and a zero w gives a corner no
// set-up accepts either way, so those runs take the shorter sums.
struct Matrices {
    __m256 model[4][4];  // [column][row]
    __m256 modelColumn3[4];
    __m256 projection[4][4];
    __m256 projectionZ3;  // z's last coefficient times the model's w of 1
    __m256 planeAxis[6];  // the non-zero x, y or z coefficient of each plane
    __m256 planeW;        // d, 1 for every plane
    bool shaped;
};

bool isAffine(const glm::mat4& m) { return m[0][3] == 0.0f && m[1][3] == 0.0f && m[2][3] == 0.0f && m[3][3] == 1.0f; }

bool isPerspective(const glm::mat4& p) {
    return p[1][0] == 0.0f && p[2][0] == 0.0f && p[3][0] == 0.0f && p[0][1] == 0.0f && p[2][1] == 0.0f &&
           p[3][1] == 0.0f && p[0][2] == 0.0f && p[1][2] == 0.0f && p[0][3] == 0.0f && p[1][3] == 0.0f &&
           p[3][3] == 0.0f;
}

Matrices broadcast(const glm::mat4& model, const glm::mat4& projection) {
    Matrices m;
    volatile float unit = 1.0f;
    const float one = unit;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            m.model[c][r] = _mm256_set1_ps(model[c][r]);
            m.projection[c][r] = _mm256_set1_ps(projection[c][r]);
        }
    }
    for (int r = 0; r < 4; ++r) m.modelColumn3[r] = _mm256_set1_ps(model[3][r] * one);
    m.projectionZ3 = _mm256_set1_ps(projection[3][2] * one);
    m.shaped = isAffine(model) && isPerspective(projection);
    for (int k = 0; k < 6; ++k) m.planeAxis[k] = _mm256_set1_ps(clipPlanes[k][k / 2]);
    m.planeW = _mm256_set1_ps(clipPlanes[0].w);
    return m;
}

struct Clip {
    __m256 x, y, z, w;
};

// Row r of model * (x, y, z, 1).
SW_INLINE __m256 eyeRow(const Matrices& m, __m256 x, __m256 y, __m256 z, int r) {
    const __m256 a = _mm256_add_ps(_mm256_mul_ps(m.model[0][r], x), _mm256_mul_ps(m.model[1][r], y));
    const __m256 b = _mm256_add_ps(_mm256_mul_ps(m.model[2][r], z), m.modelColumn3[r]);
    return _mm256_add_ps(a, b);
}

SW_INLINE Clip toClipSpace(const Matrices& m, __m256 x, __m256 y, __m256 z) {
    __m256 e[4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) e[r] = eyeRow(m, x, y, z, r);
    __m256 c[4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        const __m256 a =
            _mm256_add_ps(_mm256_mul_ps(m.projection[0][r], e[0]), _mm256_mul_ps(m.projection[1][r], e[1]));
        const __m256 b =
            _mm256_add_ps(_mm256_mul_ps(m.projection[2][r], e[2]), _mm256_mul_ps(m.projection[3][r], e[3]));
        c[r] = _mm256_add_ps(a, b);
    }
    return {c[0], c[1], c[2], c[3]};
}

// toClipSpace for `shaped` matrices and corners whose every value on the way
// is finite, up to the sign of a zero coordinate.
SW_INLINE Clip toClipSpaceShaped(const Matrices& m, __m256 x, __m256 y, __m256 z) {
    __m256 e[3];
#pragma GCC unroll 3
    for (int r = 0; r < 3; ++r) e[r] = eyeRow(m, x, y, z, r);
    return {_mm256_mul_ps(m.projection[0][0], e[0]), _mm256_mul_ps(m.projection[1][1], e[1]),
            _mm256_add_ps(_mm256_mul_ps(m.projection[2][2], e[2]), m.projectionZ3),
            _mm256_mul_ps(m.projection[2][3], e[2])};
}

// Lanes outside each plane: where the signed distance, the full four-term
// sum ((a x + b y) + c z) + d w, is below 0 (a NaN distance is not).
//
// Each plane has one non-zero coefficient among a, b, c, and d = 1. The two
// zero terms contribute 0 * coordinate: a zero for a finite coordinate, which
// changes at most the sign of a zero sum, and a NaN otherwise. So the
// distance is compared as (non-zero term + 1 * w) + (0 * one + 0 * other),
// which has the same sign test, NaN included, and the same products under
// flush-to-zero. A test compares the outcodes with the four-term sums on
// non-finite and denormal inputs.
struct Outside {
    __m256 plane[6];  // all ones in the lanes outside
};

SW_INLINE Outside outside(const Matrices& m, const Clip& p) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 zx = _mm256_mul_ps(zero, p.x);
    const __m256 zy = _mm256_mul_ps(zero, p.y);
    const __m256 zz = _mm256_mul_ps(zero, p.z);
    const __m256 others[3] = {_mm256_add_ps(zy, zz), _mm256_add_ps(zx, zz), _mm256_add_ps(zx, zy)};
    const __m256 axis[3] = {p.x, p.y, p.z};
    const __m256 w = _mm256_mul_ps(m.planeW, p.w);
    Outside o;
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k) {
        const __m256 d = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(m.planeAxis[k], axis[k / 2]), w), others[k / 2]);
        o.plane[k] = _mm256_cmp_ps(d, zero, _CMP_LT_OQ);
    }
    return o;
}

// The viewport mapping of drawTriangle's project() in every lane: the column
// and row, which set-up's first tests need, and then the depth, for batches
// with a triangle left to draw.
SW_INLINE void projectColumnRow(const Clip& c, __m256 hw, __m256 hh, CornerLanes& screen) {
    const __m256 ndcX = _mm256_div_ps(c.x, c.w);
    const __m256 ndcY = _mm256_div_ps(c.y, c.w);
    screen.x = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(ndcX, hw), hw), ndcX);
    screen.y = _mm256_add_ps(_mm256_sub_ps(hh, _mm256_mul_ps(ndcY, hh)), ndcY);
}

SW_INLINE __m256 projectDepth(const Clip& c) {
    const __m256 ndcZ = _mm256_div_ps(c.z, c.w);
    return _mm256_add_ps(_mm256_mul_ps(_mm256_add_ps(ndcZ, _mm256_set1_ps(1.0f)), _mm256_set1_ps(0.5f)),
                         _mm256_set1_ps(depthBias));
}

// Eight triangles, lane k being the one whose corners are lane k of the
// batch and whose records start at first + 3k; lanes from `count` on are
// ignored (their records are not read). In a run proven inside the view
// volume every outcode is 0, and none is worked out; `shaped` matrices then
// take the shorter sums.
template <bool provenInside, bool shaped = false>
void drawBatch(const Matrices& m, __m256 hw, __m256 hh, const CornerBatch& corners, const Vertex* first,
               unsigned count) {
    // The corners one after the other, the matrices read from memory by the
    // products themselves: the empty asm hides that the address is the same
    // every time, so the compiler does not copy all the broadcast values to
    // the stack first (they do not fit in registers).
    // Dropped: all three corners outside one common plane. Inside: no corner
    // outside any plane. Both are gathered as lane masks.
    Clip clip[3];
    const __m256 allLanes = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    __m256 common[6] = {allLanes, allLanes, allLanes, allLanes, allLanes, allLanes};
    __m256 outMask = _mm256_setzero_ps();
#pragma GCC unroll 1
    for (int c = 0; c < 3; ++c) {
        const __m256 x = _mm256_load_ps(corners.x[c]);
        const __m256 y = _mm256_load_ps(corners.y[c]);
        const __m256 z = _mm256_load_ps(corners.z[c]);
        const Matrices* matrices = &m;
        asm("" : "+r"(matrices));
        clip[c] = shaped ? toClipSpaceShaped(*matrices, x, y, z) : toClipSpace(*matrices, x, y, z);
        if constexpr (!provenInside) {
            const Outside o = outside(*matrices, clip[c]);
#pragma GCC unroll 6
            for (int k = 0; k < 6; ++k) {
                common[k] = _mm256_and_ps(common[k], o.plane[k]);
                outMask = _mm256_or_ps(outMask, o.plane[k]);
            }
        }
    }
    __m256 droppedMask = common[0];
    for (int k = 1; k < 6; ++k) droppedMask = _mm256_or_ps(droppedMask, common[k]);
    const unsigned dropped = provenInside ? 0u : static_cast<unsigned>(_mm256_movemask_ps(droppedMask));
    const unsigned out = provenInside ? 0u : static_cast<unsigned>(_mm256_movemask_ps(outMask));
    const unsigned lanes = (1u << count) - 1u;
    const unsigned kept = lanes & ~dropped;
    SW_COUNT(dropped, __builtin_popcount(lanes & dropped));
    if (kept == 0) return;
    const unsigned inside = kept & ~out;
    const unsigned crossing = kept & ~inside;
    SW_COUNT(crossing, __builtin_popcount(crossing));

    // Triangles inside the volume go to scan conversion as (V3, V2, V1), and
    // those that pass set-up's first tests join the queue; crossing ones go
    // to the clipper, each in its place in the order.
    SW_COUNT(reachedSetup, __builtin_popcount(inside));
    CornerLanes screen[3] = {};  // zeroed, as the compiler cannot tell that the lanes read are set
    unsigned waiting = 0;
    if (inside != 0) {
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) projectColumnRow(clip[2 - c], hw, hh, screen[c]);
        waiting = inside & passingFirstTests(screen);
        if (waiting != 0) {
#pragma GCC unroll 3
            for (int c = 0; c < 3; ++c) {
                screen[c].z = projectDepth(clip[2 - c]);
                screen[c].w = clip[2 - c].w;
                screen[c].u = _mm256_load_ps(corners.u[2 - c]);
                screen[c].v = _mm256_load_ps(corners.v[2 - c]);
            }
        }
    }
    alignas(32) float clipped[3][4][laneCount];
    if (crossing != 0) {
        for (int c = 0; c < 3; ++c) {
            _mm256_store_ps(clipped[c][0], clip[c].x);
            _mm256_store_ps(clipped[c][1], clip[c].y);
            _mm256_store_ps(clipped[c][2], clip[c].z);
            _mm256_store_ps(clipped[c][3], clip[c].w);
        }
    }
    for (unsigned work = crossing; work != 0; work &= work - 1) {
        const unsigned k = static_cast<unsigned>(__builtin_ctz(work));
        const unsigned before = waiting & ((1u << k) - 1u);
        if (before != 0) joinQueue(screen, before);
        waiting &= ~before;
        glm::vec4 c[3];
        for (int i = 0; i < 3; ++i) c[i] = {clipped[i][0][k], clipped[i][1][k], clipped[i][2][k], clipped[i][3][k]};
        clipAndEmit(first[3 * k], first[3 * k + 1], first[3 * k + 2], c[0], c[1], c[2], queueTriangleAvx2);
    }
    if (waiting != 0) joinQueue(screen, waiting);
}

// What a draw derives from the matrices (and, through the product with
// w = 1, the flush-to-zero mode). A scene draws many meshes under the same
// matrices, so it is kept from one draw to the next and remade only when
// they change.
struct Prepared {
    glm::mat4 model, projection;
    unsigned floatMode;
    Matrices matrices;
    RunSkipTest runTest;
    bool valid;
};

Prepared prepared;

const Prepared& prepare(const glm::mat4& model, const glm::mat4& projection) {
    Prepared& p = prepared;
    const unsigned floatMode = _mm_getcsr();
    if (!p.valid || p.floatMode != floatMode || std::memcmp(&p.model, &model, sizeof model) != 0 ||
        std::memcmp(&p.projection, &projection, sizeof projection) != 0) {
        p.model = model;
        p.projection = projection;
        p.floatMode = floatMode;
        p.matrices = broadcast(model, projection);
        p.runTest = makeRunSkipTest(model, projection);
        p.valid = true;
    }
    return p;
}

}  // namespace

void transformToClipAvx2(const glm::mat4& model, const glm::mat4& projection, const float x[laneCount],
                         const float y[laneCount], const float z[laneCount], ClipLanes& out) {
    const Matrices m = broadcast(model, projection);
    const Clip c = toClipSpace(m, _mm256_loadu_ps(x), _mm256_loadu_ps(y), _mm256_loadu_ps(z));
    _mm256_storeu_ps(out.x, c.x);
    _mm256_storeu_ps(out.y, c.y);
    _mm256_storeu_ps(out.z, c.z);
    _mm256_storeu_ps(out.w, c.w);
    const Outside o = outside(m, c);
    for (int k = 0; k < laneCount; ++k) {
        out.outcode[k] = 0;
        for (int plane = 0; plane < 6; ++plane) {
            const unsigned bits = static_cast<unsigned>(_mm256_movemask_ps(o.plane[plane]));
            out.outcode[k] |= ((bits >> k) & 1u) << plane;
        }
    }
}

void drawMeshAvx2(const Mesh& mesh) {
    const RenderContext& rc = renderContext;
    const Prepared& p = prepare(rc.modelMatrix, rc.projection);
    const __m256 hw = _mm256_set1_ps(static_cast<float>(rc.framebufferWidth) * 0.5f);
    const __m256 hh = _mm256_set1_ps(static_cast<float>(rc.framebufferHeight) * 0.5f);
    const size_t triangles = mesh.triangleCount();
    const RunPlace wholeMesh = placeRun(p.runTest, mesh.bounds);
    if (wholeMesh == RunPlace::outside) {
        SW_COUNT(skipped, triangles);
        return;
    }
    // Batches and records are read front to back, which the hardware
    // prefetchers follow; prefetching them by hand measured no gain.
    for (size_t r = 0; r < mesh.runs.size(); ++r) {
        const size_t begin = r * trianglesPerRun;
        const size_t end = std::min(begin + trianglesPerRun, triangles);
        const RunPlace place = wholeMesh == RunPlace::inside ? wholeMesh : placeRun(p.runTest, mesh.runs[r]);
        if (place == RunPlace::outside) {
            SW_COUNT(skipped, end - begin);
            continue;
        }
        if (place == RunPlace::inside) SW_COUNT(unclipped, end - begin);
        const auto draw = place != RunPlace::inside ? drawBatch<false>
                          : p.matrices.shaped       ? drawBatch<true, true>
                                                    : drawBatch<true>;
        for (size_t t = begin; t < end; t += laneCount) {
            const unsigned count = static_cast<unsigned>(std::min<size_t>(laneCount, end - t));
            draw(p.matrices, hw, hh, mesh.batches[t / laneCount], &mesh.vertices[3 * t], count);
        }
    }
    drawQueuedTrianglesAvx2();
}
