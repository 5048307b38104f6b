// How the score names a note's pitch: the letter and accidental the source
// wrote, and under a transposition the written letter where it can stay.
#pragma once

#include <cstdint>

struct Spelling {
    char step;   // 'A'..'G'
    int alter;   // -1 flat, 0 natural, +1 sharp
    int octave;  // the octave of the step, 4 for the one from middle C
};

// `pitch` is the sounding note number 0..127; `letter` and `accidental` are
// the name as written (NoteEvent's writtenLetter and writtenAccidental).
Spelling spellPitch(int32_t pitch, uint8_t letter, int accidental);
