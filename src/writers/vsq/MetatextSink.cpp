// Handing gathered metatext blocks to the log and the text-event chunker.
#include "writers/vsq/MetatextSink.h"

#include <algorithm>

#include "writers/vsq/ConversionLog.h"
#include "writers/vsq/TextEventChunker.h"

MetatextSink::MetatextSink(ConversionLog& log, TextEventChunker& chunker)
    : log_(log), chunker_(chunker), block_(std::make_unique<char[]>(kRoom + 1)) {}

MetatextSink::~MetatextSink() = default;

void MetatextSink::emit() {
    if (size_ == 0) return;
    log_.raw(std::string_view(block_.get(), size_));
    // The metatext holds no zero byte (texts from the song are cut at one), so
    // the chunker's zero-terminated text is the whole block.
    block_[size_] = '\0';
    chunker_.append(block_.get());
    size_ = 0;
}

void MetatextSink::appendLong(std::string_view text) {
    while (!text.empty()) {
        if (size_ == kRoom) emit();
        const size_t count = std::min(kRoom - size_, text.size());
        std::memcpy(block_.get() + size_, text.data(), count);
        size_ += count;
        text.remove_prefix(count);
    }
}
