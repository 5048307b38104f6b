// What the compile noticed for the hints: lyrics with more syllables than notes
// waiting for them, per track the notes that no syllable reached and so sing
// the default one, and loops left open in tracks that the end of the source
// did not reach. The compiler gathers it; the driver prints it on standard
// error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A place in the source: the file name as messages show it, and a line.
struct SourcePlace {
    std::string file;
    int32_t line = 0;
};

// A lyric whose syllable `leftOver` (code page 932 bytes) found no note.
struct SurplusLyric {
    SourcePlace place;
    int32_t track = 0;         // 1-based, as selected in the source
    int64_t syllables = 0;     // syllables of the lyric that each take a note
    int64_t waitingNotes = 0;  // notes waiting for a syllable when the lyric came
    std::string leftOver;
};

// Notes of a track that has lyrics but gave these no syllable.
struct UnsungNotes {
    int32_t track = 0;
    int64_t count = 0;
    SourcePlace first;  // where the earliest of them is written
    // Where syllables and notes part ways: the lyric that sang the note before
    // the earliest of them, and the syllable it sang there (code page 932
    // bytes); empty when no note before it sang.
    SourcePlace lastLyric;
    std::string lastSyllable;
};

// A loop opened in a track that was not selected when the source ended: no
// error says it is never closed, and its part is played once.
struct OpenLoop {
    int32_t track = 0;
    SourcePlace opened;  // where its "/:" is written
};

struct LyricReport {
    std::vector<SurplusLyric> surpluses;  // the first few, in source order
    int64_t moreSurpluses = 0;            // those beyond them
    std::vector<UnsungNotes> unsung;      // by track
    std::vector<OpenLoop> openLoops;      // by track, outermost first
};

// How many surplus lyrics are described one by one.
inline constexpr size_t kDescribedSurpluses = 10;
