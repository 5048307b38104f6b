// Export paths that name the input or another output are refused, however
// they are spelled.
#include <gtest/gtest.h>

#include <filesystem>

#include "VsqTestSupport.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/OutputPaths.h"

namespace {

class OutputPathsTest : public ::testing::Test {
protected:
    vsqtest::ScratchFolder folder;
    RunSettings settings;
    int errorsReported = 0;

    OutputPathsTest() {
        settings.inputPath = folder.file("song.mml");
        settings.outputPath = folder.file("song.vsq");
        vsqtest::writeFile(settings.inputPath, "c4\n");
    }

    bool distinct() {
        const int before = getReporter().errorCount();
        testing::internal::CaptureStdout();
        const bool result = exportPathsAreDistinct(settings);
        testing::internal::GetCapturedStdout();
        errorsReported = getReporter().errorCount() - before;
        return result;
    }
};

TEST_F(OutputPathsTest, DistinctFilesAndAbsentExportsPass) {
    EXPECT_TRUE(distinct());
    settings.midiPath = folder.file("song.mid");
    settings.scorePath = folder.file("song.musicxml");
    EXPECT_TRUE(distinct());
    EXPECT_EQ(errorsReported, 0);
}

TEST_F(OutputPathsTest, AHardLinkToTheInputIsTheInput) {
    std::filesystem::create_hard_link(settings.inputPath, folder.file("link.mml"));
    settings.scorePath = folder.file("link.mml");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);
}

TEST_F(OutputPathsTest, EachClashIsReportedOnce) {
    settings.midiPath = folder.file("sub/../song.vsq");
    settings.scorePath = folder.file("song.vsq");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 2);
}

}  // namespace
