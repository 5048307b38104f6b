// The units other programs' files give the song's values in, turned back into
// the song's: the MIDI file's velocity and expression, and the singing editors'
// decibels, cents and percentages. Each is the inverse of the mapping the
// program's own exports use (doc/manual.md, sections 13 and 14): the song value
// the export maps to the given one where there is one, else the nearest.
#pragma once

#include <cstdint>

// MIDI note-on velocity or expression 0..127 (100 normal) as a velocity or
// dynamics value 0..127 (64 normal).
int32_t songLevelOfMidiLevel(int32_t midiLevel);

// A level in tenths of a decibel (-240 silence .. +120) as dynamics 0..127.
int32_t dynamicsOfLevel(int32_t level);
// Breath 0..100 as breathiness 0..127; gender -100..100 as a gender factor 0..127.
int32_t breathinessOfBreath(int32_t breath);
int32_t genderFactorOfGender(int32_t gender);
// Consonant speed in percent (100 normal) as a velocity 0..127; attack 0..200
// as an accent 0..100; decay 0..50 as a decay 50..100.
int32_t velocityOfSpeed(int32_t speed);
int32_t accentOfAttack(int32_t attack);
int32_t decayOfDecay(int32_t decay);
// Cents as a pitch bend under `sensitivity` (1..24) semitones.
int32_t pitchBendOfCents(int32_t cents, int32_t sensitivity);
// The least sensitivity 1..24 whose range holds `cents` either way.
int32_t sensitivityFor(int32_t cents);
// A per-note volume in percent (100 × 10^(level/200) of the dynamics' level,
// at most 200, 0 silent) as dynamics 0..127.
int32_t dynamicsOfVolume(int32_t volume);
