// Where a voice track's metatext is written: text is gathered in a fixed block
// and each full block goes to the conversion log unchanged, then to the
// track's text events. Where the blocks end changes nothing in either.
//
// Why the output is buffered as it is (the MIDI file writer and the log do
// the same): the program writes hundreds of megabytes for a large song, so
// every output goes in few, big writes of large blocks, and text is formatted
// straight into the block, which allocates nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "output/NumberText.h"

class ConversionLog;
class TextEventChunker;

class MetatextSink {
public:
    MetatextSink(ConversionLog& log, TextEventChunker& chunker);
    MetatextSink(const MetatextSink&) = delete;
    MetatextSink& operator=(const MetatextSink&) = delete;
    // Text not yet emitted is lost; call emit() first.
    ~MetatextSink();

    // Texts of any length; a text longer than a block is passed on in pieces.
    void append(std::string_view text) {
        if (text.size() <= kRoom - size_) {
            std::memcpy(block_.get() + size_, text.data(), text.size());
            size_ += text.size();
        } else {
            appendLong(text);
        }
    }
    void append(char c) { *room(1) = c; ++size_; }
    void appendDecimal(int64_t value) { advanceTo(vsqtext::putDecimal(room(), value)); }
    void appendNumbered(int64_t number) { advanceTo(vsqtext::putNumbered(room(), number)); }
    void appendHex8(uint32_t value) { advanceTo(vsqtext::putHex8(room(), value)); }
    // "key=value\n" with two numbers, as a breakpoint line has it: the room is made once.
    void appendNumberPair(int64_t key, int64_t value) {
        char* out = room(2 * vsqtext::kMaxNumberText + 2);
        out = vsqtext::putDecimal(out, key);
        *out++ = '=';
        out = vsqtext::putDecimal(out, value);
        *out++ = '\n';
        advanceTo(out);
    }

    // Emits the block once it is large.
    void emitIfFull() {
        if (size_ >= kBlockSize) emit();
    }
    // Emits whatever was gathered.
    void emit();

private:
    // A block is emitted once it holds kBlockSize bytes; the room behind that
    // takes at least a number, so formatting one never needs a check of its own
    // beyond room().
    static constexpr size_t kBlockSize = size_t{1} << 17;
    static constexpr size_t kRoom = kBlockSize + 4096;

    // The free space, emitting first when fewer than `wanted` bytes are left.
    char* room(size_t wanted = vsqtext::kMaxNumberText) {
        if (kRoom - size_ < wanted) emit();
        return block_.get() + size_;
    }
    void advanceTo(char* end) { size_ = static_cast<size_t>(end - block_.get()); }
    void appendLong(std::string_view text);

    ConversionLog& log_;
    TextEventChunker& chunker_;
    std::unique_ptr<char[]> block_;  // kRoom bytes and a terminating zero
    size_t size_ = 0;
};
