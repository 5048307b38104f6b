// The command line: its options, the settings it leads to, and their defaults.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct RunSettings {
    std::string inputPath;
    std::string outputPath;
    std::string dictionaryPath;
    // The files written beside the VSQ file, by the option letter of their
    // format (driver/OutputFormats.h); a format not given has no entry.
    std::map<char, std::string> exportPaths;
    bool midiLyricsInUtf8 = false;     // -8: the MIDI file's lyrics in UTF-8
    // --hiragana-lyrics: katakana lyrics in hiragana in the project and sequences
    bool hiraganaLyrics = false;
    bool dictionaryIsDefault = false;  // the code page 932 dictionary beside the program
    bool watch = false;                // -w: compile again whenever a file read changes
    // -u: the user's files without a byte order mark are read as UTF-8, and the
    // console takes UTF-8. Set for help and usage too, when -u came before.
    bool utf8 = false;
    std::vector<std::string> includeDirectories;  // -I entries, then the built-in folder
};

// The option that gives the project and the sequences katakana lyrics in hiragana.
inline constexpr std::string_view kHiraganaLyricsOption = "--hiragana-lyrics";

// What a command line asks the program to do.
enum class Request {
    Run,      // compile with the settings
    Help,     // -h or --help: banner, full option list, exit 0
    Version,  // --version: banner, exit 0
    Usage,    // a rejected command line: usage text, exit 1
};

struct CommandLine {
    Request request = Request::Usage;
    RunSettings settings;   // filled for Request::Run
    std::string reason;     // for Request::Usage: which argument was wrong and why
};

// The folder of the running executable, without its trailing separator.
std::string exeDirectory();
// The folder `path` lies in, cut before its last separator; empty when it has
// none.
std::string parentFolder(const std::string& path);

// Joins a folder and a file name with the platform's separator.
std::string inFolder(const std::string& folder, std::string_view name);

// The input path less its extension, plus ".vsq".
std::string defaultOutputPath(std::string_view inputPath);

// True when an argument is an option of a format of the usage group Exports
// (driver/OutputFormats.h), or -8: the usage text then lists that group.
bool mentionsExportOption(const std::vector<std::string>& args);
// True when an argument is an option of a format of the usage group Projects,
// or the hiragana option: the usage text then lists that group.
bool mentionsProjectOption(const std::vector<std::string>& args);
// True when an argument is the sung preview's option.
bool mentionsPreviewOption(const std::vector<std::string>& args);

// The path given for the export format of option `letter`; empty when none
// was (an empty path asks for no file either).
std::string exportPath(const RunSettings& settings, char letter);

// True when the settings ask for a file of the usage group Projects (an
// OpenUtau project or UTAU sequences), whose lyrics are the editors' own.
bool writesProject(const RunSettings& settings);

// Reads the arguments (argv[0] is skipped) into a request and, for a run, its
// settings.
CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& exeDir);
