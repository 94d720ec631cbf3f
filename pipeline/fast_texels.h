#pragma once

// Texels for eight pixels at a time: where a draw's texels come from, their
// wrapped look-up, and the perspective-correct texture coordinates of a
// group. A part of pipeline/fast_scan.cpp, like pipeline/fast_lanes.h.

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "assets/texture.h"
#include "pipeline/fast_lanes.h"
#include "pipeline/render_context.h"
#include "pipeline/zbuffer.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

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

}  // namespace

#pragma GCC pop_options
