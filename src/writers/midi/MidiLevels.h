// How loud the exported MIDI file plays: the one mapping from the song's
// levels (note velocity and the dynamics curve, 0..127, normal at 64) to MIDI
// note-on velocity and expression, and the channel volume every voice track
// starts with.
#pragma once

#include <algorithm>
#include <cstdint>

// The channel volume (controller 7) of every voice track: the General MIDI
// default, sent so that every player starts from the same level.
inline constexpr uint8_t kMidiChannelVolume = 100;

// The song's normal level 64 plays as 100, loud enough for an ordinary player;
// values below it scale in proportion (0 stays 0), values above rise evenly to
// 127, so every step of the song's level stays a step in the file:
//   level <= 64: level · 100 / 64, rounded;
//   level >  64: 100 + (level − 64) · 27 / 63, rounded.
inline constexpr int32_t kMidiNormalLevel = 100;
inline constexpr int32_t kSongNormalLevel = 64;

constexpr uint8_t midiLevel(int32_t songLevel) {
    const int32_t level = std::clamp(songLevel, 0, 127);
    if (level <= kSongNormalLevel) {
        return static_cast<uint8_t>((level * kMidiNormalLevel + kSongNormalLevel / 2) /
                                    kSongNormalLevel);
    }
    constexpr int32_t kSongRise = 127 - kSongNormalLevel;
    constexpr int32_t kMidiRise = 127 - kMidiNormalLevel;
    return static_cast<uint8_t>(kMidiNormalLevel +
                                ((level - kSongNormalLevel) * kMidiRise + kSongRise / 2) / kSongRise);
}
