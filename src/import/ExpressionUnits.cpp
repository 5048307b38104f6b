// The exports' mappings, and the searches that invert them.
#include "import/ExpressionUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int32_t kCentre = 64;

// numerator / denominator rounded half away from zero; denominator > 0.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) {
    const int64_t magnitude = (2 * std::llabs(numerator) + denominator) / (2 * denominator);
    return numerator < 0 ? -magnitude : magnitude;
}

// A 0..127 value around 64 onto -below..above.
int32_t aroundCentre(int32_t value, int64_t below, int64_t above) {
    const int64_t offset = value - kCentre;
    return static_cast<int32_t>(offset < 0 ? roundedQuotient(offset * below, kCentre)
                                           : roundedQuotient(offset * above, 127 - kCentre));
}

// The value in low..high that `forward` maps to `target`, or the one it maps
// nearest to it; among equals the one nearest `middle`.
template <typename Forward>
int32_t inverse(int32_t target, int32_t low, int32_t high, Forward forward, int64_t middle) {
    int32_t best = low;
    int64_t bestDistance = -1;
    for (int32_t value = low; value <= high; ++value) {
        const int64_t distance = std::llabs(int64_t{forward(value)} - target);
        if (bestDistance < 0 || distance < bestDistance ||
            (distance == bestDistance && std::llabs(value - middle) < std::llabs(best - middle))) {
            best = value;
            bestDistance = distance;
        }
    }
    return best;
}

template <typename Forward>
int32_t inverse(int32_t target, int32_t low, int32_t high, Forward forward) {
    return inverse(target, low, high, forward, low);
}

int32_t midiLevel(int32_t level) {
    if (level <= kCentre) return (level * 100 + kCentre / 2) / kCentre;
    return 100 + ((level - kCentre) * 27 + 63 / 2) / 63;
}

int32_t centsOf(int32_t bend, int32_t sensitivity) {
    const int64_t range = bend < 0 ? 8192 : 8191;
    return static_cast<int32_t>(std::clamp<int64_t>(roundedQuotient(int64_t{bend} * sensitivity * 100, range), -1200, 1200));
}

}  // namespace

int32_t songLevelOfMidiLevel(int32_t level) {
    // Among the levels that play the same, the one in proportion.
    const int64_t proportional = level <= 100 ? level * kCentre / 100 : kCentre + (level - 100) * 63 / 27;
    return inverse(level, 0, 127, midiLevel, proportional);
}

int32_t dynamicsOfLevel(int32_t level) {
    return inverse(level, 0, 127, [](int32_t d) { return aroundCentre(d, 240, 120); });
}

int32_t breathinessOfBreath(int32_t breath) {
    return inverse(breath, 0, 127, [](int32_t b) { return static_cast<int32_t>(roundedQuotient(int64_t{b} * 100, 127)); });
}

int32_t genderFactorOfGender(int32_t gender) {
    return inverse(gender, 0, 127, [](int32_t g) { return aroundCentre(g, 100, 100); });
}

int32_t velocityOfSpeed(int32_t speed) {
    return inverse(speed, 0, 127, [](int32_t v) { return static_cast<int32_t>(roundedQuotient(int64_t{v} * 100, 64)); });
}

int32_t accentOfAttack(int32_t attack) { return inverse(attack, 0, 100, [](int32_t a) { return 2 * a; }); }

int32_t decayOfDecay(int32_t decay) {
    return inverse(decay, 50, 100, [](int32_t d) { return d - 50; });
}

int32_t pitchBendOfCents(int32_t cents, int32_t sensitivity) {
    if (sensitivity <= 0) return 0;
    // The bend that gives exactly these cents lies next to the proportion.
    const int64_t estimate = roundedQuotient(int64_t{cents} * 8192, int64_t{sensitivity} * 100);
    const auto low = static_cast<int32_t>(std::clamp<int64_t>(estimate - 2, -8192, 8191));
    const auto high = static_cast<int32_t>(std::clamp<int64_t>(estimate + 2, -8192, 8191));
    return inverse(cents, low, high, [&](int32_t bend) { return centsOf(bend, sensitivity); }, estimate);
}

int32_t sensitivityFor(int32_t cents) {
    const int64_t magnitude = std::llabs(int64_t{cents});
    return static_cast<int32_t>(std::clamp<int64_t>((magnitude + 99) / 100, 1, 24));
}

int32_t dynamicsOfVolume(int32_t volume) {
    return inverse(volume, 0, 127, [](int32_t d) {
        const int32_t level = aroundCentre(d, 240, 120);
        if (level <= -240) return 0;
        return static_cast<int32_t>(std::lround(std::min(200.0, 100.0 * std::pow(10.0, level / 200.0))));
    });
}
