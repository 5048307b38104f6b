// The one pitch convention of every file: a pitch-bend value b (-8192..8191)
// under a pitch-bend sensitivity of s semitones sounds b * s * 100 / 8192
// cents, on both sides of 0 alike (8192 bend units to the sensitivity's
// range, as MIDI counts them). The division by a power of two makes the value
// exact in a double, so every file that rounds it rounds the same number.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "render/BreakpointListBuilder.h"

inline double pitchCents(int32_t bend, int32_t sensitivity) {
    return static_cast<double>(bend) * sensitivity * 100.0 / 8192.0;
}

// The sensitivity a reader of the VSQ file takes before the file's first
// sensitivity point (or without any): the file lists the curve from the first
// @PBS on only, and every reader then bends by 2 semitones. The projects and
// sequences bend by it there, so that they sound as the VSQ file does.
inline constexpr int32_t kReadersSensitivity = 2;

// The pitch from a tick on, held to the next step's tick.
struct PitchStep {
    int32_t tick;
    double cents;
};

// The pitch curve of a voice track in cents, from its pitch-bend and
// sensitivity curves: a step at every tick where either changes, the bend at
// its default before its first point and the sensitivity at 2, what readers
// of the VSQ file take there.
std::vector<PitchStep> pitchSteps(std::span<const BreakpointPoint> bends,
                                  std::span<const BreakpointPoint> sensitivities);
