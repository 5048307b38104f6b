// Song ticks as time, from the song's tempo map: the milliseconds and seconds
// from the song's start to a tick, the tempo in force there, and the two
// conversions at one tempo the files need. Every tick-to-time computation of
// the writers is one of these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TempoMap;

class TempoClock {
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
    static int64_t ticksIn(int64_t ms, int32_t bpm);

    // Finds times in order of their ticks faster than msAt: each call takes
    // up the search where the one before left it.
    class Cursor {
    public:
        explicit Cursor(const TempoClock& clock) : clock_(clock) {}
        double msAt(int64_t tick);
        int32_t bpmAt(int64_t tick);

    private:
        const TempoClock& clock_;
        size_t stretch_ = 0;
        void moveTo(int64_t tick);
    };

private:
    struct Stretch {
        int64_t tick;  // where its tempo starts
        int32_t bpm;
        double ms;  // milliseconds from tick 0 to its start
    };
    size_t stretchAt(int64_t tick) const;
    static double msIn(const Stretch& stretch, int64_t tick);

    std::vector<Stretch> stretches_;  // in time order, the first at tick 0
};
