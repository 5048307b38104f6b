// The text-event chunker: fills one fixed event buffer with a "DM:" prefix and
// metatext bytes, and hands it to the MIDI file whenever 127 bytes are reached.
#include "writers/vsq/TextEventChunker.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "output/MidiFileWriter.h"
#include "output/NumberText.h"

namespace {

constexpr size_t kEventSize = 127;

class BufferedTextEventChunker final : public TextEventChunker {
public:
    void attach(MidiFileWriter* file) override { file_ = file; }

    void flush() override {
        writeEvent();
        file_ = nullptr;
    }

    void append(const char* text) override {
        if (text == nullptr) return;
        size_t remaining = std::strlen(text);
        while (remaining > 0) {
            if (length_ == 0) writePrefix();
            const size_t count = std::min(kEventSize - length_, remaining);
            std::memcpy(buffer_.data() + length_, text, count);
            length_ += count;
            text += count;
            remaining -= count;
            if (length_ >= kEventSize) writeEvent();
        }
    }

private:
    // "DM:" + the counter at its width + ":"; 8, 12 or 16 bytes.
    void writePrefix() {
        char* out = buffer_.data();
        std::memcpy(out, "DM:", 3);
        out = vsqtext::putNumbered(out + 3, counter_);
        *out++ = ':';
        length_ = static_cast<size_t>(out - buffer_.data());
    }

    void writeEvent() {
        if (length_ == 0) return;
        buffer_[length_] = '\0';
        if (file_ != nullptr) file_->textEvent(buffer_.data(), length_);
        ++counter_;
        length_ = 0;
    }

    int64_t counter_ = 0;
    size_t length_ = 0;
    std::array<char, kEventSize + 1> buffer_{};
    MidiFileWriter* file_ = nullptr;
};

}  // namespace

std::unique_ptr<TextEventChunker> createTextEventChunker() {
    return std::make_unique<BufferedTextEventChunker>();
}
