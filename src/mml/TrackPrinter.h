// Printing one voice track as MML, bar by bar: every line one bar (a note that
// sounds on over bar lines takes its lines with it), rests where nothing
// sounds, each command where its value changes, curve commands before the note
// or rest their first group falls in, and the bar's lyric at the line's end,
// followed by a comment with the bar number. A loop of the plan is printed
// once between "/:" and ":/".
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mml/Bars.h"
#include "mml/LoopPlan.h"
#include "mml/LyricPlan.h"
#include "mml/TrackScore.h"

// The singers the compiler knows at a point of the printed song: each name's
// language and program, as the last "@SGR" for it set them.
using SingerRegistry = std::map<std::string, std::pair<int32_t, int32_t>>;

// Appends the track's lines to `out` (code page 932). `track` is the index of
// the score among the song's voice tracks, or past them for a track that
// carries only tempo and time signatures.
void printTrack(const ImportedSong& song, const TrackScore& score, size_t track, const LyricPlan& lyrics,
                const MmlBars& bars, const std::vector<LoopSpan>& loops, SingerRegistry& singers, std::string& out);

// A singer's name as a string holds it, and the "@SGR" command for it.
std::string singerRegistration(const ImportedSinger& singer);
