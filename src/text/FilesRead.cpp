// The record of the files read, one set of identities for the process.
#include "text/FilesRead.h"

#include <optional>
#include <set>

#include "platform/Platform.h"

namespace {

std::set<platform::FileIdentity>& filesRead() {
    static std::set<platform::FileIdentity> identities;
    return identities;
}

}  // namespace

void rememberFileRead(std::FILE* file) {
    if (const auto identity = platform::fileIdentity(file)) filesRead().insert(*identity);
}

bool wasFileRead(const std::string& path) {
    const auto identity = platform::fileIdentity(path);
    return identity && filesRead().contains(*identity);
}

void forgetFilesRead() { filesRead().clear(); }
