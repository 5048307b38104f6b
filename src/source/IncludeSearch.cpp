// The include search. Both "/" and a backslash separate directories, so that
// sources written on either kind of system find their neighbours.
#include "source/IncludeSearch.h"

#include "platform/Platform.h"

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Everything up to and including the last separator; empty without one.
std::string directoryPart(const std::string& path) {
    const size_t last = path.find_last_of("/\\");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (isSeparator(directory.back())) return directory + name;
    return directory + "/" + name;
}

}  // namespace

std::string findIncludeFile(const std::string& name, const std::string& includingFile,
                            const std::vector<std::string>& directories) {
    std::string candidate = directoryPart(includingFile) + name;
    if (platform::pathExists(candidate)) return candidate;
    for (const std::string& directory : directories) {
        candidate = joinPath(directory, name);
        if (platform::pathExists(candidate)) return candidate;
    }
    return {};
}
