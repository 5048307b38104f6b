// The watch loop. Each run starts the console afresh (driver/PipelineRun.cpp), so its counts and
// verdict are its own; what to watch is what the run read and what the run
// before it read (a file that a run could not read, such as an included file
// replaced by a named pipe, is watched on until it is back), plus the source
// and the dictionary should they not have opened (so that creating them
// counts). What the loop itself says goes to standard error.
#include "driver/WatchMode.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/Console.h"
#include "platform/FileWatcher.h"

namespace {

std::vector<std::string> filesToWatch(const RunSettings& settings, std::vector<std::string> files,
                                      const std::vector<std::string>& readBefore) {
    std::vector<std::string> more = readBefore;
    more.insert(more.end(), {settings.inputPath, settings.dictionaryPath});
    for (const std::string& path : more)
        if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
    return files;
}

}  // namespace

int watchAndCompile(const RunSettings& settings, const std::string& exeDir,
                    const std::function<std::vector<std::string>()>& compile) {
    platform::catchStopSignals();
    const auto watcher = platform::createFileWatcher();
    // The source and the dictionary are looked at before the first run, so
    // that a save while it runs is seen whenever it comes.
    watcher->watch(filesToWatch(settings, {}, {}));
    std::vector<std::string> readBefore;
    for (;;) {
        std::vector<std::string> read = compile();
        if (platform::stopRequested()) break;
        const std::vector<std::string> files = filesToWatch(settings, read, readBefore);
        readBefore = std::move(read);
        watcher->watch(files);
        printNote("watching " + std::to_string(files.size()) +
             " files; save one to compile again, Ctrl-C to stop");
        const std::string changed = watcher->waitForChange();
        if (changed.empty()) break;
        printNote(changed + " changed; compiling again");
        printSettings(settings, exeDir);
    }
    printNote("stopped watching");
    return 0;
}
