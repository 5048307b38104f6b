// Reading a UTAU sequence as one voice track: code page 932 unless the file
// names UTF-8 (or starts with its byte order mark); the tempo of [#SETTING] and
// each note's Tempo; note lengths end to end (or the Delta and Duration of a
// version 2.0 file), rests "R"; lyrics, note numbers, Intensity (a dynamics
// step at the note), Velocity, the mode-2 pitch points or the mode-1 pitch
// array (the pitch-bend curve), and VBR (the nearest vibrato type).
#pragma once

#include <string>
#include <string_view>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

// True when `bytes` look like a UTAU sequence: a [#SETTING] or [#VERSION]
// section near the start.
bool looksLikeUstFile(std::string_view bytes);

// Adds the sequence as a voice track of `song`. The first sequence of a song
// gives its tempo map; a later one whose tempo map differs is noted.
bool readUstFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                 std::string& problem);
