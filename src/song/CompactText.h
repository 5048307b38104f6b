// A byte string in 8 bytes, for texts that every note carries (lyric texts and
// phonetic symbols, a few bytes each): up to 7 bytes are kept inline, longer
// texts in a block of their own on the heap (why notes are kept small: see
// NoteEvent in Song.h). Kept over std::string, which costs about as much time
// but 24 more bytes per text: 38% more peak memory for a song of 100 000 notes.
//
// The first byte tells the two apart. An inline text has it odd: one more than
// twice the length, the text following in the other seven bytes. Otherwise the
// eight bytes are the address of the heap block, lowest byte first; blocks are
// 8-aligned, so that byte is even. A block holds the size, then the text. The
// bytes have no alignment of their own, so the texts pack tightly between
// 32-bit fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CompactText {
public:
    CompactText() noexcept = default;
    CompactText(std::string_view text) { assign(text); }
    CompactText(const char* text) : CompactText(std::string_view(text)) {}
    CompactText(const std::string& text) : CompactText(std::string_view(text)) {}
    CompactText(const CompactText& other) {
        if (other.isInline()) {
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        } else {
            assign(other.view());
        }
    }
    CompactText(CompactText&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setInline(0);
    }
    CompactText& operator=(const CompactText& other) {
        if (this == &other) return *this;
        if (isInline() && other.isInline()) {
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        } else {
            assign(other.view());
        }
        return *this;
    }
    CompactText& operator=(CompactText&& other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.setInline(0);
        }
        return *this;
    }
    ~CompactText() { release(); }

    // Replaces the text; `text` may lie inside this object's own text.
    // A short text replacing a short one is copied inline, without a call:
    // spares 5% of the instructions of checking a 100k-note song.
    CompactText& assign(std::string_view text) {
        if (!isInline() || text.size() > kInlineCapacity) return assignAnywhere(text);
        // Front to back: a text inside the inline bytes starts at or after where it goes.
        for (size_t i = 0; i < text.size(); ++i) bytes_[1 + i] = text[i];
        setInline(text.size());
        return *this;
    }
    void clear() { assign(std::string_view()); }

    std::string_view view() const noexcept {
        if (isInline()) {
            return std::string_view(bytes_ + 1, static_cast<unsigned char>(bytes_[0]) >> 1);
        }
        const uint64_t* block = heapBlock();
        return std::string_view(reinterpret_cast<const char*>(block + 1),
                                static_cast<size_t>(block[0]));
    }
    operator std::string_view() const noexcept { return view(); }
    size_t size() const noexcept { return view().size(); }
    bool empty() const noexcept { return size() == 0; }

    friend bool operator==(const CompactText& a, std::string_view b) noexcept {
        return a.view() == b;
    }

private:
    static constexpr size_t kSize = 8;
    static constexpr size_t kInlineCapacity = kSize - 1;

    // assign() for a text on the heap, before or after.
    CompactText& assignAnywhere(std::string_view text);

    bool isInline() const noexcept { return (bytes_[0] & 1) != 0; }
    void setInline(size_t size) noexcept { bytes_[0] = static_cast<char>(size << 1 | 1); }

    uint64_t* heapBlock() const noexcept {
        uint64_t address = 0;
        for (size_t i = 0; i < kSize; ++i) {
            address |= uint64_t{static_cast<unsigned char>(bytes_[i])} << (8 * i);
        }
        return reinterpret_cast<uint64_t*>(static_cast<uintptr_t>(address));
    }
    void setHeapBlock(uint64_t* block) noexcept {
        const uint64_t address = reinterpret_cast<uintptr_t>(block);
        for (size_t i = 0; i < kSize; ++i) bytes_[i] = static_cast<char>(address >> (8 * i));
    }
    void release() noexcept {
        if (!isInline()) delete[] heapBlock();
        setInline(0);
    }

    char bytes_[kSize] = {1};  // inline and empty
};

static_assert(sizeof(CompactText) == 8 && alignof(CompactText) == 1);
static_assert(sizeof(uintptr_t) <= 8 && alignof(uint64_t) % 2 == 0);
