// The source reader: push-back, line counting and file opening.
#include <gtest/gtest.h>

#include "diag/Messages.h"
#include "source/SourceReader.h"
#include "source_test_support.h"

namespace {


TEST(SourceReader, EmptyFileEndsAtOnceAndStaysOnLineOne) {
    ScratchFolder dir;
    TestReading read;
    auto reader = createSourceReader(dir.write("empty.mml", ""), read.reading);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->getChar(), -1);
    EXPECT_EQ(reader->getChar(), -1);
    EXPECT_EQ(reader->line(), 1);
}

TEST(SourceReader, LineFeedMovesTheLineAndPushBackMovesItBack) {
    ScratchFolder dir;
    TestReading read;
    const std::string path = dir.write("ab.mml", "a\nb");
    auto reader = createSourceReader(path, read.reading);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->fileName(), path);
    EXPECT_EQ(reader->getChar(), 'a');
    EXPECT_EQ(reader->line(), 1);
    EXPECT_EQ(reader->getChar(), '\n');
    EXPECT_EQ(reader->line(), 2);
    reader->ungetChar('\n');
    EXPECT_EQ(reader->line(), 1);
    EXPECT_EQ(reader->getChar(), '\n');
    EXPECT_EQ(reader->line(), 2);
    // The last line has no line feed: its characters come, then the end.
    EXPECT_EQ(reader->getChar(), 'b');
    EXPECT_EQ(reader->getChar(), -1);
    EXPECT_EQ(reader->getChar(), -1);
    EXPECT_EQ(reader->line(), 2);
}

TEST(SourceReader, OneSlotKeepsOnlyTheLastPushBackAndMinusOneEmptiesIt) {
    ScratchFolder dir;
    TestReading read;
    auto reader = createSourceReader(dir.write("xyz.mml", "xyz"), read.reading);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->getChar(), 'x');
    reader->ungetChar('p');
    reader->ungetChar('q');
    EXPECT_EQ(reader->getChar(), 'q');
    EXPECT_EQ(reader->getChar(), 'y');
    reader->ungetChar('r');
    reader->ungetChar(-1);
    EXPECT_EQ(reader->getChar(), 'z');
    EXPECT_EQ(reader->getChar(), -1);
}

TEST(SourceReader, DoubleByteCharacterIsOneCode) {
    ScratchFolder dir;
    TestReading read;
    auto reader = createSourceReader(dir.write("kana.mml", "\x82\xA0" "a"), read.reading);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->getChar(), 0x82A0);
    EXPECT_EQ(reader->getChar(), 'a');
}

TEST(SourceReader, MissingFileGivesNoReaderAndIsReported) {
    ScratchFolder dir;
    TestReading read;
    const std::string path = dir.file("missing.mml");
    const int before = getReporter().errorCount();
    testing::internal::CaptureStdout();
    auto reader = createSourceReader(path, read.reading);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(reader, nullptr);
    EXPECT_EQ(getReporter().errorCount() - before, 1);
    EXPECT_NE(output.find(msg::kCannotOpenFile), std::string::npos);
    EXPECT_NE(output.find(path), std::string::npos);
}

}  // namespace
