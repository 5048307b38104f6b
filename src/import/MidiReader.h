// Reading a Standard MIDI File with lyrics: the tempo map and time signatures,
// and a voice track for each channel of each MIDI track that plays notes, the
// notes' lyrics from lyric events (or, in a track without any, text events) at
// their start, the pitch bend with its range as the pitch-bend curve and its
// sensitivity, and the channel's expression (or, without any, its volume) as
// dynamics. Lyrics are UTF-8 when every one is, code page 932 otherwise.
#pragma once

#include <string>
#include <string_view>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

bool readMidiLyricsFile(std::string_view bytes, const SyllableDictionary& dictionary, ImportedSong& song,
                        std::string& problem);
