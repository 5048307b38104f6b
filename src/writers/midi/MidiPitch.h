// The exported MIDI file's pitch: the bend range and the pitch bend that carry
// the song's pitch-bend curve, its sensitivity and the vibrato each note sings,
// and the times the vibrato is sampled at.
#pragma once

#include <algorithm>
#include <cstdint>

#include "render/Pitch.h"
#include "render/TempoClock.h"
#include "song/VibratoSound.h"

// The bend range in semitones (registered parameter 0) for a pitch-bend
// sensitivity: one semitone more, room for the deepest vibrato (99 cents) on
// top of the curve, and at most 24, the widest range players follow.
int32_t midiBendRange(int32_t sensitivity);

// The pitch bend, -8192..8191 around the centre, of one pitch-bend curve value
// at its sensitivity, for any vibrato offset on top, in that sensitivity's bend
// range:
//   cents = pitchCents(curve, sensitivity) + vibrato cents (render/Pitch.h);
//   bend  = cents · 8192 / (range · 100), rounded, held within -8192..8191.
class MidiBendScale {
public:
    MidiBendScale(int32_t curve, int32_t sensitivity)
        : curveCents_(pitchCents(curve, sensitivity)),
          rangeCents_(midiBendRange(sensitivity) * kCentsPerSemitone) {}

    // Inline, the curve's part held, rounded without a call: saves 5.6% of a 100k-note -m run.
    int32_t bend(double vibratoCents) const {
        const double cents = curveCents_ + vibratoCents;
        return roundedBend(cents * kBendPerRange / rangeCents_);
    }

private:
    // Bend units from the centre to the range's edge.
    static constexpr double kBendPerRange = 8192.0;
    static constexpr int32_t kLowestBend = -8192;
    static constexpr int32_t kHighestBend = 8191;

    // `bend` rounded half away from zero, held within kLowestBend..kHighestBend.
    static int32_t roundedBend(double bend) {
        if (!(bend > kLowestBend)) return kLowestBend;
        if (bend >= kHighestBend) return kHighestBend;
        const auto whole = static_cast<int32_t>(bend);  // towards zero
        const double rest = bend - whole;               // exact: the fraction of `bend`
        return whole + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0);
    }

    double curveCents_;
    double rangeCents_;
};

// The vibrato of one note part as a series of samples of its offset: one at its
// start, then one every 10 ms of song time but never closer than 10 ticks, and
// one at its end (the note part's end), where the offset is back at 0.
class VibratoSamples {
public:
    // The fewest ticks between two samples; it bounds their number.
    static constexpr int64_t kMinimumStepTicks = 10;
    static constexpr int64_t kStepMs = 10;

    VibratoSamples() = default;  // no vibrato: no samples
    // The vibrato `sound` of the note part starting at `partStart`.
    VibratoSamples(const VibratoSound& sound, int64_t partStart, const TempoClock& clock);

    bool pending() const { return pending_; }
    int64_t nextTick() const { return next_; }
    // The offset in cents at nextTick(); moves on to the following sample.
    // The samples of a track are taken in time order, through one cursor
    // (inline with it, see TempoClock::Cursor), their sines through `sines`.
    double take(TempoClock::Cursor& clock, VibratoSines& sines) {
        const int64_t tick = next_;
        if (tick >= end_) {
            pending_ = false;
            return 0;
        }
        const int64_t stepTicks = TempoClock::ticksIn(kStepMs, clock.bpmAt(tick));
        next_ = std::min(end_, tick + std::max(kMinimumStepTicks, stepTicks));
        return vibratoOffsetCents(sound_, clock.msAt(tick) - startMs_, lengthMs_, sines);
    }
    // The most samples a vibrato lasting `ticks` takes.
    static int64_t mostSamples(int64_t ticks) { return ticks / kMinimumStepTicks + 2; }

private:
    VibratoSound sound_;
    bool pending_ = false;
    int64_t next_ = 0;  // the tick of the next sample
    int64_t end_ = 0;   // the tick of the last sample
    double startMs_ = 0;
    double lengthMs_ = 0;
};
