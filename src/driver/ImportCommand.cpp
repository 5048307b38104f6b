// The import mode's command line, its run, and its report: the settings and
// the verdict on standard output as a compile prints them, what the song
// cannot carry on standard error.
#include "driver/ImportCommand.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "diag/Diagnostics.h"
#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/DataPaths.h"
#include "driver/DictionaryLookup.h"
#include "import/SongImport.h"
#include "mml/MmlPrinter.h"
#include "output/OutputBatch.h"
#include "output/OutputFailure.h"
#include "output/StagedOutputFile.h"
#include "parse/PhoneticDictionary.h"
#include "platform/Platform.h"
#include "text/Encoding.h"
#include "text/FilesRead.h"
#include "text/SourceProvider.h"
#include "text/TextFile.h"

namespace {

constexpr std::string_view kImportOption = "--import";

struct ImportSettings {
    std::vector<std::string> inputs;
    std::string output;      // the MML source
    std::string dictionary;  // the dictionary the lyrics are checked against
    bool dictionaryIsDefault = false;
    bool utf8 = false;
};

// `path` with its extension replaced by `extension`, the way the compiler
// names its VSQ file after the source.
std::string withExtension(const std::string& path, std::string_view extension) {
    std::string named = defaultOutputPath(path);
    named.resize(named.size() - 4);  // ".vsq"
    named.append(extension);
    return named;
}

// The import mode's arguments; false with `reason` when they are wrong.
bool readImportArguments(const std::vector<std::string>& args, const std::string& exeDir,
                         ImportSettings& settings, std::string& reason) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == kImportOption) continue;
        if (arg == "-o" || arg == "-p") {
            if (i + 1 >= args.size()) {
                reason = "option '" + arg + "' needs a value after it";
                return false;
            }
            (arg == "-o" ? settings.output : settings.dictionary) = args[++i];
        } else if (arg == "-u") {
            settings.utf8 = true;
        } else if (!arg.empty() && arg[0] == '-') {
            reason = "option '" + arg + "' does not go with --import (it takes -o, -p and -u)";
            return false;
        } else {
            settings.inputs.push_back(arg);
        }
    }
    if (settings.inputs.empty()) {
        reason = "--import needs the file to import";
        return false;
    }
    if (settings.output.empty()) settings.output = withExtension(settings.inputs.front(), ".mml");
    if (settings.dictionary.empty()) {
        settings.dictionary = inFolder(dataDirectory(exeDir), "phonetic_symbols.dic");
        settings.dictionaryIsDefault = true;
    }
    return true;
}

// Reads a whole file; false after reporting when it cannot be read.
bool readWholeFile(const std::string& path, FilesRead& filesRead, std::string& bytes) {
    std::unique_ptr<std::FILE, platform::FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        getReporter().error(msg::kCannotOpenFile, fileFailureDetail(path, platform::systemErrorText(errno)));
        return false;
    }
    filesRead.remember(platform::fileIdentity(file.get()), path);
    char block[1 << 16];
    size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.append(block, count);
    if (std::ferror(file.get()) != 0) {
        getReporter().error(msg::kCannotOpenFile, fileFailureDetail(path, platform::systemErrorText(errno)));
        return false;
    }
    return true;
}

// Writes `text` as a new file staged for `path` and hands it to `outputs`.
bool writeOutput(const std::string& path, const std::string& text, OutputBatch& outputs) {
    StagedOutputFile output;
    std::FILE* stream = openStagedOutput(output, path);
    if (stream == nullptr) return false;
    int writeError = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) writeError = errno != 0 ? errno : EIO;
    if (std::fclose(stream) != 0 && writeError == 0) writeError = errno != 0 ? errno : EIO;
    return finishStagedOutput(output, path, writeError, outputs);
}

bool importAndWrite(const ImportSettings& settings) {
    Reporter& reporter = getReporter();
    FilesRead filesRead;
    std::vector<ImportFile> files;
    for (const std::string& path : settings.inputs) {
        ImportFile& file = files.emplace_back();
        file.path = path;
        if (!readWholeFile(path, filesRead, file.bytes)) return false;
    }
    auto dictionary = createPhoneticDictionary();
    // The dictionary's own messages are shown as a compile shows them.
    SourceMap dictionaryFiles;
    Diagnostics dictionaryReports{dictionaryFiles};
    dictionaryReports.showOnConsole();
    const TextReading dictionaryReading{diskSources(), dictionaryFiles, dictionaryReports, &filesRead,
                                        settings.utf8 && !settings.dictionaryIsDefault};
    if (!dictionary->load(settings.dictionary.c_str(), dictionaryReading)) return false;

    const DictionaryLookup lookup(*dictionary);
    ImportedSong song;
    std::string problem;
    if (!importSong(files, lookup, song, problem)) {
        reporter.error(msg::kCannotImport, problem);
        return false;
    }
    files.clear();
    files.shrink_to_fit();

    const std::string dictionaryOut = withExtension(settings.output, ".dic");
    const MmlPrintout printout = printMml(song, lookup, {settings.inputs.front(), settings.output, dictionaryOut, settings.utf8});
    const bool withDictionary = !printout.dictionary.empty();

    if (filesRead.contains(settings.output)) reporter.error(msg::kOutputIsAFileRead, settings.output);
    if (withDictionary && filesRead.contains(dictionaryOut)) reporter.error(msg::kOutputIsAFileRead, dictionaryOut);
    if (withDictionary && dictionaryOut == settings.output) reporter.error(msg::kOutputsCollide, dictionaryOut);
    if (reporter.errorCount() > 0) return false;

    const auto encoded = [&](const std::string& text) { return settings.utf8 ? cp932ToUtf8(text) : text; };
    OutputBatch outputs;
    if (!writeOutput(settings.output, encoded(printout.mml), outputs)) return false;
    if (withDictionary && !writeOutput(dictionaryOut, encoded(printout.dictionary), outputs)) return false;
    if (!outputs.putAllInPlace()) return false;

    for (const std::string& kind : song.notCarried.kinds()) printNote("not carried: " + kind);
    if (withDictionary) {
        printNote("the song sings syllables the dictionary would not give; their symbols are in " + dictionaryOut +
                  ": compile " + settings.output + " with -p " + dictionaryOut);
    }
    return true;
}

}  // namespace

bool asksForImport(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == kImportOption) return true;
    }
    return false;
}

const std::vector<std::string>& importHelpLines() {
    static const std::vector<std::string> kLines = {
        " --import file...             turn a VSQ file, a MIDI file with lyrics, UTAU sequences",
        "                              or an OpenUtau project into MML (with -o, -p and -u)",
    };
    return kLines;
}

int runImport(const std::vector<std::string>& args, const std::string& exeDir) {
    ImportSettings settings;
    std::string reason;
    if (!readImportArguments(args, exeDir, settings, reason)) {
        printLine("tuvommlc --import file... [-o outputfile.mml] [-p phonetic-symbol-filename] [-u]");
        printLine("");
        printUsageReason(reason);
        return 1;
    }
    setUtf8Mode(settings.utf8);
    for (const std::string& input : settings.inputs) printPathLine("INPUT:    ", input);
    printPathLine("OUTPUT:   ", settings.output);
    printPathLine("PHONETIC: ", settings.dictionary);
    printPathLine("EXEPATH:  ", exeDir);
    printLine("");
    Reporter& reporter = getReporter();
    bool written = false;
    try {
        written = importAndWrite(settings);
    } catch (const std::bad_alloc&) {
        try {
            reporter.error(msg::kOutOfMemory, "");
        } catch (...) {
        }
    }
    printVerdict(reporter.errorCount(), reporter.warningCount(), written);
    return written ? 0 : 1;
}
