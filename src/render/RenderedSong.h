// The rendered song: everything the files are written from, built once per
// run from the compiled song and read by every writer (the VSQ file and its
// log, the MIDI file, the score, the project, the sequences) and by any other
// reader of a compiled song.
//
//   voices()      the voice tracks: name, singers, note parts (VoiceTrack.h)
//   tempoMap()    every tempo and metre change, one per tick (song/TempoMap.h)
//   clock()       ticks as milliseconds and seconds (TempoClock.h)
//   bars()        bars, and ticks as bar:beat:tick (Bars.h)
//   editorLyric() the lyric a part carries into the files an editor sings
//                 from (EditorLyrics.h)
//   curve()       a voice track's curve as a breakpoint list (CurveStore.h),
//                 or streamCurve() for its points a batch at a time;
//                 PitchSteps of its pitch bend and sensitivity give its
//                 pitch in cents (Pitch.h)
//
// It keeps references to the song and reads the notes from there, so it costs
// no memory per note; only curves still to be read by another writer are kept,
// up to a bound (CurveStore.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/Bars.h"
#include "render/CurveStore.h"
#include "render/EditorLyrics.h"
#include "render/TempoClock.h"
#include "render/VoiceTrack.h"
#include "song/TempoMap.h"

class Song;
class StringPool;

class RenderedSong {
public:
    // `readers` says how many of the run's writers read each curve; without
    // it no curve is kept after it was read. `lyrics` gives the editors' lyrics;
    // without it they are the lyrics as written, held vowels as their kana.
    RenderedSong(const Song& song, const StringPool& strings, const CurveReaders& readers = {},
                 EditorLyrics lyrics = {});
    RenderedSong(const RenderedSong&) = delete;
    RenderedSong& operator=(const RenderedSong&) = delete;

    const Song& song() const { return song_; }
    std::span<const VoiceTrack> voices() const { return voices_; }
    const TempoMap& tempoMap() const { return tempoMap_; }
    const TempoClock& clock() const { return clock_; }
    const Bars& bars() const { return bars_; }
    // The lyric (code page 932 bytes) the project and the sequences give `part`.
    std::string editorLyric(const NotePart& part) const { return lyrics_.of(part); }
    // The breakpoint list of curve `curveId` of the voice track at `voice`
    // (from 0); null when it is too long to write, which is reported.
    CurvePoints curve(size_t voice, int32_t curveId) const { return curves_.points(voice, curveId); }
    // The same points handed to `sink` a batch at a time, for a writer that need not hold
    // the whole list; false when it is too long to write, which is reported.
    bool streamCurve(size_t voice, int32_t curveId, BreakpointSink& sink) const {
        return curves_.stream(voice, curveId, sink);
    }

private:
    const Song& song_;
    std::vector<VoiceTrack> voices_;
    TempoMap tempoMap_;
    TempoClock clock_;
    Bars bars_;
    EditorLyrics lyrics_;
    mutable CurveStore curves_;  // curves are built when first read
};

// True when the song has a voice track; otherwise reports that no track has
// notes, as every writer does before it writes anything.
bool hasVoices(const RenderedSong& song);
