// The pitch of an exported voice track: the bend range for a sensitivity, and
// the sampling of a vibrato.
#include "writers/midi/MidiPitch.h"

namespace {

constexpr int32_t kVibratoRoomSemitones = 1;
constexpr int32_t kWidestBendRange = 24;

}  // namespace

int32_t midiBendRange(int32_t sensitivity) {
    return std::clamp(sensitivity, 0, kWidestBendRange - kVibratoRoomSemitones) +
           kVibratoRoomSemitones;
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
