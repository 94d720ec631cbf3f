#pragma once

#include <glm/glm.hpp>

#include "assets/mesh.h"

// Whether a whole run of triangles can be left out of a draw: only when every
// corner of every triangle in it is certain to have finite clip coordinates
// and to lie outside one common clip plane as drawTriangle computes them in
// float, so that drawTriangle would drop each of its triangles whole.

// The test for one pair of matrices, prepared once per draw. With d(p) the
// exact signed distance of corner p's exact clip position from plane k, the
// float distance drawTriangle computes is below 0 wherever
// constant[k] + sum over i of (max(slope[i][k] min_i, slope[i][k] max_i) + error[i][k] |p_i|)
// is, over the box [min, max] that holds p.
// Each array holds the six planes and two more that never prove anything (an
// infinite constant), so that the test runs four planes at a time.
struct RunSkipTest {
    alignas(32) double constant[8];
    alignas(32) double slope[3][8];
    alignas(32) double error[3][8];
    double reachLimit;  // no float value on the way overflows while every |p_i| is below this
    bool usable;        // every matrix entry is finite
};

RunSkipTest makeRunSkipTest(const glm::mat4& model, const glm::mat4& projection);

// Whether every corner inside the box is outside one clip plane, proven.
// Compiled for AVX2, as the one path that leaves runs out.
bool runIsOutside(const RunSkipTest& test, const RunBounds& run);
