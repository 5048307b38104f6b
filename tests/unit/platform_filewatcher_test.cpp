// Tests of the file watchers (the system's notifications and the portable
// polling one): each change is reported with the watched path it concerns,
// whether the file is rewritten, replaced by a rename or created, and changes
// to other files of the folder are not; a stop signal ends the waiting. Every
// change is made before waiting, so no test depends on timing.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "VsqTestSupport.h"
#include "platform/FileWatcher.h"

namespace {

using WatcherFactory = std::function<std::unique_ptr<platform::FileWatcher>()>;

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class FileWatcherTest : public testing::TestWithParam<WatcherFactory> {
protected:
    ScratchFolder folder;
    std::string song = folder.file("song.mml");
    std::string part = folder.file("part.mml");
    std::unique_ptr<platform::FileWatcher> watcher = GetParam()();

    void SetUp() override {
        write(song, "c\n");
        write(part, "d\n");
        watcher->watch({song, part});
    }
};

TEST_P(FileWatcherTest, RewrittenFileIsNamed) {
    write(part, "d e f\n");
    EXPECT_EQ(watcher->waitForChange(), part);
}

TEST_P(FileWatcherTest, FileReplacedByARenameIsNamed) {
    const std::string saved = folder.file("song.mml.new");
    write(saved, "c d e f g\n");
    std::filesystem::rename(saved, song);
    EXPECT_EQ(watcher->waitForChange(), song);
}

TEST_P(FileWatcherTest, FileCreatedAfterwardsIsNamed) {
    const std::string missing = folder.file("later.mml");
    watcher->watch({song, missing});
    write(missing, "e\n");
    EXPECT_EQ(watcher->waitForChange(), missing);
}

TEST_P(FileWatcherTest, OtherFilesOfTheFolderAreNotNamed) {
    write(folder.file("song.vsq"), "output of a run");
    write(song, "c c c c\n");
    EXPECT_EQ(watcher->waitForChange(), song);
}

TEST_P(FileWatcherTest, WatchingAgainForgetsTheEarlierFiles) {
    watcher->watch({song});
    write(part, "d d d d\n");
    write(song, "c c c c c\n");
    EXPECT_EQ(watcher->waitForChange(), song);
}

TEST_P(FileWatcherTest, ChangeBeforeWatchingTheSameFilesAgainIsNamed) {
    // A file saved while a run is under way, before the run's files are watched.
    write(song, "c d e f g a b\n");
    watcher->watch({song, part});
    EXPECT_EQ(watcher->waitForChange(), song);
}

TEST_P(FileWatcherTest, StopSignalEndsTheWaiting) {
    platform::catchStopSignals();
    std::raise(SIGTERM);  // caught: the process goes on
    EXPECT_TRUE(platform::stopRequested());
    EXPECT_EQ(watcher->waitForChange(), "");
}

INSTANTIATE_TEST_SUITE_P(Watchers, FileWatcherTest,
                         testing::Values(WatcherFactory(platform::createFileWatcher),
                                         WatcherFactory(platform::createPollingFileWatcher)),
                         [](const testing::TestParamInfo<WatcherFactory>& info) {
                             return info.index == 0 ? std::string("System") : std::string("Polling");
                         });

}  // namespace
