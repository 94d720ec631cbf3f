#pragma once

#include "base/vertex.h"

// The planes lie a little inside the unit cube in clip space, so corners on
// its faces count as outside; the far plane twice as far inside.
constexpr float clipGuard = 1.00001f;
constexpr float farClipGuard = 1.00002f;

// Added to every screen depth, so that nothing drawn reaches depth 0, the
// value of an empty depth cell.
constexpr float depthBias = 0.00001f;

// Signed-distance planes of the view volume in clip space, in clipping order:
// left, right, bottom, top, near, far. A point is inside a plane when
// a*x + b*y + c*z + d*w >= 0; bit k of an outcode means "outside plane k".
extern const glm::vec4 clipPlanes[6];

// Longest polygon clipping can produce. Against one plane every inside point
// is kept and every edge crossing the plane adds one point. Crossing edges
// alternate in and out, at most twice the smaller of the inside and outside
// counts, so n points become at most n + n/2 (rounded down), whatever the
// rounding: 3, 4, 6, 9, 13, 19, 28 over six planes.
constexpr int maxClippedPoints = 28;

// Where finished screen-space triangles go: scan conversion (fillTriangle or
// a faster path's), or a recorder in tests.
using TriangleSink = void (*)(const Vertex&, const Vertex&, const Vertex&, ScreenPosition, ScreenPosition,
                              ScreenPosition);

// Transforms a triangle by the current matrices, clips it against the view
// volume and hands what is left to `sink`.
void drawTriangle(const Vertex& v1, const Vertex& v2, const Vertex& v3, TriangleSink sink);

// The crossing case of drawTriangle on its own: clips the triangle whose
// corners have the given clip positions and hands the fan to `sink`.
void clipAndEmit(const Vertex& v1, const Vertex& v2, const Vertex& v3, const glm::vec4& c1, const glm::vec4& c2,
                 const glm::vec4& c3, TriangleSink sink);
