// The compiled song: tracks of timed events with absolute tick times (480 per
// quarter note). The compiler fills it; the VSQ writer reads it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "song/CompactText.h"
#include "song/Controls.h"
#include "song/EnvelopeShape.h"
#include "song/Limits.h"
#include "song/SourceLocation.h"

// A syllable: the lyric text as written (code page 932 bytes) and its phonetic
// symbols separated by single blanks. Both are a few bytes long, and every note
// has two lyrics, so they are kept as compact texts.
struct Lyric {
    CompactText text;
    CompactText symbols;
};

// The long-vowel marks "-", "ー" and "－" (character codes): a note given one
// holds the vowel of the note before it.
constexpr bool isLongVowelMark(int code) { return code == '-' || code == 0x815B || code == 0x817C; }

// True when a note's lyric text is one of the marks (its code page 932 bytes).
constexpr bool isLongVowelLyric(std::string_view text) {
    if (text.size() == 1) return isLongVowelMark(static_cast<unsigned char>(text[0]));
    return text.size() == 2 && isLongVowelMark(static_cast<unsigned char>(text[0]) * 256 +
                                               static_cast<unsigned char>(text[1]));
}

// The syllable every new note sings until it gets its own: "ら" (code page
// 932 bytes) with its phonetic symbols.
inline constexpr const char kDefaultLyricText[] = "\x82\xE7";
inline constexpr const char kDefaultLyricSymbols[] = "4 a";
// The lyric text of a note given its phonetic symbols directly ("[k' i]").
inline constexpr const char kPhoneticLyricText[] = "a";

// The type and the start depth and rate come from a table of presets whose
// values lie in 0..127, so each takes a byte.
struct Vibrato {
    int8_t type = 0;  // 0 none, 1..16 the vibrato type
    int8_t startDepth = 0;
    int8_t startRate = 0;
    int32_t length = 0;
};

// What every event has. Events are held by value in their own sequences and
// never deleted through this base.
struct Event {
    int32_t time = 0;
};

// The letter of a note's name as written, C to B, for the score; kNoLetter
// for a note that was not written by name.
enum NoteLetter : uint8_t {
    LetterC, LetterD, LetterE, LetterF, LetterG, LetterA, LetterB, kNoLetter
};
inline constexpr char kLetterNames[] = "CDEFGAB";  // by NoteLetter

// The note parameters lie in 0..127 (the compiler checks every value it
// takes), and a split comes 0 or 60 ticks into the note, so each is a byte;
// the portamento bits, the join flag and the written name share one byte.
// With the lyric kept compact and the rare second lyric kept beside the notes
// (in the track), a note takes 44 bytes: a song holds up to millions of them,
// and their size is most of the memory such a song needs.
struct NoteEvent : Event {
    int32_t length = 0;  // sounding: the step shortened by the gate, or reaching a joined note
    int32_t step = 0;    // written: from the note's start to the next note or rest of the source
    int8_t note = 0;
    int8_t velocity = kDefaultVelocity;
    int8_t bendDepth = kNoteParameters[0].defaultValue;
    int8_t bendLength = kNoteParameters[1].defaultValue;
    int8_t decayGainRate = kNoteParameters[3].defaultValue;
    int8_t accent = kNoteParameters[4].defaultValue;
    int8_t splitOffset = 0;
    uint8_t portamentoUse : 2 = kNoteParameters[2].defaultValue;
    bool joined : 1 = false;
    uint8_t writtenLetter : 3 = kNoLetter;
    int8_t writtenAccidental : 2 = 0;  // -1 flat, 0 none, +1 sharp, as written
    Lyric lyric{kDefaultLyricText, kDefaultLyricSymbols};  // sung until the note gets its own
    Vibrato vibrato;
};
static_assert(sizeof(NoteEvent) <= 44);

// A tempo, time signature, curve, singer or parameter-envelope control.
struct ControlEvent : Event {
    ControlValue value;

    // The record of kind T, or null when the control is of another kind.
    template <typename T>
    const T* as() const { return std::get_if<T>(&value); }
    template <typename T>
    T* as() { return std::get_if<T>(&value); }
};

// A note envelope laid over a span of `length` ticks from its time: its shape is
// the track's envelopeShapes[shape], placed over the span by placeEnvelope.
struct EnvelopeEvent : Event {
    int32_t curve = 0;
    int32_t length = 0;
    int32_t shape = 0;
};
static_assert(sizeof(EnvelopeEvent) <= 16);

// Three separately ordered sequences, each in the order the compiler appended,
// and the second lyrics of the notes a lyric splits. Where each event is
// written is kept beside its sequence, so that the events stay small; a copy a
// loop made keeps the location of what it copies.
struct Track {
    std::vector<NoteEvent> notes;
    std::vector<ControlEvent> controls;
    std::vector<EnvelopeEvent> envelopes;
    // The shapes the envelopes name, each as it was defined when it was laid.
    std::vector<EnvelopeShape> envelopeShapes;
    // The notes' locations by note index; may be shorter than `notes`.
    std::vector<SourceLocation> noteLocations;
    // The controls' locations by control index; may be shorter than `controls`.
    std::vector<SourceLocation> controlLocations;
    // An envelope is laid over each note a syllable reaches by the "@LE" in
    // force, so the many envelopes of one "@LE" share its location: each keeps
    // the index of it in `envelopePlaces`. May be shorter than `envelopes`.
    std::vector<int32_t> envelopePlaceIndices;
    std::vector<SourceLocation> envelopePlaces;

    // The lyric the note at `noteIndex` sings from its split on; empty for a
    // note that is not split.
    const Lyric& secondLyric(size_t noteIndex) const;
    // The same lyric to be written, added empty when the note has none yet.
    Lyric& editSecondLyric(size_t noteIndex);
    // The small "tsu" written after the note at `noteIndex` (its character
    // code), which cut the note's sound short; 0 when none was.
    int smallTsuAfter(size_t noteIndex) const;
    void setSmallTsuAfter(size_t noteIndex, int code);
    // Gives the notes from `copiesStart` on, copies of the notes [from, to)
    // appended after every note, the second lyrics and small tsus of the
    // notes they copy.
    void copyLyricMarks(size_t from, size_t to, size_t copiesStart);

    // Where the note at `noteIndex` was written; a location that is not known
    // when none was recorded for it. The same for controls and envelopes.
    const SourceLocation& noteLocation(size_t noteIndex) const;
    const SourceLocation& controlLocation(size_t controlIndex) const;
    const SourceLocation& envelopeLocation(size_t envelopeIndex) const;

    // Puts the controls in time order, keeping the order of controls at one
    // time, and their locations with them.
    void sortControlsByTime();

private:
    // Few notes are split, so their second lyrics are kept here by note index
    // (ascending) rather than in every note.
    std::vector<std::pair<size_t, Lyric>> secondLyrics_;
    // The same for the few notes a small tsu follows.
    std::vector<std::pair<size_t, int>> smallTsus_;
};

class Song {
public:
    // Appends an empty track and returns it.
    Track& appendTrack();
    int trackCount() const { return static_cast<int>(tracks_.size()); }
    Track& track(int index) { return *tracks_[static_cast<size_t>(index)]; }
    const Track& track(int index) const { return *tracks_[static_cast<size_t>(index)]; }

private:
    std::vector<std::unique_ptr<Track>> tracks_;
};

std::unique_ptr<Song> createSong();
