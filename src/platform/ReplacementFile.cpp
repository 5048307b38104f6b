// Replacement files. On Linux the new file is made without a name (O_TMPFILE)
// and given a short temporary name only just before it is renamed over its
// target; elsewhere, or where the file system cannot make unnamed files, it
// gets a short unique name at once. Names never grow with the target's name,
// so a target of the longest name the system allows can still be replaced.
#include "platform/ReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "platform/KeptAttributes.h"
#include "platform/TemporaryNames.h"

namespace platform {
namespace {

constexpr int kNameAttempts = 100;

#ifdef _WIN32
using Mode = int;
constexpr int kCreateFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
constexpr Mode kNewFileMode = _S_IREAD | _S_IWRITE;
constexpr Mode kAccessBits = _S_IREAD | _S_IWRITE;
int closeDescriptor(int descriptor) { return _close(descriptor); }
int duplicate(int descriptor) { return _dup(descriptor); }
bool isSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }
#else
using Mode = mode_t;
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr Mode kNewFileMode = 0666;  // narrowed by the process's file mode mask
constexpr Mode kAccessBits = 0777;  // without the set-ID and sticky bits
int closeDescriptor(int descriptor) { return ::close(descriptor); }
int duplicate(int descriptor) { return ::dup(descriptor); }
bool isSeparator(char c) { return c == '/'; }
#endif

// The folder part of `target`, ending in a separator, or empty for a bare name.
std::string folderOf(const std::string& target) {
    size_t end = target.size();
    while (end > 0 && !isSeparator(target[end - 1])) --end;
    return target.substr(0, end);
}

bool renameOver(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Gives the unnamed file open on `descriptor` the name `path`; false when it
// cannot, with errno EEXIST when the name is taken.
bool linkUnnamed(int descriptor, const std::string& path) {
#if defined(O_TMPFILE) && defined(AT_EMPTY_PATH)
    if (::linkat(descriptor, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return true;
    if (errno == EEXIST) return false;
    // Linking a descriptor directly needs a privilege; its entry in /proc does not.
    const std::string entry = "/proc/self/fd/" + std::to_string(descriptor);
    return ::linkat(AT_FDCWD, entry.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
#else
    (void)descriptor;
    (void)path;
    errno = ENOTSUP;
    return false;
#endif
}

class DescriptorReplacementFile final : public ReplacementFile {
public:
    DescriptorReplacementFile(int descriptor, std::string temporaryPath, std::string target)
        : descriptor_(descriptor),
          temporaryPath_(std::move(temporaryPath)),
          target_(std::move(target)) {}

    ~DescriptorReplacementFile() override { giveUp(); }

    std::FILE* openStream(int& errorNumber) override {
        const int copy = duplicate(descriptor_);
        if (copy < 0) {
            errorNumber = errno;
            return nullptr;
        }
#ifdef _WIN32
        std::FILE* stream = _fdopen(copy, "wb");
#else
        std::FILE* stream = ::fdopen(copy, "wb");
#endif
        if (stream == nullptr) {
            errorNumber = errno;
            closeDescriptor(copy);
        }
        return stream;
    }

    bool finish(int& errorNumber) override {
        // The new file is not forced to disk: the rename already makes it whole
        // or absent for every reader and for a run that is killed, and waiting
        // for the disk would add a fifth to the time of a large song. A write
        // error that the system reports late shows at the close below.
        if (descriptor_ < 0) return !temporaryPath_.empty() || failWith(ENOENT, errorNumber);
        bool done = true;
        if (temporaryPath_.empty()) done = giveName();
        if (done) {
            // A descriptor is released even by a close that fails.
            done = closeDescriptor(descriptor_) == 0;
            descriptor_ = -1;
        }
        return done || failWith(errno, errorNumber);
    }

    bool putInPlace(int& errorNumber) override {
        if (!finish(errorNumber)) return false;
        if (!renameOver(temporaryPath_, target_)) return failWith(errno, errorNumber);
        temporaryPath_.clear();
        return true;
    }

private:
    bool giveName() {
        const std::string folder = folderOf(target_);
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            std::string candidate = temporaryName(folder);
            if (linkUnnamed(descriptor_, candidate)) {
                temporaryPath_ = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    // Gives the file up after a failure with the system's error number `reason`.
    bool failWith(int reason, int& errorNumber) {
        errorNumber = reason;
        giveUp();
        return false;
    }

    void giveUp() {
        if (descriptor_ >= 0) closeDescriptor(descriptor_);
        descriptor_ = -1;
        if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
        temporaryPath_.clear();
    }

    int descriptor_;
    std::string temporaryPath_;  // empty while the file has no name
    std::string target_;
};

}  // namespace

std::unique_ptr<ReplacementFile> createReplacementFile(const std::string& target,
                                                       int& errorNumber) {
    if (target.empty() || target.find('\0') != std::string::npos) {
        errorNumber = ENOENT;
        return nullptr;
    }
    // The replacement keeps the access rights of the file it replaces; the
    // set-ID bits come only with its owner (keepAttributes).
    Mode mode = kNewFileMode;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && (existing.st_mode & S_IFMT) == S_IFREG) {
        mode = static_cast<Mode>(existing.st_mode & kAccessBits);
    }
    const std::string folder = folderOf(target);
    removeTemporariesOfEndedRuns(folder);

#if defined(O_TMPFILE) && defined(AT_EMPTY_PATH)
    // An unnamed file is made only where it can be given a name at the end:
    // through /proc, or directly with the privilege that allows it.
    const std::string where = folder.empty() ? "." : folder;
    const bool canLink = ::access("/proc/self/fd", F_OK) == 0 || ::geteuid() == 0;
    const int unnamed = canLink ? ::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
    if (unnamed >= 0) {
        keepAttributes(unnamed, target);
        return std::make_unique<DescriptorReplacementFile>(unnamed, std::string(), target);
    }
    // File systems without unnamed files get a named one.
#endif
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryName(folder);
#ifdef _WIN32
        const int named = _open(candidate.c_str(), kCreateFlags, mode);
#else
        const int named = ::open(candidate.c_str(), kCreateFlags, mode);
#endif
        if (named >= 0) {
            keepAttributes(named, target);
            return std::make_unique<DescriptorReplacementFile>(named, std::move(candidate), target);
        }
        if (errno != EEXIST) break;
    }
    errorNumber = errno;
    return nullptr;
}

}  // namespace platform
