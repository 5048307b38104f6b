// The record of the files read, one set of identities for the process.
#include "text/FilesRead.h"

#include <algorithm>
#include <optional>
#include <set>

#include "platform/Platform.h"

namespace {

std::set<platform::FileIdentity>& filesRead() {
    static std::set<platform::FileIdentity> identities;
    return identities;
}

std::vector<std::string>& paths() {
    static std::vector<std::string> opened;
    return opened;
}

}  // namespace

void rememberFileRead(std::FILE* file, const std::string& path) {
    if (const auto identity = platform::fileIdentity(file)) filesRead().insert(*identity);
    // A run opens a few files (includes are read once), so a search is cheap.
    if (std::find(paths().begin(), paths().end(), path) == paths().end()) paths().push_back(path);
}

bool wasFileRead(const std::string& path) {
    const auto identity = platform::fileIdentity(path);
    return identity && filesRead().contains(*identity);
}

const std::vector<std::string>& pathsRead() { return paths(); }

void forgetFilesRead() {
    filesRead().clear();
    paths().clear();
}
