// Output paths that name a file the run read or another output are refused,
// however they are spelled.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "VsqTestSupport.h"
#include "diag/Diagnostics.h"
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
        writeFile(settings.inputPath, "c4\n");
        filesRead.remember(platform::fileIdentity(settings.inputPath), settings.inputPath);
    }

    bool distinct() {
        const int before = getReporter().errorCount();
        testing::internal::CaptureStdout();
        SourceMap files;
        Diagnostics diagnostics(files);
        diagnostics.showOnConsole();
        const bool result = outputPathsAreAllowed(settings, filesRead, diagnostics);
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

// A link leads to the file it names, also before that file exists: writing the
// link would write that file.
TEST_F(OutputPathsTest, LinksAreFollowedEvenWhenDangling) {
    namespace fs = std::filesystem;
    fs::create_symlink("song.vsq", folder.file("song.mid"));
    settings.exportPaths['m'] = folder.file("song.mid");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);

    // A chain of links, relative and absolute, to the MIDI file's name.
    fs::create_directory(folder.file("sub"));
    fs::create_symlink("../chain2", folder.file("sub/chain1"));
    fs::create_symlink(folder.file("song.mid"), folder.file("chain2"));
    settings.exportPaths['m'] = folder.file("sub/chain1");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);

    // A link through a linked folder to the source.
    fs::create_directory_symlink(folder.path(), folder.file("here"));
    fs::create_symlink("here/song.mml", folder.file("input.link"));
    settings.exportPaths['m'] = folder.file("input.link");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 1);

    // A link to a file of its own passes; so does a loop of links, which no
    // write can go through.
    fs::create_symlink("other.mid", folder.file("own.mid"));
    fs::create_symlink("loop2", folder.file("loop1"));
    fs::create_symlink("loop1", folder.file("loop2"));
    settings.exportPaths['m'] = folder.file("own.mid");
    settings.exportPaths['x'] = folder.file("loop1");
    EXPECT_TRUE(distinct());
}

TEST_F(OutputPathsTest, EachClashIsReportedOnce) {
    settings.exportPaths['m'] = folder.file("sub/../song.vsq");
    settings.exportPaths['x'] = folder.file("song.vsq");
    EXPECT_FALSE(distinct());
    EXPECT_EQ(errorsReported, 2);
}

}  // namespace
