// The song's tempo and metre over time, gathered from the tempo and time
// signature controls of all its tracks.
#pragma once

#include <cstdint>
#include <vector>

class Song;

struct TempoMark {
    int32_t time;  // song ticks (no pre-measure)
    int32_t bpm;
};
struct MetreMark {
    int32_t time;
    int32_t numerator;
    int32_t denominator;
};
struct TempoMap {
    std::vector<TempoMark> tempos;
    std::vector<MetreMark> metres;
};

// Every tempo and metre change of the song in time order, one per time; first of each at time 0
// (120 and 4/4 when the song sets none there).
TempoMap collectTempoMap(const Song& song);
