#include "pipeline/fast_scan.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "assets/texture.h"
#include "pipeline/framebuffer.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/stage_counters.h"
#include "pipeline/triangle_setup.h"
#include "pipeline/zbuffer.h"

// Everything from here on is compiled for AVX2. The headers above are read
// before the switch, so their inline functions (the depth-buffer checks,
// putPixel, fastReciprocal) keep the default target wherever the linker
// picks up an out-of-line copy of them.
#pragma GCC target("avx2")

// Small helpers are always inlined into the loops that use them.
#define SW_INLINE inline __attribute__((always_inline))

namespace {

// In the walk over every pixel of a box, covered groups wait in a queue of
// this many before they are shaded: long enough to keep the walk free of
// branches, short enough to stay in cache.
constexpr int groupQueueLength = 32;

// The eight-lane set-up repeats setupTriangle step for step where the
// integers allow (setupTriangle itself serves the other triangles); the
// pixel loop tests and shades eight pixels at a time. Every float operation
// of a lane is the one fillTriangle does for that pixel, in the same order,
// so results agree to the bit.

// Where the texels of the current texture come from. Power-of-two textures
// with four bytes per texel are read eight at a time; any other texture, and
// any lane whose coordinate the vector path cannot wrap, goes through
// Texture::sample one lane at a time.
struct TexelSource {
    const Texture* texture;
    const int* words;  // level 0 as 32-bit words, or null: sample() per lane
    __m256 width;
    __m256 height;
    __m256i columnMask;
    __m256i rowMask;
    __m128i rowShift;
};

bool isPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

TexelSource texelSource(const Texture* texture) {
    TexelSource s;
    s.texture = texture;
    s.words = nullptr;  // the vectors below are read only with words set
    if (texture == nullptr || texture->mipchain[0] == nullptr || texture->bytesPerPixel != 4 ||
        !isPowerOfTwo(texture->width) || !isPowerOfTwo(texture->height)) {
        return s;
    }
    s.words = reinterpret_cast<const int*>(texture->mipchain[0]);
    s.width = _mm256_set1_ps(static_cast<float>(texture->width));
    s.height = _mm256_set1_ps(static_cast<float>(texture->height));
    s.columnMask = _mm256_set1_epi32(texture->width - 1);
    s.rowMask = _mm256_set1_epi32(texture->height - 1);
    s.rowShift = _mm_cvtsi32_si128(__builtin_ctz(static_cast<unsigned>(texture->width)));
    return s;
}

// Whether sample() can stop the process for this texture. Then the order in
// which pixels are visited decides which check reports first, so such
// triangles are left to scanTriangle.
bool sampleMayFail(const Texture* texture) {
    return texture == nullptr || texture->mipchain[0] == nullptr || texture->width < 1 || texture->height < 1;
}

// What the triangles of one draw share: where texels come from, and the
// columns and rows that both buffers have. `vector` is false when the depth
// buffer does not cover the framebuffer (never the case in the program) or
// sample() can stop the process: scanTriangle then draws every triangle, with
// its checks in its own order. Otherwise every cell of a box, which lies
// inside the framebuffer by construction, passes the depth buffer's checks.
struct Target {
    TexelSource texels;
    int32_t width, height;
    bool vector;
};

Target drawTarget(const Texture* texture) {
    const RenderContext& rc = renderContext;
    const ZBuffer& z = rc.zbuffer;
    const bool covers = z.buffer != nullptr && z.w >= rc.framebufferWidth && z.h >= rc.framebufferHeight;
    return {texelSource(texture), std::min(rc.framebufferWidth, z.w), std::min(rc.framebufferHeight, z.h),
            covers && !sampleMayFail(texture)};
}

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

// c < 0 becomes 1 - (float)fmod(-(double)c, 1.0), as in Texture::sample. For
// d = -(double)c >= 0, fmod(d, 1) is d - floor(d) exactly: d carries at most
// 24 significant bits, so its fractional part is representable and the
// subtraction is exact (infinity gives a NaN both ways).
SW_INLINE __m256 wrapNegative(__m256 c) {
    const __m256 negative = _mm256_cmp_ps(c, _mm256_setzero_ps(), _CMP_LT_OQ);
    if (_mm256_testz_ps(negative, negative)) return c;
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d dLow = _mm256_xor_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(c)), signBit);
    const __m256d dHigh = _mm256_xor_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(c, 1)), signBit);
    const __m256d fracLow = _mm256_sub_pd(dLow, _mm256_floor_pd(dLow));
    const __m256d fracHigh = _mm256_sub_pd(dHigh, _mm256_floor_pd(dHigh));
    const __m256 frac = _mm256_set_m128(_mm256_cvtpd_ps(fracHigh), _mm256_cvtpd_ps(fracLow));
    return _mm256_blendv_ps(c, _mm256_sub_ps(_mm256_set1_ps(1.0f), frac), negative);
}

// Texture::sample for each lane of `lanes`, one at a time; other lanes are 0.
__attribute__((noinline)) __m256i sampleLanes(const Texture* texture, __m256 u, __m256 v, __m256i lanes) {
    alignas(32) float us[laneCount];
    alignas(32) float vs[laneCount];
    alignas(32) uint32_t texels[laneCount] = {};
    _mm256_store_ps(us, u);
    _mm256_store_ps(vs, v);
    for (unsigned bits = laneBits(lanes); bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        texels[k] = texture->sample(us[k], vs[k], 0);
    }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(texels));
}

// The ARGB8888 texels at (u, v) for the lanes of `lanes`; other lanes hold
// any texel of the texture, or 0.
SW_INLINE __m256i fetchTexels(const TexelSource& source, __m256 u, __m256 v, __m256i lanes) {
    if (source.words != nullptr) {
        // One test for both coordinates: no sign bit set in a lane of
        // `lanes`, nothing to wrap. The other lanes' texels are never used,
        // and their masked indices stay inside the texture.
        const bool signs = !_mm256_testz_ps(_mm256_or_ps(u, v), _mm256_castsi256_ps(lanes));
        const __m256 su = _mm256_mul_ps(source.width, signs ? wrapNegative(u) : u);
        const __m256 sv = _mm256_mul_ps(source.height, signs ? wrapNegative(v) : v);
        // Scaled coordinates below 2^31 (and not NaN) truncate and wrap as
        // integers; the others take sample()'s own path.
        const __m256 limit = _mm256_set1_ps(2147483648.0f);
        const __m256 inRange =
            _mm256_and_ps(_mm256_cmp_ps(su, limit, _CMP_LT_OQ), _mm256_cmp_ps(sv, limit, _CMP_LT_OQ));
        if (_mm256_testc_si256(_mm256_castps_si256(inRange), lanes)) {
            const __m256i x = _mm256_and_si256(_mm256_cvttps_epi32(su), source.columnMask);
            const __m256i y = _mm256_and_si256(_mm256_cvttps_epi32(sv), source.rowMask);
            const __m256i index = _mm256_add_epi32(_mm256_sll_epi32(y, source.rowShift), x);
            // Eight plain loads: a gather instruction costs more on some
            // processors and, with some microcode, on others.
            alignas(32) uint32_t at[laneCount];
            _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
            const int* w = source.words;
            const __m256i rgba =
                _mm256_setr_epi32(w[at[0]], w[at[1]], w[at[2]], w[at[3]], w[at[4]], w[at[5]], w[at[6]], w[at[7]]);
            // Bytes R, G, B, A in memory to the word A << 24 | R << 16 | G << 8 | B.
            const __m256i toArgb = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1, 0, 3, 6,
                                                    5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
            return _mm256_shuffle_epi8(rgba, toArgb);
        }
    }
    return sampleLanes(source.texture, u, v, lanes);
}

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

// Lane `k` of every attribute of `batch`, in every lane of `l`.
SW_INLINE void laneOf(const Lanes& batch, int32_t k, Lanes& l) {
    const __m256i lane = _mm256_set1_epi32(k);
#pragma GCC unroll 4
    for (int a = 0; a < 4; ++a) {
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) l.attr[a][c] = _mm256_permutevar8x32_ps(batch.attr[a][c], lane);
    }
    l.inv = _mm256_permutevar8x32_ps(batch.inv, lane);
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

// The perspective-correct texels of the lanes of `passed`, and in `written`
// those lanes whose texel is not fully transparent (alpha 0 leaves both
// surfaces alone).
SW_INLINE __m256i texelsAt(const __m256 b[3], const Lanes& l, const Target& t, __m256i passed, __m256i& written) {
    const __m256 q = interpolate(b, l, invW);
    const __m256 r = reciprocal(nudge(q));
    const __m256 u = _mm256_mul_ps(interpolate(b, l, uOverW), r);
    const __m256 v = _mm256_mul_ps(interpolate(b, l, vOverW), r);
    const __m256i colour = fetchTexels(t.texels, u, v, passed);
    const __m256i transparent = _mm256_cmpeq_epi32(_mm256_srli_epi32(colour, 24), _mm256_setzero_si256());
    written = _mm256_andnot_si256(transparent, passed);
    SW_COUNT(written, __builtin_popcount(laneBits(written)));
    return colour;
}

// Shades the covered pixels of a block, whose depths are in range.
template <int W>
SW_INLINE void shadeGroup(const Lanes& l, const Target& t, const Group& g) {
    RenderContext& rc = renderContext;
    SW_COUNT(groups, 1);
    __m256 b[3];
    barycentrics(g, b);
    const __m256i depth = depthsOf(b, l);
    const bool plain = std::max(g.x, g.x + g.shift) + W <= t.width && g.y + laneCount / W <= t.height;
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

// The boxes of tiny triangles and slivers, at most four pixels wide, hold a
// pixel or two per block. Their covered pixels wait in a queue and are
// shaded eight at a time, whatever triangle they belong to: each lane takes
// its triangle's attributes from its lane of the batch. Pixels are still
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
};

// Empties the queue and zeroes its lanes, so that those past the length that
// a group reads hold numbers too.
SW_INLINE void clearQueue(PixelQueue& q) {
    const auto clear = [](int32_t* values) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(values), _mm256_setzero_si256());
        _mm256_store_si256(reinterpret_cast<__m256i*>(values + laneCount), _mm256_setzero_si256());
    };
    clear(q.e[0]);
    clear(q.e[1]);
    clear(q.e[2]);
    clear(q.x);
    clear(q.y);
    clear(q.triangle);
    q.length = 0;
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

// Shades the lanes of `lanes` of the queue's first group, no two of them the
// same pixel.
SW_INLINE void shadeQueuedLanes(const PixelQueue& q, __m256i lanes, const Lanes& batch, const Target& t) {
    RenderContext& rc = renderContext;
    SW_COUNT(groups, 1);
    const __m256i triangle = loadVector(q.triangle);
    Lanes l;
    for (int a = 0; a < 4; ++a) {
        for (int c = 0; c < 3; ++c) l.attr[a][c] = _mm256_permutevar8x32_ps(batch.attr[a][c], triangle);
    }
    l.inv = _mm256_permutevar8x32_ps(batch.inv, triangle);
    const __m256 b[3] = {_mm256_cvtepi32_ps(loadVector(q.e[0])), _mm256_cvtepi32_ps(loadVector(q.e[1])),
                         _mm256_cvtepi32_ps(loadVector(q.e[2]))};
    const __m256i depth = depthsOf(b, l);

    // Cell indices; lanes outside `lanes` read cell 0 and write nothing.
    const __m256i x = loadVector(q.x), y = loadVector(q.y);
    alignas(32) int32_t cell[laneCount];
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(cell),
        _mm256_and_si256(lanes, _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(rc.zbuffer.w)), x)));
    const uint32_t* z = rc.zbuffer.buffer;
    const __m256i cells = _mm256_setr_epi32(static_cast<int32_t>(z[cell[0]]), static_cast<int32_t>(z[cell[1]]),
                                            static_cast<int32_t>(z[cell[2]]), static_cast<int32_t>(z[cell[3]]),
                                            static_cast<int32_t>(z[cell[4]]), static_cast<int32_t>(z[cell[5]]),
                                            static_cast<int32_t>(z[cell[6]]), static_cast<int32_t>(z[cell[7]]));
    const __m256i passed = nearerLanes(depth, cells, lanes);
    if (_mm256_testz_si256(passed, passed)) return;

    __m256i written;
    const __m256i colour = texelsAt(b, l, t, passed, written);
    alignas(32) int32_t pixel[laneCount];
    alignas(32) uint32_t colours[laneCount], depths[laneCount];
    _mm256_store_si256(reinterpret_cast<__m256i*>(pixel),
                       _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(rc.framebufferWidth)), x));
    _mm256_store_si256(reinterpret_cast<__m256i*>(colours), colour);
    _mm256_store_si256(reinterpret_cast<__m256i*>(depths), depth);
    for (unsigned bits = laneBits(written); bits != 0; bits &= bits - 1) {
        const int k = __builtin_ctz(bits);
        rc.framebufferPixels[pixel[k]] = colours[k];
        rc.zbuffer.buffer[cell[k]] = depths[k];
    }
}

// Shades the lanes of `lanes` of the queue's first group. Triangles of a
// batch may overlap: where two lanes are the same pixel, each triangle's
// lanes go in turn, first queued first.
SW_INLINE void shadeQueuedGroup(const PixelQueue& q, __m256i lanes, const Lanes& batch, const Target& t) {
    const __m256i triangle = loadVector(q.triangle);
    const __m256i firstTriangle = _mm256_permutevar8x32_epi32(triangle, _mm256_setzero_si256());
    if (!_mm256_testc_si256(_mm256_cmpeq_epi32(triangle, firstTriangle), lanes)) {
        // Depth cell numbers; lanes outside `lanes` get numbers of their own,
        // below 0. Every pair of lanes is some rotation by one to four lanes
        // apart.
        const __m256i cell = _mm256_add_epi32(
            _mm256_mullo_epi32(loadVector(q.y), _mm256_set1_epi32(renderContext.zbuffer.w)), loadVector(q.x));
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
                shadeQueuedLanes(q, one, batch, t);
                rest = _mm256_andnot_si256(one, rest);
            }
            return;
        }
    }
    shadeQueuedLanes(q, lanes, batch, t);
}

// Shades whatever the queue holds.
SW_INLINE void drainPixels(PixelQueue& q, const Lanes& batch, const Target& t) {
    if (q.length == 0) return;
    shadeQueuedGroup(q, _mm256_cmpgt_epi32(_mm256_set1_epi32(q.length), laneColumn<laneCount>()), batch, t);
    q.length = 0;
}

// Boxes at most W pixels wide: one column of blocks down the box, the covered
// pixels queued.
template <int W>
SW_INLINE void queueNarrowBox(const TriangleSetup& s, int32_t triangle, PixelQueue& q, const Lanes& batch,
                              const Target& t) {
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
            shadeQueuedGroup(q, _mm256_set1_epi32(-1), batch, t);
            q.length -= laneCount;
            const auto shift = [](int32_t* values) {
                _mm256_store_si256(reinterpret_cast<__m256i*>(values),
                                   _mm256_load_si256(reinterpret_cast<const __m256i*>(values + laneCount)));
            };
            shift(q.e[0]);
            shift(q.e[1]);
            shift(q.e[2]);
            shift(q.x);
            shift(q.y);
            shift(q.triangle);
        }
    }
}

// Boxes five to eight pixels wide, two rows at a time. When the covered
// pixels of both rows fit in four columns each, the two rows share one 4 x 2
// block, each half starting where its row's pixels start; otherwise each row
// with covered pixels is one block of 8 x 1. Slanted slivers, common in such
// boxes, cover a few pixels per row.
SW_INLINE void scanRowPairs(const TriangleSetup& s, const Lanes& l, const Target& t) {
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
            shadeGroup<4>(l, t, g);
            continue;
        }
        if (a != 0) shadeGroup<laneCount>(l, t, Group{{top[0], top[1], top[2]}, upper, s.minX, y});
        if (b != 0) shadeGroup<laneCount>(l, t, Group{{bottom[0], bottom[1], bottom[2]}, lower, s.minX, y + 1});
    }
}

// Boxes up to twice as wide as a group: every pixel of a row tested in two
// groups side by side, as in scanNarrowBox; for such boxes this costs less
// than working out each row's span. When the row's covered pixels fit in
// eight columns, one group placed where they start shades them all.
SW_INLINE void scanTwoColumns(const TriangleSetup& s, const Lanes& l, const Target& t) {
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
                shadeGroup<laneCount>(l, t, g);
                continue;
            }
        }
        if (left != 0) shadeGroup<laneCount>(l, t, Group{{e[0], e[1], e[2]}, coveredLeft, s.minX, y});
        if (right != 0) shadeGroup<laneCount>(l, t, Group{{r[0], r[1], r[2]}, coveredRight, s.minX + laneCount, y});
    }
}

// Wider boxes of triangles whose edge values are exact (no step wraps), row
// by row, from where the row enters the triangle to where it leaves it.
// Along a row an edge value is zero at column offset -value / stepX, a linear
// function of the row: edges whose values grow to the right bound the
// covered columns from the left, the others from the right. Worked out in
// double precision with a margin far above its rounding error, the bounds are
// never tighter than the exact ones, and the lanes' own edge tests decide
// which pixels are covered.
SW_INLINE void scanSpans(const TriangleSetup& s, const Lanes& l, const Target& t) {
    const double margin = 1.0 / 256.0, inf = std::numeric_limits<double>::infinity();
    alignas(32) double leftStart[4] = {-inf, -inf, -inf, -inf}, leftSlope[4] = {};
    alignas(32) double rightStart[4] = {inf, inf, inf, inf}, rightSlope[4] = {};
    for (int k = 0; k < 3; ++k) {
        const double stepX = s.stepX[k];
        if (s.stepX[k] > 0) {
            leftStart[k] = -s.weight[k] / stepX - margin;
            leftSlope[k] = -s.stepY[k] / stepX;
        } else if (s.stepX[k] < 0) {
            rightStart[k] = -s.weight[k] / stepX + margin;
            rightSlope[k] = -s.stepY[k] / stepX;
        }
    }
    const __m256d left0 = _mm256_load_pd(leftStart), leftD = _mm256_load_pd(leftSlope);
    const __m256d right0 = _mm256_load_pd(rightStart), rightD = _mm256_load_pd(rightSlope);
    const __m128d lastColumn = _mm_set_sd(s.maxX - s.minX);

    const __m256i lane = laneColumn<laneCount>();
    __m256i row[3], rowStep[3], step[3];
    blockStart<laneCount>(s, row);
    for (int k = 0; k < 3; ++k) {
        rowStep[k] = _mm256_set1_epi32(s.stepY[k]);
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepX[k]) * laneCount));
    }
    for (int32_t j = 0; j <= s.maxY - s.minY; ++j, advance(row, rowStep)) {
        const __m256d rowIndex = _mm256_set1_pd(j);
        const __m256d left = _mm256_add_pd(left0, _mm256_mul_pd(rowIndex, leftD));
        const __m256d right = _mm256_add_pd(right0, _mm256_mul_pd(rowIndex, rightD));
        const __m128d left2 = _mm_max_pd(_mm256_castpd256_pd128(left), _mm256_extractf128_pd(left, 1));
        const __m128d right2 = _mm_min_pd(_mm256_castpd256_pd128(right), _mm256_extractf128_pd(right, 1));
        const __m128d first =
            _mm_max_sd(_mm_ceil_sd(left2, _mm_max_sd(left2, _mm_unpackhi_pd(left2, left2))), _mm_setzero_pd());
        const __m128d last =
            _mm_min_sd(_mm_floor_sd(right2, _mm_min_sd(right2, _mm_unpackhi_pd(right2, right2))), lastColumn);
        if (!(_mm_cvtsd_f64(first) <= _mm_cvtsd_f64(last))) continue;
        const int32_t x0 = _mm_cvttsd_si32(first), x1 = _mm_cvttsd_si32(last);
        __m256i offset[3], e[3] = {row[0], row[1], row[2]};
        for (int k = 0; k < 3; ++k) {
            offset[k] = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.stepX[k]) * x0));
        }
        advance(e, offset);
        for (int32_t x = x0; x <= x1; x += laneCount, advance(e, step)) {
            const __m256i inSpan = _mm256_cmpgt_epi32(_mm256_set1_epi32(x1 - x + 1), lane);
            const Group g{{e[0], e[1], e[2]}, coveredLanes(e, inSpan), s.minX + x, s.minY + j};
            if (!_mm256_testz_si256(g.covered, g.covered)) shadeGroup<laneCount>(l, t, g);
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
SW_INLINE bool shadeQueue(const GroupQueue& queue, int count, const Lanes& l, const Target& t) {
    for (int i = 0; i < count; ++i) {
        if (!depthsInRange(l, queue.group[i])) return false;
        shadeGroup<laneCount>(l, t, queue.group[i]);
    }
    return true;
}

// Every pixel of the box, eight at a time in one flat walk along the rows:
// triangles whose edge values may wrap. Returns false when a covered pixel's
// depth fails toDepth's checks. Such triangles are rare, and out of line the
// queue does not widen every other triangle's stack frame.
__attribute__((noinline)) bool scanBox(const TriangleSetup& s, const Lanes& l, const Target& t) {
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
            if (!shadeQueue(queue, groupQueueLength, l, t)) return false;
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
            return shadeQueue(queue, queue.length, l, t);
        }
    }
}

// scanTriangle eight pixels at a time, for the set-up `s` whose attributes
// are lane `lane` of `batch` (those of `s` itself need not be filled in).
// `exactEdges` says that no edge value of the box wraps in 32 bits. Narrow
// boxes' pixels may be left in `queue`, which the caller drains with the same
// batch before anything else is drawn.
void scanTriangleAvx2(TriangleSetup& s, const Lanes& batch, int32_t lane, const Target& t, bool exactEdges,
                      PixelQueue& queue) {
    SW_COUNT(scanned, 1);
    SW_COUNT(boxPixels, boxArea(s.minX, s.minY, s.maxX, s.maxY));
    SW_STAGE(pixel);
    if (s.maxX < s.minX || s.maxY < s.minY) return;
    const int32_t width = s.maxX - s.minX + 1;
    if (t.vector && exactEdges && width <= 4) {
        if (width <= 2) {
            queueNarrowBox<2>(s, lane, queue, batch, t);
        } else {
            queueNarrowBox<4>(s, lane, queue, batch, t);
        }
        return;
    }
    drainPixels(queue, batch, t);
    Lanes l;
    laneOf(batch, lane, l);
    if (!t.vector) {
        storeAttributes(l, s);
        scanTriangle(s);
        return;
    }

    // A depth outside [0, 1) ends the process in toDepth. With exact edge
    // values it cannot happen: a pixel's edge value k is floor(T_k / grid)
    // for the unrounded edge product T_k, and the area is
    // floor((T_0 + T_1 + T_2) / grid), so on a covered pixel the three
    // values, none negative, sum to at most the area. z/w there is a weighted
    // mean of the corners' z/w, which set-up keeps within [0, maxCornerDepth],
    // raised by at most eight roundings of 2^-24 (the weights' conversion,
    // products and sums, 1/area and the product with it): never 1, and no
    // term is negative. Triangles whose edge values may wrap test every group;
    // at the first that fails, scanTriangle goes over the pixels again in its
    // own order and stops at the first such one with its message. What was
    // drawn on the way is lost with the process.
    if (!exactEdges) {
        if (!scanBox(s, l, t)) {
            storeAttributes(l, s);
            scanTriangle(s);
        }
        return;
    }
    if (width <= laneCount) {
        scanRowPairs(s, l, t);
    } else if (width <= 2 * laneCount) {
        scanTwoColumns(s, l, t);
    } else {
        scanSpans(s, l, t);
    }
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

SW_INLINE __m256 withinMagnitude(__m256 v, float limit) {
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    return _mm256_cmp_ps(_mm256_and_ps(v, magnitude), _mm256_set1_ps(limit), _CMP_LE_OQ);
}

}  // namespace

void fillTriangleAvx2(const Vertex& vertex0, const Vertex& vertex1, const Vertex& vertex2, ScreenPosition p0,
                      ScreenPosition p1, ScreenPosition p2) {
    SW_COUNT(reachedSetup, 1);
    SW_STAGE(setup);
    TriangleSetup setup;
    if (setupTriangle(vertex0, vertex1, vertex2, p0, p1, p2, setup)) {
        const bool exactEdges =
            cornerWithin(p0, exactSetupLimit) && cornerWithin(p1, exactSetupLimit) && cornerWithin(p2, exactSetupLimit);
        Lanes l;
        broadcastLanes(setup, l);
        const Target target = drawTarget(renderContext.currentTexture);
        PixelQueue queue;
        clearQueue(queue);
        scanTriangleAvx2(setup, l, 0, target, exactEdges, queue);
        drainPixels(queue, l, target);
    }
    SW_STAGE(vertex);
}

void fillTrianglesAvx2(const ScreenTriangles& t, unsigned lanes) {
    const RenderContext& rc = renderContext;
    SW_COUNT(reachedSetup, __builtin_popcount(lanes));
    SW_STAGE(setup);
    __m256 x[3], y[3];
    for (int c = 0; c < 3; ++c) {
        x[c] = _mm256_load_ps(t.x[c]);
        y[c] = _mm256_load_ps(t.y[c]);
    }
    // The first two tests: twice the signed area at least 0.5 (NaN fails)
    // and every corner within the usable range.
    const __m256 s = _mm256_add_ps(_mm256_mul_ps(_mm256_sub_ps(y[0], y[1]), _mm256_sub_ps(x[2], x[0])),
                                   _mm256_mul_ps(_mm256_sub_ps(y[2], y[0]), _mm256_sub_ps(x[1], x[0])));
    __m256 accepted = _mm256_cmp_ps(s, _mm256_set1_ps(0.5f), _CMP_GE_OQ);
    // Corners within exactSetupLimit (every triangle inside the view volume)
    // are set up here in 32-bit lanes; others one by one with 64-bit products.
    __m256 near = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    for (int c = 0; c < 3; ++c) {
        accepted = _mm256_and_ps(accepted, _mm256_and_ps(withinMagnitude(x[c], maxCornerMagnitude),
                                                         withinMagnitude(y[c], maxCornerMagnitude)));
        near = _mm256_and_ps(
            near, _mm256_and_ps(withinMagnitude(x[c], exactSetupLimit), withinMagnitude(y[c], exactSetupLimit)));
    }
    const unsigned acceptedLanes = lanes & static_cast<unsigned>(_mm256_movemask_ps(accepted));
    if (acceptedLanes == 0) {
        SW_STAGE(vertex);
        return;
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

    // The box, clamped to the framebuffer. Lanes hold no NaN here, so the
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

    struct Lanes32 {
        alignas(32) int32_t v[laneCount];
    };
    Lanes32 box[4], weight[3], stepX[3], stepY[3];
    alignas(32) float area[laneCount];
    _mm256_store_si256(reinterpret_cast<__m256i*>(box[0].v), minX);
    _mm256_store_si256(reinterpret_cast<__m256i*>(box[1].v), minY);
    _mm256_store_si256(reinterpret_cast<__m256i*>(box[2].v), maxX);
    _mm256_store_si256(reinterpret_cast<__m256i*>(box[3].v), maxY);
    _mm256_store_ps(area, _mm256_cvtepi32_ps(doubledArea));
    // Edge values at the box corner and their steps, indexed as in
    // TriangleSetup.
    for (int k = 0; k < 3; ++k) {
        const int a = (k + 1) % 3, b = (k + 2) % 3;
        _mm256_store_si256(reinterpret_cast<__m256i*>(weight[k].v),
                           crossOverGrid(py, Y[a], X[b], X[a], px, X[a], Y[b], Y[a]));
        _mm256_store_si256(reinterpret_cast<__m256i*>(stepX[k].v), _mm256_sub_epi32(Y[a], Y[b]));
        _mm256_store_si256(reinterpret_cast<__m256i*>(stepY[k].v), _mm256_sub_epi32(X[b], X[a]));
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
    clearQueue(queue);
    for (unsigned work = acceptedLanes & (vectorLanes | ~nearLanes); work != 0; work &= work - 1) {
        const int k = __builtin_ctz(work);
        TriangleSetup setup;
        if (((nearLanes >> k) & 1u) == 0) {
            const ScreenPosition p0{t.x[0][k], t.y[0][k], t.z[0][k], t.w[0][k]};
            const ScreenPosition p1{t.x[1][k], t.y[1][k], t.z[1][k], t.w[1][k]};
            const ScreenPosition p2{t.x[2][k], t.y[2][k], t.z[2][k], t.w[2][k]};
            if (setupTriangle(t.vertex[0][3 * k], t.vertex[1][3 * k], t.vertex[2][3 * k], p0, p1, p2, setup)) {
                // Its attributes are not the batch's: what waits is shaded first.
                SW_STAGE(pixel);
                drainPixels(queue, batch, target);
                Lanes l;
                broadcastLanes(setup, l);
                scanTriangleAvx2(setup, l, 0, target, false, queue);
                SW_STAGE(setup);
            }
            continue;
        }
        setup.area = area[k];
        setup.minX = box[0].v[k];
        setup.minY = box[1].v[k];
        setup.maxX = box[2].v[k];
        setup.maxY = box[3].v[k];
#pragma GCC unroll 3
        for (int e = 0; e < 3; ++e) {
            setup.weight[e] = weight[e].v[k];
            setup.stepX[e] = stepX[e].v[k];
            setup.stepY[e] = stepY[e].v[k];
        }
        scanTriangleAvx2(setup, batch, k, target, true, queue);
        SW_STAGE(setup);
    }
    SW_STAGE(pixel);
    drainPixels(queue, batch, target);
    SW_STAGE(vertex);
}
