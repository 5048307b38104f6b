// Finding the vibrato type of a note from what another program's file says of
// its vibrato: the types' presets (depth and rate) and their sound are the
// song's; a file that gives other values gets the nearest type.
#pragma once

#include <cstdint>

struct VibratoMatch {
    int32_t type = 0;    // 1..16
    bool exact = false;  // the preset is what the file gave
};

// The lowest type whose preset has this depth and rate, or the nearest one.
VibratoMatch vibratoTypeForPreset(int32_t depth, int32_t rate);

// The lowest type whose vibrato sounds with this period (ms) and depth
// (cents), or the one that sounds nearest.
VibratoMatch vibratoTypeForSound(int32_t periodMs, int32_t depthCents);
