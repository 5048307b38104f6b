// Temporary names, and the locks that tell the files of a run still writing
// from those of a run that was killed. A process number would not tell them
// apart: a run in another container or on another machine has numbers of its
// own. A lock is held by the file's opening itself and ends with it, whatever
// ends the process.
#include "platform/TemporaryNames.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <random>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

constexpr std::string_view kPrefix = "tuvo-";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kRandomLetters = 6;
constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kMaxNumberDigits = 18;

#ifdef _WIN32
long long processNumber() { return static_cast<long long>(GetCurrentProcessId()); }
#else
long long processNumber() { return static_cast<long long>(::getpid()); }

// True when `name` is a temporary's name as temporaryName makes them.
bool isTemporaryName(std::string_view name) {
    if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash > kMaxNumberDigits || name.size() - dash - 1 != kRandomLetters) return false;
    for (const char digit : name.substr(0, dash)) {
        if (digit < '0' || digit > '9') return false;
    }
    for (const char letter : name.substr(dash + 1)) {
        if (kLetters.find(letter) == std::string_view::npos) return false;
    }
    return true;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary `name` of the folder open on `folder` when it is a
// regular file that nobody holds. It is opened for reading and writing: a
// network file system takes the lock as a write lock, which needs both.
void removeIfUnheld(int folder, const char* name) {
    struct stat named {};
    if (::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode)) return;
    const int file = ::openat(folder, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) return;
    // The name must still lead to the file locked: the file is removed by name.
    struct stat opened {};
    if (::flock(file, LOCK_EX | LOCK_NB) == 0 && ::fstat(file, &opened) == 0 &&
        sameFile(opened, named)) {
        ::unlinkat(folder, name, 0);
    }
    ::close(file);
}
#endif

}  // namespace

std::string temporaryName(const std::string& folder) {
    // Outputs of one run may be staged on several threads at once.
    static std::mutex drawing;
    static std::mt19937 generator{std::random_device{}()};
    const std::lock_guard<std::mutex> drawn(drawing);
    std::uniform_int_distribution<size_t> pick(0, kLetters.size() - 1);
    std::string name = folder;
    name.append(kPrefix).append(std::to_string(processNumber())).push_back('-');
    for (size_t i = 0; i < kRandomLetters; ++i) name.push_back(kLetters[pick(generator)]);
    return name.append(kSuffix);
}

#ifdef _WIN32
// There an open file cannot be removed at all, so nothing is ever removed
// from under a run; the files of a killed run stay.
bool holdTemporary(int) { return true; }
void removeTemporariesOfEndedRuns(const std::string&) {}
#else
bool holdTemporary(int descriptor) { return ::flock(descriptor, LOCK_SH | LOCK_NB) == 0; }

void removeTemporariesOfEndedRuns(const std::string& folder) {
    DIR* entries = ::opendir(folder.empty() ? "." : folder.c_str());
    if (entries == nullptr) return;
    const int descriptor = ::dirfd(entries);
    while (const dirent* entry = ::readdir(entries)) {
        if (isTemporaryName(entry->d_name)) removeIfUnheld(descriptor, entry->d_name);
    }
    ::closedir(entries);
}
#endif

}  // namespace platform
