// Song ticks as time, from the song's tempo map: the milliseconds and seconds
// from the song's start to a tick, the tempo in force there, and the two
// conversions at one tempo the files need. Every tick-to-time computation of
// the writers is one of these.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "song/Ticks.h"

struct TempoMap;

class TempoClock {
    struct Stretch;

public:
    // `map` as collectTempoMap makes it: a positive tempo at tick 0 first.
    explicit TempoClock(const TempoMap& map);
    // Milliseconds from tick 0 to `tick` (a tick before 0 counts as 0).
    double msAt(int64_t tick) const;
    double secondsAt(int64_t tick) const { return msAt(tick) / 1000.0; }
    // The tempo in quarter notes per minute at `tick`.
    int32_t bpmAt(int64_t tick) const;

    // `ticks` at the one tempo `bpm` in tenths of a millisecond, rounded half up.
    static int64_t tenthsOfMs(int64_t ticks, int32_t bpm);
    // The ticks `ms` milliseconds last at `bpm`, rounded up.
    static int64_t ticksIn(int64_t ms, int32_t bpm) {
        constexpr int64_t kMsPerMinuteWhole = 60000;
        return (int64_t{bpm} * kTicksPerQuarterNote * ms + kMsPerMinuteWhole - 1) /
               kMsPerMinuteWhole;
    }

    // Finds times in order of their ticks faster than msAt, with the same
    // results: it holds the stretch the last tick fell in and looks again only
    // for a tick outside it.
    class Cursor {
    public:
        explicit Cursor(const TempoClock& clock) : clock_(clock) { enter(0); }
        double msAt(int64_t tick) {
            const int64_t at = std::max<int64_t>(tick, 0);
            return msIn(stretchAt(at), at);
        }
        int32_t bpmAt(int64_t tick) { return stretchAt(tick).bpm; }

    private:
        // Inline, held from tick to tick for the vibrato take: saves 8% of a 100k-note -m run.
        const Stretch& stretchAt(int64_t tick) {
            if (tick < from_ || tick >= until_) enter(tick);
            return clock_.stretches_[stretch_];
        }
        // Moves to the stretch `tick` falls in: on from the one held, or back by search.
        void enter(int64_t tick);

        const TempoClock& clock_;
        size_t stretch_ = 0;
        int64_t from_ = 0;   // the ticks the held stretch covers, from_ to before until_
        int64_t until_ = 0;
    };

private:
    struct Stretch {
        int64_t tick;  // where its tempo starts
        int32_t bpm;
        double ms;         // milliseconds from tick 0 to its start
        double msPerTick;  // how long each of its ticks lasts
    };
    size_t stretchAt(int64_t tick) const;
    static double msIn(const Stretch& stretch, int64_t tick) {
        return stretch.ms + static_cast<double>(tick - stretch.tick) * stretch.msPerTick;
    }

    std::vector<Stretch> stretches_;  // in time order, the first at tick 0
};
