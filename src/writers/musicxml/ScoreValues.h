// Note values of the score: the types and dots a duration is written with,
// in notated ticks (480 a quarter note; a triplet's notated ticks are 3/2 of
// the ticks it lasts).
#pragma once

#include <cstdint>
#include <vector>

// A written note value: its type ("quarter" ...) and dots.
struct NoteValue {
    int64_t ticks;  // notated
    const char* type;
    int dots;
};

// Splits a notated duration, a multiple of `quantum` (a note value such as a
// 64th, 30 ticks), into values with up to two dots, each a multiple of
// `quantum`, the longest first: pieces of a note joined by ties.
void splitNoteValues(int64_t ticks, int64_t quantum, std::vector<NoteValue>& out);

// Splits the stretch from `from` to `to` (notated ticks, multiples of
// `quantum`, counted from a beat) into undotted values that each start at a
// multiple of their own length: rests that show where the beat falls.
void splitAlignedValues(int64_t from, int64_t to, int64_t quantum, std::vector<NoteValue>& out);

// The one value (type with up to one dot) that shows exactly `ticks`, or a
// value without type when there is none.
NoteValue singleValue(int64_t ticks);

// True for values drawn with flags, which beams join: an eighth or shorter.
bool isFlagged(const NoteValue& value);
