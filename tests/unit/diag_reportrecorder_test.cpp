// Reports recorded and made again later: in their order, with and without a
// line, with the file name and line settings between them; and the recording
// of one thread's reports leaving another thread's alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "diag/ConsoleReporter.h"
#include "diag/ReportRecorder.h"
#include "diag/Reporter.h"

namespace {

msg::Message text(std::string_view words) { return msg::Message{"test", words}; }

TEST(ReportRecorderTest, ReplaysEveryReportAndSettingInOrder) {
    ReportRecorder recorder;
    recorder.setFileName("a.mml");
    recorder.setLine(3);
    recorder.error(-1, text("at the current line"), "x");
    recorder.warning(text("no position"), "");
    recorder.setFileName("b.mml");
    recorder.error(-2, text("also the current line"), "");
    recorder.warning(9, text("line nine"), "y");
    recorder.error(text("no position either"), "z");
    EXPECT_EQ(recorder.errorCount(), 3);
    EXPECT_EQ(recorder.warningCount(), 2);

    auto console = createConsoleReporter([](std::string_view cp932) { return std::string(cp932); });
    testing::internal::CaptureStdout();
    recorder.replayInto(*console);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: a.mml(3) at the current line: x\n"
              "WARN: no position\n"
              "ERROR: b.mml(3) also the current line\n"
              "WARN: b.mml(9) line nine: y\n"
              "ERROR: no position either: z\n");
    EXPECT_EQ(console->errorCount(), 3);
    EXPECT_EQ(console->warningCount(), 2);
    // Replayed once: the recorder is empty again.
    EXPECT_EQ(recorder.errorCount(), 0);
    testing::internal::CaptureStdout();
    recorder.replayInto(*console);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ReportRecorderTest, OnlyTheRecordingThreadReportsToTheRecorder) {
    ReportRecorder outer;
    ReportRecorder inner;
    ReportRecorder other;
    {
        const ReportsRecordedOnThisThread recordedOuter(outer);
        {
            const ReportsRecordedOnThisThread recordedInner(inner);
            std::thread([&other] {
                EXPECT_NE(&getReporter(), &other);
                const ReportsRecordedOnThisThread recorded(other);
                getReporter().error(text("other"), "");
            }).join();
            getReporter().error(text("inner"), "");
        }
        getReporter().warning(text("outer"), "");
    }
    EXPECT_EQ(inner.errorCount(), 1);
    EXPECT_EQ(other.errorCount(), 1);
    EXPECT_EQ(outer.errorCount(), 0);
    EXPECT_EQ(outer.warningCount(), 1);
    EXPECT_NE(&getReporter(), static_cast<Reporter*>(&outer));
}

}  // namespace
