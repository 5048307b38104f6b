// Drawing pitch lines as pitch bends.
#include "import/PitchLine.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "import/ExpressionUnits.h"
#include "import/Numbers.h"
#include "import/RampPoints.h"
#include "song/CurveTable.h"

namespace {

// An eased line is drawn as straight pieces of at least this many ticks, at
// most kMostPieces of them.
constexpr int64_t kPieceTicks = 30;
constexpr int64_t kMostPieces = 8;
constexpr int32_t kWidestCents = 1200;

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

PitchLine::PitchLine(int32_t widestCents, size_t mostPoints)
    : sensitivity_(sensitivityFor(widestCents)), pointsLeft_(mostPoints) {}

int32_t PitchLine::sensitivityFor(int32_t cents) {
    return ::sensitivityFor(std::clamp(cents, -kWidestCents, kWidestCents));
}

int32_t PitchLine::bendOf(double cents) const {
    const auto rounded = static_cast<int32_t>(clampTo(roundToInteger(cents), -kWidestCents, kWidestCents));
    return pitchBendOfCents(rounded, sensitivity_);
}

void PitchLine::cutAt(int64_t tick) {
    while (!bends_.empty() && bends_.back().tick >= tick) {
        bends_.pop_back();
        ++pointsLeft_;
    }
}

bool PitchLine::step(int64_t tick, int32_t bend) {
    const int32_t current = bends_.empty() ? 0 : bends_.back().value;
    if (bend == current) return true;
    if (pointsLeft_ == 0) return false;
    --pointsLeft_;
    bends_.push_back(pointAt(tick, bend));
    moved_ = true;
    return true;
}

bool PitchLine::hold(int64_t tick, double cents) {
    cutAt(tick);
    return step(tick, bendOf(cents));
}

bool PitchLine::segment(int64_t fromTick, double fromCents, int64_t toTick, double toCents, LineShape shape) {
    cutAt(fromTick);
    if (!step(fromTick, bendOf(fromCents))) return false;
    const int64_t span = toTick - fromTick;
    if (span <= 0) return step(fromTick, bendOf(toCents));
    const int64_t pieces = shape == LineShape::Straight ? 1 : std::clamp<int64_t>(span / kPieceTicks, 1, kMostPieces);
    int64_t start = fromTick;
    int32_t from = bendOf(fromCents);
    for (int64_t i = 1; i <= pieces; ++i) {
        const int64_t end = fromTick + span * i / pieces;
        const double share = static_cast<double>(i) / static_cast<double>(pieces);
        const int32_t to = bendOf(fromCents + (toCents - fromCents) * eased(share, shape));
        const int64_t count = rampPointCount(from, to, start, end);
        if (count > static_cast<int64_t>(pointsLeft_)) return false;
        // A ramp that moves at its first tick takes the place of the point there.
        if (!bends_.empty() && bends_.back().tick == start && count > 0 && std::abs(to - from) >= end - start) {
            bends_.pop_back();
            ++pointsLeft_;
        }
        const size_t before = bends_.size();
        appendRampPoints(bends_, from, to, start, end);
        pointsLeft_ -= bends_.size() - before;
        moved_ = moved_ || bends_.size() > before;
        start = end;
        from = to;
    }
    return true;
}

void PitchLine::writeCurves(ImportedTrack& track) {
    if (!moved_) return;
    track.curves[static_cast<size_t>(curveOfCommand(CmdPitchBend)->id)] = std::move(bends_);
    const CurveInfo& range = *curveOfCommand(CmdPitchBendSensitivity);
    track.curves[static_cast<size_t>(range.id)] = {{0, sensitivity_}};
}
