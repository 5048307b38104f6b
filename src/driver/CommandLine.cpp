// Option parsing and the default paths.
#include "driver/CommandLine.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "driver/DataPaths.h"
#include "driver/OutputFormats.h"
#include "driver/SungPreviewModule.h"
#include "platform/PathText.h"
#include "platform/Platform.h"

std::string parentFolder(const std::string& path) {
    // Cut at the last separator of either kind; on Windows that is always the
    // backslash, elsewhere whichever of "/" and "\" comes later.
    const size_t cut = platform::pathSeparator() == '\\' ? path.rfind('\\')
                                                         : path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string exeDirectory() { return parentFolder(platform::executablePath()); }

std::string inFolder(const std::string& folder, std::string_view name) {
    return platform::joinPath(folder, name, platform::pathSeparator());
}

std::string defaultOutputPath(std::string_view inputPath) {
    // The last dot of the file name; a file name that begins with its only
    // dot is all extension.
    size_t cut = inputPath.rfind('.');
    if (cut == std::string_view::npos || cut < platform::fileNameStart(inputPath)) {
        cut = inputPath.size();
    }
    std::string output(inputPath.substr(0, cut));
    output.append(".vsq");
    return output;
}

std::string exportPath(const RunSettings& settings, char letter) {
    const auto given = settings.exportPaths.find(letter);
    return given != settings.exportPaths.end() ? given->second : std::string();
}

namespace {

bool isUtf8Option(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && arg[1] == 'u';
}

std::string quoted(const std::string& arg) { return "'" + arg + "'"; }

// Rejects the command line with a reason. The usage text shows the -u line to
// whoever gave -u: before the rejection (`utf8`) or among the arguments not
// yet looked at.
CommandLine reject(const std::vector<std::string>& args, size_t unread, bool utf8,
                   std::string reason) {
    for (size_t i = unread; i < args.size(); ++i) utf8 = utf8 || isUtf8Option(args[i]);
    CommandLine result;
    result.settings.utf8 = utf8;
    result.reason = std::move(reason);
    return result;
}

// Why the arguments left after the options are not exactly one input file.
std::string inputProblem(const std::vector<std::string>& args, size_t next,
                         const std::string& valueWithLetters) {
    if (next >= args.size()) {
        if (!valueWithLetters.empty())
            return "no input file: " + quoted(valueWithLetters) +
                   " took the next argument as its value (letters written after the option "
                   "letter are ignored; write the value as a separate argument)";
        return "no input file given";
    }
    for (size_t i = next + 1; i < args.size(); ++i)
        if (!args[i].empty() && args[i][0] == '-')
            return "option " + quoted(args[i]) + " comes after the input file " +
                   quoted(args[next]) + "; write options before the input file";
    return "more than one input file: " + quoted(args[next]) + " and " + quoted(args[next + 1]);
}

// True when an argument is an option of a format of `group`, or the option
// `extra`.
bool mentionsOption(const std::vector<std::string>& args, UsageGroup group, char extra) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].size() < 2 || args[i][0] != '-') continue;
        const OutputFormat* format = outputFormatOf(args[i][1]);
        if (args[i][1] == extra || (format != nullptr && format->usageGroup == group)) return true;
    }
    return false;
}

// Why `path` cannot be the name the sequences of -t are numbered after; empty
// when it can. A name ending in a folder, or naming something other than a
// file, would give odd names ("d/-1", ".-1", "/dev/null-1").
std::string sequenceNameProblem(const std::string& path) {
    const size_t cut = path.find_last_of(platform::pathSeparator() == '\\' ? "/\\:" : "/");
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::string what;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (name.empty() || name == "." || name == ".." || std::filesystem::is_directory(status)) {
        what = "names a folder";
    } else if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        what = "is not a file";
    } else {
        return {};
    }
    return "option '-t' needs a file name to number the sequences after (song.ust gives "
           "song-1.ust, song-2.ust, ...); " + quoted(path) + " " + what;
}

}  // namespace

bool writesProject(const RunSettings& settings) {
    for (const OutputFormat& format : outputFormats()) {
        if (format.usageGroup == UsageGroup::Projects && !exportPath(settings, format.letter).empty())
            return true;
    }
    return false;
}

bool mentionsExportOption(const std::vector<std::string>& args) {
    return mentionsOption(args, UsageGroup::Exports, '8');
}

bool mentionsProjectOption(const std::vector<std::string>& args) {
    return mentionsOption(args, UsageGroup::Projects, '\0') ||
           (args.size() > 1 &&
            std::find(args.begin() + 1, args.end(), kHiraganaLyricsOption) != args.end());
}

bool mentionsPreviewOption(const std::vector<std::string>& args) {
    return mentionsOption(args, UsageGroup::Preview, '\0');
}

CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& exeDir) {
    CommandLine result;
    RunSettings& settings = result.settings;
    std::string valueWithLetters;  // an -o, -p or export option written with letters after it
    size_t next = 1;
    while (next < args.size() && !args[next].empty() && args[next][0] == '-') {
        const std::string& option = args[next++];
        const char letter = option.size() > 1 ? option[1] : '\0';
        if (letter == 'h' || option == "--help") {
            result.request = Request::Help;
            return result;
        }
        if (option == "--version") {
            result.request = Request::Version;
            return result;
        }
        if (option == kHiraganaLyricsOption) {
            settings.hiraganaLyrics = true;
        } else if (letter == 'I') {
            if (option.size() == 2)
                return reject(args, next, settings.utf8,
                              "option '-I' needs its folder written right after it, as in -Iinclude");
            settings.includeDirectories.push_back(option.substr(2));
        } else if (letter == 'o' || letter == 'p' || outputFormatOf(letter) != nullptr) {
            if (next >= args.size())
                return reject(args, next, settings.utf8,
                              "option " + quoted(option) + " needs a value after it");
            if (option.size() > 2) valueWithLetters = option;
            std::string& path = letter == 'o'   ? settings.outputPath
                                : letter == 'p' ? settings.dictionaryPath
                                                : settings.exportPaths[letter];
            path = args[next++];
        } else if (letter == 'u') {
            settings.utf8 = true;
        } else if (letter == '8') {
            settings.midiLyricsInUtf8 = true;
        } else if (letter == 'w') {
            settings.watch = true;
        } else {
            return reject(args, next, settings.utf8, "unknown option " + quoted(option));
        }
    }
    if (args.size() - next != 1)
        return reject(args, next, settings.utf8, inputProblem(args, next, valueWithLetters));
    // -8 changes only the MIDI file; without one it would do nothing, silently.
    if (settings.midiLyricsInUtf8 && exportPath(settings, 'm').empty())
        return reject(args, next, settings.utf8,
                      "option '-8' sets how the MIDI file's lyrics are written; give -m with it");
    // The hiragana option changes only the project and the sequences.
    if (settings.hiraganaLyrics && !writesProject(settings))
        return reject(args, next, settings.utf8,
                      "option " + quoted(std::string(kHiraganaLyricsOption)) +
                          " sets the lyrics of the project and the sequences; give -s or -t with it");
    if (!exportPath(settings, 'a').empty() && !loadSungPreview(exeDir))
        return reject(args, next, settings.utf8, "option '-a': " + std::string(kSungPreviewMissing));
    const std::string sequences = exportPath(settings, 't');
    if (!sequences.empty()) {
        if (std::string problem = sequenceNameProblem(sequences); !problem.empty())
            return reject(args, next, settings.utf8, std::move(problem));
    }
    result.request = Request::Run;
    settings.inputPath = args[next];
    if (settings.outputPath.empty()) settings.outputPath = defaultOutputPath(settings.inputPath);
    if (settings.dictionaryPath.empty()) {
        settings.dictionaryPath = defaultDictionaryPath(exeDir);
        settings.dictionaryIsDefault = true;
    }
    settings.includeDirectories.push_back(inFolder(dataDirectory(exeDir), "include"));
    return result;
}
