// libFuzzer entry for the whole compile: each input is written as song.mml into
// a private scratch folder and run through the pipeline, from the source reader
// to the VSQ writer, with a small dictionary and the fuzz include folder. Built
// with TUVO_FUZZ_UTF8 it runs in the UTF-8 mode, with UTF-8 twins of both.
//
// Besides the sanitizers, every run is checked for what a user would see as a
// fault: a successful run must leave a well-formed MIDI file whose numbered
// text events give back the metatext of the log byte for byte, a failed run
// must leave no output, and no run may leave stray files (temporaries).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzReporter.h"
#include "driver/CommandLine.h"
#include "driver/PipelineRun.h"
#include "text/Encoding.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kInput = "song.mml";
constexpr const char* kOutput = "song.vsq";
constexpr const char* kLog = "vsqconvert.log";

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "compile_fuzzer: %s\n", what.c_str());
    std::abort();
}

RunSettings& settings() {
    static RunSettings value;
    return value;
}

std::string& scratchFolder() {
    static std::string path;
    return path;
}

std::string& homeFolder() {
    static std::string path;
    return path;
}

void enter(const std::string& folder) {
    if (chdir(folder.c_str()) != 0) fault("cannot enter " + folder);
}

void removeScratchFolder() {
    std::error_code error;
    fs::remove_all(scratchFolder(), error);
}

constexpr const char* kScratchPrefix = "tuvo-fuzz-";

// A fuzzer stopped by a timeout or a memory blow-up exits without cleaning up;
// the scratch folders of processes that no longer exist are removed here.
void removeStaleScratchFolders(const fs::path& parent) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(parent, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kScratchPrefix, 0) != 0) continue;
        const std::string digits = name.substr(std::string(kScratchPrefix).size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::strtol(digits.c_str(), nullptr, 10);
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), error);
    }
}

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t bigEndian(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The prefix of text event `number` of a voice track, as the chunker numbers them.
std::string textEventPrefix(uint64_t number) {
    const int width = number <= 9999 ? 4 : number <= 99999999 ? 8 : 12;
    std::string digits = std::to_string(number);
    return "DM:" + std::string(width - std::min<size_t>(width, digits.size()), '0') + digits + ":";
}

// Walks one track chunk's events: every event is a delta time and a meta
// event, and the chunk ends with exactly one end-of-track event. Returns the
// metatext that the track's numbered text events carry.
std::string checkTrackEvents(const std::string& bytes, size_t at, size_t end) {
    auto readQuantity = [&](size_t& pos) {
        uint32_t value = 0;
        for (int count = 0;; ++count) {
            if (pos >= end || count == 5) fault("variable-length number runs past its chunk");
            const uint8_t byte = static_cast<uint8_t>(bytes[pos++]);
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) return value;
        }
    };
    std::string metatext;
    uint64_t textEvents = 0;
    bool ended = false;
    while (at < end) {
        if (ended) fault("events after the end of a track");
        readQuantity(at);
        if (end - at < 2 || static_cast<uint8_t>(bytes[at]) != 0xFF) fault("not a meta event");
        const uint8_t type = static_cast<uint8_t>(bytes[at + 1]);
        at += 2;
        const uint32_t length = readQuantity(at);
        if (length > end - at) fault("meta event runs past its chunk");
        if (type == 0x01) {
            const std::string prefix = textEventPrefix(textEvents++);
            if (length > 127 || length <= prefix.size() || bytes.compare(at, prefix.size(), prefix) != 0)
                fault("text event without its numbered prefix or payload");
            metatext.append(bytes, at + prefix.size(), length - prefix.size());
        }
        at += length;
        ended = type == 0x2F;
    }
    if (!ended) fault("track without its end-of-track event");
    return metatext;
}

// The output of a successful run: header, then exactly the announced number of
// track chunks, whose lengths add up to the file's size. Returns the metatext
// of each voice track.
std::vector<std::string> checkMidiFile(const std::string& bytes) {
    if (bytes.size() < 14 || bytes.compare(0, 8, std::string("MThd\0\0\0\6", 8)) != 0)
        fault("output without a MIDI header");
    if (bigEndian(bytes, 8, 2) != 1 || bigEndian(bytes, 12, 2) != 480)
        fault("wrong format or division in the header");
    const uint32_t tracks = bigEndian(bytes, 10, 2);
    if (tracks < 2) fault("output without a voice track");
    std::vector<std::string> metatexts;
    size_t at = 14;
    for (uint32_t track = 0; track < tracks; ++track) {
        if (bytes.size() - at < 8 || bytes.compare(at, 4, "MTrk") != 0)
            fault("track chunk missing");
        const uint32_t length = bigEndian(bytes, at + 4, 4);
        if (length > bytes.size() - at - 8) fault("track chunk runs past the file's end");
        std::string metatext = checkTrackEvents(bytes, at + 8, at + 8 + length);
        if (track == 0 && !metatext.empty()) fault("text events in the master track");
        if (track > 0) metatexts.push_back(std::move(metatext));
        at += 8 + length;
    }
    if (at != bytes.size()) fault("bytes after the last track chunk");
    return metatexts;
}

// The log of a successful run holds each voice track's metatext exactly as the
// file's text events carry it.
void checkLog(const std::string& log, const std::vector<std::string>& metatexts) {
    const std::string head = "Convert Start\nStart Master Track\nEnd Master Track\n";
    if (log.compare(0, head.size(), head) != 0) fault("log without its opening lines");
    size_t at = head.size();
    for (const std::string& metatext : metatexts) {
        const std::string track = "New Track\n" + metatext + "\nTrack End\n";
        if (log.compare(at, track.size(), track) != 0)
            fault("log and text events disagree on a track's metatext");
        at += track.size();
    }
    if (at != log.size()) fault("log runs on after the last track");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Diagnostics would flood the fuzzer's own report, and nothing may wait
    // for a terminal: an input could name the standard input as an include.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) fault("cannot silence stdout");
    if (std::freopen("/dev/null", "r", stdin) == nullptr) fault("cannot detach stdin");

    // Each run happens inside the scratch folder, where the conversion log
    // lands; between runs the working folder is the caller's again, so that
    // relative corpus paths keep working.
    homeFolder() = fs::current_path().string();
    const fs::path temporary = fs::temp_directory_path();
    removeStaleScratchFolders(temporary);
    std::string& scratch = scratchFolder();
    scratch = (temporary / (kScratchPrefix + std::to_string(getpid()))).string();
    std::error_code error;
    fs::remove_all(scratch, error);
    if (!fs::create_directory(scratch, error)) fault("cannot create the scratch folder");
    std::atexit(removeScratchFolder);

    // A crash is saved while the scratch folder is current; without a prefix
    // of the caller's own, crash files go to the caller's folder as usual.
    static std::vector<std::string> arguments(*argv, *argv + *argc);
    static std::vector<char*> pointers;
    bool hasPrefix = false;
    for (const std::string& argument : arguments)
        hasPrefix = hasPrefix || argument.rfind("-artifact_prefix=", 0) == 0 ||
                    argument.rfind("-exact_artifact_path=", 0) == 0;
    if (!hasPrefix) {
        arguments.push_back("-artifact_prefix=" + homeFolder() + "/");
        for (std::string& argument : arguments) pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        *argc = static_cast<int>(arguments.size());
        *argv = pointers.data();
    }

    RunSettings& run = settings();
    run.inputPath = kInput;
    run.outputPath = kOutput;
#ifdef TUVO_FUZZ_UTF8
    setUtf8Mode(true);
    run.utf8 = true;
    run.dictionaryPath = TUVO_FUZZ_DATA_DIR "/fuzz-utf8.dic";
    run.includeDirectories = {TUVO_FUZZ_DATA_DIR "/include-utf8"};
#else
    run.dictionaryPath = TUVO_FUZZ_DATA_DIR "/fuzz.dic";
    run.includeDirectories = {TUVO_FUZZ_DATA_DIR "/include"};
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    enter(scratchFolder());
    {
        std::ofstream out(kInput, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) fault("cannot write the input file");
    }
    resetFuzzReporter();
    const bool succeeded = runPipeline(settings());

    const bool written = fs::exists(kOutput);
    if (succeeded && !written) fault("successful run without an output file");
    if (!succeeded && written) fault("failed run left an output file");
    if (succeeded) checkLog(readFile(kLog), checkMidiFile(readFile(kOutput)));

    std::error_code error;
    for (const auto& entry : fs::directory_iterator(".", error)) {
        const std::string name = entry.path().filename().string();
        if (name != kInput && name != kOutput && name != kLog) fault("stray file left: " + name);
    }
    fs::remove(kOutput, error);
    fs::remove(kLog, error);
    enter(homeFolder());
    return 0;
}
