// The song's tempo map: every tempo and time-signature change of all tracks, in time order,
// as the master track of a file carries it.
#pragma once

#include <cstdint>
#include <vector>

class Song;

struct TempoMark {
    int32_t time;  // song ticks, without the pre-measure
    int32_t bpm;
};

struct MetreMark {
    int32_t time;  // song ticks, without the pre-measure
    int32_t numerator;
    int32_t denominator;
};

struct TempoMap {
    std::vector<TempoMark> tempos;
    std::vector<MetreMark> metres;
};

// Every tempo and metre change of the song in time order, one per time: where several fall on
// one time, the first in track order, then in sequence order. The first of each list is at
// time 0 (120 and 4/4 when the song sets none there). A change with a value that is not
// positive (the compiler makes none) leaves the value in force: the default at time 0, the
// change before it later on.
TempoMap collectTempoMap(const Song& song);
