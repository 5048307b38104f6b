// A song read from another program's file, as the compiler would write it into
// a VSQ file: the tempo map, and per voice track its singers, its notes as they
// sound (each part of a split note on its own) and its nine control curves as
// breakpoint lists. Every reader fills one; the MML printer reads it. Times
// are song ticks (480 per quarter note) from the song's start, without the VSQ
// file's pre-measure. Texts are code page 932 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/NotCarried.h"
#include "song/Limits.h"
#include "song/TempoMap.h"

// A syllable as a note sings it: the lyric text and its phonetic symbols.
struct ImportedLyric {
    std::string text;
    std::string symbols;
    bool operator==(const ImportedLyric&) const = default;
};

// One note as the VSQ file lists it. The lyric is an index into the song's
// table of lyrics, so that a note stays small in songs of millions of notes.
struct ImportedNote {
    int64_t time = 0;
    int32_t length = 0;
    uint32_t lyric = 0;
    int32_t vibratoLength = 0;  // ticks of vibrato at the note's end
    uint8_t note = 0;
    uint8_t velocity = 64;
    uint8_t bendDepth = 8;
    uint8_t bendLength = 0;
    uint8_t portamentoUse = 0;
    uint8_t decay = 50;
    uint8_t accent = 50;
    uint8_t vibratoType = 0;  // 0 none, 1..16
};

struct ImportedSinger {
    int64_t time = 0;
    int32_t language = 0;
    int32_t program = 0;
    std::string name;
    bool operator==(const ImportedSinger& other) const {
        return language == other.language && program == other.program && name == other.name;
    }
};

// A breakpoint: 8 bytes, since a curve may hold millions. A tick past what a
// track can reach is held at the end of that range (and then left out).
struct ImportedPoint {
    int32_t tick = 0;
    int32_t value = 0;
};

inline ImportedPoint pointAt(int64_t tick, int32_t value) {
    return {static_cast<int32_t>(tick < INT32_MIN ? INT32_MIN : tick > INT32_MAX ? INT32_MAX : tick), value};
}

// The most notes an imported song may have: as many events as the compiler
// takes in one song.
inline constexpr size_t kMostImportedNotes = 4000000;

struct ImportedTrack {
    // Time-ordered; the first, at time 0, is the singer the track starts with.
    std::vector<ImportedSinger> singers;
    std::vector<ImportedNote> notes;  // time-ordered, none sounding together
    // Breakpoint lists by curve id (1..9; index 0 unused), ticks increasing.
    std::array<std::vector<ImportedPoint>, 10> curves;
};

struct ImportedSong {
    TempoMap tempoMap;  // the first tempo and time signature at time 0
    std::vector<ImportedTrack> tracks;
    std::vector<ImportedLyric> lyrics;
    NotCarried notCarried;

    // The index of `lyric` in the table, added when new.
    uint32_t lyricIndex(const ImportedLyric& lyric);
    const ImportedLyric& lyricOf(const ImportedNote& note) const { return lyrics[note.lyric]; }

private:
    std::unordered_map<std::string, uint32_t> lyricIndices_;
};
