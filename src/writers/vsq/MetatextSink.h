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

// A stretch of a metatext block with room made for a whole section at once, into which
// literals and numbers are put without a check of their own; its end goes back to the sink
// with MetatextSink::commit. Putting down a note's sections so, rather than making room key
// by key, saves 9% of the instructions of a 100 000-note song.
class MetatextSpan {
public:
    explicit MetatextSpan(char* at) : at_(at) {}

    template <size_t N>
    void put(const char (&literal)[N]) {
        std::memcpy(at_, literal, N - 1);
        at_ += N - 1;
    }
    void put(char c) { *at_++ = c; }
    void put(std::string_view text) {
        if (!text.empty()) std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void decimal(int64_t value) { at_ = vsqtext::putDecimal(at_, value); }
    void decimal(vsqtext::KeptThousands& kept, int64_t value) { at_ = kept.put(at_, value); }
    void numbered(vsqtext::KeptNumbered& kept, int64_t number) { at_ = kept.put(at_, number); }
    void hex8(uint32_t value) { at_ = vsqtext::putHex8(at_, value); }
    // "key=value\n"; the key is a literal, so copying it takes a known size.
    template <size_t N>
    void key(const char (&name)[N], int64_t value) {
        put(name);
        decimal(value);
        put('\n');
    }

    // The first `length` bytes of an eight-byte text, put down as all eight: the bytes after
    // them are of no meaning and are written over next.
    void putWord(const char (&text)[8], size_t length) {
        std::memcpy(at_, text, sizeof text);
        at_ += length;
    }

    char* end() const { return at_; }

private:
    char* at_;
};

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
    // Room for `most` bytes, at most kMostReserved, put down through the span and then
    // committed before anything else is appended.
    MetatextSpan reserve(size_t most) { return MetatextSpan(room(most)); }
    void commit(const MetatextSpan& span) { advanceTo(span.end()); }
    static constexpr size_t kMostReserved = 4096;

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
    static constexpr size_t kRoom = kBlockSize + kMostReserved;

    // The free space, emitting first when fewer than `wanted` bytes are left.
    char* room(size_t wanted = vsqtext::kMaxNumberText) {
        if (kRoom - size_ < wanted) emit();
        return block_.get() + size_;
    }
    void advanceTo(char* end) { size_ = static_cast<size_t>(end - block_.get()); }
    void appendLong(std::string_view text);

    ConversionLog& log_;
    TextEventChunker& chunker_;
    std::unique_ptr<char[]> block_;  // kRoom bytes
    size_t size_ = 0;
};
