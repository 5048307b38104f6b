// Storage of compact texts: inline when short, else a heap block holding the
// size and then the bytes.
#include "song/CompactText.h"

CompactText& CompactText::assignAnywhere(std::string_view text) {
    // The old block goes last: `text` may lie inside it, or inside the inline bytes.
    uint64_t* old = isInline() ? nullptr : heapBlock();
    const size_t size = text.size();
    if (size <= kInlineCapacity) {
        if (size > 0) std::memmove(bytes_ + 1, text.data(), size);
        setInline(size);
    } else {
        auto* block = new uint64_t[1 + (size + sizeof(uint64_t) - 1) / sizeof(uint64_t)];
        block[0] = size;
        std::memcpy(block + 1, text.data(), size);
        setHeapBlock(block);
    }
    delete[] old;
    return *this;
}
