// Waiting for files to change, for watch mode: the files' states (which file
// is at the path, its times and size) looked at twice a second and whenever
// the system's file notifications (inotify, on Linux) say that something
// happened in a folder that holds one, or holds the file one of them links
// to. Also the stop signals (Ctrl-C, SIGTERM) that end the waiting.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class FileWatcher {
public:
    virtual ~FileWatcher() = default;
    // Watches exactly these files from now on. A file that does not exist yet
    // is watched for its creation. A file watched before keeps the state last
    // looked at; a file new to the watch that changed after the run began (the
    // watcher was made, or waitForChange last returned) counts as changed.
    virtual void watch(const std::vector<std::string>& paths) = 0;
    // Waits until a watched file has changed and settled, and returns its
    // path; returns an empty text when a stop signal came first.
    virtual std::string waitForChange() = 0;
};

// The watcher woken by the system's notifications where there are any, else
// the polling watcher.
std::unique_ptr<FileWatcher> createFileWatcher();
// The watcher that looks at the files twice a second and at nothing else.
std::unique_ptr<FileWatcher> createPollingFileWatcher();

// From now on the first Ctrl-C (SIGINT) or SIGTERM no longer ends the process:
// it only sets the flag that stopRequested() reads, so a run under way
// finishes, and says on standard error that a second one stops at once. A
// second one ends the process as the signal does by default.
void catchStopSignals();
bool stopRequested();

}  // namespace platform
