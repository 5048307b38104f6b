// A spoken syllable made ready to be sung: its silence trimmed, where its
// vowel begins, and the pitch it was spoken at, found by autocorrelation.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

struct SyllableSound {
    std::vector<float> samples;  // from the first sound to the last
    size_t vowelStart = 0;       // the consonant before it keeps its length when sung
    double cents = 0;            // its pitch as a note number · 100 (69 · 100 is 440 Hz)
};

// The syllable of `samples` at `rate`; nullopt when they hold no sound.
std::optional<SyllableSound> prepareSyllable(std::vector<float> samples, int rate);

// The pitch of the middle of `samples` in cents as above, searched between
// 55 and 1000 Hz; nullopt when no period stands out (noise, silence).
std::optional<double> pitchCents(std::span<const float> samples, int rate);

// The frequency of a pitch in cents as above.
double frequencyOf(double cents);
