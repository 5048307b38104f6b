// The rendered song, built from the compiled song.
#include "render/RenderedSong.h"

#include "diag/Messages.h"
#include "diag/Reporter.h"

RenderedSong::RenderedSong(const Song& song, const StringPool& strings, const CurveReaders& readers)
    : song_(song),
      voices_(collectVoiceTracks(song, strings)),
      tempoMap_(collectTempoMap(song)),
      clock_(tempoMap_),
      bars_(tempoMap_.metres),
      curves_(voices_, readers) {}

bool hasVoices(const RenderedSong& song) {
    if (!song.voices().empty()) return true;
    getReporter().error(msg::kNoTrackWithNotes, "");
    return false;
}
