// The score's layout in ticks: the beats of a metre, and the grid the score's
// times are quantised to in each measure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/Bars.h"
#include "song/TempoMap.h"

// The finest grid of the score: a 64th note.
inline constexpr int64_t kScoreQuantum = 30;

// The score's measures are the song's bars.
using Measure = Bar;

// The beat that beams and rests follow: a dotted quarter (or dotted value of
// the metre's unit) in 6/8, 9/8, 3/8 and the like, otherwise the metre's unit.
int64_t beatOf(const MetreMark& metre);

// A stretch of a measure written as triplets: three notes in the time of two,
// on a grid of a twelfth of its length.
struct TripletSpan {
    int64_t start;
    int64_t end;
};
inline int64_t tripletUnit(const TripletSpan& span) { return (span.end - span.start) / 12; }

// Where a measure's times go in the score. Each beat (or pair of quarter
// beats) is written plainly on the 64th grid or, where the times fit it
// better, as triplets of a half, a quarter or an eighth; a time moves to the
// nearest point of its grid (the earlier one at a tie).
class MeasureGrid {
public:
    // `times` are the song times inside the measure that the score shows.
    MeasureGrid(const Measure& measure, std::span<const int64_t> times);

    int64_t snap(int64_t tick) const;
    // The triplet stretch holding `tick` (start <= tick < end), or null.
    const TripletSpan* tripletAt(int64_t tick) const;
    std::span<const TripletSpan> triplets() const { return triplets_; }

private:
    int64_t choose(int64_t start, int64_t end, std::span<const int64_t> times);

    Measure measure_;
    std::vector<TripletSpan> triplets_;
};
