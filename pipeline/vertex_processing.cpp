#include "pipeline/vertex_processing.h"

#include <cmath>
#include <cstdint>

#include "base/check.h"
#include "pipeline/rasterizer.h"
#include "pipeline/render_context.h"
#include "pipeline/stage_counters.h"

const glm::vec4 clipPlanes[6] = {
    {clipGuard, 0.0f, 0.0f, 1.0f},  {-clipGuard, 0.0f, 0.0f, 1.0f}, {0.0f, clipGuard, 0.0f, 1.0f},
    {0.0f, -clipGuard, 0.0f, 1.0f}, {0.0f, 0.0f, clipGuard, 1.0f},  {0.0f, 0.0f, -farClipGuard, 1.0f},
};

TriangleSink triangleSink = fillTriangle;

namespace {

float planeDistance(const glm::vec4& plane, const glm::vec4& p) {
    return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w * p.w;
}

uint32_t outcode(const glm::vec4& p) {
    uint32_t code = 0;
    for (int k = 0; k < 6; ++k) {
        if (planeDistance(clipPlanes[k], p) < 0.0f) code |= 1u << k;
    }
    return code;
}

ScreenPosition project(const glm::vec4& clip) {
    const RenderContext& rc = renderContext;
    const float hw = static_cast<float>(rc.framebufferWidth) * 0.5f;
    const float hh = static_cast<float>(rc.framebufferHeight) * 0.5f;
    const float ndcX = clip.x / clip.w;
    const float ndcY = clip.y / clip.w;
    const float ndcZ = clip.z / clip.w;
    return {(ndcX * hw + hw) + ndcX, (hh - ndcY * hh) + ndcY, (ndcZ + 1.0f) * 0.5f + depthBias, clip.w};
}

// Colours are carried, never shown; a clipped point's colour is the weighted
// sum of the corners', kept within the integer range (non-numbers become 0).
int32_t blendColour(const glm::vec3& b, int32_t c1, int32_t c2, int32_t c3) {
    const float sum = b.x * static_cast<float>(c1) + b.y * static_cast<float>(c2) + b.z * static_cast<float>(c3);
    if (!(sum == sum)) return 0;
    if (sum >= 2147483648.0f) return INT32_MAX;
    if (sum < -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(sum);
}

// The attributes of a polygon point from its corner weights. Corners of the
// source triangle are copied, so they keep their attributes bit for bit.
Vertex rebuildVertex(const glm::vec3& b, const Vertex& v1, const Vertex& v2, const Vertex& v3) {
    if (b.x == 1.0f && b.y * b.z == 0.0f) return v1;
    if (b.y == 1.0f && b.x * b.z == 0.0f) return v2;
    if (b.z == 1.0f && b.x * b.y == 0.0f) return v3;
    Vertex out;
    for (int k = 0; k < 3; ++k) {
        out.position[k] = b.x * v1.position[k] + b.y * v2.position[k] + b.z * v3.position[k];
        out.normal[k] = b.x * v1.normal[k] + b.y * v2.normal[k] + b.z * v3.normal[k];
    }
    for (int k = 0; k < 2; ++k) {
        out.texcoord[k] = b.x * v1.texcoord[k] + b.y * v2.texcoord[k] + b.z * v3.texcoord[k];
    }
    for (int k = 0; k < 4; ++k) {
        out.color[k] = blendColour(b, v1.color[k], v2.color[k], v3.color[k]);
    }
    return out;
}

// The point where the edge from cur to next crosses the plane.
ClipVertex crossingPoint(const ClipVertex& cur, const ClipVertex& next, float dc, float dn) {
    const float t = dc / (dc - dn);
    return {cur.clip + (next.clip - cur.clip) * t, cur.weights + (next.weights - cur.weights) * t};
}

// Clips the polygon in `in` against one plane into `out`; returns its length.
int clipAgainstPlane(const glm::vec4& plane, const ClipVertex* in, int n, ClipVertex* out) {
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const ClipVertex& cur = in[i];
        const ClipVertex& next = in[(i + 1) % n];
        const float dc = planeDistance(plane, cur.clip);
        const float dn = planeDistance(plane, next.clip);
        if (dc >= 0.0f && dn >= 0.0f) {
            out[count++] = cur;
        } else if (dc < 0.0f && dn >= 0.0f) {
            out[count++] = crossingPoint(cur, next, dc, dn);
        } else if (dc >= 0.0f && dn < 0.0f) {
            out[count++] = cur;
            out[count++] = crossingPoint(cur, next, dc, dn);
        } else if (!(dc < 0.0f && dn < 0.0f)) {
            // Only a distance that is not a number gets here.
            reportOnce("false && \"This shouldn't happen\"", "main");
        }
    }
    return count;
}

void drawClipped(const Vertex& v1, const Vertex& v2, const Vertex& v3, const glm::vec4& c1, const glm::vec4& c2,
                 const glm::vec4& c3, TriangleSink sink) {
    ClipVertex lists[2][maxClippedPoints];
    ClipVertex* in = lists[0];
    ClipVertex* out = lists[1];
    in[0] = {c1, {1.0f, 0.0f, 0.0f}};
    in[1] = {c2, {0.0f, 1.0f, 0.0f}};
    in[2] = {c3, {0.0f, 0.0f, 1.0f}};
    int n = 3;
    for (const glm::vec4& plane : clipPlanes) {
        n = clipAgainstPlane(plane, in, n, out);
        ClipVertex* swap = in;
        in = out;
        out = swap;
    }
    if (n < 3) return;

    Vertex rebuilt[maxClippedPoints];
    ScreenPosition screen[maxClippedPoints];
    for (int i = 0; i < n; ++i) {
        rebuilt[i] = rebuildVertex(in[i].weights, v1, v2, v3);
        screen[i] = project(in[i].clip);
    }
    for (int i = 1; i + 1 < n; ++i) {
        sink(rebuilt[i + 1], rebuilt[i], rebuilt[0], screen[i + 1], screen[i], screen[0]);
    }
}

glm::vec4 toClipSpace(const Vertex& v) {
    const RenderContext& rc = renderContext;
    return rc.projection * (rc.modelMatrix * glm::vec4(v.position[0], v.position[1], v.position[2], 1.0f));
}

}  // namespace

void drawTriangle(const Vertex& v1, const Vertex& v2, const Vertex& v3) {
    const glm::vec4 c1 = toClipSpace(v1);
    const glm::vec4 c2 = toClipSpace(v2);
    const glm::vec4 c3 = toClipSpace(v3);
    const uint32_t o1 = outcode(c1), o2 = outcode(c2), o3 = outcode(c3);
    SW_COUNT(submitted, 1);
    if ((o1 & o2 & o3) != 0) {
        SW_COUNT(dropped, 1);
        return;
    }
    if ((o1 | o2 | o3) == 0) {
        triangleSink(v3, v2, v1, project(c3), project(c2), project(c1));
        return;
    }
    SW_COUNT(crossing, 1);
    drawClipped(v1, v2, v3, c1, c2, c3, triangleSink);
}

void clipAndEmit(const Vertex& v1, const Vertex& v2, const Vertex& v3, const glm::vec4& c1, const glm::vec4& c2,
                 const glm::vec4& c3, TriangleSink sink) {
    drawClipped(v1, v2, v3, c1, c2, c3, sink);
}
