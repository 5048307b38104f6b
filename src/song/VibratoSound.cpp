// The one mapping from a note's vibrato settings to its sound.
#include "song/VibratoSound.h"

#include <algorithm>
#include <cmath>
#include <numbers>

VibratoSound vibratoSound(int32_t type, int32_t depth, int32_t rate, int32_t vibratoTicks,
                          int32_t noteTicks) {
    VibratoSound sound;
    if (type <= 0 || vibratoTicks <= 0 || noteTicks <= 0) return sound;
    const int32_t ticks = std::min(vibratoTicks, noteTicks);
    sound.on = true;
    const double period = rate > 0 ? std::round(4000.0 * std::numbers::pi / rate)
                                   : static_cast<double>(kVibratoMaximumPeriodMs);
    sound.periodMs = static_cast<int32_t>(
        std::clamp(period, static_cast<double>(kVibratoMinimumPeriodMs),
                   static_cast<double>(kVibratoMaximumPeriodMs)));
    sound.depthCents = static_cast<int32_t>(std::lround(std::clamp(depth, 0, 127) * 50.0 / 64.0));
    sound.lengthPercent = static_cast<int32_t>(
        std::lround(static_cast<double>(ticks) * 100.0 / static_cast<double>(noteTicks)));
    sound.startTick = noteTicks - ticks;
    sound.lengthTicks = ticks;
    return sound;
}

double vibratoOffsetCents(const VibratoSound& sound, double msIntoVibrato, double vibratoMs,
                          VibratoSines& sines) {
    if (!sound.on || vibratoMs <= 0 || msIntoVibrato < 0 || msIntoVibrato > vibratoMs) return 0;
    const double fadeIn = vibratoMs * kVibratoFadeInPercent / 100.0;
    const double fadeOut = vibratoMs * kVibratoFadeOutPercent / 100.0;
    double envelope = 1.0;
    if (fadeIn > 0 && msIntoVibrato < fadeIn) envelope = msIntoVibrato / fadeIn;
    const double left = vibratoMs - msIntoVibrato;
    if (fadeOut > 0 && left < fadeOut) envelope = std::min(envelope, left / fadeOut);
    const double phase = 2.0 * std::numbers::pi * msIntoVibrato / sound.periodMs;
    return sound.depthCents * envelope * sines.of(phase);
}
