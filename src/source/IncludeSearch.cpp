// The include search. Both "/" and a backslash separate directories, so that
// sources written on either kind of system find their neighbours.
#include "source/IncludeSearch.h"

#include "platform/PathText.h"
#include "text/SourceProvider.h"

std::string findIncludeFile(const std::string& name, const std::string& includingFile,
                            const std::vector<std::string>& directories, SourceProvider& sources) {
    // The including file's directory part, its last separator included.
    std::string candidate = includingFile.substr(0, platform::fileNameStart(includingFile)) + name;
    if (sources.exists(candidate)) return candidate;
    for (const std::string& directory : directories) {
        // An empty directory is the working directory here, not the root.
        candidate = directory.empty() ? name : platform::joinPath(directory, name, '/');
        if (sources.exists(candidate)) return candidate;
    }
    return {};
}
