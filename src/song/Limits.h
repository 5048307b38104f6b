// The ranges and defaults of the song's values, each written once: what the
// compiler accepts and starts from, and what the writers fall back on.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

struct ValueRange {
    int32_t minimum;
    int32_t maximum;
};

// Track numbers run from 1 to this.
inline constexpr int kMaxTracks = 32;

// Tempo in beats per minute (T, and @T when not 0), and the tempo and time
// signature in force until the song sets its own.
inline constexpr ValueRange kTempoRange{20, 300};
inline constexpr int32_t kDefaultTempo = 120;
inline constexpr int32_t kDefaultMetreNumerator = 4;
inline constexpr int32_t kDefaultMetreDenominator = 4;

// A note's velocity: its range, and its value until the song sets one.
inline constexpr ValueRange kVelocityRange{0, 127};
inline constexpr int32_t kDefaultVelocity = 64;

// The note parameters @Z sets by index: bend depth, bend length, portamento
// use, decay and accent. Indices after them up to the last are reserved and
// take only 0.
struct NoteParameter {
    int32_t defaultValue;
    ValueRange range;
};
inline constexpr std::array<NoteParameter, 5> kNoteParameters = {{
    {8, {0, 100}},
    {0, {0, 100}},
    {0, {0, 3}},
    {50, {0, 100}},
    {50, {0, 100}},
}};
inline constexpr int32_t kLastNoteParameterIndex = 63;

// Vibrato types 1 to the highest (0 is none), the type and the delay in ticks
// a track starts with, and each type's preset (startDepth, startRate). The
// types form four families of four: 1-4, 5-8, 9-12 and 13-16.
inline constexpr int32_t kMaxVibratoType = 16;
inline constexpr int32_t kVibratoTypesPerFamily = 4;
inline constexpr int32_t kDefaultVibratoType = 1;
inline constexpr int32_t kDefaultVibratoDelay = 160;
inline constexpr std::array<std::pair<int32_t, int32_t>, kMaxVibratoType + 1> kVibratoPresets = {{
    {0, 0},   {64, 50}, {40, 50}, {127, 50}, {64, 50}, {64, 64}, {32, 32}, {100, 50}, {64, 64},
    {64, 64}, {40, 50}, {80, 70}, {64, 64},  {64, 64}, {40, 64}, {72, 64}, {64, 64},
}};

// Envelopes: definitions numbered up to the highest, each of up to six points
// measured by one of four types (0..3); every curve of a track has ten slots.
inline constexpr int32_t kMaxEnvelopeNumber = 127;
inline constexpr int kEnvelopePoints = 6;
inline constexpr int32_t kLastEnvelopeType = 3;
inline constexpr int kEnvelopeSlots = 10;
// Offsets in ticks: envelope positions measured in ticks and the start offset
// of a parameter envelope (@EOP).
inline constexpr ValueRange kTickOffsetRange{-500, 50000};

// Octaves (O, "<" and ">") and the octave a track starts in.
inline constexpr ValueRange kOctaveRange{-2, 8};
inline constexpr int32_t kDefaultOctave = 4;

// The gate (Q): a note sounds for gate eighths of its length; a track starts
// with notes that sound to their end.
inline constexpr ValueRange kGateRange{0, 8};
inline constexpr int32_t kGateSteps = 8;
inline constexpr int32_t kDefaultGate = kGateSteps;

// A note's number is octave * 12 + its pitch class + the transposition + this
// offset, within the MIDI note range; one outside it is reported and sounds
// as the fallback, the C of the default octave.
inline constexpr int32_t kNoteNumberOffset = 24;
inline constexpr ValueRange kNoteNumberRange{0, 127};
inline constexpr int32_t kFallbackNoteNumber = kDefaultOctave * 12 + kNoteNumberOffset;

// A time signature (@M): the beats of a bar and the note value of a beat.
inline constexpr ValueRange kMetreNumeratorRange{1, 255};
inline constexpr std::array<int32_t, 6> kMetreDenominators = {1, 2, 4, 8, 16, 32};

// The passes of a loop ("/:" with a count), and those of one without.
inline constexpr ValueRange kLoopCountRange{2, 1000};
inline constexpr int32_t kDefaultLoopCount = 2;
// The singer a track starts with until a singer change names another: its
// program, language and name (code page 932).
inline constexpr int32_t kDefaultSingerProgram = 0;
inline constexpr int32_t kDefaultSingerLanguage = 0;
inline constexpr const char kDefaultSingerName[] = "Tuvo";
