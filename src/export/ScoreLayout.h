// The score's layout in ticks: its measures from the metre map, the note
// values a duration is written as, and the voices that keep overlapping notes
// of one part apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "song/TempoMap.h"

struct Measure {
    int64_t start;
    int64_t end;
    const MetreMark* metre;  // the metre written at the measure
    bool metreChanges;       // the first measure, or one where another metre begins
};

// The measures from tick 0 until `end` is covered, each as long as its metre
// makes it; a metre that changes inside a measure cuts that measure short
// there. Stops, returning an incomplete list, once it holds more than `limit`.
std::vector<Measure> layMeasures(std::span<const MetreMark> metres, int64_t end, size_t limit);

// A written note value: its type ("quarter" ...) and dots, or no type for a
// remainder no note type shows.
struct NoteValue {
    int64_t ticks;
    const char* type;  // null when no type shows the duration
    int dots;
};

// Splits a duration (480 ticks a quarter note) into note values, the longest
// first, to be joined by ties.
void splitIntoNoteValues(int64_t ticks, std::vector<NoteValue>& out);

// A note of a part as the score sees it, in song ticks.
struct ScoreNote {
    int64_t start;
    int64_t end;
};

// Gives each note, in order of start, the lowest voice (from 0) that is free
// by its start, so notes that overlap go to further voices. Returns the
// voice of each note.
std::vector<size_t> assignVoices(std::span<const ScoreNote> notes);
