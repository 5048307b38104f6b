// The output file and the log under faults: a full disk, a process killed
// while it writes, a folder where nothing new may be made. Each write runs in a
// child process, so limits and signals touch nothing else. Whatever happens,
// the previous output and the previous log stay byte for byte as they were,
// and nothing else is left in the folder.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "VsqTestSupport.h"
#include "diag/Messages.h"
#include "output/OutputBatch.h"
#include "output/StagedSink.h"
#include "render/RenderedSong.h"
#include "platform/Platform.h"
#include "song/Song.h"
#include "text/StringPool.h"
#include "writers/vsq/VsqWriter.h"


namespace {

const std::string kOldOutput = "the previous output";
const std::string kOldLog = "the previous log";
constexpr int kSkipped = 3;  // the child's exit status when its preparation is not possible here

struct ChildOutcome {
    int status = -1;  // the exit status, or 128 and the signal that ended the child
    std::string printed;
};

class OutputFaultTest : public ::testing::Test {
protected:
    ScratchFolder folder;    // the working folder of the write
    ScratchFolder printing;  // what the child prints, kept out of the way
    std::string output = folder.file("song.vsq");

    void SetUp() override {
        writeFile(output, kOldOutput);
        writeFile(folder.file("vsqconvert.log"), kOldLog);
    }

    // Writes a song of `notes` notes in a child whose working folder is the
    // scratch folder, after `prepare` has run there (false: exit kSkipped).
    // `watch`, when given, runs in the parent while the child works.
    ChildOutcome writeInChild(int notes, const std::function<bool()>& prepare,
                              const std::function<void(pid_t)>& watch = {}) {
        const std::string printedPath = printing.file("printed.txt");
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(folder.path().c_str()) != 0) ::_exit(100);
            if (std::freopen(printedPath.c_str(), "wb", stdout) == nullptr) ::_exit(101);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            if (!prepare()) ::_exit(kSkipped);
            auto song = createSong();
            auto strings = createStringPool();
            Track& track = song->appendTrack();
            for (int i = 0; i < notes; ++i) {
                NoteEvent note;
                note.time = i * 480;
                note.length = 480;
                note.note = 72;
                note.lyric = {kDefaultLyricText, "4 a"};
                track.notes.push_back(note);
            }
            OutputBatch outputs;
            bool written = false;
            {
                StagedSink sink(outputs);
                const RenderedSong rendered(*song, *strings);
                written = createVsqWriter()->write(rendered, "song.vsq", sink);
            }
            written = written && outputs.putAllInPlace();
            std::fflush(stdout);
            ::_exit(written ? 0 : 1);
        }
        ChildOutcome outcome;
        if (child < 0) return outcome;
        if (watch) watch(child);
        int status = 0;
        if (::waitpid(child, &status, 0) != child) return outcome;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.printed = readFile(printedPath);
        return outcome;
    }

    void expectOnlyTheOldFiles() {
        EXPECT_EQ(readFile(output), kOldOutput);
        EXPECT_EQ(readFile(folder.file("vsqconvert.log")), kOldLog);
        std::vector<std::string> names = folder.entries();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"song.vsq", "vsqconvert.log"}));
    }
};

std::string cannotOpen(const std::string& path, int errorNumber) {
    return std::string("ERROR: ") + msg::kCannotOpenFile + ": " + path + " : " +
           platform::systemErrorText(errorNumber) + "\n";
}

bool limitFileSize(rlim_t bytes) {
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

TEST_F(OutputFaultTest, FullDiskIsAnErrorAndKeepsTheOldFiles) {
    // A file-size limit fails the write as a full disk does, partway.
    const ChildOutcome outcome = writeInChild(50, [] {
        platform::reportFileSizeLimitAsError();
        return limitFileSize(600);
    });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.printed, cannotOpen("song.vsq", EFBIG));
    expectOnlyTheOldFiles();
}

TEST_F(OutputFaultTest, RunEndedByTheFileSizeLimitLeavesTheOldFiles) {
    // Where the limit's signal is not dealt with, it ends the process at once
    // in the middle of a write, as a kill does.
    const ChildOutcome outcome = writeInChild(50, [] {
        std::signal(SIGXFSZ, SIG_DFL);
        return limitFileSize(600);
    });
    EXPECT_EQ(outcome.status, 128 + SIGXFSZ);
    expectOnlyTheOldFiles();
}

// The size of the file open on `descriptor` of process `pid` when it is a new
// file in `folder` (named or not), or -1.
long newFileSize(pid_t pid, const std::string& descriptor, const std::string& folder) {
    const std::string entry = "/proc/" + std::to_string(pid) + "/fd/" + descriptor;
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry, error).string();
    if (error || target.rfind(folder + "/", 0) != 0) return -1;
    const std::string name = target.substr(folder.size() + 1);
    if (name.rfind("song.vsq", 0) == 0 || name.rfind("vsqconvert.log", 0) == 0) return -1;
    struct stat info {};
    return ::stat(entry.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

TEST_F(OutputFaultTest, KilledRunLeavesTheOldFilesAndNothingElse) {
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "no /proc to watch the write";
    const std::string where = std::filesystem::canonical(folder.path()).string();
    bool killedMidWrite = false;
    // A song of megabytes: the child is killed once its new file holds 64 KB.
    const ChildOutcome outcome = writeInChild(
        200000, [] { return true; },
        [&](pid_t child) {
            for (;;) {
                int status = 0;
                if (::waitpid(child, &status, WNOHANG | WNOWAIT) == child) return;
                std::error_code error;
                for (const auto& entry : std::filesystem::directory_iterator(
                         "/proc/" + std::to_string(child) + "/fd", error)) {
                    if (newFileSize(child, entry.path().filename().string(), where) >= 65536) {
                        ::kill(child, SIGKILL);
                        killedMidWrite = true;
                        return;
                    }
                }
                ::usleep(1000);
            }
        });
    ASSERT_TRUE(killedMidWrite) << "the write ended before it could be killed";
    EXPECT_EQ(outcome.status, 128 + SIGKILL);
    expectOnlyTheOldFiles();
}

TEST_F(OutputFaultTest, FolderWhereNothingNewMayBeMadeKeepsTheOldFiles) {
    // The old output may be written, but no file may be made beside it, so it
    // cannot be replaced safely. Root passes every permission check; the child
    // then writes as an ordinary user.
    ASSERT_EQ(::chmod(output.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.file("vsqconvert.log").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0555), 0);
    const ChildOutcome outcome = writeInChild(1, [] {
        if (::geteuid() != 0) return true;
        return ::setgid(65534) == 0 && ::setuid(65534) == 0;
    });
    ::chmod(folder.path().c_str(), 0700);
    if (outcome.status == kSkipped) GTEST_SKIP() << "cannot write as an ordinary user here";
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.printed, std::string("WARN: ") + msg::kLogNotWritten + ": vsqconvert.log : " +
                                   platform::systemErrorText(EACCES) + "\n" +
                                   cannotOpen("song.vsq", EACCES));
    expectOnlyTheOldFiles();
}

}  // namespace
