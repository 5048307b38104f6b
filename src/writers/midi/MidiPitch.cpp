// The pitch of an exported voice track: curve and vibrato summed in cents and
// put into the bend range, and the sampling of a vibrato.
#include "writers/midi/MidiPitch.h"

#include <algorithm>
#include <cmath>

#include "render/Pitch.h"

namespace {

constexpr int32_t kVibratoRoomSemitones = 1;
constexpr int32_t kWidestBendRange = 24;
constexpr double kBendPerRange = 8192.0;  // bend units from the centre to the range's edge
constexpr int32_t kLowestBend = -8192;
constexpr int32_t kHighestBend = 8191;

}  // namespace

int32_t midiBendRange(int32_t sensitivity) {
    return std::clamp(sensitivity, 0, kWidestBendRange - kVibratoRoomSemitones) +
           kVibratoRoomSemitones;
}

int32_t midiBend(int32_t curve, int32_t sensitivity, double vibratoCents) {
    const double cents = pitchCents(curve, sensitivity) + vibratoCents;
    const double bend = cents * kBendPerRange / (midiBendRange(sensitivity) * kCentsPerSemitone);
    return static_cast<int32_t>(std::clamp<double>(std::round(bend), kLowestBend, kHighestBend));
}

VibratoSamples::VibratoSamples(const VibratoSound& sound, int64_t partStart,
                               const TempoClock& clock)
    : sound_(sound) {
    if (!sound.on) return;
    pending_ = true;
    next_ = partStart + sound.startTick;
    end_ = next_ + sound.lengthTicks;
    startMs_ = clock.msAt(next_);
    lengthMs_ = clock.msAt(end_) - startMs_;
}

double VibratoSamples::take(TempoClock::Cursor& clock) {
    const int64_t tick = next_;
    if (tick >= end_) {
        pending_ = false;
        return 0;
    }
    const int64_t stepTicks = TempoClock::ticksIn(kStepMs, clock.bpmAt(tick));
    next_ = std::min(end_, tick + std::max(kMinimumStepTicks, stepTicks));
    return vibratoOffsetCents(sound_, clock.msAt(tick) - startMs_, lengthMs_);
}
