// The conversion log, written through a buffered binary stream.
#include "vsq/ConversionLog.h"

namespace {

constexpr const char kLogFileName[] = "vsqconvert.log";
constexpr size_t kStreamBufferSize = size_t{1} << 20;

}  // namespace

ConversionLog::~ConversionLog() { close(); }

void ConversionLog::open() {
    close();
    file_ = std::fopen(kLogFileName, "wb");
    if (file_ == nullptr) return;
    if (!streamBuffer_) streamBuffer_ = std::make_unique<char[]>(kStreamBufferSize);
    std::setvbuf(file_, streamBuffer_.get(), _IOFBF, kStreamBufferSize);
}

void ConversionLog::close() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

void ConversionLog::raw(std::string_view text) {
    if (file_ == nullptr || text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), file_);
}

void ConversionLog::line(std::string_view text) {
    if (file_ == nullptr) return;
    raw(text);
    std::fputc('\n', file_);
}
