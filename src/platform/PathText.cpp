// Cutting and joining paths.
#include "platform/PathText.h"

namespace platform {

size_t fileNameStart(std::string_view path) {
    const size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? 0 : last + 1;
}

std::string joinPath(std::string_view folder, std::string_view name, char separator) {
    std::string path(folder);
    if (path.empty() || !isPathSeparator(path.back())) path.push_back(separator);
    path.append(name);
    return path;
}

}  // namespace platform
