// The notes of a track as the printed MML writes them. The compiler writes a
// note whose lyric "&" splits as two parts: 60 ticks of the first syllable
// without vibrato, then the second syllable with the note's vibrato. Two parts
// that fit that pattern are printed as one split note; every other part is a
// note of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "import/ImportedSong.h"

// Where the second syllable of a split note starts.
inline constexpr int64_t kSplitOffset = 60;

// 16 bytes: a track may have millions.
struct PrintedNote {
    int64_t time = 0;
    int32_t length = 0;    // both parts together for a split note
    uint32_t part : 31 = 0;  // the index of its (first) part in the track's notes
    uint32_t split : 1 = 0;  // the part after it is its second
};

std::vector<PrintedNote> printedNotes(const ImportedSong& song, const ImportedTrack& track);
