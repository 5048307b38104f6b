// File watching. On Linux each folder holding a watched file gets an inotify
// watch, and its events are matched by name: editors often save by writing a
// new file and renaming it over the old one, which a watch on the file itself
// would lose. Elsewhere, and where inotify is not available, the files' times
// and sizes are compared twice a second. A change is reported once the files
// have been quiet for a moment, so that one save that writes several times
// makes one run.
#include "platform/FileWatcher.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#ifdef __linux__
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void onStopSignal(int) { stopSignalled = 1; }

// How often the stop flag and, without notifications, the files are looked at.
constexpr auto kLookInterval = std::chrono::milliseconds(500);
// How long the files must stay quiet after a change before it is reported.
constexpr auto kSettleTime = std::chrono::milliseconds(150);

// What the polling watcher compares: whether the file exists, its time, its size.
struct FileState {
    bool exists = false;
    fs::file_time_type time{};
    std::uintmax_t size = 0;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const std::string& path) {
    std::error_code error;
    FileState state;
    state.time = fs::last_write_time(path, error);
    if (error) return {};
    state.size = fs::file_size(path, error);
    if (error) return {};
    state.exists = true;
    return state;
}

class PollingWatcher final : public FileWatcher {
public:
    // A file watched before keeps the state last looked at, so a file saved
    // while the run was under way is still reported.
    void watch(const std::vector<std::string>& paths) override {
        std::map<std::string, FileState> states;
        for (const std::string& path : paths) {
            const auto known = states_.find(path);
            states[path] = known != states_.end() ? known->second : stateOf(path);
        }
        states_ = std::move(states);
    }

    std::string waitForChange() override {
        for (;;) {
            std::this_thread::sleep_for(kLookInterval);
            if (stopRequested()) return {};
            std::string changed;
            for (auto& [path, state] : states_) {
                const FileState now = stateOf(path);
                if (now != state && changed.empty()) changed = path;
                state = now;
            }
            if (!changed.empty()) return changed;
        }
    }

private:
    std::map<std::string, FileState> states_;
};

#ifdef __linux__

class InotifyWatcher final : public FileWatcher {
public:
    explicit InotifyWatcher(int descriptor) : descriptor_(descriptor) {}
    ~InotifyWatcher() override { close(descriptor_); }

    // Folders watched before keep their watch (adding one again gives the same
    // number), so a file saved while the run was under way is still reported.
    void watch(const std::vector<std::string>& paths) override {
        std::set<int> watches;
        std::map<std::pair<int, std::string>, std::string> named;
        for (const std::string& path : paths) {
            const fs::path file(path);
            const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
            const int watch = inotify_add_watch(
                descriptor_, folder.c_str(),
                IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB);
            if (watch < 0) continue;  // a folder that is gone: nothing in it can change
            watches.insert(watch);
            named[{watch, file.filename().string()}] = path;
        }
        for (const int watch : watches_)
            if (!watches.contains(watch)) inotify_rm_watch(descriptor_, watch);
        watches_ = std::move(watches);
        paths_ = std::move(named);
    }

    std::string waitForChange() override {
        std::string changed;
        int settleRounds = 0;
        for (;;) {
            if (stopRequested()) return {};
            const auto wait = changed.empty() ? kLookInterval : kSettleTime;
            pollfd ready{descriptor_, POLLIN, 0};
            const int count = poll(&ready, 1, static_cast<int>(wait.count()));
            if (count < 0 && errno != EINTR) return {};
            if (count > 0) {
                const std::string name = readEvents();
                if (changed.empty()) changed = name;
            }
            // Reported once quiet again, or after a while of a file that keeps
            // being written.
            if (!changed.empty() && (count == 0 || ++settleRounds > kMaxSettleRounds))
                return changed;
        }
    }

private:
    static constexpr int kMaxSettleRounds = 20;

    // Reads the pending events and returns the path of the first watched file
    // among them, or an empty text.
    std::string readEvents() {
        alignas(inotify_event) char buffer[16 * 1024];
        const ssize_t size = read(descriptor_, buffer, sizeof buffer);
        std::string first;
        for (ssize_t at = 0; size > 0 && at < size;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0 || !first.empty()) continue;
            const auto found = paths_.find({event->wd, std::string(event->name)});
            if (found != paths_.end()) first = found->second;
        }
        return first;
    }

    int descriptor_;
    std::set<int> watches_;
    std::map<std::pair<int, std::string>, std::string> paths_;  // (watch, file name) -> path
};

#endif

}  // namespace

std::unique_ptr<FileWatcher> createFileWatcher() {
#ifdef __linux__
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor >= 0) return std::make_unique<InotifyWatcher>(descriptor);
#endif
    return createPollingFileWatcher();
}

std::unique_ptr<FileWatcher> createPollingFileWatcher() { return std::make_unique<PollingWatcher>(); }

void catchStopSignals() {
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

bool stopRequested() { return stopSignalled != 0; }

}  // namespace platform
