// Files as memory streams, whose bytes are taken once the writer closed them.
#include "output/MemorySink.h"

#include <cerrno>
#include <cstdlib>

#include "output/OutputFailure.h"
#include "platform/Platform.h"

MemorySink::~MemorySink() {
    for (auto& [path, buffer] : open_) std::free(buffer.data);
}

std::FILE* MemorySink::open(const std::string& path) {
    const auto [found, added] = open_.try_emplace(path);
    if (!added) {
        reportOutputFailure(path, platform::systemErrorText(EBUSY));
        return nullptr;
    }
#ifdef _WIN32
    // Windows has no memory streams; files are written to disk there.
    std::FILE* stream = nullptr;
    errno = ENOSYS;
#else
    std::FILE* stream = open_memstream(&found->second.data, &found->second.size);
#endif
    if (stream == nullptr) {
        reportOutputFailure(path, platform::systemErrorText(platform::failureErrorNumber(errno)));
        open_.erase(found);
    }
    return stream;
}

bool MemorySink::keep(const std::string& path, int writeError) {
    const auto found = open_.find(path);
    if (found == open_.end()) return false;
    Buffer buffer = found->second;
    open_.erase(found);
    const bool kept = writeError == 0;
    if (kept) {
        files_[path].assign(buffer.data != nullptr ? buffer.data : "", buffer.size);
    } else {
        reportOutputFailure(path, platform::systemErrorText(writeError));
    }
    std::free(buffer.data);
    return kept;
}
