// The bar lines of a song, and which of several tempo or metre changes at one
// tick counts there. Both rules are written here once: the compiler places
// every metre change on a bar line by them, and the tempo map and the bars
// every file is written with follow them, so a change the compiler put on a
// bar line is on a bar line in every file.
#pragma once

#include <compare>
#include <cstdint>
#include <map>

// Where a change stands among the changes of the song: its track, then its
// place among that track's controls. Of several changes of one kind at one
// tick the lowest rank counts: the first track's, and within a track the
// first. (Any fixed choice would do; this one keeps what the files have
// always written.)
struct ChangeRank {
    int32_t track = 0;
    int64_t index = 0;
    auto operator<=>(const ChangeRank&) const = default;
};

// The length of a bar of numerator/denominator in ticks, at least 1.
int64_t barLength(int32_t numerator, int32_t denominator);
// How many bars of `length` ticks laid from `start` begin before `time`: the
// bar that begins at or after `time` is that many bars from `start`.
constexpr int64_t barCountBefore(int64_t start, int64_t length, int64_t time) {
    return time > start ? (time - start + length - 1) / length : 0;
}

// Each change starts a bar, and bars of its length follow until the next
// change; before the first change the bars are of 4/4. A change that does not
// fall on a bar line of the changes before it cuts the bar it falls in short
// (the compiler never leaves one there, short of the end of the tick range).
class BarGrid {
public:
    // The first bar line at or after `time`.
    int64_t barLineFrom(int64_t time) const;
    // Records a metre change at `time`, a bar line. Where a change is recorded
    // already, the one of the lower rank counts.
    void record(int32_t time, int32_t numerator, int32_t denominator, ChangeRank rank);

private:
    struct Metre {
        int32_t numerator;
        int32_t denominator;
        ChangeRank rank;
    };
    std::map<int32_t, Metre> changes_;
};
