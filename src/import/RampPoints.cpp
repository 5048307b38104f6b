// The points of a ramp, move by move.
#include "import/RampPoints.h"

#include <cstdlib>

int64_t rampPointCount(int64_t from, int64_t to, int64_t start, int64_t end) {
    const int64_t span = end - start;
    const int64_t magnitude = std::llabs(to - from);
    if (span <= 0) return 0;
    return magnitude < span ? magnitude : span;
}

ImportedPoint rampPoint(int64_t from, int64_t to, int64_t start, int64_t end, int64_t index) {
    const int64_t span = end - start;
    const int64_t change = to - from;
    const int64_t magnitude = std::llabs(change);
    if (magnitude >= span) {
        // Every tick moves the value.
        return pointAt(start + index, static_cast<int32_t>(from + (index + 1) * change / span));
    }
    // The value moves by one at each of `magnitude` ticks.
    const int64_t moves = index + 1;
    return pointAt(start - 1 + (moves * span + magnitude - 1) / magnitude,
                   static_cast<int32_t>(from + (change > 0 ? moves : -moves)));
}

void appendRampPoints(std::vector<ImportedPoint>& out, int64_t from, int64_t to, int64_t start, int64_t end) {
    const int64_t count = rampPointCount(from, to, start, end);
    for (int64_t i = 0; i < count; ++i) out.push_back(rampPoint(from, to, start, end, i));
}
