// One measure of a part as note values: the notes placed in it and the rests
// between them, cut at bar lines, triplet stretches and marks, split into
// note values by the beat, with ties, tuplet brackets and beams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "writers/musicxml/ScoreLayout.h"
#include "writers/musicxml/ScoreValues.h"

// A note at its quantised times. It may begin in an earlier measure and end
// in a later one; a note whose times meet is shown as a grace note.
struct PlacedNote {
    int64_t start;
    int64_t end;
    size_t index;  // the note's number in its part
};

enum class Beam : uint8_t { None, Begin, Continue, End };

inline constexpr size_t kRestPiece = SIZE_MAX;

struct Piece {
    int64_t start;
    int64_t duration;  // 0 for a grace note
    size_t note;       // the PlacedNote's index, or kRestPiece
    NoteValue value;
    bool triplet;      // three in the time of two
    bool tupletStart;  // the first piece of a triplet stretch
    bool tupletStop;   // its last
    bool first;        // the note's first piece: it takes the lyric
    bool last;         // the note's last piece
    Beam beam;
};

// Lays out the measure. `notes` are in time order and do not overlap; `cuts`
// are times inside the measure where a mark stands, so that a piece starts
// there.
void layMeasurePieces(const Measure& measure, const MeasureGrid& grid,
                      std::span<const PlacedNote> notes, std::span<const int64_t> cuts,
                      std::vector<Piece>& out);
