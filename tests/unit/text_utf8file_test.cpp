// Reading UTF-8 files: the byte order mark, the UTF-8 mode, the text-mode rules
// on UTF-8 bytes, and the reports for characters code page 932 cannot hold and
// for bytes that form no character.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ReadTestSupport.h"
#include "TestFiles.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "text/CharCode.h"
#include "text/Encoding.h"
#include "text/TextFile.h"

namespace fs = std::filesystem;

namespace {

const std::string kMark = "\xEF\xBB\xBF";

class Utf8FileTest : public testing::Test {
protected:
    void SetUp() override {
        useConsoleText(consoleText);  // as the program prints its reports
        errorsBefore_ = getReporter().errorCount();
    }
    void TearDown() override { setUtf8Mode(false); }

    // Every code up to and including the first -1, and the stdout printed
    // meanwhile; the bytes are read as the file "song.mml", held in memory.
    std::vector<int> readAll(const std::string& bytes) {
        const auto sources = createMemorySources();
        sources->add("song.mml", bytes);
        testing::internal::CaptureStdout();
        TestReading read(utf8Mode(), *sources);
        auto file = openTextFile("song.mml", read.reading);
        std::vector<int> codes;
        if (file) {
            while (codes.size() <= bytes.size() + 1) {
                codes.push_back(file->readChar());
                if (codes.back() == kEndOfInput) break;
            }
        }
        printed_ = testing::internal::GetCapturedStdout();
        records_ = read.diagnostics.records();
        return codes;
    }

    int newErrors() const { return getReporter().errorCount() - errorsBefore_; }

    std::string printed_;
    std::vector<Diagnostic> records_;  // of the last file read
    int errorsBefore_ = 0;
};

TEST_F(Utf8FileTest, MarkedFileGivesCodePage932Codes) {
    EXPECT_EQ(readAll(kMark + "c\"あいｱ漢\"\n"),
              (std::vector<int>{'c', '"', 0x82A0, 0x82A2, 0xB1, 0x8ABF, '"', '\n', -1}));
    EXPECT_EQ(printed_, "");
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, SameCodesAsTheCodePage932Twin) {
    const std::string utf8 = "t120 \"ドレミ〜ー\" @\"歌手\"\r\n; コメント\n";
    const std::string cp932 =
        "t120 \"\x83h\x83\x8C\x83~\x81`\x81[\" @\"\x89\xCC\x8E\xE8\"\r\n"
        "; \x83R\x83\x81\x83\x93\x83g\n";
    EXPECT_EQ(readAll(kMark + utf8), readAll(cp932));
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, WithoutTheMarkTheFileIsCodePage932) {
    // The UTF-8 bytes of "あ" taken as code page 932: a pair and a single byte.
    EXPECT_EQ(readAll("\xE3\x81\x82"), (std::vector<int>{0xE381, -1}));
    EXPECT_EQ(readAll("\xE3\x81\x82\x41"), (std::vector<int>{0xE381, 0x8241, -1}));
    // A mark that is not at the very start is not a mark.
    EXPECT_EQ(readAll(" " + kMark), (std::vector<int>{' ', 0xEFBB, 0xBF, -1}));
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, Utf8ModeReadsUnmarkedFilesAndSkipsAMark) {
    setUtf8Mode(true);
    EXPECT_EQ(readAll("\xE3\x81\x82"), (std::vector<int>{0x82A0, -1}));
    EXPECT_EQ(readAll(kMark + "\xE3\x81\x82"), (std::vector<int>{0x82A0, -1}));
    EXPECT_EQ(readAll(kMark), (std::vector<int>{-1}));
    EXPECT_EQ(readAll(""), (std::vector<int>{-1}));
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, TextModeRulesApply) {
    EXPECT_EQ(readAll(kMark + "あ\r\nい\rう\x1A" "え"),
              (std::vector<int>{0x82A0, '\n', 0x82A2, '\r', 0x82A4, -1}));
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, MappingFollowsIconvForOneWayCharacters) {
    // The yen sign and the overline have no code of their own; iconv writes them
    // as 0x5C and 0x7E. The wave dash U+301C is the code page 932 wave dash.
    EXPECT_EQ(readAll(kMark + "\u00A5\u203E\u301C\uFF5E"),
              (std::vector<int>{0x5C, 0x7E, 0x8160, 0x8160, -1}));
    EXPECT_EQ(newErrors(), 0);
}

TEST_F(Utf8FileTest, CharacterOutsideCodePage932IsReportedAndSkipped) {
    EXPECT_EQ(readAll(kMark + "a\nb\r\n\"ら\xF0\x9F\x8E\xB5り\u24D0\"\n"),
              (std::vector<int>{'a', '\n', 'b', '\n', '"', 0x82E7, 0x82E8, '"', '\n', -1}));
    EXPECT_EQ(printed_, std::string("ERROR: song.mml(3) ") + msg::kNotInCodePage932 +
                            ": U+1F3B5\n" + "ERROR: song.mml(3) " + msg::kNotInCodePage932 +
                            ": U+24D0\n");
    EXPECT_EQ(newErrors(), 2);
}

TEST_F(Utf8FileTest, InvalidBytesAreReportedAndTheRestIsRead) {
    // In UTF-8 mode the reports are printed in UTF-8.
    const std::string bad = "ERROR: song.mml(1) UTF-8として不正なバイト列です: ";
    // A stray continuation byte, a lead byte that no character starts with, an
    // overlong form and a surrogate: one report for each stretch of such bytes.
    setUtf8Mode(true);
    EXPECT_EQ(readAll("\x80" "A\xFF" "B\xC0\xAF" "C\xED\xA0\x80"),
              (std::vector<int>{'A', 'B', 'C', -1}));
    EXPECT_EQ(printed_, bad + "0x80\n" + bad + "0xFF\n" + bad + "0xC0 0xAF\n" + bad +
                            "0xED 0xA0 0x80\n");
    EXPECT_EQ(newErrors(), 4);
}

TEST_F(Utf8FileTest, CodePage932TextReadAsUtf8GivesOneReportPerStretch) {
    setUtf8Mode(true);
    // "あいうえお" and "か" in code page 932, on two lines.
    EXPECT_EQ(readAll("\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\n \x82\xA9"),
              (std::vector<int>{'\n', ' ', -1}));
    EXPECT_EQ(printed_,
              "ERROR: song.mml(1) UTF-8として不正なバイト列です: "
              "0x82 0xA0 0x82 0xA2 0x82 0xA4 0x82 0xA6 ...\n"
              "ERROR: song.mml(2) UTF-8として不正なバイト列です: 0x82 0xA9\n");
    EXPECT_EQ(newErrors(), 2);
}

TEST_F(Utf8FileTest, BrokenSequenceGivesBackTheByteThatBrokeIt) {
    setUtf8Mode(true);
    const std::string line1 = "ERROR: song.mml(1) UTF-8として不正なバイト列です: ";
    const std::string line2 = "ERROR: song.mml(2) UTF-8として不正なバイト列です: ";
    // A three-byte character cut by a line feed, then by another character, then
    // by the end of the file.
    EXPECT_EQ(readAll("\xE3\x81\n\xE3\xE3\x81\x82\xE3\x81"), (std::vector<int>{'\n', 0x82A0, -1}));
    EXPECT_EQ(printed_, line1 + "0xE3 0x81\n" + line2 + "0xE3\n" + line2 + "0xE3 0x81\n");
    EXPECT_EQ(newErrors(), 3);
}

TEST_F(Utf8FileTest, CharacterAcrossTheReadBufferBoundary) {
    // The buffer holds 64 KiB: put a character on each side of that boundary.
    for (size_t before : {65535u - 3u, 65535u - 1u, 65535u}) {
        const std::string text = kMark + std::string(before, 'a') + "あ\r\nい";
        const std::vector<int> codes = readAll(text);
        ASSERT_EQ(codes.size(), before + 4);
        EXPECT_EQ(codes[before], 0x82A0);
        EXPECT_EQ(codes[before + 1], '\n');
        EXPECT_EQ(codes[before + 2], 0x82A2);
        EXPECT_EQ(codes[before + 3], -1);
    }
    EXPECT_EQ(newErrors(), 0);
}


// The bundled example and its UTF-8 twin read as the same characters, and the
// golden case that compiles the twin holds the same bytes as the example.
TEST(ExampleSongs, Utf8TwinReadsAsTheCodePage932Song) {
    const auto readCodes = [](const std::string& path) {
        std::vector<int> codes;
        TestReading read(utf8Mode());
        auto file = openTextFile(path, read.reading);
        EXPECT_NE(file, nullptr) << path;
        if (!file) return codes;
        for (int code = file->readChar(); code != kEndOfInput; code = file->readChar())
            codes.push_back(code);
        return codes;
    };
    const int errorsBefore = getReporter().errorCount();
    const std::vector<int> cp932 = readCodes(TUVO_SOURCE_DIR "/examples/song.mml");
    EXPECT_GT(cp932.size(), 100u);
    EXPECT_EQ(readCodes(TUVO_SOURCE_DIR "/examples/song-utf8.mml"), cp932);
    EXPECT_EQ(getReporter().errorCount(), errorsBefore);

    const auto bytesOf = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string twin = bytesOf(TUVO_SOURCE_DIR "/examples/song-utf8.mml");
    EXPECT_EQ(twin.substr(0, 3), kMark);
    EXPECT_EQ(bytesOf(TUVO_SOURCE_DIR "/tests/cases/utf8_example/song.mml"), twin);
}

}  // namespace
