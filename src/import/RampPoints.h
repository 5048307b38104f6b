// The breakpoints a ramp of the compiler's curve commands writes: from `from`
// (the value before it) to `to` over the ticks [start, end), a point at each
// tick where previous + (tick - start + 1) * change / span, rounded toward
// zero, moves; it reaches `to` at end - 1. The readers draw the straight lines
// of other formats this way, and the MML printer recognises such runs of
// points as one ramp.
#pragma once

#include <cstdint>
#include <vector>

#include "import/ImportedSong.h"

// How many points that ramp writes (none when `from` equals `to` or the span
// is empty).
int64_t rampPointCount(int64_t from, int64_t to, int64_t start, int64_t end);

// Its point `index` (0 <= index < rampPointCount).
ImportedPoint rampPoint(int64_t from, int64_t to, int64_t start, int64_t end, int64_t index);

// Appends all its points.
void appendRampPoints(std::vector<ImportedPoint>& out, int64_t from, int64_t to, int64_t start, int64_t end);
