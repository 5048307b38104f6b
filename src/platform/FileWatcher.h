// Waiting for files to change, for watch mode: the system's file notifications
// on Linux (inotify), a look at the files' times and sizes twice a second
// elsewhere. Also the stop signals (Ctrl-C, SIGTERM) that end the waiting.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class FileWatcher {
public:
    virtual ~FileWatcher() = default;
    // Watches exactly these files from now on. A file that does not exist yet
    // is watched for its creation.
    virtual void watch(const std::vector<std::string>& paths) = 0;
    // Waits until a watched file has changed and settled, and returns its
    // path; returns an empty text when a stop signal came first.
    virtual std::string waitForChange() = 0;
};

// The system's notifications where there are any, else the polling watcher.
std::unique_ptr<FileWatcher> createFileWatcher();
// The portable watcher that compares the files' times and sizes.
std::unique_ptr<FileWatcher> createPollingFileWatcher();

// From now on Ctrl-C (SIGINT) and SIGTERM no longer end the process; they only
// set the flag that stopRequested() reads, so a run under way finishes.
void catchStopSignals();
bool stopRequested();

}  // namespace platform
