// Replacement files. On Linux the new file is made without a name (O_TMPFILE)
// and given a short temporary name only just before it is put in place;
// elsewhere, or where the file system cannot make unnamed files, it gets a
// short unique name at once. Names never grow with the target's name, so a
// target of the longest name the system allows can still be replaced. From its
// making to its end the file is held (TemporaryNames.h), so that no other run
// takes it for one a killed run left. It is put in place by swapping it with
// the file it replaces, which then waits under the temporary name, held too,
// until the replacement is let go of; where the file system cannot swap, the
// old file gets a second name before the rename instead.
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
#include "platform/Platform.h"
#include "platform/TemporaryNames.h"

namespace platform {
namespace {

constexpr int kNameAttempts = 100;

#ifdef _WIN32
using Mode = int;
constexpr int kCreateFlags = _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY;
constexpr Mode kNewFileMode = _S_IREAD | _S_IWRITE;
constexpr Mode kAccessBits = _S_IREAD | _S_IWRITE;
int closeDescriptor(int descriptor) { return _close(descriptor); }
int duplicate(int descriptor) { return _dup(descriptor); }
bool isSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }
#else
using Mode = mode_t;
// Read and write: a network file system takes the shared lock as a read lock.
constexpr int kCreateFlags = O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC;
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

// Swaps the files at `a` and `b` in one step; false with errno EINVAL or ENOSYS
// where the system or the file system cannot, ENOENT when one is missing.
bool exchange(const std::string& a, const std::string& b) {
#ifdef RENAME_EXCHANGE
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)a;
    (void)b;
    errno = ENOSYS;
    return false;
#endif
}

bool cannotExchange(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

bool hardLink(const std::string& existing, const std::string& name) {
#ifdef _WIN32
    if (CreateHardLinkA(name.c_str(), existing.c_str(), nullptr)) return true;
    errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EACCES;
    return false;
#else
    return ::link(existing.c_str(), name.c_str()) == 0;
#endif
}

// True when an entry is at `path`; false with errno ENOENT when there is none,
// or with another error number when that cannot be told.
bool entryExists(const std::string& path) {
#ifdef _WIN32
    struct _stat info;
    return _stat(path.c_str(), &info) == 0;
#else
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
#endif
}

// The file at `path` opened to be held while it lies aside, or -1.
int holdExisting(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return -1;
#else
    int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) descriptor = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor >= 0) holdTemporary(descriptor);
    return descriptor;
#endif
}

// True when the file open on `descriptor` is the one at `path`.
bool isAt(int descriptor, const std::string& path) {
    const auto atPath = fileIdentity(path);
#ifdef _WIN32
    (void)descriptor;
    return atPath.has_value();
#else
    struct stat opened {};
    return atPath && ::fstat(descriptor, &opened) == 0 &&
           *atPath == FileIdentity{static_cast<std::uint64_t>(opened.st_dev),
                                   static_cast<std::uint64_t>(opened.st_ino)};
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

// Where the file that was at the place waits while the new one is there.
enum class Aside {
    Nothing,  // there was no file at the place
    Swapped,  // under the new file's temporary name
    Linked,   // under a second temporary name, linked before the rename
    Lost,     // nowhere: the file system could neither swap nor link
};

class DescriptorReplacementFile final : public ReplacementFile {
public:
    DescriptorReplacementFile(int descriptor, std::string temporaryPath, std::string target)
        : descriptor_(descriptor),
          temporaryPath_(std::move(temporaryPath)),
          target_(std::move(target)) {}

    ~DescriptorReplacementFile() override {
        if (placed_) {
            removeAside();
        } else {
            giveUp();
        }
        if (descriptor_ >= 0) closeDescriptor(descriptor_);
    }

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
        // error that the system reports late shows when the stream is closed.
        if (placed_) return true;
        if (descriptor_ < 0) return !temporaryPath_.empty() || failWith(ENOENT, errorNumber);
        if (temporaryPath_.empty() && !giveName()) return failWith(errno, errorNumber);
#ifdef _WIN32
        // There an open file cannot be renamed, and no other run removes it.
        const bool closed = closeDescriptor(descriptor_) == 0;
        descriptor_ = -1;
        if (!closed) return failWith(errno, errorNumber);
#endif
        // Elsewhere the descriptor, and with it the hold, stays until the end.
        return true;
    }

    bool putInPlace(int& errorNumber) override {
        if (placed_) return true;
        if (!finish(errorNumber)) return false;
        old_ = holdExisting(target_);
        const int reason = placeKeepingOld();
        if (reason != 0) {
            releaseOld();
            return failWith(reason, errorNumber);
        }
        placed_ = true;
        return true;
    }

    bool putBack(int& errorNumber) override {
        if (!placed_) return true;
        bool back = false;
        switch (aside_) {
        case Aside::Swapped:
            back = exchange(temporaryPath_, target_);  // the new file to the temporary name
            break;
        case Aside::Linked:
            back = renameOver(asidePath_, target_);
            if (back) asidePath_.clear();
            break;
        case Aside::Nothing:
            back = !isAt(descriptor_, target_) || std::remove(target_.c_str()) == 0;
            break;
        case Aside::Lost:
            errno = ENOTSUP;
            break;
        }
        if (!back) {
            errorNumber = failureErrorNumber(errno);
            return false;
        }
        // What is left of the new file goes with the replacement.
        placed_ = false;
        releaseOld();
        return true;
    }

private:
    // Tries fresh temporary names beside the target until `give` (which
    // fails with errno EEXIST for a name taken) takes one, into `taken`.
    template <typename Give>
    bool takeTemporaryName(Give give, std::string& taken) const {
        const std::string folder = folderOf(target_);
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            std::string candidate = temporaryName(folder);
            if (give(candidate)) {
                taken = std::move(candidate);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    bool giveName() {
        return takeTemporaryName([&](const std::string& name) { return linkUnnamed(descriptor_, name); },
                                 temporaryPath_);
    }

    // Puts the new file at the place and keeps the file that was there aside;
    // 0, or the system's error number, with the place as it was.
    int placeKeepingOld() {
        if (exchange(temporaryPath_, target_)) {
            aside_ = Aside::Swapped;
            return 0;
        }
        if (errno != ENOENT && !cannotExchange(errno)) return errno;
        // No file at the place, or a file system that cannot swap two files.
        if (entryExists(target_)) {
            aside_ = linkAside() ? Aside::Linked : Aside::Lost;
        } else if (errno == ENOENT) {
            aside_ = Aside::Nothing;
        } else {
            return errno;
        }
        if (!renameOver(temporaryPath_, target_)) {
            const int reason = errno;
            if (!asidePath_.empty()) std::remove(asidePath_.c_str());
            asidePath_.clear();
            return reason;
        }
        temporaryPath_.clear();
        return 0;
    }

    // Gives the file at the place a second, temporary name.
    bool linkAside() {
        return takeTemporaryName([&](const std::string& name) { return hardLink(target_, name); },
                                 asidePath_);
    }

    // The run is done with the file it replaced.
    void removeAside() {
        if (aside_ == Aside::Swapped && !temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
        if (!asidePath_.empty()) std::remove(asidePath_.c_str());
        temporaryPath_.clear();
        asidePath_.clear();
        releaseOld();
    }

    void releaseOld() {
        if (old_ >= 0) closeDescriptor(old_);
        old_ = -1;
    }

    // Gives the file up after a failure with the system's error number `reason`.
    bool failWith(int reason, int& errorNumber) {
        errorNumber = reason;
        giveUp();
        return false;
    }

    // Removes the new file's name before its descriptor goes: a named file is
    // never left unheld for another run to take.
    void giveUp() {
        if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
        temporaryPath_.clear();
        if (descriptor_ >= 0) closeDescriptor(descriptor_);
        descriptor_ = -1;
    }

    int descriptor_;             // the new file, held; -1 once given up
    std::string temporaryPath_;  // the new file's name beside its place; empty while it has none
    std::string target_;
    bool placed_ = false;
    Aside aside_ = Aside::Nothing;
    std::string asidePath_;  // the file replaced, for Aside::Linked
    int old_ = -1;           // the file replaced, held while it lies aside
};

// A new file named `candidate` made and held under that name; -1 when the name
// is taken (errno EEXIST) or no file can be made there.
int createHeld(const std::string& candidate, Mode mode) {
#ifdef _WIN32
    return _open(candidate.c_str(), kCreateFlags, mode);
#else
    const int named = ::open(candidate.c_str(), kCreateFlags, mode);
    if (named < 0) return -1;
    // A run clearing the folder may have taken the file for a killed run's
    // before it was held; it is then removed, or being removed.
    const bool contested = !holdTemporary(named) && errno == EWOULDBLOCK;
    if (!contested && isAt(named, candidate)) return named;
    ::close(named);
    errno = EEXIST;
    return -1;
#endif
}

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
    // through /proc, or directly with the privilege that allows it. It is held
    // before it has a name.
    const std::string where = folder.empty() ? "." : folder;
    const bool canLink = ::access("/proc/self/fd", F_OK) == 0 || ::geteuid() == 0;
    const int unnamed = canLink ? ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode) : -1;
    if (unnamed >= 0) {
        holdTemporary(unnamed);
        keepAttributes(unnamed, target);
        return std::make_unique<DescriptorReplacementFile>(unnamed, std::string(), target);
    }
    // File systems without unnamed files get a named one.
#endif
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = temporaryName(folder);
        const int named = createHeld(candidate, mode);
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
