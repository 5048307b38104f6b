// The driver's console output. The program's own texts are made ready for the
// console (UTF-8 in UTF-8 mode); the paths of the settings report are printed
// as the user typed them.
#include "driver/Console.h"

#include <cstdio>
#include <initializer_list>
#include <string>

#include "driver/CommandLine.h"
#include "driver/ImportCommand.h"
#include "driver/OutputFormats.h"
#include "text/Encoding.h"

namespace {

void writeLine(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

// A label of the program's and a path of the user's.
void printPathLine(std::string_view label, std::string_view path) {
    std::string text = consoleText(label);
    text.append(path);
    writeLine(text);
}

// Every line of the program's own, in the console's encoding.
void printLine(std::string_view text) { writeLine(consoleText(text)); }

void printBanner() {
    printLine("Tuvo MML Compiler  Version " TUVO_VERSION);
    printLine("Compiles MML songs into VSQ sequence files for singing synthesis.");
    printLine("");
}

// The usage text's first lines, shared by the usage text and the help.
void printUsageHead() {
    printLine("tuvommlc [options] [-o outputfile] inputfile");
    printLine("");
    printLine("option:");
}

// The -u line is shown only to those who gave -u, the export lines only to
// those who gave -m or -x, and the project lines only to those who gave -s or
// -t, and the sung preview's line only to those who gave -a, so the usage
// text of everyone else stays as it always was.
void printUsage(bool withExports, bool withProjects, bool withPreview) {
    printUsageHead();
    printLine(" -p phonetic-symbol-filename");
    printLine(" -I<include-dir>");
    if (utf8Mode()) printLine(" -u  read sources as UTF-8 and print in UTF-8");
    for (const OutputFormat& format : outputFormats()) {
        const bool listed = format.usageGroup == UsageGroup::Exports    ? withExports
                            : format.usageGroup == UsageGroup::Projects ? withProjects
                                                                        : withPreview;
        if (listed) printLine(format.usageLine);
    }
    printLine("");
}

// The options the program has besides the export formats, one line each, in
// the order the help shows them: -o, -p (with the default dictionary's path),
// -I, the formats' lines, then the rest.
constexpr std::string_view kHelpOutputOption =
    " -o outputfile                the VSQ file to write (default: inputfile with .vsq)";
constexpr std::string_view kHelpDictionaryOption =
    " -p phonetic-symbol-filename  the phonetic dictionary (default: ";
constexpr std::string_view kHelpIncludeOption =
    " -I<include-dir>              a folder searched by .include; may be repeated";
constexpr std::string_view kHelpOptionsAfterExports[] = {
    " -8                           write the MIDI file's lyrics in UTF-8 (with -m)",
    " --hiragana-lyrics            katakana lyrics as hiragana in the project and sequences",
    " -u                           read sources as UTF-8 and print in UTF-8",
    " -w                           watch: compile again whenever a file read changes",
    " -h, --help                   print this help and exit",
    " --version                    print the version and exit",
};

void printHelp(std::string_view manualPath, std::string_view defaultDictionary) {
    printUsageHead();
    printLine(kHelpOutputOption);
    std::string dictionary = consoleText(kHelpDictionaryOption);
    dictionary.append(defaultDictionary).push_back(')');
    writeLine(dictionary);
    printLine(kHelpIncludeOption);
    for (const OutputFormat& format : outputFormats()) printLine(format.helpLine);
    for (const std::string& line : importHelpLines()) printLine(line);
    for (std::string_view line : kHelpOptionsAfterExports) printLine(line);
    printLine("");
    std::string last =
        consoleText("Options come before the input file. The language is described in ");
    last.append(manualPath);
    last.push_back('.');
    writeLine(last);
}

void printUsageReason(std::string_view reason) {
    printNote(reason);
    printNote("see 'tuvommlc --help' for every option");
}

void printNote(std::string_view text) {
    std::string line = "tuvommlc: ";
    line.append(text);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void printSettings(const RunSettings& settings, std::string_view exeDir) {
    printPathLine("INPUT:    ", settings.inputPath);
    printPathLine("OUTPUT:   ", settings.outputPath);
    for (const OutputFormat& format : outputFormats()) {
        const std::string path = exportPath(settings, format.letter);
        if (!path.empty()) printPathLine(format.settingsLabel, path);
    }
    printPathLine("PHONETIC: ", settings.dictionaryPath);
    printPathLine("EXEPATH:  ", exeDir);
    printLine("");
}

void printVerdict(int errors, int warnings, bool succeeded) {
    printLine("errors: " + std::to_string(errors));
    printLine("warns: " + std::to_string(warnings));
    printLine(succeeded ? "Successful." : "Failed.");
}
