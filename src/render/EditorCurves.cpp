// Curve values in the projects' units, and stepped curves drawn as lines.
#include "render/EditorCurves.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "song/CurveTable.h"

namespace {

constexpr int32_t kMaxCents = 1200;
constexpr int32_t kCentre = 64;  // the neutral value of the 0..127 curves

// numerator / denominator rounded half away from zero; denominator > 0.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) {
    const int64_t magnitude = (2 * std::llabs(numerator) + denominator) / (2 * denominator);
    return numerator < 0 ? -magnitude : magnitude;
}

// A 0..127 value around its centre 64 onto -below..above: 0 gives -below, 127 gives above.
int32_t aroundCentre(int32_t value, int64_t below, int64_t above) {
    const int64_t offset = std::clamp(value, 0, 127) - kCentre;
    return static_cast<int32_t>(offset < 0 ? roundedQuotient(offset * below, kCentre)
                                           : roundedQuotient(offset * above, 127 - kCentre));
}

// Each formula's values over 0..127.
std::array<int32_t, 128> valuesOf(int32_t (*formula)(int32_t)) {
    std::array<int32_t, 128> values{};
    for (size_t i = 0; i < values.size(); ++i) values[i] = formula(static_cast<int32_t>(i));
    return values;
}

}  // namespace

int32_t levelFromDynamics(int32_t dynamics) { return aroundCentre(dynamics, 240, 120); }

int32_t editorCents(double cents) {
    return static_cast<int32_t>(std::clamp<double>(std::round(cents), -kMaxCents, kMaxCents));
}

int32_t centsFromPitchBend(int32_t bend, int32_t sensitivity) {
    return editorCents(pitchCents(bend, sensitivity));
}

int32_t breathFromBreathiness(int32_t breathiness) {
    return static_cast<int32_t>(roundedQuotient(int64_t{std::clamp(breathiness, 0, 127)} * 100, 127));
}

int32_t genderFromGenderFactor(int32_t genderFactor) { return aroundCentre(genderFactor, 100, 100); }

int32_t speedFromVelocity(int32_t velocity) {
    return static_cast<int32_t>(roundedQuotient(int64_t{std::clamp(velocity, 0, 127)} * 100, 64));
}

int32_t attackFromAccent(int32_t accent) { return 2 * std::clamp(accent, 0, 100); }

int32_t decayFromDecayGainRate(int32_t decayGainRate) {
    return std::max(0, std::min(decayGainRate, 100) - 50);
}

const EditorValueTables kEditorValueTables = {valuesOf(levelFromDynamics),
                                              valuesOf(breathFromBreathiness),
                                              valuesOf(genderFromGenderFactor)};

LinearCurve lineThroughSteps(std::span<const BreakpointPoint> steps, int32_t end) {
    LinearCurve line;
    forEachLinePoint(steps, [](const BreakpointPoint& p) { return p.value; }, end,
                     [&line](int32_t tick, int32_t value) {
                         line.ticks.push_back(tick);
                         line.values.push_back(value);
                     });
    return line;
}

int32_t meanDynamics(std::span<const BreakpointPoint> dynamics, int64_t start, int64_t end) {
    size_t known = 0;
    return meanDynamics(dynamics, start, end, known);
}

int32_t meanDynamics(std::span<const BreakpointPoint> dynamics, int64_t start, int64_t end,
                     size_t& known) {
    const int32_t defaultValue = curveOfCommand(CmdDynamics)->defaultValue;
    if (end <= start) return defaultValue;
    // The point in force at the start, then those inside the range.
    known = pointsUpTo(dynamics, start, known);
    auto next = dynamics.begin() + static_cast<std::ptrdiff_t>(known);
    int32_t value = next == dynamics.begin() ? defaultValue : std::prev(next)->value;
    int64_t sum = 0;
    int64_t from = start;
    for (; next != dynamics.end() && next->tick < end; ++next) {
        sum += int64_t{value} * (next->tick - from);
        from = next->tick;
        value = next->value;
    }
    sum += int64_t{value} * (end - from);
    return static_cast<int32_t>(roundedQuotient(sum, end - start));
}

int32_t volumeFromLevel(int32_t level) {
    constexpr int32_t kSilence = -240;
    constexpr double kMaximumVolume = 200;
    if (level <= kSilence) return 0;
    return static_cast<int32_t>(
        std::lround(std::min(kMaximumVolume, 100.0 * std::pow(10.0, level / 200.0))));
}
