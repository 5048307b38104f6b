// The points of ramps that a curve's read-out walked whole, kept for the next ramp that runs
// just the same. A song's note envelopes are a few shapes over notes of a few lengths, so one
// such run comes back many times in a curve, and in the curves of the other tracks: taken from
// here, its points are copied instead of walked move by move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A ramp walked from its step `skip` for `length` ticks, while the other ranges of the curve
// sum to `rest` (of which only the low 16 bits reach a cell).
struct RampRunKey {
    int64_t first = 0;
    int64_t change = 0;
    int64_t count = 1;
    int64_t skip = 0;
    int64_t length = 0;
    uint16_t rest = 0;
    bool operator==(const RampRunKey&) const = default;
};

// A point of a run, in ticks from its start.
struct RampRunPoint {
    int32_t offset = 0;
    int32_t value = 0;
};

// What a run gives: the ramp's value at its start; its points, each of a value other than the
// one before (the first other than the clamped value at the start); the tick of its last move
// from its start (-1 when it has none) and the ramp's value after it.
struct RampRun {
    int64_t startValue = 0;
    std::span<const RampRunPoint> points;
    int64_t lastMove = -1;
    int64_t endValue = 0;
};

class RampRuns {
public:
    RampRuns();
    ~RampRuns();

    // Readies the runs for a read-out clamped to [minimum, maximum]: the runs kept for another
    // range are forgotten.
    void useRange(int64_t minimum, int64_t maximum);

    // The run kept for `key`; false when there is none.
    bool find(const RampRunKey& key, RampRun& run) const;

    // Records a run being walked: its points one by one, then keep() or drop().
    void add(RampRunPoint point) { recording_.push_back(point); }
    void keep(const RampRunKey& key, int64_t startValue, int64_t lastMove, int64_t endValue);
    void drop() { recording_.clear(); }

private:
    struct Slot;
    static size_t slotOf(const RampRunKey& key);
    // Forgets every run kept.
    void forget();

    std::unique_ptr<Slot[]> slots_;  // null until a run is kept
    std::vector<RampRunPoint> points_;
    std::vector<RampRunPoint> recording_;
    int64_t minimum_ = 0;
    int64_t maximum_ = -1;
};
