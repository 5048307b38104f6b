// Fitting steps and ramps to a breakpoint list, point run by point run: at
// each point the longest ramp from the value before that writes the points
// that follow exactly, else a step.
#include "mml/CurveFit.h"

#include <cstdlib>
#include <optional>

#include "import/RampPoints.h"

namespace {

using Points = std::span<const ImportedPoint>;

// ceil(a / b) for a >= 0, b > 0.
int64_t ceilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

// True when a ramp from `from` to `to` over [start, end) writes exactly
// `points`; the comparison stops at the first point that differs.
bool rampWrites(int64_t from, int64_t to, int64_t start, int64_t end, Points points) {
    if (points.empty() || rampPointCount(from, to, start, end) != static_cast<int64_t>(points.size())) return false;
    for (size_t i = 0; i < points.size(); ++i) {
        const ImportedPoint expected = rampPoint(from, to, start, end, static_cast<int64_t>(i));
        if (expected.tick != points[i].tick || expected.value != points[i].value) return false;
    }
    return true;
}

// The start of a ramp from `from` that writes exactly `points` and starts at
// or after `earliest`; none when no start does. `step`, when given, is the
// tick of a step just before that the ramp may start on too, as people write
// it ("@DYN40,0,0,0,80,0,1440,1"): a ramp that takes away the point at its
// start puts it back while its value has not moved yet.
std::optional<int64_t> rampStart(int64_t from, int64_t earliest, Points points, std::optional<int64_t> step) {
    const ImportedPoint& first = points.front();
    const ImportedPoint& last = points.back();
    const int64_t end = last.tick + 1;
    const int64_t magnitude = std::llabs(int64_t{last.value} - from);
    if (magnitude == 0 || first.tick < earliest) return std::nullopt;
    if (step && rampWrites(from, last.value, *step, end, points)) return *step;
    // A steep ramp writes its first point at its start.
    if (rampWrites(from, last.value, first.tick, end, points)) return first.tick;
    // A gentle one first moves at start - 1 + ceil(span / magnitude), which
    // grows with the start by 0 or 1 at a time: the starts that put the
    // first move on the first point lie together.
    const auto firstMove = [&](int64_t start) { return start - 1 + ceilDiv(end - start, magnitude); };
    int64_t low = earliest;
    int64_t high = first.tick;
    while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (firstMove(middle) < first.tick) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    for (int64_t start = low; start <= first.tick && firstMove(start) == first.tick; ++start) {
        if (rampWrites(from, last.value, start, end, points)) return start;
    }
    return std::nullopt;
}

// How far the values keep moving one way from `from`: the points of
// `points` from the first on that a single ramp might write.
size_t monotoneRun(int64_t from, Points points) {
    const int64_t direction = points[0].value > from ? 1 : points[0].value < from ? -1 : 0;
    if (direction == 0) return 0;
    size_t run = 1;
    while (run < points.size() &&
           (int64_t{points[run].value} - points[run - 1].value) * direction > 0)
        ++run;
    return run;
}

// How many of the first `run` points keep one pattern of a ramp: a point on
// every tick (`everyTick`), or values one apart.
size_t patternRun(Points points, size_t run, bool everyTick) {
    size_t count = 1;
    while (count < run) {
        const ImportedPoint& before = points[count - 1];
        const ImportedPoint& point = points[count];
        const bool kept = everyTick ? point.tick == before.tick + 1 : std::llabs(int64_t{point.value} - before.value) == 1;
        if (!kept) break;
        ++count;
    }
    return count;
}

}  // namespace

std::vector<CurveGroup> fitCurve(std::span<const ImportedPoint> points) {
    std::vector<CurveGroup> groups;
    int64_t previous = 0;  // the value a ramp starts from
    int64_t earliest = 0;  // where the next group may start
    size_t k = 0;
    while (k < points.size()) {
        const Points rest = points.subspan(k);
        const size_t run = monotoneRun(previous, rest);
        // A step that moved the value may start the ramp after it.
        std::optional<int64_t> step;
        if (!groups.empty() && !groups.back().ramp && (k < 2 || points[k - 2].value != points[k - 1].value))
            step = groups.back().start;
        const auto rampOver = [&](size_t count) { return rampStart(previous, earliest, rest.first(count), step); };
        // The longest ramp of two points or more: the whole run, or else the
        // count doubled while a ramp fits, then the step between the last
        // count that fits and the first that does not halved.
        size_t fits = 0;
        int64_t fitStart = 0;
        bool whole = false;
        if (run >= 2) {
            // A ramp the file drew from end to end fits all the points that
            // keep its pattern (a move on every tick, or moves of one), and
            // often no shorter part of them: its rounding depends on its ends.
            for (const size_t count : {patternRun(rest, run, true), patternRun(rest, run, false)}) {
                if (whole || count < 2) continue;
                if (const auto start = rampOver(count)) {
                    fits = count;
                    fitStart = *start;
                    whole = true;
                }
            }
            if (fits == 0) {
                if (const auto start = rampOver(2)) {
                    fits = 2;
                    fitStart = *start;
                }
            }
        }
        if (fits > 0 && !whole) {
            size_t fails = run + 1;
            for (size_t count = 4; count < fails; count = count * 2 > run && count < run ? run : count * 2) {
                const auto start = rampOver(count);
                if (!start) {
                    fails = count;
                    break;
                }
                fits = count;
                fitStart = *start;
                if (count == run) break;
            }
            while (fails - fits > 1) {
                const size_t middle = fits + (fails - fits) / 2;
                if (const auto start = rampOver(middle)) {
                    fits = middle;
                    fitStart = *start;
                } else {
                    fails = middle;
                }
            }
        }
        if (fits > 0) {
            const ImportedPoint& last = rest[fits - 1];
            groups.push_back({fitStart, last.tick + 1, last.value, true});
            earliest = last.tick + 1;
            previous = last.value;
            k += fits;
        } else {
            groups.push_back({rest[0].tick, rest[0].tick, rest[0].value, false});
            earliest = rest[0].tick + 1;
            previous = rest[0].value;
            k += 1;
        }
    }
    return groups;
}
