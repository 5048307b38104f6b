// Output paths that name a file the run read or another output are refused,
// however they are spelled.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "VsqTestSupport.h"
#include "diag/Reporter.h"
#include "driver/CommandLine.h"
#include "driver/OutputPaths.h"
#include "text/FilesRead.h"

namespace {

class OutputPathsTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    RunSettings settings;
    FilesRead filesRead;
    int errorsReported = 0;

    OutputPathsTest() {
        settings.inputPath = folder.file("song.mml");
        settings.outputPath = folder.file("song.vsq");
        vsqtest::writeFile(settings.inputPath, "c4\n");
        std::FILE* input = std::fopen(settings.inputPath.c_str(), "rb");
        filesRead.remember(input);
        std::fclose(input);
    }

    bool distinct() {
        const int before = getReporter().errorCount();
        testing::internal::CaptureStdout();
        const bool result = outputPathsAreAllowed(settings, filesRead);
        testing::internal::GetCapturedStdout();
        errorsReported = getReporter().errorCount() - before;
        return result;
    }
};

TEST_F(OutputPathsTest, DistinctFilesAndAbsentExportsPass) {
    EXPECT_TRUE(distinct());
    settings.exportPaths['m'] = folder.file("song.mid");
    settings.exportPaths['x'] = folder.file("song.musicxml");
    EXPECT_TRUE(distinct());
    EXPECT_EQ(errorsReported, 0);
}

TEST_F(OutputPathsTest, AHardLinkToAFileReadIsThatFile) {
    std::filesystem::create_hard_link(settings.inputPath, folder.file("link.mml"));
    settings.exportPaths['x'] = folder.file("link.mml");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);
    settings.exportPaths.erase('x');
    settings.outputPath = folder.file("./song.mml");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);
}

TEST_F(OutputPathsTest, EachClashIsReportedOnce) {
    settings.exportPaths['m'] = folder.file("sub/../song.vsq");
    settings.exportPaths['x'] = folder.file("song.vsq");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 2);
}

}  // namespace
