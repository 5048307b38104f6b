// The record of the files a run has read.
#include "text/FilesRead.h"

#include <algorithm>

void FilesRead::remember(const std::optional<platform::FileIdentity>& identity,
                         const std::string& path) {
    if (identity) identities_.insert(*identity);
    // A run opens a few files (includes are read once), so a search is cheap.
    if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
}

bool FilesRead::contains(const std::string& path) const {
    const auto identity = platform::fileIdentity(path);
    return identity && identities_.contains(*identity);
}
