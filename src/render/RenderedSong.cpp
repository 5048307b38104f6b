// The rendered song, built from the compiled song.
#include "render/RenderedSong.h"

#include <utility>

#include "diag/Messages.h"
#include "diag/Reporter.h"

RenderedSong::RenderedSong(const Song& song, const StringPool& strings, const CurveReaders& readers,
                           EditorLyrics lyrics)
    : song_(song),
      voices_(collectVoiceTracks(song, strings)),
      tempoMap_(collectTempoMap(song)),
      clock_(tempoMap_),
      bars_(tempoMap_.metres),
      lyrics_(std::move(lyrics)),
      curves_(voices_, readers) {}

bool hasVoices(const RenderedSong& song) {
    if (!song.voices().empty()) return true;
    getReporter().error(msg::kNoTrackWithNotes, "");
    return false;
}
