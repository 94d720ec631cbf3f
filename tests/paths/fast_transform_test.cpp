// The vector vertex stage against glm: clip positions bit for bit (any NaN
// matching any NaN) and outcodes, with and without flush-to-zero.

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
#include "pipeline/fast_transform.h"
#include "pipeline/render_path.h"
#include "pipeline/vertex_processing.h"

namespace {

constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float denormal = 1.0e-40f;

bool sameFloat(float a, float b) { return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0; }

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
    const glm::mat4 perspective = sceneProjection(frameWidth, frameHeight);
    std::vector<glm::mat4> matrices = {
        glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, -2.0f, -7.0f)), 2.3f, glm::vec3(0, 1, 0)),
        perspective};
    for (int i = 0; i < 12; ++i) {
        glm::mat4 m;
        for (int k = 0; k < 16; ++k) m[k / 4][k % 4] = std::ldexp(entry(random), i < 6 ? 0 : exponent(random));
        matrices.push_back(m);
    }
    glm::mat4 awkward(1.0f);
    awkward[0][1] = awkward[3][0] = denormal;
    awkward[2][2] = -0.0f;
    awkward[3][1] = -denormal;
    awkward[3][2] = 3.0e38f;
    matrices.insert(matrices.end(), {awkward, perspective, perspective, awkward, glm::mat4(2.0e38f), perspective});

    // Mostly ordinary coordinates, now and then a special one.
    std::vector<float> values = {notANumber, inf,     -inf,     0.0f, -0.0f, denormal, -denormal, 1.0e-38f,
                                 3e38f,      -3e38f,  1.0e20f,  -1.0e20f, 1.0f, -1.0f, 0.5f,     7.0f};
    std::uniform_real_distribution<float> spread(-20.0f, 20.0f);
    while (values.size() < 200) values.push_back(spread(random));
    std::uniform_int_distribution<size_t> any(0, values.size() - 1), ordinary(16, values.size() - 1);

    const unsigned savedCsr = _mm_getcsr();
    size_t nanLanes = 0, outsideLanes = 0;
    for (const bool flushToZero : {false, true}) {
        _mm_setcsr(flushToZero ? savedCsr | 0x8000u : savedCsr & ~0x8000u);
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
                    // What drawTriangle computes, w = 1 multiplied in at run
                    // time as in glm's out-of-line product; and its outcode
                    // from the four-term plane sums.
                    volatile float unit = 1.0f;
                    const glm::vec4 want = matrices[m + 1] * (matrices[m] * glm::vec4(x[k], y[k], z[k], unit));
                    uint32_t outcode = 0;
                    for (int p = 0; p < 6; ++p) {
                        const glm::vec4& c = clipPlanes[p];
                        outcode |= (c.x * want.x + c.y * want.y + c.z * want.z + c.w * want.w < 0.0f) << p;
                    }
                    SCOPED_TRACE(::testing::Message() << "matrices " << m << ", position (" << x[k] << ", " << y[k]
                                                      << ", " << z[k] << "), flush-to-zero " << flushToZero);
                    EXPECT_TRUE(sameFloat(got.x[k], want.x) && sameFloat(got.y[k], want.y) &&
                                sameFloat(got.z[k], want.z) && sameFloat(got.w[k], want.w))
                        << "got (" << got.x[k] << ", " << got.y[k] << ", " << got.z[k] << ", " << got.w[k]
                        << "), glm " << want.x << ", " << want.y << ", " << want.z << ", " << want.w << ")";
                    EXPECT_EQ(got.outcode[k], outcode);
                    nanLanes += std::isnan(want.x) || std::isnan(want.w);
                    outsideLanes += outcode != 0;
                }
            }
        }
    }
    _mm_setcsr(savedCsr);
    // The inputs did reach the awkward cases.
    EXPECT_GT(nanLanes, 100u);
    EXPECT_GT(outsideLanes, 1000u);
}
