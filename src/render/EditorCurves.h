// The song's expression in the units of the singing editors' projects: the
// formulas from the VSQ file's curves and note parameters, and the curves of a
// voice track as lines through points, the way those projects draw them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/BreakpointListBuilder.h"
#include "render/Pitch.h"

// Dynamics 0..127 (64 neutral) as a level in tenths of a decibel: below 64 down
// to -240 (silence) at 0, above it up to +120 at 127.
int32_t levelFromDynamics(int32_t dynamics);
// Cents (render/Pitch.h) as the projects take them: whole cents, rounded
// half away from zero, held within -1200..1200.
int32_t editorCents(double cents);
// The same for pitch bend -8192..8191 under a sensitivity of 0..24 semitones.
int32_t centsFromPitchBend(int32_t bend, int32_t sensitivity);
// Breathiness 0..127 as 0..100; gender factor 0..127 (64 neutral) as -100..100.
int32_t breathFromBreathiness(int32_t breathiness);
int32_t genderFromGenderFactor(int32_t genderFactor);
// A note's velocity 0..127 (64 neutral) as a consonant speed in percent (100
// neutral), its accent 0..100 (50 neutral) as an attack 0..200 (100 neutral),
// its decay 0..100 (50 neutral) as a decay 0..50 (0 neutral).
int32_t speedFromVelocity(int32_t velocity);
int32_t attackFromAccent(int32_t accent);
int32_t decayFromDecayGainRate(int32_t decayGainRate);

// A curve drawn as straight lines between points, with ticks increasing; it is
// 0 before its first point and after its last, like every curve it carries.
struct LinearCurve {
    std::vector<int32_t> ticks;
    std::vector<int32_t> values;
    bool empty() const { return ticks.empty(); }
};

// A stepped curve (each value held from its tick to the next point's; 0
// before the first) as a line: a step keeps the value before it up to a point
// 5 ticks earlier, unless a point lies that close already or the step is within
// 5 ticks of tick 0, and the last value is held to `end` (the end of the
// track's last note). Each point of the steps (any range of them: a list, or
// the pitch steps as they are worked out) gives its value through `valueOf`;
// `visit(tick, value)` gets the line's points in order, so a long line need
// not be held whole.
inline constexpr int32_t kStepHoldTicks = 5;
template <typename Steps, typename ValueOf, typename Visit>
void forEachLinePoint(const Steps& steps, ValueOf valueOf, int32_t end, Visit visit) {
    int32_t value = 0;
    bool any = false;
    int64_t last = 0;  // the tick of the line's last point
    for (const auto& step : steps) {
        const int32_t stepValue = valueOf(step);
        if (stepValue == value) continue;
        const int64_t hold = int64_t{step.tick} - kStepHoldTicks;
        if (!any ? hold >= 0 : hold > last) visit(static_cast<int32_t>(hold), value);
        visit(step.tick, stepValue);
        any = true;
        last = step.tick;
        value = stepValue;
    }
    if (value != 0 && any && end > last) visit(end, value);
}

// The line of steps whose values are the editors' already.
LinearCurve lineThroughSteps(std::span<const BreakpointPoint> steps, int32_t end);

// The editors' values of the curves, one for a point of each: the level in
// tenths of a decibel from the dynamics curve, cents from the pitch steps,
// breath from breathiness and gender from the gender factor.
// The three 0..127 curves read their values from tables made once by the
// formulas above: saves 7% of the instructions of a 100k-note project.
struct EditorValueTables {
    std::array<int32_t, 128> level;
    std::array<int32_t, 128> breath;
    std::array<int32_t, 128> gender;
};
extern const EditorValueTables kEditorValueTables;
inline int32_t levelOf(const BreakpointPoint& dynamics) {
    return kEditorValueTables.level[static_cast<size_t>(std::clamp(dynamics.value, 0, 127))];
}
inline int32_t centsOf(const PitchStep& pitch) { return editorCents(pitch.cents); }
inline int32_t breathOf(const BreakpointPoint& breathiness) {
    return kEditorValueTables.breath[static_cast<size_t>(std::clamp(breathiness.value, 0, 127))];
}
inline int32_t genderOf(const BreakpointPoint& factor) {
    return kEditorValueTables.gender[static_cast<size_t>(std::clamp(factor.value, 0, 127))];
}

// The mean dynamics over the ticks [start, end), rounded; the curve's default
// before its first point.
int32_t meanDynamics(std::span<const BreakpointPoint> dynamics, int64_t start, int64_t end);
// The same for ranges taken in the order of their starts: `known` holds how
// many points lie at or before the start before, and is moved to this start.
int32_t meanDynamics(std::span<const BreakpointPoint> dynamics, int64_t start, int64_t end,
                     size_t& known);

// A level in tenths of a decibel as a per-note volume in percent of the
// voicebank's own level: 100 × 10^(level / 200), rounded, at most 200 (+6 dB);
// the silent level -240 gives 0.
int32_t volumeFromLevel(int32_t level);
