// Song ticks as time: the milliseconds from the song's start to a tick, and the
// tempo in force there, from the song's tempo map.
#pragma once

#include <cstdint>
#include <vector>

struct TempoMap;

class SongClock {
public:
    // `map` as collectTempoMap makes it: a positive tempo at tick 0 first.
    explicit SongClock(const TempoMap& map);
    // Milliseconds from tick 0 to `tick` (a tick before 0 counts as 0).
    double msAt(int64_t tick) const;
    // The tempo in quarter notes per minute at `tick`.
    int32_t bpmAt(int64_t tick) const;

private:
    struct Stretch {
        int64_t tick;  // where its tempo starts
        int32_t bpm;
        double ms;  // milliseconds from tick 0 to its start
    };
    const Stretch& stretchAt(int64_t tick) const;

    std::vector<Stretch> stretches_;  // in time order, the first at tick 0
};
