// Tests of the file watchers (woken by the system's notifications, and the
// portable polling one): each change is reported with the watched path it
// concerns, whether the file is rewritten, replaced by a rename or created,
// reached through a link into another folder, or its folder removed and made
// again, and also when it changed while the run read it; changes to other
// files, also to a watched file moved away with its folder, are not, nor is a
// file written just before the run began; a stop signal ends the waiting.
// Every change is made before waiting, so no test depends on timing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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
    std::unique_ptr<platform::FileWatcher> watcher;

    // The files exist before the run, which starts with the watcher.
    void SetUp() override {
        write(song, "c\n");
        write(part, "d\n");
        startRun();
        watcher->watch({song, part});
    }

    // A watcher made now, as at the start of a run, between two ticks of the
    // clock the file system stamps its times with: the files written before
    // are older than the run, those written after younger.
    void startRun() {
        struct stat written {};
        ASSERT_EQ(::stat(part.c_str(), &written), 0);
        waitForTheClockToPass(written.st_mtim);
        watcher = GetParam()();
        // The watcher's start by the fine clock, which the coarse one passes a tick or so later.
        timespec started {};
        ::clock_gettime(CLOCK_REALTIME, &started);
        waitForTheClockToPass(started);
    }

    static void waitForTheClockToPass(const timespec& time) {
        for (;;) {
            timespec now {};
            ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
            if (now.tv_sec > time.tv_sec || (now.tv_sec == time.tv_sec && now.tv_nsec > time.tv_nsec))
                return;
            std::this_thread::yield();
        }
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

TEST_P(FileWatcherTest, FileChangedWhileTheFirstRunReadItIsNamed) {
    startRun();
    write(part, "d e\n");  // saved while the run is under way
    watcher->watch({song, part});
    EXPECT_EQ(watcher->waitForChange(), part);
}

TEST_P(FileWatcherTest, FileWrittenJustBeforeTheRunIsNotTakenForChanged) {
    // A file changed again within a tick of the coarse clock, its times read in between, is
    // stamped by the fine clock, ahead of the coarse one: the run starting at once must still
    // see it as written before.
    for (const char* text : {"d d\n", "d d d\n"}) {
        write(part, text);
        struct stat seen {};
        ASSERT_EQ(::stat(part.c_str(), &seen), 0);
    }
    watcher = GetParam()();
    watcher->watch({song, part});
    write(song, "c c c c\n");
    EXPECT_EQ(watcher->waitForChange(), song);
}

TEST_P(FileWatcherTest, FileReachedThroughALinkIntoAnotherFolderIsNamed) {
    std::filesystem::create_directory(folder.file("real"));
    write(folder.file("real/lead.mml"), "e\n");
    const std::string link = folder.file("lead.mml");
    std::filesystem::create_symlink("real/lead.mml", link);
    watcher->watch({song, link});
    write(folder.file("real/lead.mml"), "e f g\n");
    EXPECT_EQ(watcher->waitForChange(), link);
}

TEST_P(FileWatcherTest, FolderMadeAgainIsFollowedAndTheOneMovedAwayForgotten) {
    const std::string inner = folder.file("inner/song.mml");
    std::filesystem::create_directory(folder.file("inner"));
    write(inner, "c\n");
    watcher->watch({inner, part});
    // As a checkout swaps the folder: the old one moved away, a new one made.
    std::filesystem::rename(folder.file("inner"), folder.file("inner.old"));
    std::filesystem::create_directory(folder.file("inner"));
    write(inner, "c d\n");
    EXPECT_EQ(watcher->waitForChange(), inner);
    watcher->watch({inner, part});
    write(inner, "c d e\n");
    EXPECT_EQ(watcher->waitForChange(), inner);
    // The file moved away is no longer the watched one.
    watcher->watch({inner, part});
    write(folder.file("inner.old/song.mml"), "g\n");
    write(part, "d d\n");
    EXPECT_EQ(watcher->waitForChange(), part);
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
