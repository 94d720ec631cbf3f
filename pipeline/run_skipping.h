#pragma once

#include <glm/glm.hpp>

#include "assets/mesh.h"

// Where a whole run of triangles lies against the view volume, as far as its
// box proves it. Outside: every corner of every triangle in it is certain to
// have finite clip coordinates and to lie outside one common clip plane as
// drawTriangle computes them in float, so that drawTriangle would drop each
// of its triangles whole; the run can be left out of the draw. Inside: every
// corner is certain to lie outside no plane, so that drawTriangle would send
// each triangle to scan conversion unclipped; the run needs no outcodes.
enum class RunPlace { outside, inside, unproven };

// The test for one pair of matrices, prepared once per draw. With d(p) the
// exact signed distance of corner p's exact clip position from plane k, the
// float distance drawTriangle computes is below 0 wherever
// outsideConstant[k] + sum over i of (max(slope[i][k] min_i, slope[i][k] max_i) + error[i][k] |p_i|)
// is, and at least 0 wherever
// insideConstant[k] + sum over i of (min(slope[i][k] min_i, slope[i][k] max_i) - error[i][k] |p_i|)
// is, over the box [min, max] that holds p.
// Each array holds the six planes and two more that never prove a run outside
// and never keep one from being inside (infinite constants), so that the test
// runs four planes at a time.
struct RunSkipTest {
    alignas(32) double outsideConstant[8];
    alignas(32) double insideConstant[8];
    alignas(32) double slope[3][8];
    alignas(32) double error[3][8];
    double reachLimit;  // no float value on the way overflows while every |p_i| is below this
    bool usable;        // every matrix entry is finite
};

RunSkipTest makeRunSkipTest(const glm::mat4& model, const glm::mat4& projection);

// Where every corner inside the box lies, if proven. Compiled for AVX2, as
// the one path that places runs.
RunPlace placeRun(const RunSkipTest& test, const RunBounds& run);
