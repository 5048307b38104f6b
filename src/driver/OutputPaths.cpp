// An output is refused when it is, by identity, a file the run has read. Two
// outputs name one file when they are spelled alike, resolve to the same path,
// or both exist as the same file (a hard link, a bind mount).
#include "driver/OutputPaths.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#include <system_error>

#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/OutputFormats.h"
#include "platform/Platform.h"
#include "text/FilesRead.h"

namespace fs = std::filesystem;

namespace {

// The absolute path with links, "." and ".." resolved as far as it exists;
// empty when that fails.
fs::path resolved(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) return {};
    fs::path result = fs::weakly_canonical(absolute, error);
    return error ? fs::path() : result;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    const fs::path resolvedA = resolved(a);
    const fs::path resolvedB = resolved(b);
    if (resolvedA.empty() || resolvedB.empty()) return false;
    if (resolvedA == resolvedB) return true;
    const auto identityA = platform::fileIdentity(resolvedA.string());
    const auto identityB = platform::fileIdentity(resolvedB.string());
    return identityA && identityB && *identityA == *identityB;
}

// Reports the first clash of `path` with a file read or an earlier output.
bool clashes(const std::string& path, const FilesRead& filesRead,
             const std::vector<std::string>& earlierOutputs) {
    if (path.empty()) return false;
    if (filesRead.contains(path)) {
        getReporter().error(msg::kOutputIsAFileRead, path);
        return true;
    }
    for (const std::string& earlier : earlierOutputs) {
        if (!earlier.empty() && sameFile(path, earlier)) {
            getReporter().error(msg::kOutputsCollide, path);
            return true;
        }
    }
    return false;
}

}  // namespace

bool outputPathsAreAllowed(const RunSettings& settings, const FilesRead& filesRead) {
    // The VSQ file first, then each export in the table's order, each against
    // the outputs before it; every clash is reported.
    std::vector<std::string> outputs{settings.outputPath};
    bool allowed = !clashes(settings.outputPath, filesRead, {});
    for (const OutputFormat& format : outputFormats()) {
        std::string path = exportPath(settings, format.letter);
        if (path.empty()) continue;
        if (clashes(path, filesRead, outputs)) allowed = false;
        outputs.push_back(std::move(path));
    }
    return allowed;
}
