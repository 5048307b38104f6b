// libFuzzer entry for the whole compile: each input is compiled from memory as
// the source "song.mml", from the source reader to the VSQ writer, with a small
// dictionary and the fuzz include folder, held in memory too, so that no run
// reads a file. Built with TUVO_FUZZ_UTF8 it runs in the UTF-8 mode, with UTF-8
// twins of both. The outputs are written in the working folder, as the program
// writes its log there; the fuzzer wants a folder of its own to run in.
//
// Every run also writes the MIDI file, the score, the OpenUtau project and the
// UTAU sequences, so the exporters are fuzzed too, and the sung preview when
// the song is short enough to be sung within the replay's budget (and the
// build has it). Besides the sanitizers,
// every run is checked for what a user would see as a fault: a successful run
// must leave a well-formed VSQ file whose numbered text events give back the
// metatext of the log byte for byte, a well-formed MIDI file and score with as
// many tracks and parts, a project with its header and a voice part per voice
// track, each sequence as its sections in order, a WAV file whose chunks fill it; a failed run must leave no
// output, and no run may leave stray files (temporaries).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/PipelineRun.h"
#include "driver/RunContext.h"
#include "driver/SungPreviewModule.h"
#include "render/TempoClock.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "writers/ust/UstExporter.h"
#include "text/Encoding.h"
#include "text/SourceProvider.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kInput = "song.mml";
constexpr const char* kOutput = "song.vsq";
constexpr const char* kLog = "vsqconvert.log";
constexpr const char* kMidi = "song.mid";
constexpr const char* kScore = "song.musicxml";
constexpr const char* kProject = "song.ustx";
constexpr const char* kSequences = "song.ust";  // written as song-1.ust, song-2.ust, ...
constexpr const char* kPreview = "song.wav";
// The sung preview is asked for only of songs this short: singing costs time
// in proportion to the song, and the corpus is replayed within a budget.
constexpr size_t kMostPreviewNotes = 24;
constexpr double kMostPreviewSungMs = 3000;
constexpr double kMostPreviewMs = 20000;

std::string sequencePath(size_t number) { return ustTrackPath(kSequences, static_cast<int>(number)); }

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "compile_fuzzer: %s\n", what.c_str());
    std::abort();
}

RunSettings& settings() {
    static RunSettings value;
    return value;
}

// The dictionary, the include folder and each input, held in memory.
MemorySources& sources() {
    static MemorySources* held = createMemorySources().release();
    return *held;
}

// What the working folder held before the first run: every other entry after a
// run is a file the run left, but for what libFuzzer writes there itself.
std::set<std::string>& entriesBefore() {
    static std::set<std::string> names;
    return names;
}

bool writtenByLibFuzzer(const std::string& name) {
    for (const char* prefix : {"crash-", "leak-", "timeout-", "oom-", "slow-unit-"})
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string readFile(const std::string& path) {
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

// Reads a variable-length number of at most four bytes, the most a Standard
// MIDI File allows, from `bytes` at `pos` before `end`.
uint32_t readQuantity(const std::string& bytes, size_t& pos, size_t end) {
    uint32_t value = 0;
    for (int count = 0;; ++count) {
        if (pos >= end || count == 4) fault("variable-length number too long or past its chunk");
        const uint8_t byte = static_cast<uint8_t>(bytes[pos++]);
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) return value;
    }
}

// The data bytes a channel message of `status` carries, or -1 when the byte
// starts no channel message.
int channelDataBytes(uint8_t status) {
    switch (status & 0xF0) {
    case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return 2;
    case 0xC0: case 0xD0: return 1;
    default: return -1;
    }
}

// Walks one track chunk's events: every event is a delta time and a meta event
// (or, where `channelMessages`, a channel message with its status byte), and the
// chunk ends with exactly one end-of-track event. Returns the metatext that the
// track's numbered text events carry.
std::string checkTrackEvents(const std::string& bytes, size_t at, size_t end, bool channelMessages) {
    std::string metatext;
    uint64_t textEvents = 0;
    bool ended = false;
    while (at < end) {
        if (ended) fault("events after the end of a track");
        readQuantity(bytes, at, end);
        if (at >= end) fault("event missing after its delta time");
        const uint8_t status = static_cast<uint8_t>(bytes[at]);
        const int count = channelMessages ? channelDataBytes(status) : 0;
        if (count > 0) {
            if (end - at <= static_cast<size_t>(count)) fault("channel message runs past its chunk");
            for (int i = 1; i <= count; ++i)
                if (static_cast<uint8_t>(bytes[at + i]) > 0x7F) fault("channel data byte above 127");
            at += 1 + count;
            continue;
        }
        if (end - at < 2 || status != 0xFF) fault("not a meta event");
        const uint8_t type = static_cast<uint8_t>(bytes[at + 1]);
        at += 2;
        const uint32_t length = readQuantity(bytes, at, end);
        if (length > end - at) fault("meta event runs past its chunk");
        if (type == 0x01 && !channelMessages) {
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

// A Standard MIDI File of format 1 and 480 ticks a quarter note: header, then
// exactly the announced number of track chunks, whose lengths add up to the
// file's size. Returns the metatext of each voice track (VSQ files only: the
// MIDI export carries channel messages instead).
std::vector<std::string> checkMidiFile(const std::string& bytes, bool channelMessages) {
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
        std::string metatext =
            checkTrackEvents(bytes, at + 8, at + 8 + length, channelMessages && track > 0);
        if (track == 0 && !metatext.empty()) fault("text events in the master track");
        if (track > 0) metatexts.push_back(std::move(metatext));
        at += 8 + length;
    }
    if (at != bytes.size()) fault("bytes after the last track chunk");
    return metatexts;
}

// The score: an XML text whose elements all close in order, whose "&" all
// start references, with one part per voice track of the VSQ file.
void checkScore(const std::string& text, size_t voiceTracks) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"";
    const std::string tail = "</score-partwise>\n";
    if (text.compare(0, head.size(), head) != 0) fault("score without its XML declaration");
    if (text.size() < tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        fault("score does not end with its root element");
    std::vector<std::string> open;
    size_t parts = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '&') {
            static const char* const kReferences[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#"};
            if (std::none_of(std::begin(kReferences), std::end(kReferences), [&](const char* ref) {
                    return text.compare(at, std::char_traits<char>::length(ref), ref) == 0;
                }))
                fault("score with a bare ampersand");
            continue;
        }
        if (text[at] != '<') continue;
        const size_t close = text.find('>', at);
        if (close == std::string::npos) fault("score with an unclosed tag");
        const std::string tag = text.substr(at + 1, close - at - 1);
        at = close;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!' || tag.back() == '/') continue;
        const std::string name = tag.substr(tag[0] == '/' ? 1 : 0, tag.find(' ') - (tag[0] == '/' ? 1 : 0));
        if (tag[0] != '/') {
            if (name == "part" && open.size() == 1) ++parts;
            open.push_back(name);
        } else if (open.empty() || open.back() != name) {
            fault("score element closed out of order: " + name);
        } else {
            open.pop_back();
        }
    }
    if (!open.empty()) fault("score elements left open");
    if (parts != voiceTracks) fault("score parts and voice tracks differ in number");
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

// Lines cut at CR LF (the sequences) or LF (the project).
std::vector<std::string> linesOf(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t next; (next = text.find(end, at)) != std::string::npos; at = next + end.size())
        lines.push_back(text.substr(at, next - at));
    if (at != text.size()) fault("a file does not end with a line end");
    return lines;
}

// The project: its header as written, then a voice part per voice track.
void checkProject(const std::string& text, size_t voiceTracks) {
    const std::vector<std::string> lines = linesOf(text, "\n");
    if (lines.size() < 10 || lines[0].rfind("name: \"", 0) != 0 ||
        lines[4] != "ustx_version: \"0.6\"")
        fault("project without its header lines");
    size_t parts = 0;
    for (const std::string& line : lines) {
        if (line.rfind("- name: \"Voice", 0) == 0) ++parts;
        if (line.find('\r') != std::string::npos) fault("a line break inside a project line");
    }
    if (parts != voiceTracks) fault("project without a voice part per voice track");
}

// A sequence: its version, settings, numbered note and rest sections of
// positive lengths, and its end, every other line a key and a value.
void checkSequence(const std::string& text) {
    const std::vector<std::string> lines = linesOf(text, "\r\n");
    if (lines.size() < 4 || lines[0] != "[#VERSION]" || lines[1] != "UST Version1.2" ||
        lines[2] != "[#SETTING]" || lines.back() != "[#TRACKEND]")
        fault("sequence without its sections");
    size_t sections = 0;
    for (size_t i = 3; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) fault("empty line in a sequence");
        if (line.front() == '[') {
            char expected[16];
            std::snprintf(expected, sizeof expected, "[#%04zu]", sections++);
            if (line != expected) fault("sequence section out of order: " + line);
        } else if (line.find('=') == std::string::npos || line.find('\r') != std::string::npos) {
            fault("sequence line without a key: " + line);
        } else if (line.rfind("Length=", 0) == 0 &&
                   (line.size() == 7 || line[7] == '0' || line[7] == '-')) {
            fault("sequence note without a length");
        }
    }
}

// Holds every file of `folder` in memory under the path the run will ask for:
// the folder as given, "/", and the file's name.
void holdFolder(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = folder + "/" + entry.path().filename().string();
        sources().add(path, readFile(path));
    }
    if (error) fault("cannot read " + folder);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Diagnostics would flood the fuzzer's own report.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) fault("cannot silence stdout");

    std::error_code error;
    for (const auto& entry : fs::directory_iterator(".", error))
        entriesBefore().insert(entry.path().filename().string());

    RunSettings& run = settings();
    run.inputPath = kInput;
    run.outputPath = kOutput;
    run.exportPaths['m'] = kMidi;
    run.exportPaths['x'] = kScore;
    run.exportPaths['s'] = kProject;
    run.exportPaths['t'] = kSequences;
#ifdef TUVO_FUZZ_UTF8
    setUtf8Mode(true);
    run.utf8 = true;
    run.dictionaryPath = TUVO_FUZZ_DATA_DIR "/fuzz-utf8.dic";
    run.includeDirectories = {TUVO_FUZZ_DATA_DIR "/include-utf8"};
#else
    run.dictionaryPath = TUVO_FUZZ_DATA_DIR "/fuzz.dic";
    run.includeDirectories = {TUVO_FUZZ_DATA_DIR "/include"};
#endif
    sources().add(run.dictionaryPath, readFile(run.dictionaryPath));
    holdFolder(run.includeDirectories.front());
    return 0;
}

// True when the compiled song is short enough to be sung for every input.
bool shortEnoughToSing(const Song& song) {
    const TempoClock clock(collectTempoMap(song));
    size_t notes = 0;
    double sungMs = 0;
    for (int index = 0; index < song.trackCount(); ++index) {
        for (const NoteEvent& note : song.track(index).notes) {
            const int64_t end = int64_t{note.time} + std::max(note.length, 0);
            if (++notes > kMostPreviewNotes || clock.msAt(end) > kMostPreviewMs) return false;
            sungMs += clock.msAt(end) - clock.msAt(note.time);
        }
    }
    return sungMs <= kMostPreviewSungMs;
}

// The sung preview: a RIFF file of PCM samples whose chunk sizes add up to
// the file's size.
void checkPreview(const std::string& bytes) {
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        fault("the sung preview is no WAV file");
    const auto littleEndian = [&](size_t at) {
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
        return value;
    };
    if (littleEndian(4) != bytes.size() - 8) fault("the sung preview's RIFF size is wrong");
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint64_t size = littleEndian(at + 4);
        at += 8 + size + (size & 1);
    }
    if (at != bytes.size()) fault("the sung preview's chunks do not fill the file");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sources().add(kInput, std::string(reinterpret_cast<const char*>(data), size));
    bool succeeded = false;
    bool preview = false;
    {
        RunContext run(settings(), sources());
        // The editor's trace is kept too, so that its bookkeeping is fuzzed
        // with the rest; it changes nothing the run writes.
        run.traceSources = true;
        run.onCompiled = [&](const Song& song, const LyricReport&, const SourceTrace&) {
            // The fuzzers' sung preview is linked in (LinkedSungPreview.cpp),
            // found from no folder.
            if (loadSungPreview(std::string()) && shortEnoughToSing(song)) {
                run.settings.exportPaths['a'] = kPreview;
                preview = true;
            }
        };
        succeeded = runPipeline(run);
        // A run reads only what it is given.
        for (const std::string& path : run.filesRead.paths()) {
            if (path != kInput && path != settings().dictionaryPath &&
                path.rfind(settings().includeDirectories.front() + "/", 0) != 0)
                fault("a run read a file it was not given: " + path);
        }
    }

    // All outputs or none.
    for (const char* output : {kOutput, kMidi, kScore, kProject}) {
        const bool written = fs::exists(output);
        if (succeeded && !written) fault(std::string("successful run without ") + output);
        if (!succeeded && written) fault(std::string("failed run left ") + output);
    }
    if (preview && succeeded != fs::exists(kPreview)) fault("the sung preview not written with the rest");
    size_t voiceTracks = 0;
    if (succeeded) {
        if (preview) checkPreview(readFile(kPreview));
        const std::vector<std::string> metatexts = checkMidiFile(readFile(kOutput), false);
        checkLog(readFile(kLog), metatexts);
        voiceTracks = metatexts.size();
        if (checkMidiFile(readFile(kMidi), true).size() != voiceTracks)
            fault("MIDI file and VSQ file differ in voice tracks");
        checkScore(readFile(kScore), voiceTracks);
        checkProject(readFile(kProject), voiceTracks);
        for (size_t number = 1; number <= voiceTracks; ++number)
            checkSequence(readFile(sequencePath(number)));
    }

    std::error_code error;
    for (const auto& entry : fs::directory_iterator(".", error)) {
        const std::string name = entry.path().filename().string();
        bool sequence = false;
        for (size_t number = 1; number <= voiceTracks; ++number)
            sequence = sequence || name == sequencePath(number);
        if (!entriesBefore().contains(name) && !writtenByLibFuzzer(name) && name != kOutput &&
            name != kLog && name != kMidi && name != kScore && name != kProject && name != kPreview &&
            !sequence)
            fault("stray file left: " + name);
    }
    for (const char* output : {kOutput, kLog, kMidi, kScore, kProject, kPreview}) fs::remove(output, error);
    for (size_t number = 1; number <= voiceTracks; ++number) fs::remove(sequencePath(number), error);
    return 0;
}
