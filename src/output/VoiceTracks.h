// What a voice track is made of, shared by the VSQ writer and the files
// exported beside it: which tracks of the song become voice tracks, their
// names, the parts each note is written as, and how far their curves reach.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "song/Song.h"

// Both MIDI files, the VSQ file and the exported one, are of format 1: a
// master track with the tempo map, then one track per voice track.
inline constexpr int kMidiFileFormat = 1;
inline constexpr const char* kMasterTrackName = "Master Track";

// The song's tracks that hold at least one note, in song order.
std::vector<const Track*> collectVoiceTracks(const Song& song);

// "Voice1", "Voice2", ... for the voice tracks numbered from 1.
std::string voiceTrackName(int number);

// A note is one part, or two when its lyric splits it: the first part up to
// the split without vibrato, the second to the note's end with the second
// lyric and the vibrato.
struct NotePart {
    int64_t start;   // song ticks
    int64_t length;
    const Lyric* lyric;
    int32_t vibratoType;
};
inline int notePartCount(const NoteEvent& note) { return note.splitOffset > 0 ? 2 : 1; }
// Part 1 or 2 of the track's note at `noteIndex`.
NotePart notePart(const Track& track, size_t noteIndex, int part);

// A text from the song as a file carries it: up to its first zero byte.
inline std::string_view fileText(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The end of the track's last note in song ticks, within 0..INT32_MAX: the
// control curves are measured up to there.
int32_t curveLength(const Track& track);
