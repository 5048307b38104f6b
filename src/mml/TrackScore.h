// A voice track laid out for printing: its printed notes, everything else that
// happens at a time of its own (time signatures, tempo changes, singer
// changes) merged with them in time order, and each curve's groups.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "import/ImportedSong.h"
#include "mml/CurveFit.h"
#include "mml/PrintedNotes.h"

enum class ItemKind : uint8_t { Metre, Tempo, Singer, Note };

// 16 bytes: every note is one.
struct TrackItem {
    int64_t time = 0;
    uint32_t index = 0;  // into the song's time signatures or tempos, the track's singers, or the printed notes
    ItemKind kind = ItemKind::Note;
};

struct TrackScore {
    const ImportedTrack* track = nullptr;
    int number = 0;  // the MML track number, from 1
    std::vector<PrintedNote> notes;
    // True for a printed note that follows the one before without a gap and
    // sings with portamento: written with "&", which does both.
    std::vector<uint8_t> joined;
    std::vector<TrackItem> items;  // time order; at one time the order of ItemKind
    std::array<std::vector<CurveGroup>, 10> groups;  // by curve id

    // The part of printed note `index`, and its second part.
    const ImportedNote& part(size_t index) const { return track->notes[notes[index].part]; }
    const ImportedNote& secondPart(size_t index) const { return track->notes[notes[index].part + 1u]; }
};

// True when no printed note of `score` sounds across `time`: a command can be
// written there.
bool isBetweenNotes(const TrackScore& score, int64_t time);

// Where the note that sounds across `time` ends; `time` when none does.
int64_t soundingUntil(const TrackScore& score, int64_t time);
