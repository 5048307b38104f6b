// Hostile sources too big for a golden case: one 10 MB line without a line end,
// in a few shapes, run through the whole pipeline. Each run must come back in
// bounded time with its diagnostic and the right verdict.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TestFiles.h"
#include "diag/Messages.h"
#include "driver/CommandLine.h"
#include "driver/PipelineRun.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kLineBytes = 10 * 1024 * 1024;
// Processor time, far above what a linear pass over 10 MB needs, even with
// sanitizers; a quadratic pass or an unbounded loop does not come back within
// it. Processor time, unlike time on the clock, does not run out faster on a
// busy machine.
constexpr rlim_t kTimeLimitSeconds = 120;
constexpr long kMemoryLimitKilobytes = 512 * 1024;

// The start of what a run printed; a run can print millions of diagnostics.
std::string readStart(const fs::path& path) {
    std::string text(1 << 20, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct PipelineOutcome {
    bool finished = false;  // the run came back by itself within the time limit
    bool succeeded = false;
    std::string printed;  // its first megabyte
    long peakKilobytes = 0;
};

// Each run goes into a child process: the reporter's counts start from zero,
// a processor-time limit ends a run that hangs, and the child's own peak memory
// is measured.
class HostileLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(folder_ / "test.dic", "a : [a]\n");
    }

    // With addressSpaceLimit set, the child's address space is held to that
    // many bytes, so a large song runs out of memory.
    PipelineOutcome run(const std::string& source, rlim_t addressSpaceLimit = 0) {
        writeFile(folder_ / "song.mml", source);
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            // The conversion log lands in the working folder.
            if (::chdir(folder_.c_str()) != 0) ::_exit(100);
            if (std::freopen("printed.txt", "wb", stdout) == nullptr) ::_exit(101);
            const struct rlimit time = {kTimeLimitSeconds, kTimeLimitSeconds + 10};
            if (::setrlimit(RLIMIT_CPU, &time) != 0) ::_exit(103);
            if (addressSpaceLimit != 0) {
                const struct rlimit limit = {addressSpaceLimit, addressSpaceLimit};
                if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(102);
            }
            RunSettings settings;
            settings.inputPath = "song.mml";
            settings.outputPath = "song.vsq";
            settings.dictionaryPath = "test.dic";
            const bool succeeded = runPipeline(settings);
            std::fflush(stdout);
            ::_exit(succeeded ? 0 : 1);
        }
        PipelineOutcome outcome;
        int status = 0;
        struct rusage usage {};
        if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return outcome;
        outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) <= 1;
        outcome.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        outcome.peakKilobytes = usage.ru_maxrss;
        outcome.printed = readStart(folder_ / "printed.txt");
        return outcome;
    }

    ScratchFolder scratch_;
    const fs::path folder_ = scratch_.path();
};

std::string verdict(int errors, int warnings, bool succeeded) {
    return "errors: " + std::to_string(errors) + "\nwarns: " + std::to_string(warnings) + "\n" +
           (succeeded ? "Successful.\n" : "Failed.\n");
}

std::string positioned(const msg::Message& message) {
    return std::string("ERROR: song.mml(1) ") + message + "\n";
}

// Every run below must come back in time, and within a memory bound that a
// linear pass over the 10 MB input stays far below, sanitizers included.
void expectBounded(const PipelineOutcome& outcome, long limitKilobytes = kMemoryLimitKilobytes) {
    ::testing::Test::RecordProperty("peak_kilobytes", std::to_string(outcome.peakKilobytes));
    EXPECT_TRUE(outcome.finished) << "the run crashed or did not come back within the limit";
    EXPECT_LT(outcome.peakKilobytes, limitKilobytes);
}

TEST_F(HostileLineTest, CommentLineEndsWithoutNotes) {
    const PipelineOutcome outcome = run(";" + std::string(kLineBytes, 'x'));
    expectBounded(outcome);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed,
              std::string("ERROR: ") + msg::kNoTrackWithNotes + "\n" + verdict(1, 0, false));
    EXPECT_FALSE(fs::exists(folder_ / "song.vsq"));
}

TEST_F(HostileLineTest, BlanksBeforeTheOnlyNoteAreOneToken) {
    const PipelineOutcome outcome = run(std::string(kLineBytes, ' ') + "c");
    expectBounded(outcome);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.printed, verdict(0, 0, true));
    EXPECT_TRUE(fs::is_regular_file(folder_ / "song.vsq"));
    EXPECT_NE(readFile(folder_ / "vsqconvert.log").find("1920=ID#0001\n2400=EOS\n"),
              std::string::npos);
}

TEST_F(HostileLineTest, HugeLyricStopsAtTheFirstSurplusSyllable) {
    // One note, then a lyric of ten million syllables without a closing quote.
    const PipelineOutcome outcome = run("c\"" + std::string(kLineBytes, 'a'));
    expectBounded(outcome);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed, positioned(msg::kMoreLyricsThanNotes) + verdict(1, 0, false));
    EXPECT_FALSE(fs::exists(folder_ / "song.vsq"));
}

TEST_F(HostileLineTest, EndlessNumberStopsAtItsEleventhDigit) {
    const PipelineOutcome outcome = run(std::string(kLineBytes, '7'));
    expectBounded(outcome);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed, positioned(msg::kValueTooLarge) + positioned(msg::kInvalidToken) +
                                   verdict(2, 0, false));
}

TEST_F(HostileLineTest, EndlessMacroNameAndBodyEndAtTheFileEnd) {
    const PipelineOutcome outcome = run(".equ \\" + std::string(kLineBytes, 'n'));
    expectBounded(outcome);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed, positioned(msg::kUnexpectedEof) + verdict(1, 0, false));
}

TEST_F(HostileLineTest, EndlessRunOfNotesStopsAtTheEventBound) {
    // Ten million quarter notes: the song passes its event bound (four million)
    // long before its tick range. The run fails with that diagnostic, printed
    // once, and its memory is what four million notes take, not ten.
    const PipelineOutcome outcome = run(std::string(kLineBytes, 'c'));
    expectBounded(outcome, 1536 * 1024);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed, positioned(msg::kTooManyEvents) + verdict(1, 0, false));
    EXPECT_FALSE(fs::exists(folder_ / "song.vsq"));
}

// AddressSanitizer reserves terabytes of address space up front, so a run
// under it cannot be given a small address space.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceCanBeLimited = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceCanBeLimited = false;
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif
#else
constexpr bool kAddressSpaceCanBeLimited = true;
#endif

TEST_F(HostileLineTest, RunningOutOfMemoryIsReportedAndWritesNothing) {
    if (!kAddressSpaceCanBeLimited) GTEST_SKIP() << "the address space cannot be limited";
    // Three million notes need more than 200 MB; the run gets 160 MB in all.
    const PipelineOutcome outcome = run(std::string(3'000'000, 'c'), rlim_t{160} << 20);
    EXPECT_TRUE(outcome.finished);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.printed,
              std::string("ERROR: ") + msg::kOutOfMemory + "\n" + verdict(1, 0, false));
    EXPECT_FALSE(fs::exists(folder_ / "song.vsq"));
}

}  // namespace
