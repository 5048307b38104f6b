// A text file read from blocks of every small size gives the same codes, the
// same skipped columns and the same reports as when it comes in one block: the
// characters read inline and those the decoder reads meet at every boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ReadTestSupport.h"
#include "diag/Reporter.h"
#include "text/CharCode.h"
#include "text/SourceProvider.h"
#include "text/TextFile.h"

namespace {

// One text, handed out `size` bytes a block.
class SmallBlocks final : public SourceProvider {
public:
    SmallBlocks(std::string bytes, size_t size) : bytes_(std::move(bytes)), size_(size) {}

    std::unique_ptr<OpenedFile> open(const std::string&, int&) override {
        return std::make_unique<File>(bytes_, size_);
    }
    bool exists(const std::string&) override { return true; }

private:
    class File final : public OpenedFile {
    public:
        File(const std::string& bytes, size_t size) : bytes_(bytes), size_(size) {}
        std::span<const unsigned char> nextBlock() override {
            const size_t taken = std::min(size_, bytes_.size() - given_);
            const auto* start = reinterpret_cast<const unsigned char*>(bytes_.data()) + given_;
            given_ += taken;
            return {start, taken};
        }
        std::optional<platform::FileIdentity> identity() const override { return std::nullopt; }

    private:
        const std::string& bytes_;
        size_t size_;
        size_t given_ = 0;
    };

    std::string bytes_;
    size_t size_;
};

// What reading a file gives: each code with the columns skipped before it,
// two more reads past the end, and the reports.
struct Reading {
    std::vector<std::pair<int, int32_t>> codes;
    std::vector<std::string> reports;

    bool operator==(const Reading&) const = default;
};

Reading readInBlocks(const std::string& bytes, size_t size, bool utf8) {
    SmallBlocks blocks(bytes, size);
    testing::internal::CaptureStdout();
    Reading result;
    {
        TestReading read(utf8, blocks);
        auto file = openTextFile("song.mml", read.reading);
        EXPECT_NE(file, nullptr);
        for (int ends = 0; file && ends < 3 && result.codes.size() <= bytes.size() + 3;) {
            int32_t skipped = 0;
            const int code = file->readChar(skipped);
            result.codes.emplace_back(code, skipped);
            if (code == kEndOfInput) ++ends;
        }
        for (const Diagnostic& record : read.diagnostics.records()) {
            result.reports.push_back(std::string(record.message->id) + " " +
                                     std::to_string(record.location.line) + ":" +
                                     std::to_string(record.location.column) + "-" +
                                     std::to_string(record.location.endColumn) + " " +
                                     record.detail);
        }
    }
    testing::internal::GetCapturedStdout();
    return result;
}

void expectSameInEveryBlockSize(const std::string& bytes, bool utf8) {
    const Reading whole = readInBlocks(bytes, bytes.size() + 1, utf8);
    ASSERT_FALSE(whole.codes.empty());
    for (size_t size = 1; size <= 5; ++size) {
        EXPECT_EQ(readInBlocks(bytes, size, utf8), whole) << "blocks of " << size;
    }
}

TEST(TextFileBlocks, CodePage932TextModeRulesAtEveryBoundary) {
    // Double-byte characters, one whose trail is a CR of a CR LF, lone CRs
    // and CR LFs next to them, and a Ctrl-Z with text after it.
    const std::string bytes =
        "a\x82\xA0" "b\r\n\x82\r\n\xE0\x40\r\rc\x81\x81\r\n\n" "\xB1\x9F\xFC" "d\x1A" "ef";
    expectSameInEveryBlockSize(bytes, false);
    std::vector<int> codes;
    for (const auto& [code, skipped] : readInBlocks(bytes, 1, false).codes) codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<int>{'a', 0x82A0, 'b', '\n', 0x820A, 0xE040, '\r', '\r', 'c',
                                       0x8181, '\n', '\n', 0xB1, 0x9FFC, 'd', -1, -1, -1}));
}

TEST(TextFileBlocks, Utf8ReportsAndSkippedColumnsAtEveryBoundary) {
    // ASCII, kana, a character code page 932 cannot hold, bytes that form no
    // character before and after a line feed, CR LF, and a Ctrl-Z.
    const std::string bytes = "a\xE3\x81\x82" "b\xF0\x9F\x8E\xB5" "c\xFF\xE3\x81\n\xC3"
                              "d\r\ne\x80\x80\r\x1A" "f";
    expectSameInEveryBlockSize(bytes, true);
    const Reading whole = readInBlocks(bytes, bytes.size(), true);
    EXPECT_EQ(whole.reports.size(), 4u);
    EXPECT_EQ(whole.codes[3], std::make_pair('c' + 0, int32_t{2}));  // after the skipped U+1F3B5
}

}  // namespace
