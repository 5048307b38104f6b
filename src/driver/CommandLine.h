// The command line: its options, the settings it leads to, and their defaults.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct RunSettings {
    std::string inputPath;
    std::string outputPath;
    std::string dictionaryPath;
    std::string midiPath;   // -m: a Standard MIDI File beside the VSQ file; empty when not given
    std::string scorePath;  // -x: a MusicXML score beside the VSQ file; empty when not given
    std::string ustxPath;   // -s: an OpenUtau project beside the VSQ file; empty when not given
    std::string ustPath;    // -t: UTAU sequences named after it, one per voice track; empty when not given
    bool midiLyricsInUtf8 = false;     // -8: the MIDI file's lyrics in UTF-8
    bool dictionaryIsDefault = false;  // the code page 932 dictionary beside the program
    bool watch = false;                // -w: compile again whenever a file read changes
    std::vector<std::string> includeDirectories;  // -I entries, then the built-in folder
};

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

// Joins a folder and a file name with the platform's separator.
std::string inFolder(const std::string& folder, std::string_view name);

// The input path less its extension, plus ".vsq".
std::string defaultOutputPath(std::string_view inputPath);

// True when an argument is one of the export options -m, -x and -8: the usage
// text then lists the exports.
bool mentionsExportOption(const std::vector<std::string>& args);
// True when an argument is one of the project options -s and -t: the usage
// text then lists them.
bool mentionsProjectOption(const std::vector<std::string>& args);

// Reads the arguments (argv[0] is skipped) into a request and, for a run, its
// settings.
CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& exeDir);
