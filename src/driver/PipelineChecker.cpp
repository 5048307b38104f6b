// Runs of the pipeline for the language server, and their records turned
// into what the server shows: messages in UTF-8 with their places and chains,
// the lyric hints at their lyrics, the notes with their bars and syllables.
#include "driver/PipelineChecker.h"

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "compile/LyricReport.h"
#include "compile/SourceTrace.h"
#include "diag/Diagnostic.h"
#include "driver/OutputFormats.h"
#include "driver/PipelineRun.h"
#include "driver/RunContext.h"
#include "render/Bars.h"
#include "song/Song.h"
#include "song/TempoMap.h"
#include "text/Encoding.h"
#include "text/SourceProvider.h"

namespace {

// An included file the server reads for its names: a song is far smaller.
constexpr size_t kLargestSourceRead = size_t{16} << 20;

CheckedPlace placeOf(const SourceMap& files, const SourceLocation& location) {
    if (!location.known()) return {};
    return {files.fileName(location.file), location.line, location.column, location.endColumn};
}

const char* stepName(DiagnosticStep::Kind kind) {
    switch (kind) {
    case DiagnosticStep::Kind::WrittenInMacro: return "written in the macro's body here";
    case DiagnosticStep::Kind::MacroUse: return "by the macro used here";
    case DiagnosticStep::Kind::IncludedFrom: return "in the file included here";
    }
    return "";
}

CheckedMessage messageOf(const SourceMap& files, const Diagnostic& record) {
    CheckedMessage message;
    message.severity =
        record.severity == Severity::Error ? CheckedSeverity::Error : CheckedSeverity::Warning;
    message.id = std::string(record.id());
    message.catalogueText = cp932ToUtf8(record.message->text);
    message.text = message.catalogueText;
    if (!record.detail.empty()) {
        message.text += ": ";
        message.text += record.message->detail == msg::Detail::Path ? record.detail
                                                                    : cp932ToUtf8(record.detail);
    }
    message.place = placeOf(files, record.location);
    for (const DiagnosticStep& step : record.chain) {
        message.chain.push_back({stepName(step.kind), placeOf(files, step.location)});
    }
    return message;
}

// The lyric hints, each at the start of the line it names.
void addHints(const LyricReport& report, std::vector<CheckedMessage>& messages) {
    for (const SurplusLyric& surplus : report.surpluses) {
        messages.push_back({CheckedSeverity::Warning, "lyric-surplus",
                            "this lyric has " + std::to_string(surplus.syllables) +
                                " syllables for " + std::to_string(surplus.waitingNotes) +
                                " waiting notes of track " + std::to_string(surplus.track) +
                                ": '" + cp932ToUtf8(surplus.leftOver) + "' finds no note",
                            "", {surplus.place.file, surplus.place.line, 0, 0}, {}});
    }
    for (const UnsungNotes& unsung : report.unsung) {
        messages.push_back({CheckedSeverity::Information, "lyric-default-syllable",
                            std::to_string(unsung.count) + " notes of track " +
                                std::to_string(unsung.track) +
                                " get no syllable and sing the default \xE3\x82\x89, from here on",
                            "", {unsung.first.file, unsung.first.line, 0, 0}, {}});
    }
    for (const OpenLoop& loop : report.openLoops) {
        messages.push_back({CheckedSeverity::Warning, "loop-left-open",
                            "this loop of track " + std::to_string(loop.track) +
                                " is never closed: its part is played once",
                            "", {loop.opened.file, loop.opened.line, 0, 0}, {}});
    }
}

void addNotes(const Song& song, const SourceMap& files, const Bars& bars,
              std::vector<CheckedNote>& notes) {
    for (int t = 0; t < song.trackCount(); ++t) {
        const Track& track = song.track(t);
        for (size_t i = 0; i < track.notes.size(); ++i) {
            const SourceLocation written = files.expansionLocation(track.noteLocation(i));
            if (!written.known()) continue;
            const NoteEvent& note = track.notes[i];
            const BarPosition at = bars.positionOf(note.time);
            const std::string text(note.lyric.text.view());
            const std::string symbols(note.lyric.symbols.view());
            notes.push_back({placeOf(files, written), t + 1, note.note, note.step, at.bar, at.beat,
                             at.tick, cp932ToUtf8(text), symbols,
                             text == kDefaultLyricText && symbols == kDefaultLyricSymbols});
        }
    }
}

// The syllables with their first notes, and the rests, from the run's trace.
void addTrace(const Song& song, const SourceTrace& trace, const SourceMap& files, const Bars& bars,
              CheckResult& result) {
    result.syllables.reserve(trace.syllables.size());
    for (const TracedSyllable& syllable : trace.syllables) {
        result.syllables.push_back({placeOf(files, syllable.written), cp932ToUtf8(syllable.text), {}, 0});
    }
    for (size_t t = 0; t < trace.landings.size() && t < static_cast<size_t>(song.trackCount()); ++t) {
        const Track& track = song.track(static_cast<int>(t));
        for (const SyllableLanding& landing : trace.landings[t]) {
            if (landing.syllable >= result.syllables.size() || landing.note >= track.notes.size()) continue;
            CheckedSyllable& syllable = result.syllables[landing.syllable];
            if (syllable.landings.size() < CheckedSyllable::kLandingsKept) {
                const NoteEvent& note = track.notes[landing.note];
                const BarPosition at = bars.positionOf(note.time);
                syllable.landings.push_back({static_cast<int32_t>(t) + 1, note.note, at.bar, at.beat});
            }
            ++syllable.landingCount;
        }
    }
    for (const TracedRest& rest : trace.rests) {
        const SourceLocation written = files.expansionLocation(rest.written);
        if (!written.known()) continue;
        const BarPosition at = bars.positionOf(rest.time);
        result.rests.push_back({placeOf(files, written), rest.track + 1, rest.ticks, at.bar, at.beat, at.tick});
    }
}

class PipelineChecker : public Checker {
public:
    explicit PipelineChecker(RunSettings settings) : settings_(std::move(settings)) {}

    CheckResult check(const std::string& path, const OpenBuffers& buffers) override {
        CheckResult result;
        auto sources = buffersOnDisk(buffers);
        RunContext run(settingsFor(path), *sources);
        run.checkOnly = true;
        run.console = false;
        run.traceSources = true;
        run.onCompiled = [&](const Song& song, const LyricReport& report, const SourceTrace& trace) {
            const TempoMap tempo = collectTempoMap(song);
            const Bars bars(tempo.metres);
            addNotes(song, run.files, bars, result.notes);
            addTrace(song, trace, run.files, bars, result);
            addHints(report, result.messages);
        };
        runPipeline(run);
        std::vector<CheckedMessage> messages;
        for (const Diagnostic& record : run.diagnostics.records()) {
            messages.push_back(messageOf(run.files, record));
        }
        messages.insert(messages.end(), std::make_move_iterator(result.messages.begin()),
                        std::make_move_iterator(result.messages.end()));
        result.messages = std::move(messages);
        result.filesRead = run.filesRead.paths();
        return result;
    }

    CompileResult compile(const std::string& path, const OpenBuffers& buffers,
                          const CompileOutputs& outputs) override {
        RunSettings settings = settingsFor(path);
        const std::string stem = settings.outputPath.substr(0, settings.outputPath.size() - 4);
        if (outputs.midi) settings.exportPaths['m'] = stem + ".mid";
        if (outputs.musicxml) settings.exportPaths['x'] = stem + ".musicxml";
        if (outputs.ustx) settings.exportPaths['s'] = stem + ".ustx";
        if (outputs.ust) settings.exportPaths['t'] = stem + ".ust";
        auto sources = buffersOnDisk(buffers);
        RunContext run(settings, *sources);
        run.console = false;
        CompileResult result;
        result.succeeded = runPipeline(run);
        result.errors = run.diagnostics.errorCount();
        result.warnings = run.diagnostics.warningCount();
        if (!result.succeeded) return result;
        std::vector<std::string> written{settings.outputPath};
        for (const OutputFormat& format : outputFormats()) {
            const std::string file = exportPath(settings, format.letter);
            if (file.empty()) continue;
            for (const std::string& each : filesWrittenFor(format, file)) written.push_back(each);
        }
        std::error_code error;
        for (const std::string& file : written) {
            if (std::filesystem::exists(file, error)) {
                result.outputs.push_back(std::filesystem::absolute(file, error).string());
            }
        }
        return result;
    }

    std::vector<std::string> includeFolders() const override { return settings_.includeDirectories; }

    std::optional<std::string> fileText(const std::string& path) const override {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
        const std::optional<std::string> bytes = readWholeFile(diskSources(), path, kLargestSourceRead);
        if (!bytes) return std::nullopt;
        const auto* start = reinterpret_cast<const unsigned char*>(bytes->data());
        if (startsWithUtf8ByteOrderMark(start, bytes->size())) return bytes->substr(kUtf8ByteOrderMark.size());
        if (settings_.utf8) return *bytes;
        return cp932ToUtf8(*bytes);
    }

private:
    RunSettings settingsFor(const std::string& path) const {
        RunSettings settings = settings_;
        settings.inputPath = path;
        settings.outputPath = defaultOutputPath(path);
        return settings;
    }

    // The editor's buffers, UTF-8 as the editor sends them (so marked), in
    // front of the disk.
    static std::unique_ptr<MemorySources> buffersOnDisk(const OpenBuffers& buffers) {
        auto sources = createMemorySources(&diskSources());
        for (const auto& [path, text] : buffers) {
            sources->add(path, std::string(kUtf8ByteOrderMark) + text);
        }
        return sources;
    }

    RunSettings settings_;
};

}  // namespace

std::unique_ptr<Checker> createPipelineChecker(const RunSettings& settings) {
    return std::make_unique<PipelineChecker>(settings);
}
