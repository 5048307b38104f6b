// libFuzzer entry for one reader of the importer, chosen by TUVO_IMPORT_READER
// (vsq, midi, ust or ustx): each input is read as such a file with the fuzz
// dictionary. Besides the sanitizers, every song read is checked the way a
// user would see a fault: its printed MML must compile (in a private scratch
// folder, through the whole pipeline) without an error, and the VSQ file that
// gives must import, print and compile again to the same VSQ file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "diag/Diagnostics.h"
#include "driver/CommandLine.h"
#include "driver/DictionaryLookup.h"
#include "driver/PipelineRun.h"
#include "driver/RunContext.h"
#include "import/MidiReader.h"
#include "import/SongCleanup.h"
#include "import/UstReader.h"
#include "import/UstxReader.h"
#include "import/VsqReader.h"
#include "mml/MmlPrinter.h"
#include "parse/PhoneticDictionary.h"
#include "song/SourceMap.h"
#include "text/SourceProvider.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSource = "song.mml";
constexpr const char* kSongDictionary = "song.dic";
constexpr const char* kVsq = "song.vsq";
constexpr const char* kDictionary = TUVO_FUZZ_DATA_DIR "/fuzz.dic";

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "import_fuzzer: %s\n", what.c_str());
    std::abort();
}

std::string& scratchFolder() {
    static std::string path;
    return path;
}

void removeScratchFolder() {
    std::error_code error;
    fs::remove_all(scratchFolder(), error);
}

const SyllableDictionary& dictionary() {
    static const std::unique_ptr<PhoneticDictionary> loaded = [] {
        auto value = createPhoneticDictionary();
        // Read from disk once, with a map and a collector of its own.
        static SourceMap files;
        static Diagnostics diagnostics{files};
        if (!value->load(kDictionary, TextReading{diskSources(), files, diagnostics}))
            fault("cannot load the fuzz dictionary");
        return value;
    }();
    static const DictionaryLookup lookup(*loaded);
    return lookup;
}

bool readInput(std::string_view bytes, ImportedSong& song) {
    std::string problem;
    const std::string_view reader = TUVO_IMPORT_READER;
    bool read = false;
    if (reader == "vsq") read = readVsqFile(bytes, song, problem);
    if (reader == "midi") read = readMidiLyricsFile(bytes, dictionary(), song, problem);
    if (reader == "ust") read = readUstFile(bytes, dictionary(), song, problem);
    if (reader == "ustx") read = readUstxFile(bytes, dictionary(), song, problem);
    if (!read) return false;
    cleanUpImportedSong(song);
    return !song.tracks.empty();
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) fault(std::string("cannot write ") + path);
}

// The VSQ file `printout` compiles to, in the scratch folder; it must compile.
std::string compiledVsq(const MmlPrintout& printout) {
    std::error_code error;
    fs::remove(kSongDictionary, error);
    writeFile(kSource, printout.mml);
    RunSettings settings;
    settings.inputPath = kSource;
    settings.outputPath = kVsq;
    settings.dictionaryPath = kDictionary;
    if (!printout.dictionary.empty()) {
        writeFile(kSongDictionary, printout.dictionary);
        settings.dictionaryPath = kSongDictionary;
    }
    settings.includeDirectories = {TUVO_FUZZ_DATA_DIR "/include"};
    // Each run counts its own reports; none is shown.
    RunContext run(settings, diskSources());
    run.console = false;
    if (!runPipeline(run)) fault("the printed MML does not compile:\n" + printout.mml);
    return readFile(kVsq);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::error_code error;
    scratchFolder() = (fs::temp_directory_path() / ("tuvo-import-fuzz-" + std::to_string(getpid()))).string();
    fs::remove_all(scratchFolder(), error);
    if (!fs::create_directory(scratchFolder(), error)) fault("cannot create the scratch folder");
    std::atexit(removeScratchFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImportedSong song;
    if (!readInput(std::string_view(reinterpret_cast<const char*>(data), size), song)) return 0;
    const MmlNames names{"input", kSource, kSongDictionary, false};
    const MmlPrintout printed = printMml(song, dictionary(), names);

    const fs::path home = fs::current_path();
    fs::current_path(scratchFolder());
    const std::string compiled = compiledVsq(printed);

    ImportedSong again;
    std::string problem;
    if (!readVsqFile(compiled, again, problem)) fault("the compiled VSQ file does not import: " + problem);
    cleanUpImportedSong(again);
    const MmlPrintout reprinted = printMml(again, dictionary(), names);
    if (compiledVsq(reprinted) != compiled)
        fault("the imported VSQ file compiles otherwise:\n" + printed.mml + "\n---\n" + reprinted.mml);

    std::error_code error;
    for (const char* path : {kSource, kSongDictionary, kVsq, "vsqconvert.log"}) fs::remove(path, error);
    fs::current_path(home);
    return 0;
}
