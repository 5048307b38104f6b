// A run's collector of reports: the records it keeps, the lines it shows on the
// console (with the file names of the run's map), what it collects from the
// process-wide reporter, and the chain of include directives of a record.
#include <gtest/gtest.h>

#include <string>

#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "song/SourceMap.h"

namespace {

class DiagnosticsTest : public testing::Test {
protected:
    DiagnosticsTest() {
        files.addFile("song.mml");
        files.addFile("inc/a.mml", SourceLocation{1, 2, 0, 8});
    }

    SourceMap files;
};

TEST_F(DiagnosticsTest, ReportsAreRecordsAndNothingIsShownUnlessAsked) {
    Diagnostics diagnostics(files);
    testing::internal::CaptureStdout();
    diagnostics.error(msg::kNoteOutOfRange, SourceLocation{2, 5, 3, 4});
    diagnostics.warning(msg::kEmptyLyric, SourceLocation{1, 7, 0, 2});
    diagnostics.error(msg::kNoTrackWithNotes, "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(diagnostics.errorCount(), 2);
    EXPECT_EQ(diagnostics.warningCount(), 1);
    ASSERT_EQ(diagnostics.records().size(), 3u);
    const Diagnostic& note = diagnostics.records()[0];
    EXPECT_EQ(note.id(), "note-out-of-range");
    EXPECT_EQ(note.location.file, 2);
    ASSERT_EQ(note.chain.size(), 1u);
    EXPECT_EQ(note.chain[0].kind, DiagnosticStep::Kind::IncludedFrom);
    EXPECT_EQ(note.chain[0].location.line, 2);
    EXPECT_EQ(diagnostics.records()[1].severity, Severity::Warning);
    EXPECT_FALSE(diagnostics.records()[2].location.known());
    EXPECT_TRUE(diagnostics.errorReported(msg::kNoTrackWithNotes));
    EXPECT_FALSE(diagnostics.errorReported(msg::kEmptyLyric));  // a warning
}

TEST_F(DiagnosticsTest, ShownReportsPrintTheLinesOfTheConsole) {
    Diagnostics diagnostics(files);
    diagnostics.showOnConsole();
    const int errorsBefore = getReporter().errorCount();
    testing::internal::CaptureStdout();
    diagnostics.error(msg::kUndefinedMacro, SourceLocation{2, 5, 3, 4}, "m");
    diagnostics.error(msg::kUndefinedMacro, SourceLocation{2, 5, 3, 4}, 6, "m");
    diagnostics.warning(msg::kMetreChangeInsideBar, "@M");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: inc/a.mml(5) " + msg::kUndefinedMacro + ": m\n" +
                  "ERROR: inc/a.mml(6) " + msg::kUndefinedMacro + ": m\n" + "WARN: " +
                  msg::kMetreChangeInsideBar + ": @M\n");
    EXPECT_EQ(getReporter().errorCount(), errorsBefore + 2);
    // The line the console names changes nothing of the record.
    EXPECT_EQ(diagnostics.records()[1].location.line, 5);
}

// What modules report through the process-wide reporter while a run collects
// is the run's too; once the run is gone, the next run's alone.
TEST_F(DiagnosticsTest, ReportsOfTheProcessWideReporterAreCollected) {
    testing::internal::CaptureStdout();
    {
        Diagnostics run(files);
        run.collectFromProcess();
        getReporter().error(msg::kNoTrackWithNotes, "");
        ASSERT_EQ(run.records().size(), 1u);
        EXPECT_EQ(run.records()[0].id(), msg::kNoTrackWithNotes.id);
        EXPECT_EQ(run.errorCount(), 1);
        Diagnostics other(files);
        getReporter().warning(msg::kLogNotWritten, "x");
        EXPECT_EQ(run.warningCount(), 1);
        EXPECT_EQ(other.warningCount(), 0);
    }
    Diagnostics later(files);
    getReporter().error(msg::kNoTrackWithNotes, "");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(later.errorCount(), 0);
}

// A source that yields reports without end costs a bounded number of records;
// the counts take in every report.
TEST_F(DiagnosticsTest, RecordsAreBoundedButCountsGoOn) {
    Diagnostics diagnostics(files);
    for (size_t i = 0; i <= Diagnostics::kMaxRecords; ++i)
        diagnostics.error(msg::kOutOfRange, SourceLocation{1, 1, 0, 1});
    EXPECT_EQ(diagnostics.records().size(), Diagnostics::kMaxRecords);
    EXPECT_EQ(diagnostics.errorCount(), static_cast<int>(Diagnostics::kMaxRecords) + 1);
}

}  // namespace
