// The pipeline run. Every failure inside the protected region is an exception
// caught in one place, which ends the run with "Failed.".
#include "driver/PipelineRun.h"

#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "compile/Compiler.h"
#include "compile/SourceTrace.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/ConsoleExcerpts.h"
#include "driver/LeftoverSequences.h"
#include "driver/LyricHints.h"
#include "driver/OutputFormats.h"
#include "driver/OutputLanes.h"
#include "driver/OutputPaths.h"
#include "driver/RunContext.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "parse/CommandParser.h"
#include "parse/PhoneticDictionary.h"
#include "platform/Platform.h"
#include "render/EditorLyrics.h"
#include "render/RenderedSong.h"
#include "song/Song.h"
#include "source/Preprocessor.h"
#include "source/SourceReader.h"
#include "text/FilesRead.h"
#include "text/StringPool.h"
#include "writers/vsq/VsqWriter.h"

namespace {

[[noreturn]] void fail() { throw std::exception(); }

// The kana the dictionary spells the song's phonetic notes with, read before the
// dictionary is released; nothing is read when no note is given symbols.
PhoneticSpellings spellingsOf(const Song& song, const PhoneticDictionary& dictionary) {
    PhoneticSpellings spellings(song);
    if (spellings.wantsAny()) {
        dictionary.visitInFileOrder([&spellings](std::string_view key, std::string_view symbols) {
            spellings.offer(symbols, key);
        });
    }
    return spellings;
}

// Reads the dictionary and the source and compiles the source into `song`,
// returning the spellings of its phonetic notes when the run writes a project
// or sequences. Throws through fail() when the run cannot go on; errors in the
// song itself are only reported.
PhoneticSpellings compileSource(RunContext& run, Song& song, StringPool& strings) {
    const RunSettings& settings = run.settings;
    auto dictionary = createPhoneticDictionary();
    if (!dictionary->load(settings.dictionaryPath.c_str(),
                          run.reading(settings.dictionaryIsDefault))) {
        fail();
    }

    auto source = createSourceReader(settings.inputPath, run.reading());
    if (!source) fail();

    auto preprocessor = createPreprocessor();
    preprocessor->start(source.get(), &strings, &settings.includeDirectories);

    auto compiler = createCompiler(run.diagnostics);
    compiler->setSong(&song);
    compiler->setDictionary(dictionary.get());
    compiler->setStrings(&strings);
    SourceTrace trace;
    if (run.traceSources) compiler->setSourceTrace(&trace);

    auto parser = createCommandParser(run.diagnostics);
    parser->parse(preprocessor.get(), compiler.get(), &strings);
    if (run.console) printLyricHints(compiler->lyricReport(), run.diagnostics.errorCount() > 0);
    if (run.onCompiled) run.onCompiled(song, compiler->lyricReport(), trace);
    PhoneticSpellings spellings;
    if (!run.checkOnly && writesProject(settings) && run.diagnostics.errorCount() == 0) {
        spellings = spellingsOf(song, *dictionary);
    }

    // The front end is released in this order: parser, compiler,
    // preprocessor, dictionary, source reader.
    parser.reset();
    compiler.reset();
    preprocessor.reset();
    dictionary.reset();
    source.reset();
    return spellings;
}

// An export of a run that has already failed is not written, since it would
// be given up anyway; its first file is only opened and given up at once, so
// that every file the run cannot make is reported together.
void openAndGiveUp(const OutputFormat& format, const std::string& path, OutputSink& sink) {
    if (std::FILE* stream = sink.open(filesWrittenFor(format, path).front())) std::fclose(stream);
}

// The events of a song (notes, controls, envelopes): what the memory of a lane of writers
// grows with, some 80 bytes an event for the curve ranges and curves a second lane holds.
size_t eventCount(const Song& song) {
    size_t count = 0;
    for (int t = 0; t < song.trackCount(); ++t) {
        const Track& track = song.track(t);
        count += track.notes.size() + track.controls.size() + track.envelopes.size();
    }
    return count;
}

// Songs of up to this many events are written in two lanes when the machine has two
// processors, which takes 36% off the time of all six outputs of a 100 000-note song (170 000
// events) and costs at most some 32 MB more; larger songs are written in one lane, in the
// memory of one writer at a time.
constexpr size_t kMostEventsForTwoLanes = 400000;

// Writes every output: each is written completely to a staged file first;
// only when all are, they are put in place together, so a failed run
// replaces none. The outputs are written in one lane or two (OutputLanes.h)
// and handed over in the run's order, each export only while the run has no
// error, as when they are written one after another.
void writeOutputs(RunContext& run, const Song& song, const StringPool& strings,
                  PhoneticSpellings spellings) {
    const RunSettings& settings = run.settings;
    const Diagnostics& diagnostics = run.diagnostics;
    std::vector<const OutputFormat*> exports;
    for (const OutputFormat& format : outputFormats()) {
        if (!exportPath(settings, format.letter).empty()) exports.push_back(&format);
    }
    const size_t lanes = !exports.empty() && platform::processorsToRunOn() >= 2 &&
                                 eventCount(song) <= kMostEventsForTwoLanes
                             ? 2
                             : 1;
    OutputBatch outputs;
    StagedSink sink(outputs, &run.filesRead);
    // The song is rendered for each lane. In a lane a curve is kept for as long as a writer
    // still to come reads it, while the kept curves stay small.
    std::array<CurveReaders, 2> readers;
    readers[0].add(kAllCurveIds);
    for (size_t k = 0; k < exports.size(); ++k) {
        readers[laneOf(k + 1, lanes)].add(exports[k]->curves);
    }
    const EditorLyrics lyrics(std::move(spellings), settings.hiraganaLyrics);
    const RenderedSong rendered(song, strings, readers[0], lyrics);
    std::optional<RenderedSong> renderedBeside;
    if (lanes == 2) renderedBeside.emplace(song, strings, readers[1], lyrics);

    auto written = writeInLanes(1 + exports.size(), lanes, &run.filesRead,
                                [&](size_t i, OutputSink& out) {
        const RenderedSong& forLane = laneOf(i, lanes) == 0 ? rendered : *renderedBeside;
        if (i == 0) {
            createVsqWriter()->write(forLane, settings.outputPath.c_str(), out);
        } else {
            const OutputFormat& format = *exports[i - 1];
            format.write(forLane, settings, exportPath(settings, format.letter), out);
        }
    });
    written[0]->handOver(outputs);
    if (diagnostics.errorCount() > 0) fail();
    for (size_t k = 0; k < exports.size(); ++k) {
        if (diagnostics.errorCount() == 0) {
            written[k + 1]->handOver(outputs);
        } else {
            written[k + 1].reset();
            openAndGiveUp(*exports[k], exportPath(settings, exports[k]->letter), sink);
        }
    }
    if (diagnostics.errorCount() > 0) fail();
    outputs.putAllInPlace();
    if (diagnostics.errorCount() > 0) fail();
    if (run.console) printLeftoverSequenceHints(settings, static_cast<int>(rendered.voices().size()));
}

// While it lives, the source excerpts of a run shown on the console follow
// each positioned report on standard error.
class ExcerptsFollowing {
public:
    explicit ExcerptsFollowing(RunContext& run) : diagnostics_(run.diagnostics) {
        if (!run.console) return;
        const RunSettings& settings = run.settings;
        excerpts_ = createConsoleExcerpts(run.sources, run.files, settings.utf8,
                                          settings.dictionaryIsDefault ? settings.dictionaryPath
                                                                       : std::string());
        diagnostics_.followShownReports(excerpts_.get());
    }
    ~ExcerptsFollowing() { diagnostics_.followShownReports(nullptr); }
    ExcerptsFollowing(const ExcerptsFollowing&) = delete;
    ExcerptsFollowing& operator=(const ExcerptsFollowing&) = delete;

private:
    Diagnostics& diagnostics_;
    std::unique_ptr<ShownReportFollower> excerpts_;
};

void endRun(const RunContext& run, bool succeeded) {
    if (run.console) {
        printVerdict(run.diagnostics.errorCount(), run.diagnostics.warningCount(), succeeded);
    }
}

}  // namespace

bool runPipeline(RunContext& run) {
    Diagnostics& diagnostics = run.diagnostics;
    if (run.console) {
        // Nothing of an earlier run in this process shows in this one.
        restartReporter();
        diagnostics.showOnConsole();
    } else if (!run.checkOnly) {
        // The writers report through the process-wide reporter.
        diagnostics.collectFromProcess();
    }
    const ExcerptsFollowing excerpts(run);
    try {
        auto song = createSong();
        auto strings = createStringPool();
        PhoneticSpellings spellings = compileSource(run, *song, *strings);
        // No output may replace what the run has read (the user's source would
        // be lost to a file made from it) or another output of the run.
        const bool outputsAllowed =
            run.checkOnly || outputPathsAreAllowed(run.settings, run.filesRead, diagnostics);
        if (!outputsAllowed || diagnostics.errorCount() > 0) fail();
        if (!run.checkOnly) writeOutputs(run, *song, *strings, std::move(spellings));
        strings.reset();
        endRun(run, true);
        return true;
    } catch (const std::bad_alloc&) {
        // The song and every module are gone by now, so there is memory again
        // to say why the run stops; a run must not fail without a word.
        try {
            diagnostics.error(msg::kOutOfMemory, "");
        } catch (...) {
        }
        endRun(run, false);
        return false;
    } catch (...) {
        endRun(run, false);
        return false;
    }
}

bool runPipeline(const RunSettings& settings, std::vector<std::string>* pathsRead) {
    RunContext run(settings, diskSources());
    const bool succeeded = runPipeline(run);
    if (pathsRead != nullptr) *pathsRead = run.filesRead.paths();
    return succeeded;
}
