// The pitch curve in cents from the pitch-bend and sensitivity curves, step
// by step as it is read.
#include "render/Pitch.h"

#include <algorithm>

#include "song/CurveTable.h"

size_t pointsUpTo(std::span<const BreakpointPoint> points, int64_t tick, size_t known) {
    const auto laterThan = [](int64_t at, const BreakpointPoint& p) { return at < p.tick; };
    known = std::min(known, points.size());
    // Nothing known, or too much: a search of all the points up to there.
    if (known == 0 || points[known - 1].tick > tick) {
        const auto last = known == 0 ? points.end() : points.begin() + static_cast<std::ptrdiff_t>(known);
        return static_cast<size_t>(std::upper_bound(points.begin(), last, tick, laterThan) -
                                   points.begin());
    }
    // Every point before `low` lies at or before the tick; `high` is past one that does not, or the end.
    size_t low = known;
    size_t high = known;
    for (size_t step = 1; high < points.size() && points[high].tick <= tick; step *= 2) {
        low = high + 1;
        high = std::min(points.size(), high + step);
    }
    return static_cast<size_t>(
        std::upper_bound(points.begin() + static_cast<std::ptrdiff_t>(low),
                         points.begin() + static_cast<std::ptrdiff_t>(high), tick, laterThan) -
        points.begin());
}

PitchSteps::Iterator::Iterator(const PitchSteps& steps, size_t bendsTaken, size_t sensitivitiesTaken)
    : steps_(&steps), bendsTaken_(bendsTaken), sensitivitiesTaken_(sensitivitiesTaken) {
    bend_ = bendsTaken > 0 ? steps.bends_[bendsTaken - 1].value
                           : curveOfCommand(CmdPitchBend)->defaultValue;
    sensitivity_ = sensitivitiesTaken > 0 ? steps.sensitivities_[sensitivitiesTaken - 1].value
                                          : kReadersSensitivity;
    ++*this;
}

PitchSteps::Iterator PitchSteps::after(int64_t tick) const {
    Cursor cursor(*this);
    cursor.moveTo(tick);
    return cursor.after();
}

double PitchSteps::centsAt(int64_t tick) const {
    Cursor cursor(*this);
    cursor.moveTo(tick);
    return cursor.cents();
}

double PitchSteps::Cursor::cents() const {
    const int32_t bend = bendsTaken_ > 0 ? steps_->bends_[bendsTaken_ - 1].value
                                         : curveOfCommand(CmdPitchBend)->defaultValue;
    return pitchCents(bend, sensitivitiesTaken_ > 0
                                ? steps_->sensitivities_[sensitivitiesTaken_ - 1].value
                                : kReadersSensitivity);
}
