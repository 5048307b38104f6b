// What an editor's run keeps of where the song's parts were written, beyond
// what the song itself keeps: each syllable of a lyric with the notes it was
// given, and each rest. The compiler fills one only when it is handed one, so
// a command-line run does none of this work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song/SourceLocation.h"

struct TracedSyllable {
    // Its characters inside the lyric string, where the string is written (in
    // a macro's body for a lyric a macro made, with that use as its expansion).
    SourceLocation written;
    std::string text;  // code page 932 bytes
};

// A syllable given to a note. The copies a loop makes of the note are given
// it again, each a landing of its own.
struct SyllableLanding {
    uint32_t syllable = 0;  // its index in SourceTrace::syllables
    uint32_t note = 0;      // the note's index in its track
};

struct TracedRest {
    SourceLocation written;
    int32_t track = 0;  // the track's index in the song
    int32_t time = 0;   // where it starts
    int32_t ticks = 0;
};

struct SourceTrace {
    // A hostile source may make rests without end; past this many (as many
    // as a song may have events) they are not kept.
    static constexpr size_t kMostRests = 4'000'000;

    std::vector<TracedSyllable> syllables;
    // By track index; in each, the landings in the order of their notes.
    std::vector<std::vector<SyllableLanding>> landings;
    std::vector<TracedRest> rests;

    // Syllable `syllable` was given note `note` of track `track`.
    void land(int32_t track, uint32_t syllable, size_t note);
    // A loop appended copies of the notes [from, to) of `track` from `copiesStart` on.
    void copyLandings(int32_t track, size_t from, size_t to, size_t copiesStart);
    // A loop's pass copied the rests [from, to) of `track` that start before
    // `before`, `offset` ticks later.
    void copyRests(int32_t track, size_t from, size_t to, int64_t before, int64_t offset);
    void addRest(const TracedRest& rest) {
        if (rests.size() < kMostRests) rests.push_back(rest);
    }
};
