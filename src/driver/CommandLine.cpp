// Option parsing and the default paths.
#include "driver/CommandLine.h"

#include "platform/Platform.h"
#include "text/Encoding.h"

std::string exeDirectory() {
    const std::string path = platform::executablePath();
    // Cut at the last separator of either kind; on Windows that is always the
    // backslash, elsewhere whichever of "/" and "\" comes later.
    const size_t cut = platform::pathSeparator() == '\\' ? path.rfind('\\')
                                                         : path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string besideExecutable(const std::string& exeDir, std::string_view name) {
    std::string path = exeDir;
    path.push_back(platform::pathSeparator());
    path.append(name);
    return path;
}

std::string defaultOutputPath(std::string_view inputPath) {
    size_t cut = inputPath.rfind('.');
    if (cut == std::string_view::npos || inputPath.find('/', cut) != std::string_view::npos ||
        inputPath.find('\\', cut) != std::string_view::npos) {
        cut = inputPath.size();
    }
    std::string output(inputPath.substr(0, cut));
    output.append(".vsq");
    return output;
}

namespace {

bool isUtf8Option(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && arg[1] == 'u';
}

// Rejects the command line. The usage text shows the -u line to whoever gave
// -u, so a -u among the arguments not yet looked at turns the UTF-8 mode on too.
std::optional<RunSettings> reject(const std::vector<std::string>& args, size_t unread) {
    for (size_t i = unread; i < args.size(); ++i)
        if (isUtf8Option(args[i])) setUtf8Mode(true);
    return std::nullopt;
}

}  // namespace

bool mentionsExportOption(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-' && (args[i][1] == 'm' || args[i][1] == 'x'))
            return true;
    }
    return false;
}

std::optional<RunSettings> parseCommandLine(const std::vector<std::string>& args,
                                            const std::string& exeDir) {
    RunSettings settings;
    size_t next = 1;
    while (next < args.size() && !args[next].empty() && args[next][0] == '-') {
        const std::string& option = args[next++];
        const char letter = option.size() > 1 ? option[1] : '\0';
        if (letter == 'I') {
            if (option.size() == 2) return reject(args, next);
            settings.includeDirectories.push_back(option.substr(2));
        } else if (letter == 'o' || letter == 'p' || letter == 'm' || letter == 'x') {
            if (next >= args.size()) return reject(args, next);
            std::string& path = letter == 'o'   ? settings.outputPath
                                : letter == 'p' ? settings.dictionaryPath
                                : letter == 'm' ? settings.midiPath
                                                : settings.scorePath;
            path = args[next++];
        } else if (letter == 'u') {
            setUtf8Mode(true);  // UTF-8 sources and console from here on
        } else {
            return reject(args, next);
        }
    }
    if (args.size() - next != 1) return reject(args, next);
    settings.inputPath = args[next];
    if (settings.outputPath.empty()) settings.outputPath = defaultOutputPath(settings.inputPath);
    if (settings.dictionaryPath.empty()) {
        settings.dictionaryPath = besideExecutable(exeDir, "phonetic_symbols.dic");
        settings.dictionaryIsDefault = true;
    }
    settings.includeDirectories.push_back(besideExecutable(exeDir, "include"));
    return settings;
}
