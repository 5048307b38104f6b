// The driver's console output. The program's own texts are made ready for the
// console (UTF-8 in UTF-8 mode); the paths of the settings report are printed
// as the user typed them.
#include "driver/Console.h"

#include <cstdio>
#include <string>

#include "driver/CommandLine.h"
#include "text/Encoding.h"

namespace {

void writeLine(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A label of the program's and a path of the user's.
void printPathLine(std::string_view label, std::string_view path) {
    std::string text = consoleText(label);
    text.append(path);
    writeLine(text);
}

}  // namespace

// Every line of the program's own, in the console's encoding.
void printLine(std::string_view text) { writeLine(consoleText(text)); }

void printBanner() {
    printLine("Tuvo MML Compiler  Version 0.4.2");
    printLine("Compiles MML songs into VSQ sequence files for singing synthesis.");
    printLine("");
}

// The -u line is shown only to those who gave -u, and the export lines only to
// those who gave -m or -x, so the usage text of everyone else stays as it
// always was.
void printUsage(bool withExports) {
    printLine("tuvommlc [options] [-o outputfile] inputfile");
    printLine("");
    printLine("option:");
    printLine(" -p phonetic-symbol-filename");
    printLine(" -I<include-dir>");
    if (utf8Mode()) printLine(" -u  read sources as UTF-8 and print in UTF-8");
    if (withExports) {
        printLine(" -m midi-filename      also write a Standard MIDI File");
        printLine(" -x musicxml-filename  also write a MusicXML score");
    }
    printLine("");
}

void printSettings(const RunSettings& settings, std::string_view exeDir) {
    printPathLine("INPUT:    ", settings.inputPath);
    printPathLine("OUTPUT:   ", settings.outputPath);
    if (!settings.midiPath.empty()) printPathLine("MIDI:     ", settings.midiPath);
    if (!settings.scorePath.empty()) printPathLine("MUSICXML: ", settings.scorePath);
    printPathLine("PHONETIC: ", settings.dictionaryPath);
    printPathLine("EXEPATH:  ", exeDir);
    printLine("");
}

void printVerdict(int errors, int warnings, bool succeeded) {
    printLine("errors: " + std::to_string(errors));
    printLine("warns: " + std::to_string(warnings));
    printLine(succeeded ? "Successful." : "Failed.");
}
