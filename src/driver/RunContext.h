// One run of the compiler, as the caller hands it in and reads it back: the
// settings, where its files come from, whether it writes and shows anything,
// and what it keeps of what it read and reported (its map of files, its
// reports as records, the files it read).
//
// A language server checks an editor's unsaved buffer so:
//
//     auto buffers = createMemorySources(&diskSources());
//     buffers->add("song.mml", text);
//     RunContext run(settings, *buffers);  // settings: input and dictionary paths, -I, -u
//     run.checkOnly = true;
//     run.console = false;
//     runPipeline(run);
//     for (const Diagnostic& d : run.diagnostics.records()) ... run.files.fileName(d.location.file)
//
// Runs follow each other with nothing left over: each has its own map, records
// and counts, and a run shown on the console starts the console afresh.
// Check-only runs not shown on the console touch no state of the process and
// share only what they are given (a provider may be shared while no text is
// added to it), so they may go on side by side on threads of their own. Runs
// shown on the console may not, as there is one console; nor may runs that
// write, as the writers report through the process-wide reporter (a run that
// writes collects those reports from it, shown or not).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "diag/Diagnostics.h"
#include "driver/CommandLine.h"
#include "song/SourceMap.h"
#include "text/FilesRead.h"
#include "text/SourceProvider.h"
#include "text/TextFile.h"

class Song;
struct LyricReport;
struct SourceTrace;

struct RunContext {
    RunContext(RunSettings settings, SourceProvider& sources)
        : settings(std::move(settings)), sources(sources) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // A copy of its own: a run may outlive the settings it was made from.
    RunSettings settings;
    // Compile and report only: no VSQ file, no log, no export is written.
    bool checkOnly = false;
    // Show the run as the program does: every report as it is made, the lyric
    // hints and the verdict lines.
    bool console = true;
    SourceProvider& sources;
    SourceMap files;
    Diagnostics diagnostics{files};
    FilesRead filesRead;
    // Keep where each syllable and rest was written (compile/SourceTrace.h),
    // for an editor's queries; other runs keep nothing of it.
    bool traceSources = false;
    // Called, when given, with the compiled song, what the compile noticed
    // for the hints and the trace (empty unless traceSources), before the
    // front end is released: an editor's queries read the notes there.
    std::function<void(const Song&, const LyricReport&, const SourceTrace&)> onCompiled;

    // How the run reads its files; the shipped dictionary is code page 932
    // whatever -u says, as that option is about the user's own files.
    TextReading reading(bool shippedDictionary = false) {
        return TextReading{sources, files, diagnostics, &filesRead,
                           settings.utf8 && !shippedDictionary};
    }
};
