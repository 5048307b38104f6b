// The number lists of the project's curves ("[0, 5, 10]"), which hold millions
// of numbers: they are put in a buffer of their own that goes to the block
// whenever it fills, each number with the separator before it, that of a
// list's first number left out as the buffer is handed on.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "output/BlockOutput.h"
#include "output/NumberText.h"

namespace numberlist {

// The values whose texts are tabled: those the editors' curves take.
inline constexpr int32_t kMaxTabled = 1200;

// A tabled value with the separator before it, ", -1200" at the longest.
struct ValueText {
    char chars[7];
    uint8_t length;
};
constexpr std::array<ValueText, 2 * kMaxTabled + 1> makeValueTexts() {
    std::array<ValueText, 2 * kMaxTabled + 1> texts{};
    for (int32_t value = -kMaxTabled; value <= kMaxTabled; ++value) {
        ValueText& text = texts[static_cast<size_t>(value + kMaxTabled)];
        char digits[4] = {};
        int count = 0;
        for (int32_t rest = value < 0 ? -value : value; count == 0 || rest > 0; rest /= 10) {
            digits[count++] = static_cast<char>('0' + rest % 10);
        }
        size_t length = 0;
        text.chars[length++] = ',';
        text.chars[length++] = ' ';
        if (value < 0) text.chars[length++] = '-';
        while (count > 0) text.chars[length++] = digits[--count];
        text.length = static_cast<uint8_t>(length);
    }
    return texts;
}
inline constexpr std::array<ValueText, 2 * kMaxTabled + 1> kValueTexts = makeValueTexts();

}  // namespace numberlist

class NumberListText {
public:
    explicit NumberListText(BlockOutput& out) : out_(out) {}

    // Starts a list, after the one before was closed: its first number takes
    // no separator.
    void open() { skip_ = kSeparatorLength; }
    // Hands the list's numbers to the block.
    void close() { handOn(); }

    // A tick, written with the text of its thousands kept (vsqtext::KeptThousands). With the
    // values' texts, saves 22% of the instructions of a 100k-note project.
    void putTick(int32_t tick) {
        char* at = room();
        std::memcpy(at, ", ", kSeparatorLength);
        at_ = ticks_.put(at + kSeparatorLength, tick);
    }

    // A curve's value, most within -1200..1200 (what the editors' curves
    // take), whose texts are written once into a table.
    void putValue(int32_t value) {
        char* at = room();
        using numberlist::kMaxTabled;
        if (value < -kMaxTabled || value > kMaxTabled) {
            std::memcpy(at, ", ", kSeparatorLength);
            at_ = vsqtext::putDecimal(at + kSeparatorLength, value);
            return;
        }
        const numberlist::ValueText& text = numberlist::kValueTexts[static_cast<size_t>(value + kMaxTabled)];
        std::memcpy(at, text.chars, sizeof text.chars);
        at_ = at + text.length;
    }

private:
    static constexpr size_t kSeparatorLength = 2;

    // Room for one more number, the buffer handed on first when it has too little.
    char* room() {
        if (static_cast<size_t>(buffer_.data() + buffer_.size() - at_) < kRoomForOne) handOn();
        return at_;
    }
    void handOn() {
        out_.text().append(std::min(buffer_.data() + skip_, at_), at_);
        out_.done();
        at_ = buffer_.data();
        skip_ = 0;
    }
    // A separator and a number, or the copy of a tabled value's whole text.
    static constexpr size_t kRoomForOne = kSeparatorLength + vsqtext::kMaxNumberText;

    BlockOutput& out_;
    std::array<char, 4096> buffer_;
    char* at_ = buffer_.data();
    size_t skip_ = 0;  // the separator of the first number in the buffer, not written
    vsqtext::KeptThousands ticks_;
};
