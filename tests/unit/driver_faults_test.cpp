// A whole run whose disk fills while it writes the MIDI file or the score,
// after the VSQ file and the log were written, or whose MIDI file cannot be
// renamed into place after the VSQ file and the log were: the run fails, and
// the VSQ file, the log, the MIDI file and the score are all the previous
// ones, with nothing else left in the folder. A file-size limit stands for the
// full disk; each run goes into a child process, so the limit touches nothing
// else.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "diag/Messages.h"
#include "driver/CommandLine.h"
#include "driver/PipelineRun.h"
#include "platform/Platform.h"

namespace {

// Processor time far above what the small songs below need; a run that hangs
// is ended by it (time on the clock runs out faster on a busy machine).
constexpr rlim_t kTimeLimitSeconds = 60;

// The previous files of the run's folder, by name.
const std::map<std::string, std::string> kOldFiles = {
    {"song.vsq", "the previous VSQ file"},
    {"vsqconvert.log", "the previous log"},
    {"song.mid", "the previous MIDI file"},
    {"song.musicxml", "the previous score"},
};

struct RunOutcome {
    int status = -1;  // the exit status, or 128 and the signal that ended the child
    std::string printed;
};

// The user the run takes where a test asks for another, and a third one.
constexpr uid_t kOtherUser = 65534;
constexpr uid_t kThirdUser = 65533;

class FullDiskRunTest : public ::testing::Test {
protected:
    bool asOtherUser = false;  // the run gives up root for kOtherUser
    ScratchFolder folder;    // the working folder of the run
    ScratchFolder printing;  // what the run prints, kept out of the way

    void SetUp() override {
        folder.write("test.dic", "a : [a]\n");
        for (const auto& [name, bytes] : kOldFiles) folder.write(name, bytes);
    }

    // Compiles `source` to song.vsq, song.mid and song.musicxml with no file
    // allowed to grow beyond `sizeLimit` bytes. Where `limitEndsRun`, the limit's
    // signal ends the run in the middle of its write, as a kill does; otherwise
    // the write fails as on a full disk.
    RunOutcome run(const std::string& source, rlim_t sizeLimit, bool limitEndsRun = false) {
        folder.write("song.mml", source);
        const std::string printedPath = printing.file("printed.txt");
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(folder.path().c_str()) != 0) ::_exit(100);
            if (std::freopen(printedPath.c_str(), "wb", stdout) == nullptr) ::_exit(101);
            const rlimit time{kTimeLimitSeconds, kTimeLimitSeconds + 10};
            const rlimit noCore{0, 0};
            const rlimit size{sizeLimit, sizeLimit};
            if (::setrlimit(RLIMIT_CPU, &time) != 0 || ::setrlimit(RLIMIT_CORE, &noCore) != 0)
                ::_exit(102);
            if (limitEndsRun) {
                std::signal(SIGXFSZ, SIG_DFL);
            } else {
                platform::reportFileSizeLimitAsError();
            }
            if (::setrlimit(RLIMIT_FSIZE, &size) != 0) ::_exit(103);
            if (asOtherUser && (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)) ::_exit(104);
            RunSettings settings;
            settings.inputPath = "song.mml";
            settings.outputPath = "song.vsq";
            settings.dictionaryPath = "test.dic";
            settings.exportPaths = {{'m', "song.mid"}, {'x', "song.musicxml"}};
            const bool succeeded = runPipeline(settings);
            std::fflush(stdout);
            ::_exit(succeeded ? 0 : 1);
        }
        RunOutcome outcome;
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child) return outcome;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.printed = readFile(printedPath);
        return outcome;
    }

    void expectOnlyTheOldFiles() {
        for (const auto& [name, bytes] : kOldFiles) EXPECT_EQ(readFile(folder.file(name)), bytes) << name;
        std::vector<std::string> names = folder.entries();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"song.mid", "song.mml", "song.musicxml",
                                                   "song.vsq", "test.dic", "vsqconvert.log"}));
    }
};

std::string cannotWrite(const std::string& path, int reason = EFBIG) {
    return std::string("ERROR: ") + msg::kCannotOpenFile + ": " + path + " : " +
           platform::systemErrorText(reason) + "\n";
}

// A long note with a deep vibrato: the VSQ file and the log stay under 1 KB,
// while the MIDI file carries the vibrato as some 20 KB of pitch bends.
const std::string kBendingSong = "t30 @VIB3,120 c*60000\n";
// A long note in a short metre: the VSQ file, the log and the MIDI file stay
// under 5 KB, while the score writes its thousands of measures in over 60 KB.
const std::string kLongScoreSong = "@M1,32 c*10000\n";

TEST_F(FullDiskRunTest, DiskFullInTheMidiFileKeepsEveryOldFile) {
    const RunOutcome outcome = run(kBendingSong, 8192);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.printed.find(cannotWrite("song.mid")), std::string::npos) << outcome.printed;
    EXPECT_EQ(outcome.printed.find(cannotWrite("song.vsq")), std::string::npos) << outcome.printed;
    expectOnlyTheOldFiles();
}

TEST_F(FullDiskRunTest, DiskFullInTheScoreKeepsEveryOldFile) {
    const RunOutcome outcome = run(kLongScoreSong, 8192);
    EXPECT_EQ(outcome.status, 1);
    const std::string expectedErrors = cannotWrite("song.musicxml") + "errors: 1\n";
    EXPECT_NE(outcome.printed.find(expectedErrors), std::string::npos) << outcome.printed;
    expectOnlyTheOldFiles();
}

TEST_F(FullDiskRunTest, RunEndedWhileWritingTheScoreKeepsEveryOldFile) {
    const RunOutcome outcome = run(kLongScoreSong, 8192, true);
    EXPECT_EQ(outcome.status, 128 + SIGXFSZ);
    expectOnlyTheOldFiles();
}

TEST_F(FullDiskRunTest, RunWithinTheLimitReplacesEveryFile) {
    // The same songs with room on the disk: the failures above are the limit's.
    const RunOutcome outcome = run(kLongScoreSong, 1 << 20);
    EXPECT_EQ(outcome.status, 0) << outcome.printed;
    for (const auto& [name, bytes] : kOldFiles) EXPECT_NE(readFile(folder.file(name)), bytes) << name;
}

// In a folder where anyone may make files but only their owners remove them
// (as /tmp), an old MIDI file of a third user that the run may write but not
// replace: only its rename fails, after the VSQ file and the log were put in
// place, and those two are put back.
TEST_F(FullDiskRunTest, ARenameThatFailsPutsBackTheFilesPlacedBefore) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to set up three owners";
    asOtherUser = true;
    ASSERT_EQ(::chmod(folder.path().c_str(), 01777), 0);
    folder.write("song.mml", kLongScoreSong);
    for (const std::string name : {"song.mml", "test.dic", "song.vsq", "vsqconvert.log", "song.musicxml"})
        ASSERT_EQ(::chown(folder.file(name).c_str(), kOtherUser, kOtherUser), 0) << name;
    ASSERT_EQ(::chown(folder.file("song.mid").c_str(), kThirdUser, kThirdUser), 0);
    ASSERT_EQ(::chmod(folder.file("song.mid").c_str(), 0666), 0);

    const RunOutcome outcome = run(kLongScoreSong, 1 << 20);
    EXPECT_EQ(outcome.status, 1) << outcome.printed;
    EXPECT_NE(outcome.printed.find(cannotWrite("song.mid", EPERM) + "errors: 1\n"), std::string::npos)
        << outcome.printed;
    expectOnlyTheOldFiles();
}

}  // namespace
