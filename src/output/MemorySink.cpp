// Files as streams of the C library whose bytes go to a string of the sink
// (through the GNU C library's custom streams): such a stream seeks and can be
// unbuffered like a file, as the MIDI writer and the log make theirs.
#include "output/MemorySink.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "output/OutputFailure.h"
#include "platform/Platform.h"

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace {

#ifndef _WIN32
// Where a stream writes: the file's bytes and the position in them.
struct MemoryFile {
    std::string* bytes;
    size_t position = 0;
};

ssize_t writeTo(void* cookie, const char* data, size_t size) {
    MemoryFile& file = *static_cast<MemoryFile*>(cookie);
    std::string& bytes = *file.bytes;
    if (bytes.size() < file.position + size) bytes.resize(file.position + size);
    std::memcpy(bytes.data() + file.position, data, size);
    file.position += size;
    return static_cast<ssize_t>(size);
}

int seekIn(void* cookie, off64_t* offset, int whence) {
    MemoryFile& file = *static_cast<MemoryFile*>(cookie);
    const int64_t base = whence == SEEK_SET   ? 0
                         : whence == SEEK_CUR ? static_cast<int64_t>(file.position)
                                              : static_cast<int64_t>(file.bytes->size());
    const int64_t target = base + *offset;
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    file.position = static_cast<size_t>(target);
    *offset = target;
    return 0;
}

int closeFile(void* cookie) {
    delete static_cast<MemoryFile*>(cookie);
    return 0;
}
#endif

}  // namespace

std::FILE* MemorySink::open(const std::string& path) {
    const auto [found, added] = open_.try_emplace(path);
    if (!added) {
        reportOutputFailure(path, platform::systemErrorText(EBUSY));
        return nullptr;
    }
#ifdef _WIN32
    // Windows has no custom streams; files are written to disk there.
    std::FILE* stream = nullptr;
    errno = ENOSYS;
#else
    cookie_io_functions_t functions{};
    functions.write = writeTo;
    functions.seek = seekIn;
    functions.close = closeFile;
    auto file = std::make_unique<MemoryFile>(MemoryFile{&found->second});
    std::FILE* stream = fopencookie(file.get(), "wb", functions);
    if (stream != nullptr) file.release();  // the stream's close deletes it
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
    std::string bytes = std::move(found->second);
    open_.erase(found);
    if (writeError != 0) {
        reportOutputFailure(path, platform::systemErrorText(writeError));
        return false;
    }
    files_[path] = std::move(bytes);
    return true;
}
