// The pitch curve in cents from the pitch-bend and sensitivity curves, step
// by step as it is read.
#include "render/Pitch.h"

#include <algorithm>

#include "song/CurveTable.h"

namespace {

// How many of `points` lie at or before `tick`.
size_t pointsUpTo(std::span<const BreakpointPoint> points, int64_t tick) {
    const auto after = std::upper_bound(points.begin(), points.end(), tick,
                                        [](int64_t at, const BreakpointPoint& p) { return at < p.tick; });
    return static_cast<size_t>(after - points.begin());
}

}  // namespace

PitchSteps::Iterator::Iterator(const PitchSteps& steps, size_t bendsTaken, size_t sensitivitiesTaken)
    : steps_(&steps), bendsTaken_(bendsTaken), sensitivitiesTaken_(sensitivitiesTaken) {
    bend_ = bendsTaken > 0 ? steps.bends_[bendsTaken - 1].value
                           : curveOfCommand(CmdPitchBend)->defaultValue;
    sensitivity_ = sensitivitiesTaken > 0 ? steps.sensitivities_[sensitivitiesTaken - 1].value
                                          : kReadersSensitivity;
    ++*this;
}

PitchSteps::Iterator PitchSteps::after(int64_t tick) const {
    return Iterator(*this, pointsUpTo(bends_, tick), pointsUpTo(sensitivities_, tick));
}

double PitchSteps::centsAt(int64_t tick) const {
    const size_t b = pointsUpTo(bends_, tick);
    const size_t s = pointsUpTo(sensitivities_, tick);
    const int32_t bend = b > 0 ? bends_[b - 1].value : curveOfCommand(CmdPitchBend)->defaultValue;
    return pitchCents(bend, s > 0 ? sensitivities_[s - 1].value : kReadersSensitivity);
}
