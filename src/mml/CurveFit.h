// A breakpoint list turned back into the groups of the curve commands that
// give exactly its points: steps where the value jumps, linear ramps where the
// points run the way a ramp group writes them. A curve command's group writes:
// a step, one point at its start; a ramp from the previous group's value (0
// before the first group of a track) to its own over [start, end), a point at
// each tick where the value, previous + (tick - start + 1) * change / span
// rounded toward zero, differs from the tick before.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "import/ImportedSong.h"

struct CurveGroup {
    int64_t start = 0;
    int64_t end = 0;  // a ramp's end (exclusive); a step's start
    int32_t value = 0;
    bool ramp = false;
};

// The groups for `points` (ticks increasing), in time order, each starting at
// or after the end of the one before.
std::vector<CurveGroup> fitCurve(std::span<const ImportedPoint> points);
