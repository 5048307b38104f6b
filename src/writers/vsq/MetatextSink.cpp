// Handing gathered metatext blocks to the log and the text-event chunker.
#include "writers/vsq/MetatextSink.h"

#include <algorithm>

#include "writers/vsq/ConversionLog.h"
#include "writers/vsq/TextEventChunker.h"

MetatextSink::MetatextSink(ConversionLog& log, TextEventChunker& chunker)
    : log_(log), chunker_(chunker), block_(std::make_unique_for_overwrite<char[]>(kRoom)) {}

MetatextSink::~MetatextSink() = default;

void MetatextSink::emit() {
    if (size_ == 0) return;
    const std::string_view block(block_.get(), size_);
    log_.raw(block);
    chunker_.append(block);
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
