// Measures, beats and the quantisation grid of the score.
#include "writers/musicxml/ScoreLayout.h"

#include <algorithm>
#include <cstdlib>

#include "song/Ticks.h"

namespace {

// The lengths of the stretches that may be written as triplets (of eighths
// and of quarters, on grids of 40 and 80 ticks), and those that are tried as
// two halves.
constexpr int64_t kHalfNote = 2 * kTicksPerQuarterNote;
bool mayBeTriplets(int64_t length) { return length == kTicksPerQuarterNote || length == kHalfNote; }
bool mayHalve(int64_t length) { return length == kHalfNote || length == kTicksPerWholeNote; }
// What triplets must gain over the plain grid to be chosen, in ticks moved:
// a stretch is written as triplets only where they fit clearly better.
constexpr int64_t kTripletPenalty = 5;

// The grid point nearest to `tick` of the grid of `unit` from `start`, the
// earlier at a tie, never past `end`.
int64_t snapTo(int64_t tick, int64_t start, int64_t end, int64_t unit) {
    const int64_t offset = tick - start;
    int64_t steps = offset / unit;
    if ((offset % unit) * 2 > unit) ++steps;
    return std::min(start + steps * unit, end);
}

int64_t snapCost(std::span<const int64_t> times, int64_t start, int64_t end, int64_t unit) {
    int64_t cost = 0;
    for (const int64_t tick : times) cost += std::abs(snapTo(tick, start, end, unit) - tick);
    return cost;
}

// The times strictly inside start..end.
std::span<const int64_t> timesInside(std::span<const int64_t> times, int64_t start, int64_t end) {
    const auto first = std::upper_bound(times.begin(), times.end(), start);
    const auto last = std::lower_bound(first, times.end(), end);
    return times.subspan(static_cast<size_t>(first - times.begin()),
                         static_cast<size_t>(last - first));
}

}  // namespace

int64_t beatOf(const MetreMark& metre) {
    const int64_t unit = kTicksPerWholeNote / std::max(metre.denominator, 1);
    const bool compound = metre.denominator >= 8 && metre.numerator % 3 == 0;
    return compound ? unit * 3 : unit;
}

MeasureGrid::MeasureGrid(const Measure& measure, std::span<const int64_t> times)
    : measure_(measure) {
    const int64_t beat = beatOf(*measure.metre);
    // Quarter beats are taken in pairs, so that triplet quarters find their half.
    const int64_t block = beat == kTicksPerQuarterNote ? kHalfNote : beat;
    for (int64_t start = measure.start; start < measure.end; start += block) {
        const int64_t end = std::min(start + block, measure.end);
        if (end - start == block || !mayHalve(block)) {
            choose(start, end, timesInside(times, start, end));
        } else {
            for (int64_t half = start; half < end; half += block / 2) {
                const int64_t halfEnd = std::min(half + block / 2, end);
                choose(half, halfEnd, timesInside(times, half, halfEnd));
            }
        }
    }
    // A triplet stretch with no time left inside it is written plainly.
    std::erase_if(triplets_, [&](const TripletSpan& span) {
        for (const int64_t tick : timesInside(times, span.start, span.end)) {
            const int64_t snapped = snapTo(tick, span.start, span.end, tripletUnit(span));
            if (snapped > span.start && snapped < span.end) return false;
        }
        return true;
    });
}

// Chooses how the stretch is written, keeping the triplet stretches among it,
// and returns how far its times move.
int64_t MeasureGrid::choose(int64_t start, int64_t end, std::span<const int64_t> times) {
    const int64_t length = end - start;
    int64_t best = snapCost(times, start, end, kScoreQuantum);
    if (best == 0) return 0;
    const size_t kept = triplets_.size();
    bool triplet = false;
    if (mayBeTriplets(length)) {
        const int64_t cost =
            snapCost(times, start, end, tripletUnit({start, end})) + kTripletPenalty;
        if (cost < best) {
            best = cost;
            triplet = true;
        }
    }
    if (mayHalve(length)) {
        const int64_t middle = start + length / 2;
        const int64_t cost = choose(start, middle, timesInside(times, start, middle)) +
                             choose(middle, end, timesInside(times, middle, end));
        // Smaller triplet stretches are preferred at an equal fit.
        if (cost < best || (triplet && cost == best)) return cost;
        triplets_.resize(kept);
    }
    if (triplet) triplets_.push_back({start, end});
    return best;
}

int64_t MeasureGrid::snap(int64_t tick) const {
    if (tick <= measure_.start) return measure_.start;
    if (tick >= measure_.end) return measure_.end;
    const TripletSpan* span = tripletAt(tick);
    if (span != nullptr) return snapTo(tick, span->start, span->end, tripletUnit(*span));
    return snapTo(tick, measure_.start, measure_.end, kScoreQuantum);
}

const TripletSpan* MeasureGrid::tripletAt(int64_t tick) const {
    for (const TripletSpan& span : triplets_) {
        if (span.start <= tick && tick < span.end) return &span;
    }
    return nullptr;
}
