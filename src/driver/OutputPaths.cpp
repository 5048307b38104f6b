// An output is refused when it is, by identity, a file the run has read. Two
// outputs name one file when writing them would write one file: symbolic links
// followed, dangling ones too, hard links and bind mounts seen through.
#include "driver/OutputPaths.h"

#include <initializer_list>
#include <string>

#include "compile/Song.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "export/UstExporter.h"
#include "platform/PathIdentity.h"
#include "text/FilesRead.h"

namespace {

// Reports the first clash of `path` with a file read or an earlier output.
bool clashes(const std::string& path, std::initializer_list<const std::string*> earlierOutputs) {
    if (path.empty()) return false;
    if (wasFileRead(path)) {
        getReporter().error(msg::kOutputIsAFileRead, path);
        return true;
    }
    for (const std::string* earlier : earlierOutputs) {
        if (!earlier->empty() && platform::leadToSameFile(path, *earlier)) {
            getReporter().error(msg::kOutputsCollide, path);
            return true;
        }
    }
    return false;
}

// -t writes one file per voice track under names made from its path: each
// name that a song's voice tracks may take is held against the other outputs.
bool ustPathsClash(const RunSettings& settings) {
    if (settings.ustPath.empty()) return false;
    for (int number = 1; number <= kMaxTracks; ++number) {
        if (clashes(ustTrackPath(settings.ustPath, number),
                    {&settings.outputPath, &settings.midiPath, &settings.scorePath,
                     &settings.ustxPath})) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool outputPathsAreAllowed(const RunSettings& settings) {
    const bool vsqClashes = clashes(settings.outputPath, {});
    const bool midiClashes = clashes(settings.midiPath, {&settings.outputPath});
    const bool scoreClashes = clashes(settings.scorePath, {&settings.outputPath, &settings.midiPath});
    const bool ustxClashes = clashes(settings.ustxPath, {&settings.outputPath, &settings.midiPath,
                                                         &settings.scorePath});
    return !vsqClashes && !midiClashes && !scoreClashes && !ustxClashes && !ustPathsClash(settings);
}
