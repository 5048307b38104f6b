// The driver's console output.
#include "driver/Console.h"

#include <cstdio>
#include <string>

#include "driver/CommandLine.h"

void printLine(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printBanner() {
    printLine("Tuvo MML Compiler  Version 0.4.2");
    printLine("Compiles MML songs into VSQ sequence files for singing synthesis.");
    printLine("");
}

void printUsage() {
    printLine("tuvommlc [options] [-o outputfile] inputfile");
    printLine("");
    printLine("option:");
    printLine(" -p phonetic-symbol-filename");
    printLine(" -I<include-dir>");
    printLine("");
}

void printSettings(const RunSettings& settings, std::string_view exeDir) {
    printLine("INPUT:    " + settings.inputPath);
    printLine("OUTPUT:   " + settings.outputPath);
    printLine("PHONETIC: " + settings.dictionaryPath);
    printLine("EXEPATH:  " + std::string(exeDir));
    printLine("");
}

void printVerdict(int errors, int warnings, bool succeeded) {
    printLine("errors: " + std::to_string(errors));
    printLine("warns: " + std::to_string(warnings));
    printLine(succeeded ? "Successful." : "Failed.");
}
