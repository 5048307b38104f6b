// Folding repeated bars into loops. A run of whole bars whose notes, lyrics,
// singer, tempo and time-signature changes and curve groups are the same bar
// for bar, body after body (the last body possibly cut at an exit mark), is
// written once between "/:" and ":/": the compiler copies the body's events,
// so the copies come out as the bars were. Only bars no note sounds into or
// out of, and no curve group reaches into or out of, are folded.
#pragma once

#include <cstdint>
#include <vector>

#include "mml/Bars.h"
#include "mml/TrackScore.h"

struct LoopSpan {
    int64_t firstBar = 0;
    int64_t bodyBars = 0;
    int64_t exitBars = 0;  // bars of the last pass, before its exit mark; 0 without one
    int64_t passes = 0;    // 2..1000, the last one counted too

    int64_t coveredBars() const { return (passes - 1) * bodyBars + (exitBars > 0 ? exitBars : bodyBars); }
};

// The loops of a track, in bar order, none inside another.
std::vector<LoopSpan> planLoops(const ImportedSong& song, const TrackScore& score, const MmlBars& bars);
