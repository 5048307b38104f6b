// Reading a VSQ file: the master track's tempo and time signatures, and each
// voice track's metatext (joined from its "DM:" text events in the order of
// their numbers) with its singers, notes, lyrics, vibratos and breakpoint lists.
#pragma once

#include <string>
#include <string_view>

#include "import/ImportedSong.h"

// True when `bytes` are a MIDI file that carries a voice track's metatext.
bool looksLikeVsqFile(std::string_view bytes);

// Fills `song`; false with `problem` saying why when the file cannot be read.
bool readVsqFile(std::string_view bytes, ImportedSong& song, std::string& problem);
