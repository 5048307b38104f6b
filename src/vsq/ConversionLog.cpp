// The conversion log, written through an unbuffered binary stream: short texts
// are gathered in a buffer of its own, and texts as large as that buffer go to
// the file at once, so the metatext blocks are written without another copy.
#include "vsq/ConversionLog.h"

#include <cstring>

namespace {

constexpr const char kLogFileName[] = "vsqconvert.log";
constexpr size_t kBufferSize = size_t{1} << 16;

}  // namespace

ConversionLog::~ConversionLog() { close(); }

void ConversionLog::open() {
    close();
    file_ = std::fopen(kLogFileName, "wb");
    if (file_ == nullptr) return;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
    buffered_ = 0;
}

void ConversionLog::close() {
    if (file_ == nullptr) return;
    flushBuffer();
    std::fclose(file_);
    file_ = nullptr;
}

void ConversionLog::raw(std::string_view text) {
    if (file_ == nullptr || text.empty()) return;
    if (text.size() > kBufferSize - buffered_) {
        flushBuffer();
        if (text.size() >= kBufferSize) {
            std::fwrite(text.data(), 1, text.size(), file_);
            return;
        }
    }
    std::memcpy(buffer_.get() + buffered_, text.data(), text.size());
    buffered_ += text.size();
}

void ConversionLog::line(std::string_view text) {
    if (file_ == nullptr) return;
    raw(text);
    raw("\n");
}

void ConversionLog::flushBuffer() {
    if (buffered_ == 0) return;
    std::fwrite(buffer_.get(), 1, buffered_, file_);
    buffered_ = 0;
}
