// The bars of a song, laid from its metre map by the bar rule of
// song/BarGrid.h: each metre change starts a bar, and bars of its length
// follow until the next. Positions as bar, beat and tick, and the bars a
// score is written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "song/TempoMap.h"

struct Bar {
    int64_t start;
    int64_t end;
    const MetreMark* metre;  // the metre in force
    bool metreChanges;       // a metre change (the first at tick 0 among them) starts it
};

// A tick as an editor shows it: bar and beat counted from 1, and the ticks
// into the beat. The beat is the note value of the metre's denominator.
struct BarPosition {
    int64_t bar;
    int64_t beat;
    int64_t tick;
};

class Bars {
public:
    // `metres` as collectTempoMap makes them: one per tick, the first at 0.
    explicit Bars(std::span<const MetreMark> metres);

    // How many bars lie wholly or partly before `tick`: the index, from 0, of
    // the bar that a change at `tick` would start.
    int64_t barsBefore(int64_t tick) const;
    BarPosition positionOf(int64_t tick) const;
    // The bars from tick 0 until `end` is covered (one at least); a change from
    // `end` on starts no bar and cuts none. Stops once it
    // holds more than `limit`, the list then incomplete.
    std::vector<Bar> barsUntil(int64_t end, size_t limit) const;

private:
    struct Change {
        const MetreMark* metre;
        int64_t firstBar;  // the index of the bar it starts
    };
    static int64_t lengthOf(const MetreMark& metre);
    size_t changeAt(int64_t tick) const;  // the last change at or before tick

    std::vector<Change> changes_;
};
