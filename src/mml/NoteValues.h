// Lengths, pitches and numbers written the way a person writes MML: a length
// as note values where they add up to it exactly (a whole note down to a
// sixty-fourth, dotted, tied with "^"), and explicit ticks ("*100") only
// where they do not; a pitch as an octave and a note name.
#pragma once

#include <cstdint>
#include <string>

// `ticks` written as one note value, plain or dotted ("4", "4."); empty when
// no single value is that long.
std::string singleNoteValue(int64_t ticks);

// The text after a note letter or "r" for a length of `ticks` (> 0), with
// `defaultLength` the length "l" set: empty for the default length itself,
// else note values tied with "^" (at most three), else "*ticks".
std::string lengthText(int64_t ticks, int64_t defaultLength);

// True when lengthText writes `ticks` as note values.
bool isNoteValueLength(int64_t ticks);

// The octave (-2..8) and the name ("c", "c+", ...) of a note number 0..127.
int32_t octaveOf(int32_t note);
const char* noteName(int32_t note);
