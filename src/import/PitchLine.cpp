// Sampling pitch lines, and their cents as pitch bends.
#include "import/PitchLine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "import/ExpressionUnits.h"
#include "import/Numbers.h"
#include "song/CurveTable.h"

namespace {

double eased(double share, LineShape shape) {
    switch (shape) {
    case LineShape::Straight: return share;
    case LineShape::EaseInOut: return (1 - std::cos(std::numbers::pi * share)) / 2;
    case LineShape::EaseIn: return 1 - std::cos(std::numbers::pi * share / 2);
    case LineShape::EaseOut: return std::sin(std::numbers::pi * share / 2);
    }
    return share;
}

}  // namespace

void PitchLine::hold(int64_t tick, double cents) {
    while (!samples_.empty() && samples_.back().tick >= tick) samples_.pop_back();
    const auto value = static_cast<int32_t>(clampTo(roundToInteger(cents), -1200, 1200));
    if (samples_.empty() ? value != 0 : samples_.back().value != value) samples_.push_back(pointAt(tick, value));
}

bool PitchLine::segment(int64_t fromTick, double fromCents, int64_t toTick, double toCents, LineShape shape) {
    const int64_t span = toTick - fromTick;
    if (span <= 0) {
        hold(fromTick, toCents);
        return true;
    }
    if (span > ticksLeft_) return false;
    ticksLeft_ -= span;
    for (int64_t j = 0; j < span; ++j) {
        const double share = static_cast<double>(j) / static_cast<double>(span);
        hold(fromTick + j, fromCents + (toCents - fromCents) * eased(share, shape));
    }
    return true;
}

void PitchLine::writeCurves(ImportedTrack& track) const {
    int32_t widest = 0;
    for (const ImportedPoint& sample : samples_) widest = std::max(widest, std::abs(sample.value));
    if (widest == 0) return;
    const int32_t sensitivity = sensitivityFor(widest);
    std::vector<ImportedPoint>& bends = track.curves[static_cast<size_t>(curveOfCommand(CmdPitchBend)->id)];
    for (const ImportedPoint& sample : samples_) {
        const int32_t bend = pitchBendOfCents(sample.value, sensitivity);
        if (bends.empty() || bends.back().value != bend) bends.push_back({sample.tick, bend});
    }
    const CurveInfo& range = *curveOfCommand(CmdPitchBendSensitivity);
    if (sensitivity != range.defaultValue) track.curves[static_cast<size_t>(range.id)] = {{0, sensitivity}};
}
