// The vector vertex stage against glm: clip positions bit for bit (any NaN
// matching any NaN) and outcodes, with and without flush-to-zero; and the
// test that leaves whole runs of triangles out against glm's outcodes.

#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/mesh.h"
#include "pipeline/fast_transform.h"
#include "pipeline/render_path.h"
#include "pipeline/run_skipping.h"
#include "pipeline/vertex_processing.h"

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float denormal = 1.0e-40f;

// A view like the scene's, and the scene's projection.
const glm::mat4 view =
    glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -2.0f, -7.0f)), 2.3f, glm::vec3(0, 1, 0));
const glm::mat4 perspective = sceneProjection(frameWidth, frameHeight);

bool sameFloat(float a, float b) { return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0; }

void setFlushToZero(bool on) { _MM_SET_FLUSH_ZERO_MODE(on ? _MM_FLUSH_ZERO_ON : _MM_FLUSH_ZERO_OFF); }

// What drawTriangle computes for a corner, w = 1 multiplied in at run time as
// in glm's out-of-line product; and its outcode from the four-term plane sums.
glm::vec4 glmClip(const glm::mat4& model, const glm::mat4& projection, const float p[3]) {
    volatile float unit = 1.0f;
    return projection * (model * glm::vec4(p[0], p[1], p[2], unit));
}

uint32_t planeOutcode(const glm::vec4& p) {
    uint32_t code = 0;
    for (int k = 0; k < 6; ++k) {
        const glm::vec4& c = clipPlanes[k];
        code |= (c.x * p.x + c.y * p.y + c.z * p.z + c.w * p.w < 0.0f) << k;
    }
    return code;
}

// The exact distance of a corner's clip position from plane k (long double
// holds the float products exactly and the sums to 2^-64), the sum of the
// absolute values of its terms (the scale of any rounding), and its gradient
// in the corner's position.
struct ExactDistance {
    long double distance, magnitude, gradient[3];
};

ExactDistance exactDistance(const glm::mat4& model, const glm::mat4& projection, int k, const float p[3]) {
    const long double position[4] = {p[0], p[1], p[2], 1.0L};
    ExactDistance d{};
    for (int j = 0; j < 4; ++j) {
        long double plane = 0.0L, planeAbs = 0.0L, e = 0.0L, eAbs = 0.0L;
        for (int r = 0; r < 4; ++r) {
            plane += static_cast<long double>(clipPlanes[k][r]) * projection[j][r];
            planeAbs += std::fabs(static_cast<long double>(clipPlanes[k][r]) * projection[j][r]);
        }
        for (int i = 0; i < 4; ++i) {
            e += static_cast<long double>(model[i][j]) * position[i];
            eAbs += std::fabs(static_cast<long double>(model[i][j]) * position[i]);
            if (i < 3) d.gradient[i] += plane * model[i][j];
        }
        d.distance += plane * e;
        d.magnitude += planeAbs * eAbs;
    }
    return d;
}

// Moves p along the gradient so that its exact distance from plane k becomes
// `target`, then rounds it to float.
void moveToDistance(const glm::mat4& model, const glm::mat4& projection, int k, long double target, float p[3]) {
    const ExactDistance d = exactDistance(model, projection, k, p);
    const long double* g = d.gradient;
    const long double step = (target - d.distance) / (g[0] * g[0] + g[1] * g[1] + g[2] * g[2]);
    for (int i = 0; i < 3; ++i) p[i] = static_cast<float>(p[i] + step * g[i]);
}

// Whether p's exact distance from every plane but k is at least 1 % of its
// scale.
bool insideOtherPlanes(const glm::mat4& model, const glm::mat4& projection, int k, const float p[3]) {
    for (int plane = 0; plane < 6; ++plane) {
        const ExactDistance d = exactDistance(model, projection, plane, p);
        if (plane != k && d.distance < 0.01L * d.magnitude) return false;
    }
    return true;
}

}  // namespace

TEST(FastTransform, matchesGlmOnRandomAndSpecialInputs) {
    if (!renderPathSupported(RenderPath::avx2)) GTEST_SKIP() << "this processor has no AVX2";
    std::mt19937 random(7);
    std::uniform_real_distribution<float> entry(-4.0f, 4.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);

    // Matrix pairs (model, projection): the scene's, random ones of mixed
    // magnitude, and ones with denormal, zero and huge entries, the
    // translation column included (flush-to-zero acts on its product with
    // w = 1 too).
    std::vector<glm::mat4> matrices = {view, perspective};
    for (int i = 0; i < 12; ++i) {
        glm::mat4 m;
        for (int k = 0; k < 16; ++k) m[k / 4][k % 4] = std::ldexp(entry(random), i < 6 ? 0 : exponent(random));
        matrices.push_back(m);
    }
    // Given by column: denormal entries, a negative zero and a huge translation.
    const glm::mat4 awkward(1, denormal, 0, 0, 0, 1, 0, 0, 0, 0, -0.0f, 0, denormal, -denormal, 3.0e38f, 1);
    matrices.insert(matrices.end(), {awkward, perspective, perspective, awkward, glm::mat4(2.0e38f), perspective});

    // Mostly ordinary coordinates, now and then a special one.
    std::vector<float> values = {notANumber, inf,    -inf,    0.0f,     -0.0f, denormal, -denormal, 1.0e-38f,
                                 3e38f,      -3e38f, 1.0e20f, -1.0e20f, 1.0f,  -1.0f,    0.5f,      7.0f};
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f);
    while (values.size() < 200) values.push_back(spread(random));
    std::uniform_int_distribution<size_t> any(0, values.size() - 1), ordinary(16, values.size() - 1);

    size_t nanLanes = 0, outsideLanes = 0;
    for (const bool flushToZero : {false, true}) {
        setFlushToZero(flushToZero);
        for (size_t m = 0; m + 1 < matrices.size(); m += 2) {
            for (int batch = 0; batch < 64; ++batch) {
                float x[8], y[8], z[8];
                for (int k = 0; k < 8; ++k) {
                    x[k] = values[batch < 8 ? any(random) : ordinary(random)];
                    y[k] = values[any(random)];
                    z[k] = values[batch % 2 ? any(random) : ordinary(random)];
                }
                ClipLanes got;
                transformToClipAvx2(matrices[m], matrices[m + 1], x, y, z, got);
                for (int k = 0; k < 8; ++k) {
                    const float p[3] = {x[k], y[k], z[k]};
                    const glm::vec4 want = glmClip(matrices[m], matrices[m + 1], p);
                    const glm::vec4 lane(got.x[k], got.y[k], got.z[k], got.w[k]);
                    const uint32_t outcode = planeOutcode(want);
                    SCOPED_TRACE(::testing::Message() << "matrices " << m << ", position (" << x[k] << ", " << y[k]
                                                      << ", " << z[k] << "), flush-to-zero " << flushToZero);
                    for (int i = 0; i < 4; ++i) EXPECT_PRED2(sameFloat, lane[i], want[i]) << "coordinate " << i;
                    EXPECT_EQ(got.outcode[k], outcode);
                    nanLanes += std::isnan(want.x) || std::isnan(want.w);
                    outsideLanes += outcode != 0;
                }
            }
        }
    }
    setFlushToZero(false);
    // The inputs did reach the awkward cases.
    EXPECT_GT(nanLanes, 100u);
    EXPECT_GT(outsideLanes, 1000u);
}

// Runs of triangles placed at chosen distances from each clip plane, under
// matrices of ordinary, huge, tiny and near-denormal scale: a run placed
// outside must be one whose every triangle drawTriangle drops whole (all
// corners finite and outside one common plane, as glm computes them), and a
// run placed inside one whose every corner has outcode 0. A narrow run well
// past the float rounding (1e-5 of the distance's scale) outside one plane
// must be placed outside, and one that far inside every plane, inside.
TEST(RunSkipping, placesRunsAsTheReferenceClipsTheirTriangles) {
    if (!renderPathSupported(RenderPath::avx2)) GTEST_SKIP() << "this processor has no AVX2";
    struct Case {
        glm::mat4 model, projection;
        float positions;  // the scale of the corners' coordinates
    };
    const Case cases[] = {
        {view, perspective, 20.0f},
        {glm::scale(view, glm::vec3(0x1p-100f)), perspective, 20.0f * 0x1p100f},
        {glm::scale(view, glm::vec3(0x1p100f)), perspective, 20.0f * 0x1p-100f},
        {view, perspective * 0x1p-118f, 20.0f},  // products and sums near and below 2^-126
        {glm::mat4(1.0f), glm::mat4(1.0f), 1.0e-38f},
    };
    // Target distances as fractions of the run's first corner's scale, on
    // either side of the plane: far from it, just past the rounding, within
    // it, on the plane.
    const long double offsets[] = {0.3L,   3e-5L,  1e-5L,  1e-6L,  3e-7L,  1e-7L,  1e-8L,  1e-9L, 0.0L,
                                   -1e-9L, -1e-8L, -1e-7L, -3e-7L, -1e-6L, -1e-5L, -3e-5L, -0.3L};
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    size_t skipped = 0, mustSkip = 0, nearPlaneKept = 0, proven = 0, mustProve = 0, nearPlaneClipped = 0;
    for (const bool flushToZero : {false, true}) {
        setFlushToZero(flushToZero);
        for (const Case& c : cases) {
            const RunSkipTest test = makeRunSkipTest(c.model, c.projection);
            for (int k = 0; k < 6; ++k) {
                for (const long double offset : offsets) {
                    for (int trial = 0; trial < 24; ++trial) {
                        // Eight triangles around one point, from all at the
                        // point to a spread of a tenth of the scale.
                        const float spread = c.positions * (trial % 3 == 0 ? 0.0f : trial % 3 == 1 ? 1e-6f : 0.1f);
                        // Odd trials start from a point well inside every
                        // other plane, if one turns up in a hundred tries,
                        // so that runs near plane k can be inside.
                        float base[3];
                        for (int attempt = 0; attempt < (trial % 2 ? 100 : 1); ++attempt) {
                            for (float& coordinate : base) coordinate = c.positions * unit(random);
                            if (insideOtherPlanes(c.model, c.projection, k, base)) break;
                        }
                        const long double scale = exactDistance(c.model, c.projection, k, base).magnitude;
                        std::vector<Vertex> corners(24);
                        for (Vertex& v : corners) {
                            for (int i = 0; i < 3; ++i) v.position[i] = base[i] + spread * unit(random);
                            moveToDistance(c.model, c.projection, k, offset * scale, v.position);
                        }
                        if (trial == 23) corners[5].position[1] = inf;  // never left out
                        const Mesh mesh = makeMesh(corners, 0);
                        ASSERT_EQ(mesh.runs.size(), 1u);
                        const RunPlace place = placeRun(test, mesh.runs[0]);
                        const bool skip = place == RunPlace::outside, inside = place == RunPlace::inside;
                        // A wide run's box reaches further than its corners.
                        bool wellPast = trial != 23 && trial % 3 != 2, wellInside = wellPast;
                        bool dropped = true, unclipped = true;
                        for (size_t t = 0; t < 8; ++t) {
                            uint32_t common = 63, finite = 1;
                            for (size_t i = 3 * t; i < 3 * t + 3; ++i) {
                                const float* p = corners[i].position;
                                const glm::vec4 clip = glmClip(c.model, c.projection, p);
                                finite &= !glm::any(glm::isnan(clip)) && !glm::any(glm::isinf(clip));
                                common &= planeOutcode(clip);
                                unclipped = unclipped && planeOutcode(clip) == 0;
                                const ExactDistance d = exactDistance(c.model, c.projection, k, p);
                                wellPast = wellPast && d.distance <= -1e-5L * d.magnitude && d.distance <= -0x1p-115L;
                                for (int plane = 0; plane < 6; ++plane) {
                                    const ExactDistance e = exactDistance(c.model, c.projection, plane, p);
                                    wellInside =
                                        wellInside && e.distance >= 1e-5L * e.magnitude && e.distance >= 0x1p-115L;
                                }
                            }
                            dropped = dropped && finite && common != 0;
                        }
                        SCOPED_TRACE(::testing::Message() << "case " << (&c - cases) << ", plane " << k << ", offset "
                                                          << static_cast<double>(offset) << ", trial " << trial
                                                          << ", flush-to-zero " << flushToZero);
                        EXPECT_TRUE(!skip || dropped);
                        EXPECT_TRUE(skip || !wellPast);
                        EXPECT_TRUE(!inside || unclipped);
                        EXPECT_TRUE(inside || !wellInside);
                        skipped += skip;
                        mustSkip += wellPast;
                        nearPlaneKept += !dropped && offset < 0.0L && offset > -1e-6L;
                        proven += inside;
                        mustProve += wellInside;
                        nearPlaneClipped += !unclipped && offset >= 0.0L && offset < 1e-6L;
                    }
                }
            }
        }
    }
    setFlushToZero(false);
    // The cases did reach both sides of the rounding.
    EXPECT_GT(mustSkip, 1000u);
    EXPECT_GT(skipped, mustSkip);
    EXPECT_GT(nearPlaneKept, 100u);
    EXPECT_GT(mustProve, 300u);
    EXPECT_GT(proven, mustProve);
    EXPECT_GT(nearPlaneClipped, 100u);

    // Matrices with an entry that is not finite, and corners whose transform
    // overflows, prove nothing.
    glm::mat4 broken = glm::mat4(1.0f);
    broken[1][2] = notANumber;
    const RunBounds farOut = {{-1e6f, -1e6f, -1e6f}, {-1e6f + 1, -1e6f + 1, -1e6f + 1}};
    const RunBounds ahead = {{-0.1f, -0.1f, -5.1f}, {0.1f, 0.1f, -4.9f}};
    const RunBounds huge = {{-3e38f, 0, 0}, {-2e38f, 1, 1}};
    const RunSkipTest ordinary = makeRunSkipTest(glm::mat4(1.0f), perspective);
    EXPECT_EQ(placeRun(ordinary, farOut), RunPlace::outside);
    EXPECT_EQ(placeRun(ordinary, ahead), RunPlace::inside);
    EXPECT_EQ(placeRun(ordinary, huge), RunPlace::unproven);
    for (const RunSkipTest& test : {makeRunSkipTest(broken, perspective), makeRunSkipTest(glm::mat4(1.0f), broken)}) {
        EXPECT_EQ(placeRun(test, farOut), RunPlace::unproven);
        EXPECT_EQ(placeRun(test, ahead), RunPlace::unproven);
    }
}
