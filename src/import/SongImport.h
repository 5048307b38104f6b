// Importing a song: the format of each file found from its content (the name's
// extension decides only what the content leaves open), the file read into an
// imported song, and the song cleaned up into one the compiler could write.
// Several UTAU sequences become the voice tracks of one song.
#pragma once

#include <string>
#include <vector>

#include "import/ImportedSong.h"
#include "import/SyllableDictionary.h"

enum class ImportFormat { Vsq, Midi, Ust, Ustx };

struct ImportFile {
    std::string path;   // as the user named it
    std::string bytes;  // its whole content
};

// The format of a file, or false when neither its content nor its name tells.
bool detectImportFormat(const ImportFile& file, ImportFormat& format);

// Reads `files` into `song`, giving lyrics that come without phonetic symbols
// those of `dictionary`; false with `problem` saying why (in English, naming
// the file) when a file cannot be read.
bool importSong(const std::vector<ImportFile>& files, const SyllableDictionary& dictionary, ImportedSong& song,
                std::string& problem);
