#pragma once

// Where a frame's work goes, per stage of a render path: counts of the
// triangles and pixels each stage passes on, and the time spent in each.
// Gathered only in the counting build (SCANWEAVER_STAGE_COUNTERS defined, the
// "-stages" targets); everywhere else the macros below compile to nothing.

#ifdef SCANWEAVER_STAGE_COUNTERS

#include <x86intrin.h>

#include <cstdint>

// The stage the clock is charging: `other` is everything outside the draw
// calls (clearing, the depth view).
enum class Stage { other, vertex, setup, pixel };
constexpr int stageCount = 4;

struct StageCounters {
    uint64_t submitted;     // triangles handed to the draw calls
    uint64_t skipped;       // of those, left out with their whole run
    uint64_t unclipped;     // transformed in runs proven inside, without outcodes
    uint64_t dropped;       // transformed, then found outside one plane
    uint64_t crossing;      // sent to the clipper
    uint64_t reachedSetup;  // triangles (clipped pieces included) given to set-up
    uint64_t scanned;       // set up with pixels to visit (the others face away or are too small)
    uint64_t boxPixels;     // pixels in the bounding boxes of the scanned ones
    uint64_t covered;       // box pixels inside their triangle
    uint64_t depthPassed;   // covered pixels nearer than the depth cell
    uint64_t written;       // of those, texels not fully transparent
    uint64_t groups;        // eight-lane pixel groups shaded (vector path only)
    uint64_t ticks[stageCount];
    Stage current;
    uint64_t since;
};

inline StageCounters stageCounters;

// Charges the time since the last switch to the stage that was running.
inline void enterStage(Stage next) {
    const uint64_t now = __rdtsc();
    stageCounters.ticks[static_cast<int>(stageCounters.current)] += now - stageCounters.since;
    stageCounters.since = now;
    stageCounters.current = next;
}

// Pixels in a bounding box; none when it is empty.
inline uint64_t boxArea(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY) {
    if (maxX < minX || maxY < minY) return 0;
    return static_cast<uint64_t>(maxX - minX + 1) * static_cast<uint64_t>(maxY - minY + 1);
}

#define SW_COUNT(field, amount) (stageCounters.field += static_cast<uint64_t>(amount))
#define SW_STAGE(stage) enterStage(Stage::stage)

#else

#define SW_COUNT(field, amount) static_cast<void>(0)
#define SW_STAGE(stage) static_cast<void>(0)

#endif
