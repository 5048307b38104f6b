// Printing an imported song as MML a person would edit, that compiles back to
// the same VSQ file: a header that says where the song came from and what of
// it could not be carried, the singers' registrations, then each voice track
// bar by bar (see mml/TrackPrinter.h). Syllables the dictionary would not
// give come with a song dictionary of their own.
#pragma once

#include <string>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

struct MmlNames {
    std::string source;      // the file the song was read from, as the user named it
    std::string mml;         // where the MML is written
    std::string dictionary;  // where a song dictionary is written, as it is named in the MML
    bool utf8 = false;       // the MML is written in UTF-8, compiled with -u
};

struct MmlPrintout {
    std::string mml;         // code page 932
    std::string dictionary;  // code page 932; empty when the song needs none
};

// Prints `song`, whose lyrics are checked against `dictionary` (the one the
// song will be compiled with). What the printing cannot carry is added to the
// song's list of losses before the header is written.
MmlPrintout printMml(ImportedSong& song, const SyllableDictionary& dictionary, const MmlNames& names);
