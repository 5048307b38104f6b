// A pitch line in cents, as the singing editors draw it (points joined by
// straight or eased lines), sampled on the song's ticks and turned into the
// pitch-bend curve with one sensitivity wide enough for all of it.
#pragma once

#include <cstdint>
#include <vector>

#include "import/ImportedSong.h"

enum class LineShape { Straight, EaseInOut, EaseIn, EaseOut };

class PitchLine {
public:
    // A line drawn tick by tick over at most `ticks` ticks in all, so that a
    // file cannot make it draw for ever.
    explicit PitchLine(int64_t ticks) : ticksLeft_(ticks) {}

    // Cents from `fromTick` on, up to (not including) `toTick`, moving from
    // `fromCents` to `toCents` along `shape`. Segments come in time order; one
    // that starts before the last one ended cuts it there. False, drawing
    // nothing, when the line would take more ticks than it has left.
    bool segment(int64_t fromTick, double fromCents, int64_t toTick, double toCents, LineShape shape);
    // `cents` from `tick` on.
    void hold(int64_t tick, double cents);

    // The track's pitch-bend and sensitivity curves for the line; none when it
    // stays at 0 cents.
    void writeCurves(ImportedTrack& track) const;

private:
    std::vector<ImportedPoint> samples_;  // cents, a point where the rounded value changes
    int64_t ticksLeft_;
};
