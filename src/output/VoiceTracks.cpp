// The voice tracks of a song and the parts of their notes.
#include "output/VoiceTracks.h"

#include <algorithm>
#include <limits>

#include "output/NumberText.h"

std::vector<const Track*> collectVoiceTracks(const Song& song) {
    std::vector<const Track*> voiceTracks;
    for (int k = 0; k < song.trackCount(); ++k) {
        if (!song.track(k).notes.empty()) voiceTracks.push_back(&song.track(k));
    }
    return voiceTracks;
}

std::string voiceTrackName(int number) {
    std::string name = "Voice";
    vsqtext::appendDecimal(name, number);
    return name;
}

NotePart notePart(const Track& track, size_t noteIndex, int part) {
    const NoteEvent& note = track.notes[noteIndex];
    if (note.splitOffset <= 0) return {note.time, note.length, &note.lyric, note.vibrato.type};
    if (part == 1) return {note.time, note.splitOffset, &note.lyric, 0};
    return {int64_t{note.time} + note.splitOffset, int64_t{note.length} - note.splitOffset,
            &track.secondLyric(noteIndex), note.vibrato.type};
}

int32_t curveLength(const Track& track) {
    if (track.notes.empty()) return 0;
    const NoteEvent& last = track.notes.back();
    const int64_t end = int64_t{last.time} + last.length;
    return static_cast<int32_t>(
        std::clamp<int64_t>(end, 0, std::numeric_limits<int32_t>::max()));
}
