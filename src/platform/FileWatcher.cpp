// File watching. What decides that a file changed is its state at its path:
// which file is there (device and number, so a file replaced by a rename, or a
// folder swapped for another, counts), its times and its size, followed
// through symbolic links. States are looked at twice a second, and at once
// whenever inotify reports anything in a folder that holds a watched path or
// the file it links to; notifications only wake the watcher, so one about a
// file moved away with its old folder changes nothing. The folders are watched
// again by their paths each time the files are, so a folder removed and made
// again is followed. A change is reported once the files have been quiet for a
// moment, so that one save that writes several times makes one run.
#include "platform/FileWatcher.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include <sys/stat.h>

#ifndef _WIN32
#include <unistd.h>
#endif
#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#endif

#include "platform/PathIdentity.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void onStopSignal(int signalNumber) {
    if (stopSignalled != 0) {
        // The second: the process ends as the signal ends it by default. The
        // files of a run under way are unnamed until the renames, and the
        // renames keep every old file whole.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    stopSignalled = 1;
#ifndef _WIN32
    static constexpr char kNote[] = "tuvommlc: stopping after this run; a second Ctrl-C stops at once\n";
    [[maybe_unused]] const ssize_t written = ::write(2, kNote, sizeof kNote - 1);
#endif
}

// How often the files and the stop flag are looked at.
constexpr auto kLookInterval = std::chrono::milliseconds(500);
// How long the files must stay quiet after a change before it is reported.
constexpr auto kSettleTime = std::chrono::milliseconds(150);
// A file that keeps being written is reported after this many settle times.
constexpr int kMaxSettleRounds = 20;

// A time of the file system's clock, in nanoseconds.
using Nanoseconds = long long;

// What tells a file's change: the file at the path and its times and size.
struct FileState {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    Nanoseconds modified = 0;  // the later of the times of its bytes and of its entry
    long long size = 0;
    bool operator==(const FileState&) const = default;
};

#ifdef _WIN32
FileState stateOf(const std::string& path) {
    std::error_code error;
    FileState state;
    const auto time = fs::last_write_time(path, error);
    if (error) return {};
    state.modified = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    state.size = static_cast<long long>(fs::file_size(path, error));
    if (error) return {};
    state.exists = true;
    return state;
}

Nanoseconds fileClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               fs::file_time_type::clock::now().time_since_epoch())
        .count();
}
#else
Nanoseconds nanoseconds(const timespec& time) {
    return static_cast<Nanoseconds>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileState stateOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    FileState state;
    state.exists = true;
    state.device = static_cast<std::uint64_t>(info.st_dev);
    state.number = static_cast<std::uint64_t>(info.st_ino);
    state.modified = std::max(nanoseconds(info.st_mtim), nanoseconds(info.st_ctim));
    state.size = static_cast<long long>(info.st_size);
    return state;
}

// Now, by the fine clock. A file system stamps a change with the coarse clock
// (never later than this) or, once its times were read, with the fine one: a
// file changed before now then has an earlier time, where the coarse clock,
// which lags by up to a tick, would take a change just before for one after.
Nanoseconds fileClockNow() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}
#endif

// What wakes the watcher before its next look: nothing but the time here.
class Wakeups {
public:
    virtual ~Wakeups() = default;
    // Follows the folders that can hold changes of these paths.
    virtual void follow(const std::vector<std::string>& paths) { (void)paths; }
    // Waits `wait` at most; returns early when something happened.
    virtual void waitFor(std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); }
};

#ifdef __linux__
class InotifyWakeups final : public Wakeups {
public:
    explicit InotifyWakeups(int descriptor) : descriptor_(descriptor) {}
    ~InotifyWakeups() override { ::close(descriptor_); }

    // Adding a folder that is watched already gives its watch again; one that
    // was made anew at the same path gets a watch of its own.
    void follow(const std::vector<std::string>& paths) override {
        std::set<int> watches;
        for (const std::string& path : paths) {
            for (const std::string& file : {path, finalPath(path)}) {
                if (file.empty()) continue;
                const fs::path folder = fs::path(file).has_parent_path() ? fs::path(file).parent_path() : fs::path(".");
                const int watch = inotify_add_watch(
                    descriptor_, folder.c_str(),
                    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_MODIFY |
                        IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF);
                if (watch >= 0) watches.insert(watch);  // a folder that is gone holds nothing
            }
        }
        for (const int watch : watches_)
            if (!watches.contains(watch)) inotify_rm_watch(descriptor_, watch);
        watches_ = std::move(watches);
    }

    void waitFor(std::chrono::milliseconds wait) override {
        pollfd ready{descriptor_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) <= 0) return;
        // The events only wake: what changed is told by the files' states.
        alignas(inotify_event) char buffer[16 * 1024];
        while (::read(descriptor_, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int descriptor_;
    std::set<int> watches_;
};
#endif

class StateWatcher final : public FileWatcher {
public:
    explicit StateWatcher(std::unique_ptr<Wakeups> wakeups)
        : wakeups_(std::move(wakeups)), runStart_(fileClockNow()) {}

    void watch(const std::vector<std::string>& paths) override {
        std::map<std::string, FileState> states;
        for (const std::string& path : paths) {
            const auto known = states_.find(path);
            if (known != states_.end()) {
                states[path] = known->second;
                continue;
            }
            const FileState now = stateOf(path);
            // Changed after the run began: taken as unseen before, so that it
            // counts as changed (a change in the very tick the run began is
            // not told from one just before it).
            states[path] = now.exists && now.modified > runStart_ ? FileState{} : now;
        }
        states_ = std::move(states);
        wakeups_->follow(paths);
    }

    std::string waitForChange() override {
        std::string changed = lookForChanges();
        while (changed.empty()) {
            if (stopRequested()) return {};
            wakeups_->waitFor(kLookInterval);
            if (stopRequested()) return {};
            changed = lookForChanges();
        }
        // Reported once quiet again, or after a while of a file that keeps
        // being written.
        for (int round = 0; round < kMaxSettleRounds; ++round) {
            std::this_thread::sleep_for(kSettleTime);
            if (lookForChanges().empty()) break;
        }
        runStart_ = fileClockNow();
        return changed;
    }

private:
    // Takes in the files' states; returns the first path whose state changed.
    std::string lookForChanges() {
        std::string changed;
        for (auto& [path, state] : states_) {
            const FileState now = stateOf(path);
            if (now != state && changed.empty()) changed = path;
            state = now;
        }
        return changed;
    }

    std::unique_ptr<Wakeups> wakeups_;
    std::map<std::string, FileState> states_;
    Nanoseconds runStart_;
};

}  // namespace

std::unique_ptr<FileWatcher> createFileWatcher() {
#ifdef __linux__
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor >= 0) return std::make_unique<StateWatcher>(std::make_unique<InotifyWakeups>(descriptor));
#endif
    return createPollingFileWatcher();
}

std::unique_ptr<FileWatcher> createPollingFileWatcher() {
    return std::make_unique<StateWatcher>(std::make_unique<Wakeups>());
}

void catchStopSignals() {
    stopSignalled = 0;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

bool stopRequested() { return stopSignalled != 0; }

}  // namespace platform
