#include "pipeline/run_skipping.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "pipeline/vertex_processing.h"

namespace {

// How far the float distance of a corner can be from the exact one.
//
// A corner is carried to clip space as c = P (M p) with p = (x, y, z, 1), each
// product of a matrix row with a vector summed as four float products (glm
// sums them pairwise; any order of four terms gives the same bound). With
// u = 2^-24, every float operation that does not overflow returns
// r (1 + e) + t with |e| <= u and |t| <= 2^-126, t covering a tiny result
// flushed to zero. Four products and three sums then err by at most
// g E + 8 * 2^-126, where g = 4u / (1 - 4u) and E is the same sum of the
// absolute values of the terms. Through both matrices, clip row r errs by at
// most (2g + g^2) C_r + 8 * 2^-126 (1 + g) S_r + 8 * 2^-126, with
// C = |P| (|M| |p|) and S_r the sum of row r of |P|.
//
// The distance from plane k is ((a cx + 0 cy) + 0 cz) + 1 cw for the plane's
// one non-zero axis coefficient a (on x here): the zero terms are exact for
// finite coordinates, so it is one product and one sum, adding
// u (|a| |cx| + |d|) and two flushes. In all, the float distance is within
// 10.0001 u (|a| C_x + C_w) + 19.1 * 2^-126 + 8.0001 * 2^-126 (|a| S_x + S_w)
// of the exact one. The scale below takes 16u: the 6u to spare cover, many
// times over, the rounding of this bound's own double arithmetic (a few
// units of 2^-53 of the same magnitude sum), and the floor takes
// 16 * 2^-126 (|a| S_x + S_w) + 32 * 2^-126.
//
// The bound holds both ways: the float distance lies below the exact one plus
// it, and above the exact one minus it.
//
// All of this holds while no float value on the way overflows: every one is at
// most about the largest of E and C, so runs whose bound on those exceeds
// 2^120 are never skipped, nor are any when a matrix entry is not finite. The
// scale is a power of two, so folding it into the prepared terms is exact.
constexpr double roundoff = 0x1p-24;
constexpr double errorScale = 16.0 * roundoff;
constexpr double flushed = 0x1p-126;
constexpr double magnitudeLimit = 0x1p120;

}  // namespace

RunSkipTest makeRunSkipTest(const glm::mat4& model, const glm::mat4& projection) {
    RunSkipTest test{};
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            if (!std::isfinite(model[c][r]) || !std::isfinite(projection[c][r])) return test;
        }
    }
    // Column-major: e_j = sum over i of model[i][j] p_i, c_r = sum over j of projection[j][r] e_j.
    double modelRow[4], growth = 0.0;
    for (int j = 0; j < 4; ++j) {
        modelRow[j] = 0.0;
        for (int i = 0; i < 4; ++i) modelRow[j] += std::fabs(static_cast<double>(model[i][j]));
        growth = std::max(growth, modelRow[j]);
    }
    for (int r = 0; r < 4; ++r) {
        double clipRow = 0.0;
        for (int j = 0; j < 4; ++j) clipRow += std::fabs(static_cast<double>(projection[j][r])) * modelRow[j];
        growth = std::max(growth, clipRow);
    }
    // Position coordinates up to reachLimit keep every |M| |p| and |P| |M| |p|
    // within growth * max(1, reachLimit) <= magnitudeLimit.
    if (!(growth <= magnitudeLimit)) return test;
    test.usable = true;
    const double inf = std::numeric_limits<double>::infinity();
    test.outsideConstant[6] = test.outsideConstant[7] = inf;
    test.insideConstant[6] = test.insideConstant[7] = inf;
    test.reachLimit = growth > 1.0 ? magnitudeLimit / growth : magnitudeLimit;
    for (int k = 0; k < 6; ++k) {
        const glm::vec4& plane = clipPlanes[k];
        double rowSums = 0.0, coefficient[4], size[4];
        for (int j = 0; j < 4; ++j) {
            coefficient[j] = 0.0;
            size[j] = 0.0;
            for (int r = 0; r < 4; ++r) {
                coefficient[j] += static_cast<double>(plane[r]) * projection[j][r];
                size[j] += std::fabs(static_cast<double>(plane[r]) * projection[j][r]);
            }
            rowSums += size[j];
        }
        double distance[4], magnitude[4];
        for (int i = 0; i < 4; ++i) {
            distance[i] = 0.0;
            magnitude[i] = 0.0;
            for (int j = 0; j < 4; ++j) {
                distance[i] += coefficient[j] * model[i][j];
                magnitude[i] += size[j] * std::fabs(static_cast<double>(model[i][j]));
            }
        }
        for (int i = 0; i < 3; ++i) {
            test.slope[i][k] = distance[i];
            test.error[i][k] = errorScale * magnitude[i];
        }
        const double flushFloor = 16.0 * flushed * rowSums + 32.0 * flushed;
        test.outsideConstant[k] = distance[3] + errorScale * magnitude[3] + flushFloor;
        test.insideConstant[k] = distance[3] - errorScale * magnitude[3] - flushFloor;
    }
    return test;
}

#pragma GCC target("avx2")

RunPlace placeRun(const RunSkipTest& test, const RunBounds& run) {
    if (!test.usable) return RunPlace::unproven;
    double extent[3];
    for (int i = 0; i < 3; ++i) {
        const double low = std::fabs(static_cast<double>(run.min[i])),
                     high = std::fabs(static_cast<double>(run.max[i]));
        if (!(low <= test.reachLimit && high <= test.reachLimit)) return RunPlace::unproven;  // NaN bounds fail here
        extent[i] = std::max(low, high);
    }
    // The distance is affine in the position: its largest and smallest values
    // over the box are at corners, taking each coordinate's larger or smaller
    // term. The terms are finite, so the vector maximum and minimum pick what
    // std::max and std::min would, up to the sign of a zero, which cannot
    // change the sign of a sum.
    __m256d upper[2] = {_mm256_load_pd(test.outsideConstant), _mm256_load_pd(test.outsideConstant + 4)};
    __m256d lower[2] = {_mm256_load_pd(test.insideConstant), _mm256_load_pd(test.insideConstant + 4)};
    for (int i = 0; i < 3; ++i) {
        const __m256d low = _mm256_set1_pd(run.min[i]), high = _mm256_set1_pd(run.max[i]);
        const __m256d reach = _mm256_set1_pd(extent[i]);
        for (int h = 0; h < 2; ++h) {
            const __m256d slope = _mm256_load_pd(test.slope[i] + 4 * h);
            const __m256d atLow = _mm256_mul_pd(slope, low), atHigh = _mm256_mul_pd(slope, high);
            const __m256d error = _mm256_mul_pd(_mm256_load_pd(test.error[i] + 4 * h), reach);
            upper[h] = _mm256_add_pd(upper[h], _mm256_add_pd(_mm256_max_pd(atLow, atHigh), error));
            lower[h] = _mm256_add_pd(lower[h], _mm256_sub_pd(_mm256_min_pd(atLow, atHigh), error));
        }
    }
    const __m256d zero = _mm256_setzero_pd();
    if ((_mm256_movemask_pd(_mm256_cmp_pd(upper[0], zero, _CMP_LT_OQ)) |
         _mm256_movemask_pd(_mm256_cmp_pd(upper[1], zero, _CMP_LT_OQ))) != 0) {
        return RunPlace::outside;
    }
    const bool inside = (_mm256_movemask_pd(_mm256_cmp_pd(lower[0], zero, _CMP_GE_OQ)) &
                         _mm256_movemask_pd(_mm256_cmp_pd(lower[1], zero, _CMP_GE_OQ))) == 0xF;
    return inside ? RunPlace::inside : RunPlace::unproven;
}
