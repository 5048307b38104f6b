// How a voice track sounds in an ordinary player: its MIDI channel and a
// voice-like General MIDI program. The MIDI file and the score's instrument
// list say the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

inline constexpr uint8_t kChoirAahs = 52;  // General MIDI program 53, counted from 0
inline constexpr const char* kChoirAahsName = "Choir Aahs";

// Channels 1 to 16 in turn (counted from 0), leaving out channel 10, which
// players keep for drums.
inline uint8_t channelOf(size_t voiceIndex) {
    constexpr uint8_t kChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15};
    return kChannels[voiceIndex % std::size(kChannels)];
}
