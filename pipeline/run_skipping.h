#pragma once

#include <glm/glm.hpp>

#include "assets/mesh.h"

// Whether a whole run of triangles can be left out of a draw: only when every
// corner of every triangle in it is certain to have finite clip coordinates
// and to lie outside one common clip plane as drawTriangle computes them in
// float, so that drawTriangle would drop each of its triangles whole.

// The test for one pair of matrices, prepared once per draw. With d(p) the
// exact signed distance of corner p's exact clip position from plane k:
// d(p) = sum over i of distance[k][i] * (x, y, z, 1)[i], and the float
// distance's error is at most (the scale below) times
// sum over i of magnitude[k][i] * (|x|, |y|, |z|, 1)[i], plus tiny[k].
struct RunSkipTest {
    double distance[6][4];
    double magnitude[6][4];
    double tiny[6];
    double growth;  // no float value met on the way exceeds growth * max(|x|, |y|, |z|, 1)
    bool usable;    // every matrix entry is finite
};

RunSkipTest makeRunSkipTest(const glm::mat4& model, const glm::mat4& projection);

// Whether every corner inside the box is outside one clip plane, proven.
bool runIsOutside(const RunSkipTest& test, const RunBounds& run);
