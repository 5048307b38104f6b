// Note letters and the pitch classes they reach with their accidentals.
#pragma once

#include <cstdint>

constexpr bool isNoteLetter(int32_t code) { return code >= 'A' && code <= 'G'; }

// The pitch class (0 = C .. 11 = B) of a note letter 'A'..'G'.
constexpr int32_t pitchClassOf(int32_t letter) {
    constexpr int32_t kLetterClass[] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    return kLetterClass[letter - 'A'];
}

// True for the classes a sharp or flat may reach: the black keys 1, 3, 6, 8
// and 10. Anything else, including -1 and 12, is a natural note or none.
constexpr bool isBlackKey(int32_t pitchClass) {
    constexpr uint32_t kBlackKeys = (1u << 1) | (1u << 3) | (1u << 6) | (1u << 8) | (1u << 10);
    return pitchClass >= 0 && pitchClass <= 11 && ((kBlackKeys >> pitchClass) & 1u) != 0;
}

// The pitch class a note letter reaches raised (+1), lowered (-1) or left
// (0) by its accidental; it lies in -1..12 and is no note when out of 0..11.
constexpr int32_t pitchClassOf(int32_t letter, int32_t accidentalStep) {
    return pitchClassOf(letter) + accidentalStep;
}

// A sharp or flat may only land on a black key; no accidental is always fine.
constexpr bool accidentalFits(int32_t letter, int32_t accidentalStep) {
    return accidentalStep == 0 || isBlackKey(pitchClassOf(letter, accidentalStep));
}
