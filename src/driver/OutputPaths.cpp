// An output is refused when it is, by identity, a file the run has read. Two
// outputs name one file when writing them would write one file: symbolic links
// followed, dangling ones too, hard links and bind mounts seen through.
#include "driver/OutputPaths.h"

#include <string>
#include <utility>
#include <vector>

#include "diag/Messages.h"
#include "diag/Diagnostics.h"
#include "driver/CommandLine.h"
#include "driver/OutputFormats.h"
#include "platform/PathIdentity.h"
#include "text/FilesRead.h"

namespace {

// Reports the first clash of `path` with a file read or an earlier output.
bool clashes(const std::string& path, const FilesRead& filesRead,
             const std::vector<std::string>& earlierOutputs, Diagnostics& diagnostics) {
    if (path.empty()) return false;
    if (filesRead.contains(path)) {
        diagnostics.error(msg::kOutputIsAFileRead, path);
        return true;
    }
    for (const std::string& earlier : earlierOutputs) {
        if (!earlier.empty() && platform::leadToSameFile(path, earlier)) {
            diagnostics.error(msg::kOutputsCollide, path);
            return true;
        }
    }
    return false;
}

}  // namespace

bool outputPathsAreAllowed(const RunSettings& settings, const FilesRead& filesRead,
                           Diagnostics& diagnostics) {
    // The VSQ file first, then each export in the table's order, each file it
    // may write against the files read and the outputs before it, its own
    // included; every clash is reported, and a format's first clash only.
    std::vector<std::string> outputs{settings.outputPath};
    bool allowed = !clashes(settings.outputPath, filesRead, {}, diagnostics);
    for (const OutputFormat& format : outputFormats()) {
        const std::string path = exportPath(settings, format.letter);
        if (path.empty()) continue;
        // The files of one format are held against each other too: two
        // sequences leading to one file would lose a track.
        for (const std::string& file : filesWrittenFor(format, path)) {
            if (clashes(file, filesRead, outputs, diagnostics)) {
                allowed = false;
                break;
            }
            outputs.push_back(file);
        }
    }
    return allowed;
}
