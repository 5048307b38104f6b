// The files a run can write beside the VSQ file, one row each, with all that
// the command line, the help, the usage text, the settings report, the path
// check and the pipeline run know of it. A new format is its writer, one row
// here, its lines in the manual and its tests.
#pragma once

#include <span>
#include <string>
#include <string_view>

class OutputBatch;
class Song;
class StringPool;

struct OutputFormat {
    char letter;                     // the option: -<letter> FILE
    std::string_view settingsLabel;  // before the path in the settings report
    std::string_view usageLine;      // in the usage text of those who gave an export option
    std::string_view helpLine;       // in the help
    // Writes the song to `path` and hands it to `outputs`; false when it cannot
    // (reported).
    bool (*write)(const Song& song, const StringPool& strings, const std::string& path,
                  OutputBatch& outputs);
};

// Every format, in the order the help, the usage text and the settings report
// list them and the run writes them.
std::span<const OutputFormat> outputFormats();

// The row of option letter `letter`, or nullptr.
const OutputFormat* outputFormatOf(char letter);
