// The bars of an imported song from its time signatures: where each bar
// starts, and the bar a time lies in. Bars are numbered from 0 at the song's
// start. The class is named apart from the rendered song's bars, which live in
// the same program.
#pragma once

#include <cstdint>
#include <vector>

#include "song/TempoMap.h"

class MmlBars {
public:
    // `metres` start at time 0 and lie on bar lines, as a cleaned-up song's do.
    explicit MmlBars(const std::vector<MetreMark>& metres);
    // The bar that `time` (>= 0) lies in.
    int64_t barOf(int64_t time) const;
    // Where bar `bar` (>= 0) starts.
    int64_t startOf(int64_t bar) const;
    // The first bar line at or after `time`.
    int64_t barLineFrom(int64_t time) const;
    // The first bar after `bar` of another time signature; INT64_MAX when
    // the signature holds to the end.
    int64_t stretchEnd(int64_t bar) const;

private:
    struct Stretch {
        int64_t time;       // where the time signature starts
        int64_t firstBar;   // the number of its first bar
        int64_t barLength;  // ticks
    };
    std::vector<Stretch> stretches_;
};
