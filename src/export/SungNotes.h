// The notes of a voice track as the singing editors' projects take them: every
// note part that sounds, in order of time, with the vibrato it sings.
#pragma once

#include <cstdint>
#include <vector>

#include "output/VoiceTracks.h"
#include "song/Song.h"
#include "song/VibratoSound.h"

struct SungNote {
    int64_t start;   // song ticks
    int64_t length;  // ticks, above 0
    const NoteEvent* note;
    const Lyric* lyric;
    VibratoSound vibrato;
};

// The vibrato a note part sings.
VibratoSound partVibrato(const NoteEvent& note, const NotePart& part);

// The parts of the track's notes (a split note gives two) that have a length,
// ordered by start; parts starting together keep the track's order.
std::vector<SungNote> collectSungNotes(const Track& track);
