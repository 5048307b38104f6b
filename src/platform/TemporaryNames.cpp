// Temporary names carry the process number, so the files of a run that was
// killed can be told from those of a run still writing, in the same folder.
#include "platform/TemporaryNames.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <signal.h>
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

// The process number in a temporary's name, or -1 when `name` is not one.
long long processOf(std::string_view name) {
    if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return -1;
    }
    name.remove_prefix(kPrefix.size());
    name.remove_suffix(kSuffix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash > kMaxNumberDigits || name.size() - dash - 1 != kRandomLetters) return -1;
    long long number = 0;
    for (const char digit : name.substr(0, dash)) {
        if (digit < '0' || digit > '9') return -1;
        number = number * 10 + (digit - '0');
    }
    for (const char letter : name.substr(dash + 1)) {
        if (kLetters.find(letter) == std::string_view::npos) return -1;
    }
    return number;
}

bool processHasEnded(long long number) {
    if (number <= 0 || number != static_cast<pid_t>(number)) return false;
    return ::kill(static_cast<pid_t>(number), 0) != 0 && errno == ESRCH;
}
#endif

}  // namespace

std::string temporaryName(const std::string& folder) {
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, kLetters.size() - 1);
    std::string name = folder;
    name.append(kPrefix).append(std::to_string(processNumber())).push_back('-');
    for (size_t i = 0; i < kRandomLetters; ++i) name.push_back(kLetters[pick(generator)]);
    return name.append(kSuffix);
}

void removeTemporariesOfEndedRuns(const std::string& folder) {
#ifdef _WIN32
    (void)folder;  // not done there: such files of a killed run stay
#else
    DIR* entries = ::opendir(folder.empty() ? "." : folder.c_str());
    if (entries == nullptr) return;
    while (const dirent* entry = ::readdir(entries)) {
        const long long owner = processOf(entry->d_name);
        if (owner >= 0 && owner != processNumber() && processHasEnded(owner)) {
            std::remove((folder + entry->d_name).c_str());
        }
    }
    ::closedir(entries);
#endif
}

}  // namespace platform
