// The pipeline run. Every failure inside the protected region is an exception
// caught in one place, which prints the verdict with "Failed.".
#include "driver/PipelineRun.h"

#include <exception>
#include <memory>
#include <new>

#include "compile/Compiler.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "driver/LyricHints.h"
#include "driver/OutputFormats.h"
#include "driver/OutputPaths.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "parse/CommandParser.h"
#include "parse/PhoneticDictionary.h"
#include "render/RenderedSong.h"
#include "song/Song.h"
#include "source/Preprocessor.h"
#include "source/SourceReader.h"
#include "text/FilesRead.h"
#include "text/StringPool.h"
#include "writers/vsq/VsqWriter.h"

namespace {

[[noreturn]] void fail() { throw std::exception(); }

// Reads the dictionary and the source and compiles the source into `song`. Throws through
// fail() when the run cannot go on; errors in the song itself are only reported.
void compileSource(const RunSettings& settings, const TextReading& sources, Song& song,
                   StringPool& strings) {
    auto dictionary = createPhoneticDictionary();
    // The shipped dictionary is code page 932 whatever -u says: that
    // option is about the user's own files.
    TextReading dictionaryReading = sources;
    if (settings.dictionaryIsDefault) dictionaryReading.utf8 = false;
    if (!dictionary->load(settings.dictionaryPath.c_str(), dictionaryReading)) fail();

    getReporter().setFileName(settings.inputPath);
    auto source = createSourceReader(settings.inputPath, sources);
    if (!source) fail();

    auto preprocessor = createPreprocessor();
    preprocessor->start(source.get(), &strings, &settings.includeDirectories);

    auto compiler = createCompiler();
    compiler->setSong(&song);
    compiler->setDictionary(dictionary.get());
    compiler->setStrings(&strings);

    auto parser = createCommandParser();
    parser->parse(preprocessor.get(), compiler.get(), &strings);
    printLyricHints(compiler->lyricReport());

    // The front end is released in this order: parser, compiler,
    // preprocessor, dictionary, source reader.
    parser.reset();
    compiler.reset();
    preprocessor.reset();
    dictionary.reset();
    source.reset();
}

}  // namespace

bool runPipeline(const RunSettings& settings, std::vector<std::string>* pathsRead) {
    Reporter& reporter = getReporter();
    // How this run reads its files, and the record of what it read.
    FilesRead filesRead;
    const TextReading sources{settings.utf8, &filesRead};
    // Whatever way the run ends, the caller learns what it read.
    struct PathsReport {
        const FilesRead& read;
        std::vector<std::string>* out;
        ~PathsReport() {
            if (out != nullptr) *out = read.paths();
        }
    } report{filesRead, pathsRead};
    try {
        auto song = createSong();
        auto strings = createStringPool();
        compileSource(settings, sources, *song, *strings);
        // No output may replace what the run has read (the user's source would
        // be lost to a file made from it) or another output of the run.
        if (!outputPathsAreAllowed(settings, filesRead) || reporter.errorCount() > 0) fail();

        // Every output is written completely to a staged file first; only when
        // all are, they are put in place together, so a failed run replaces none.
        OutputBatch outputs;
        StagedSink sink(outputs, &filesRead);
        // The song is rendered once for every writer; a curve is kept for as
        // long as a writer still to come reads it.
        CurveReaders readers;
        readers.add(kAllCurveIds);
        for (const OutputFormat& format : outputFormats()) {
            if (!exportPath(settings, format.letter).empty()) readers.add(format.curves);
        }
        const RenderedSong rendered(*song, *strings, readers);
        createVsqWriter()->write(rendered, settings.outputPath.c_str(), sink);
        if (reporter.errorCount() > 0) fail();
        for (const OutputFormat& format : outputFormats()) {
            const std::string path = exportPath(settings, format.letter);
            if (!path.empty()) format.write(rendered, settings, path, sink);
        }
        if (reporter.errorCount() > 0) fail();
        outputs.putAllInPlace();
        if (reporter.errorCount() > 0) fail();

        strings.reset();
        printVerdict(reporter.errorCount(), reporter.warningCount(), true);
        return true;
    } catch (const std::bad_alloc&) {
        // The song and every module are gone by now, so there is memory again
        // to say why the run stops; a run must not fail without a word.
        try {
            reporter.error(msg::kOutOfMemory, "");
        } catch (...) {
        }
        printVerdict(reporter.errorCount(), reporter.warningCount(), false);
        return false;
    } catch (...) {
        printVerdict(reporter.errorCount(), reporter.warningCount(), false);
        return false;
    }
}
