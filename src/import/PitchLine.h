// A pitch line in cents, as the singing editors draw it (points joined by
// straight or eased lines), drawn as the pitch-bend curve under one
// sensitivity chosen for the whole line: each straight line as the ramp a
// curve command writes between its ends, an eased line as a few such ramps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/ImportedSong.h"

enum class LineShape { Straight, EaseInOut, EaseIn, EaseOut };

class PitchLine {
public:
    // A line whose cents lie within ±`widestCents`, of at most `mostPoints`
    // breakpoints, so that a file cannot make it draw for ever.
    PitchLine(int32_t widestCents, size_t mostPoints);

    // `cents` from `tick` on. Moves come in time order; one that starts
    // before the line drawn so far ends cuts it there. False, drawing
    // nothing more, when the line would take more points than it may.
    bool hold(int64_t tick, double cents);
    // From `fromCents` at `fromTick` to `toCents` at `toTick` along `shape`.
    bool segment(int64_t fromTick, double fromCents, int64_t toTick, double toCents, LineShape shape);

    // Gives the track the pitch-bend and sensitivity curves; none when the
    // line stays at 0 cents. The sensitivity is given even at the compiler's
    // default: without it the VSQ file lists none, and its readers bend by 2.
    void writeCurves(ImportedTrack& track);

    // The least sensitivity that holds `cents` either way.
    static int32_t sensitivityFor(int32_t cents);

private:
    int32_t bendOf(double cents) const;
    void cutAt(int64_t tick);
    bool step(int64_t tick, int32_t bend);

    int32_t sensitivity_;
    size_t pointsLeft_;
    std::vector<ImportedPoint> bends_;
    bool moved_ = false;  // the line leaves 0 somewhere
};
