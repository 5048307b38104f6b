// Reading real files as character codes: double-byte characters, the text-mode
// rules (CR LF, lone CR, Ctrl-Z), buffer boundaries, the open-failure message,
// and the conversion of codes back to bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ReadTestSupport.h"
#include "TestFiles.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "text/CharCode.h"
#include "text/TextFile.h"

namespace fs = std::filesystem;

namespace {

class TextFileTest : public testing::Test {
protected:

    std::string write(const std::string& bytes) {
        const fs::path path = dir_ / ("f" + std::to_string(++files_));
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path.string();
    }

    // Every code up to and including the first -1, and one more read after it
    // to show that the end stays the end.
    std::vector<int> readAll(const std::string& bytes) {
        TestReading read;
        auto file = openTextFile(write(bytes), read.reading);
        EXPECT_NE(file, nullptr);
        std::vector<int> codes;
        if (!file) return codes;
        const size_t limit = bytes.size() + 2;
        for (;;) {
            const int code = file->readChar();
            codes.push_back(code);
            if (code == kEndOfInput || codes.size() > limit) break;
        }
        codes.push_back(file->readChar());
        return codes;
    }

    ScratchFolder scratch_;
    const fs::path dir_ = scratch_.path();
    int files_ = 0;
};

TEST_F(TextFileTest, DoubleByteCharacterThenLineFeed) {
    EXPECT_EQ(readAll("\x82\xA0\x0A"), (std::vector<int>{0x82A0, 10, -1, -1}));
}

TEST_F(TextFileTest, EmptyFileEndsAtOnce) {
    EXPECT_EQ(readAll(""), (std::vector<int>{-1, -1}));
}

TEST_F(TextFileTest, LeadByteAtTheEndIsDropped) {
    EXPECT_EQ(readAll("A\x82"), (std::vector<int>{'A', -1, -1}));
}

TEST_F(TextFileTest, SingleAndLeadByteRanges) {
    // 0x7F, 0xA0, 0xA1 and 0xDF stand alone; 0x80, 0x9F, 0xE0, 0xFD and 0xFF
    // take the next byte whatever it is.
    const std::string bytes(
        "\x7F\xA0\xA1\xDF"
        "\x80\x41\x9F\xFC\xE0\x40\xFD\x00\xFF\xFF\x82\x20",
        16);
    EXPECT_EQ(readAll(bytes),
              (std::vector<int>{0x7F, 0xA0, 0xA1, 0xDF, 0x8041, 0x9FFC, 0xE040, 0xFD00, 0xFFFF,
                                0x8220, -1, -1}));
}

TEST_F(TextFileTest, LineEnds) {
    EXPECT_EQ(readAll("a\r\nb\rc\r\r\nd\r"),
              (std::vector<int>{'a', 10, 'b', 13, 'c', 13, 10, 'd', 13, -1, -1}));
}

TEST_F(TextFileTest, TrailByteSeesTextModeTranslation) {
    // A CR LF after a lead byte arrives as LF and becomes its trail byte.
    EXPECT_EQ(readAll("\x82\r\nA"), (std::vector<int>{0x820A, 'A', -1, -1}));
}

TEST_F(TextFileTest, CtrlZEndsTheFile) {
    EXPECT_EQ(readAll("ab\x1A" "cd\n"), (std::vector<int>{'a', 'b', -1, -1}));
    EXPECT_EQ(readAll("\r\x1A" "c"), (std::vector<int>{13, -1, -1}));
    EXPECT_EQ(readAll("\x82\x1A" "c"), (std::vector<int>{-1, -1}));
}

TEST_F(TextFileTest, LargeFileAcrossBufferBoundaries) {
    // The reader refills every 64 KiB; put a CR LF, a double-byte character and a
    // lone CR exactly across the first three refills.
    constexpr size_t kBlock = 64 * 1024;
    std::string bytes;
    std::vector<int> expected;
    auto fillTo = [&](size_t size) {
        while (bytes.size() < size) {
            const char c = static_cast<char>('a' + bytes.size() % 26);
            bytes.push_back(c);
            expected.push_back(c);
        }
    };
    fillTo(kBlock - 1);
    bytes += "\r\n";
    expected.push_back(10);
    fillTo(2 * kBlock - 1);
    bytes += "\x82\xA0";
    expected.push_back(0x82A0);
    fillTo(3 * kBlock - 1);
    bytes += "\rZ";
    expected.push_back(13);
    expected.push_back('Z');
    fillTo(3 * kBlock + 100);
    expected.push_back(-1);
    expected.push_back(-1);
    EXPECT_EQ(readAll(bytes), expected);
}

TEST_F(TextFileTest, DirectoryIsRefused) {
    Reporter& reporter = getReporter();
    const int errorsBefore = reporter.errorCount();
    const std::string path = dir_.string();
    testing::internal::CaptureStdout();
    TestReading read;
    EXPECT_EQ(openTextFile(path, read.reading), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("ERROR: ") + msg::kCannotOpenFile + ": " + path + " : " +
                  std::strerror(EISDIR) + "\n");
    EXPECT_EQ(reporter.errorCount(), errorsBefore + 1);
}

// A named pipe nobody writes to would keep the run waiting in its open for
// ever, a device such as /dev/zero never end: only regular files are read.
TEST_F(TextFileTest, PipesAndDevicesAreRefusedWithoutWaiting) {
    const std::string pipe = (dir_ / "part.mml").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, std::string("/dev/zero")}) {
        testing::internal::CaptureStdout();
        TestReading read;
        EXPECT_EQ(openTextFile(path, read.reading), nullptr) << path;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  std::string("ERROR: ") + msg::kCannotOpenFile + ": " + path + " : " +
                      std::strerror(ESPIPE) + "\n");
    }
}

TEST_F(TextFileTest, OpenFailureReportsPathAndReason) {
    Reporter& reporter = getReporter();
    reporter.setFileName("elsewhere.mml");
    const int errorsBefore = reporter.errorCount();
    const std::string path = (dir_ / "missing.mml").string();
    testing::internal::CaptureStdout();
    TestReading read;
    EXPECT_EQ(openTextFile(path, read.reading), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("ERROR: ") + msg::kCannotOpenFile + ": " + path + " : " +
                  std::strerror(ENOENT) + "\n");
    EXPECT_EQ(reporter.errorCount(), errorsBefore + 1);
}

TEST_F(TextFileTest, CodesReadBackToTheSameBytes) {
    const std::string bytes = "\x82\xA0\x41\xB1\x93\xFA\x96{\n";
    TestReading read;
    auto file = openTextFile(write(bytes), read.reading);
    ASSERT_NE(file, nullptr);
    std::u16string codes;
    for (int code = file->readChar(); code != kEndOfInput; code = file->readChar())
        codes.push_back(static_cast<char16_t>(code));
    EXPECT_EQ(codesToBytes(codes), bytes);
}

TEST(CharCodeTest, CodesToBytes) {
    EXPECT_EQ(codesToBytes(std::u16string{0x82A0, 0x41}), "\x82\xA0\x41");
    EXPECT_EQ(codesToBytes(std::u16string{}), "");
    EXPECT_EQ(codesToBytes(std::u16string{0xFF, 0x100}), std::string("\xFF\x01\x00", 3));
}

TEST(CharCodeTest, LeadBytes) {
    EXPECT_FALSE(isLeadByte(0x7F));
    EXPECT_TRUE(isLeadByte(0x80));
    EXPECT_TRUE(isLeadByte(0x9F));
    EXPECT_FALSE(isLeadByte(0xA0));
    EXPECT_FALSE(isLeadByte(0xDF));
    EXPECT_TRUE(isLeadByte(0xE0));
    EXPECT_TRUE(isLeadByte(0xFF));
}

}  // namespace
