// How a note's vibrato sounds: one mapping from the song's vibrato settings
// (type, depth and rate in 0..127, length in ticks at the note's end) to a
// period in milliseconds, a depth in cents and the share of the note it covers.
// Every output that renders or carries vibrato as sound reads it from here.
#pragma once

#include <cstdint>

#include "song/VibratoSines.h"

struct VibratoSound {
    bool on = false;           // false for type 0 or a vibrato of no length
    int32_t periodMs = 0;      // one cycle, kMinimumPeriodMs..kMaximumPeriodMs
    int32_t depthCents = 0;    // peak deviation from the note's pitch
    int32_t lengthPercent = 0; // share of the note, counted back from its end
    int32_t startTick = 0;     // ticks after the note's start where it begins
    int32_t lengthTicks = 0;   // ticks it lasts, to the note's end
};

// Limits of the period: a rate of 0 would stand still, and a rate of 127
// would be a trill rather than a vibrato.
inline constexpr int32_t kVibratoMinimumPeriodMs = 64;
inline constexpr int32_t kVibratoMaximumPeriodMs = 500;
// The swell at the start and the fade at the end, each a share of the
// vibrato's own length.
inline constexpr int32_t kVibratoFadeInPercent = 10;
inline constexpr int32_t kVibratoFadeOutPercent = 10;

// The mapping:
//   period ms     = 4000·π / rate, rounded, held within 64..500
//                   (rate 50 → 251 ms, 64 → 196 ms, 127 → 99 ms);
//   depth cents   = depth · 50 / 64, rounded (depth 64 → 50 cents, 127 → 99);
//   length %      = vibrato ticks · 100 / note ticks, rounded, within 0..100.
// The type selects the preset the depth and rate came from; the sound itself
// depends only on depth, rate and length.
VibratoSound vibratoSound(int32_t type, int32_t depth, int32_t rate, int32_t vibratoTicks,
                          int32_t noteTicks);

// The pitch offset in cents `msIntoVibrato` after the vibrato's start, for a
// vibrato lasting `vibratoMs`: a sine starting upwards at phase 0, its depth
// rising linearly over the fade-in and falling over the fade-out. The sine
// comes through `sines`, which a writer keeps for all its vibratos.
double vibratoOffsetCents(const VibratoSound& sound, double msIntoVibrato, double vibratoMs,
                          VibratoSines& sines);
