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

PitchSteps::Iterator& PitchSteps::Iterator::operator++() {
    const std::span<const BreakpointPoint> bends = steps_->bends_;
    const std::span<const BreakpointPoint> sensitivities = steps_->sensitivities_;
    size_t& b = bendsTaken_;
    size_t& s = sensitivitiesTaken_;
    if (b == bends.size() && s == sensitivities.size()) {
        done_ = true;
        return *this;
    }
    const bool takeBend =
        s == sensitivities.size() || (b < bends.size() && bends[b].tick <= sensitivities[s].tick);
    const int32_t tick = takeBend ? bends[b].tick : sensitivities[s].tick;
    while (b < bends.size() && bends[b].tick == tick) bend_ = bends[b++].value;
    while (s < sensitivities.size() && sensitivities[s].tick == tick) {
        sensitivity_ = sensitivities[s++].value;
    }
    step_ = {tick, pitchCents(bend_, sensitivity_)};
    return *this;
}

PitchSteps::Iterator PitchSteps::end() const {
    Iterator last;
    last.bendsTaken_ = bends_.size();
    last.sensitivitiesTaken_ = sensitivities_.size();
    last.done_ = true;
    return last;
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
