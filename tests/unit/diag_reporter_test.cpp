// The reporter's line format and counting. The reporter is one instance for the
// whole process, so every test compares counts before and after, and sets the
// file name and line it relies on.
#include <gtest/gtest.h>

#include <string>

#include "diag/ConsoleReporter.h"
#include "diag/DiagnosticLine.h"
#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"

namespace {

// A message of the tests' own, outside the catalogue, with the text given.
msg::Message text(std::string_view words) { return msg::Message{"test", words}; }

class ReporterTest : public testing::Test {
protected:
    void SetUp() override {
        reporter_.setFileName("song.mml");
        reporter_.setLine(12);
        errorsBefore_ = reporter_.errorCount();
        warningsBefore_ = reporter_.warningCount();
    }

    int newErrors() { return reporter_.errorCount() - errorsBefore_; }
    int newWarnings() { return reporter_.warningCount() - warningsBefore_; }

    Reporter& reporter_ = getReporter();
    int errorsBefore_ = 0;
    int warningsBefore_ = 0;
};

TEST_F(ReporterTest, SameInstanceEveryTime) {
    EXPECT_EQ(&getReporter(), &getReporter());
}

TEST_F(ReporterTest, PositionedLinesNameFileAndLine) {
    testing::internal::CaptureStdout();
    reporter_.error(5, text("bad thing"), "");
    reporter_.warning(7, text("odd thing"), "x y");
    reporter_.error(0, text("at zero"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: song.mml(5) bad thing\n"
              "WARN: song.mml(7) odd thing: x y\n"
              "ERROR: song.mml(0) at zero\n");
}

TEST_F(ReporterTest, NegativeLineUsesTheCurrentLine) {
    testing::internal::CaptureStdout();
    reporter_.error(-1, text("e"), "");
    reporter_.setLine(40);
    reporter_.warning(-1, text("w"), "");
    reporter_.error(5, text("explicit"), "");  // an explicit line wins over setLine
    reporter_.setLine(-3);
    reporter_.error(-1, text("negative current"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: song.mml(12) e\n"
              "WARN: song.mml(40) w\n"
              "ERROR: song.mml(5) explicit\n"
              "ERROR: song.mml(-3) negative current\n");
}

TEST_F(ReporterTest, PositionLessReportsNeverShowTheFileName) {
    testing::internal::CaptureStdout();
    reporter_.error(text("cannot open"), "in.mml : No such file or directory");
    reporter_.warning(text("plain warning"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: cannot open: in.mml : No such file or directory\n"
              "WARN: plain warning\n");
}

TEST_F(ReporterTest, EmptyFileNameGivesNoPosition) {
    reporter_.setFileName("");
    testing::internal::CaptureStdout();
    reporter_.error(3, text("msg"), "detail");
    reporter_.warning(-1, text("w"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: msg: detail\nWARN: w\n");
}

TEST_F(ReporterTest, FileNameIsReplacedBySetFileName) {
    testing::internal::CaptureStdout();
    reporter_.error(3, text("in main"), "");
    reporter_.setFileName("inc/part.mml");
    reporter_.error(3, text("in include"), "");
    reporter_.setFileName("song.mml");
    reporter_.error(4, text("back in main"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: song.mml(3) in main\n"
              "ERROR: inc/part.mml(3) in include\n"
              "ERROR: song.mml(4) back in main\n");
}

TEST_F(ReporterTest, CodePage932BytesPassThroughUnchanged) {
    const std::string message = "\x8B\xF3\x82\xCC\x89\xCC\x8E\x8C\x82\xC5\x82\xB7";
    testing::internal::CaptureStdout();
    reporter_.warning(7, text(message), "\x82\xA0");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "WARN: song.mml(7) " + message + ": \x82\xA0\n");
}

TEST_F(ReporterTest, EveryReportCountsOnce) {
    testing::internal::CaptureStdout();
    reporter_.error(9, text("same"), "");
    reporter_.error(9, text("same"), "");
    EXPECT_EQ(newErrors(), 2);
    EXPECT_EQ(newWarnings(), 0);
    reporter_.warning(9, text("w"), "");
    reporter_.warning(text("w"), "");
    EXPECT_EQ(newWarnings(), 2);
    reporter_.error(text("e"), "");
    EXPECT_EQ(newErrors(), 3);
    EXPECT_EQ(newWarnings(), 2);
    testing::internal::GetCapturedStdout();
}

TEST_F(ReporterTest, SettersNeitherPrintNorCount) {
    testing::internal::CaptureStdout();
    reporter_.setFileName("other.mml");
    reporter_.setLine(99);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(newErrors(), 0);
    EXPECT_EQ(newWarnings(), 0);
}

// A run shows 1000 diagnostic lines at most, then one line saying that the rest
// are not shown; the counts take in every report.
TEST(ReporterLimitTest, LinesStopAtTheLimitButCountsGoOn) {
    const auto reporter = createConsoleReporter([](std::string_view text) { return std::string(text); });
    const std::string line = "ERROR: x\n";
    testing::internal::CaptureStdout();
    for (int i = 0; i < 1000; ++i) reporter->error(text("x"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout().size(), 1000 * line.size());

    testing::internal::CaptureStdout();
    reporter->warning(3, text("w"), "");
    for (int i = 0; i < 500; ++i) reporter->error(text("x"), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string(msg::kFurtherDiagnosticsNotShown) + "\n");
    EXPECT_EQ(reporter->errorCount(), 1500);
    EXPECT_EQ(reporter->warningCount(), 1);
}

// What a song or a path puts into a line is bounded and cannot drive the
// terminal: details are cut between two characters, control bytes escaped.
TEST(DiagnosticLineTest, DetailsAreCutBetweenCharactersAndControlBytesEscaped) {
    const ConsoleText same = [](std::string_view text) { return std::string(text); };
    // A line feed would forge a line of its own, a carriage return overwrite one.
    EXPECT_EQ(diagnosticLine("WARN", "a\x1b.mml", 3, text("m"), "x\ny\rz\x7f\tw", same),
              "WARN: a\\x1B.mml(3) m: x\\x0Ay\\x0Dz\\x7F\tw\n");

    // Code page 932 text: the double-byte character that would cross the limit
    // is left out whole.
    const std::string kana = "x" + std::string(kMaxShownDetailBytes, '\x82');
    const std::string shown = diagnosticLine("ERROR", "", 0, text("m"), kana, same);
    EXPECT_EQ(shown, "ERROR: m: " + kana.substr(0, kMaxShownDetailBytes - 1) + " ... (" +
                         std::to_string(kana.size()) + " bytes)\n");

    // A path is cut between UTF-8 characters, and the system's reason after it stays.
    std::string path;
    while (path.size() < kMaxShownDetailBytes + 10) path += "\xE3\x81\x82";
    const std::string line =
        diagnosticLine("ERROR", "", 0, msg::kCannotOpenFile, fileFailureDetail(path, "No such file"), same);
    const std::string kept = path.substr(0, kMaxShownDetailBytes / 3 * 3);
    EXPECT_EQ(line, std::string("ERROR: ") + std::string(msg::kCannotOpenFile.text) + ": " + kept + " ... (" +
                        std::to_string(path.size()) + " bytes) : No such file\n");
}

}  // namespace
