// The files a run can write beside the VSQ file, one row each, with all that
// the command line, the help, the usage text, the settings report, the path
// check and the pipeline run know of it. A new format is its writer, one row
// here, its lines in the manual and its tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class OutputSink;
class RenderedSong;
struct RunSettings;

// Which lines the usage text adds for those who gave an option of a format:
// the lines of that format's group only, so the usage text of each group
// stays as it was when another group is added.
enum class UsageGroup { Exports, Projects, Preview };

struct OutputFormat {
    char letter;                     // the option: -<letter> FILE
    UsageGroup usageGroup;
    std::string_view settingsLabel;  // before the path in the settings report
    std::string_view usageLine;      // in the usage text of those who gave an option of its group
    std::string_view helpLine;       // in the help (may hold several lines)
    // Writes the song to `path` and hands it to `sink`; false when it cannot
    // (reported).
    bool (*write)(const RenderedSong& song, const RunSettings& settings, const std::string& path,
                  OutputSink& sink);
    // The curves its writer reads, each once per voice track.
    std::span<const int32_t> curves;
    // Every file the format may write for `path`, held against the files the
    // run reads and the other outputs; null for the path itself alone.
    std::vector<std::string> (*filesFor)(const std::string& path);
};

// Every format, in the order the help, the usage text and the settings report
// list them and the run writes them.
std::span<const OutputFormat> outputFormats();

// The row of option letter `letter`, or nullptr.
const OutputFormat* outputFormatOf(char letter);

// The files `format` may write for `path` (the path itself unless the format
// writes several).
std::vector<std::string> filesWrittenFor(const OutputFormat& format, const std::string& path);
