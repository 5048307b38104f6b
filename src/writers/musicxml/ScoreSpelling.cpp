// The spelling rule of the score. A note sounding as written keeps its name:
// `c+` is C sharp, `d-` D flat, `b+` B sharp. A note moved by a transposition
// keeps the written letter with a natural, a sharp or a flat when one of them
// reaches the pitch (E sharp, B sharp, F flat and C flat excepted); otherwise
// a white key is written natural, and a black key with the accidental the
// source used, or for a natural note the sharp when the transposition goes up
// and the flat when it goes down. A note written by no name is spelt as a
// natural or a sharp.
#include "writers/musicxml/ScoreSpelling.h"

#include "song/Song.h"
#include "song/Pitch.h"

namespace {

// The difference a - b of pitch classes, in -6..5.
int classDistance(int32_t a, int32_t b) {
    const int distance = static_cast<int>(((a - b) % 12 + 12) % 12);
    return distance >= 6 ? distance - 12 : distance;
}

int32_t classOf(uint8_t letter) { return pitchClassOf(kLetterNames[letter]); }

uint8_t letterOfWhiteKey(int32_t pitchClass) {
    uint8_t letter = 0;
    while (classOf(letter) != pitchClass) ++letter;
    return letter;
}

// Written as E sharp, B sharp, F flat or C flat.
bool isOddName(uint8_t letter, int alter) {
    if (alter > 0) return letter == LetterE || letter == LetterB;
    if (alter < 0) return letter == LetterF || letter == LetterC;
    return false;
}

Spelling spelt(int32_t pitch, uint8_t letter, int alter) {
    // The octave is the one of the letter's natural note, which an alteration
    // may take across a C.
    const int32_t natural = pitch - alter;
    int octave = static_cast<int>(natural / 12) - 1;
    if (octave < 0) octave = 0;  // the notation's lowest octave holds the lowest notes
    return {kLetterNames[letter], alter, octave};
}

}  // namespace

Spelling spellPitch(int32_t pitch, uint8_t letter, int accidental) {
    const int32_t pitchClass = pitch % 12;
    int direction = accidental;
    if (letter < kNoLetter) {
        const int shift = classDistance(pitch, classOf(letter) + accidental);
        if (shift == 0) return spelt(pitch, letter, accidental);
        const int alter = classDistance(pitch, classOf(letter));
        if (alter >= -1 && alter <= 1 && !isOddName(letter, alter)) return spelt(pitch, letter, alter);
        if (direction == 0) direction = shift > 0 ? 1 : -1;
    } else {
        direction = 1;
    }
    if (!isBlackKey(pitchClass)) return spelt(pitch, letterOfWhiteKey(pitchClass), 0);
    return spelt(pitch, letterOfWhiteKey(direction > 0 ? pitchClass - 1 : pitchClass + 1), direction);
}
