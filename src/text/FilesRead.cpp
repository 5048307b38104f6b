// The record of the files a run has read.
#include "text/FilesRead.h"

void FilesRead::remember(std::FILE* file) {
    if (const auto identity = platform::fileIdentity(file)) identities_.insert(*identity);
}

bool FilesRead::contains(const std::string& path) const {
    const auto identity = platform::fileIdentity(path);
    return identity && identities_.contains(*identity);
}
