// The conversion log, written through an unbuffered binary stream: short texts
// are gathered in a buffer of its own, and texts as large as that buffer go to
// the file at once, so the metatext blocks are written without another copy
// (why the outputs are buffered so: see MetatextSink.h).
#include "writers/vsq/ConversionLog.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "output/OutputSink.h"
#include "platform/Platform.h"

namespace {

constexpr size_t kBufferSize = size_t{1} << 16;

}  // namespace

ConversionLog::~ConversionLog() { close(); }

void ConversionLog::open(OutputSink& sink) {
    close();
    sink_ = &sink;
    writeError_ = 0;
    buffered_ = 0;
    file_ = sink.openLog();
    if (file_ == nullptr) return;
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

void ConversionLog::finish() {
    if (file_ == nullptr) return;
    flushBuffer();
    if (std::fclose(file_) != 0 && writeError_ == 0) writeError_ = platform::failureErrorNumber(errno);
    file_ = nullptr;
    sink_->keepLog(writeError_);
}

void ConversionLog::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

void ConversionLog::raw(std::string_view text) {
    if (file_ == nullptr || text.empty()) return;
    if (text.size() > kBufferSize - buffered_) {
        flushBuffer();
        if (text.size() >= kBufferSize) {
            write(text.data(), text.size());
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
    write(buffer_.get(), buffered_);
    buffered_ = 0;
}

void ConversionLog::write(const char* data, size_t size) {
    // After a failure the log is lost anyway; nothing more is written.
    if (writeError_ != 0) return;
    if (std::fwrite(data, 1, size, file_) != size) writeError_ = platform::failureErrorNumber(errno);
}


