// Vibrato types from the values of other programs' files.
#include "import/Vibratos.h"

#include <cstdlib>

#include "song/Limits.h"
#include "song/VibratoSound.h"

namespace {

// The type with the least `distance`, the lowest among equals.
template <typename Distance>
VibratoMatch nearestType(Distance distance) {
    VibratoMatch best{1, false};
    int64_t bestDistance = -1;
    for (int32_t type = 1; type <= kMaxVibratoType; ++type) {
        const int64_t d = distance(type);
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best.type = type;
        }
    }
    best.exact = bestDistance == 0;
    return best;
}

}  // namespace

VibratoMatch vibratoTypeForPreset(int32_t depth, int32_t rate) {
    return nearestType([&](int32_t type) {
        const auto [presetDepth, presetRate] = kVibratoPresets[static_cast<size_t>(type)];
        const int64_t dd = presetDepth - depth;
        const int64_t dr = presetRate - rate;
        return dd * dd + dr * dr;
    });
}

VibratoMatch vibratoTypeForSound(int32_t periodMs, int32_t depthCents) {
    return nearestType([&](int32_t type) {
        const auto [depth, rate] = kVibratoPresets[static_cast<size_t>(type)];
        const VibratoSound sound = vibratoSound(type, depth, rate, 1, 1);
        const int64_t dp = sound.periodMs - periodMs;
        const int64_t dc = sound.depthCents - depthCents;
        return dp * dp + dc * dc;
    });
}
