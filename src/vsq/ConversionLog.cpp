// The conversion log, written through an unbuffered binary stream: short texts
// are gathered in a buffer of its own, and texts as large as that buffer go to
// the file at once, so the metatext blocks are written without another copy
// (why the outputs are buffered so: see MetatextSink.h).
#include "vsq/ConversionLog.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/OutputBatch.h"
#include "platform/Platform.h"
#include "text/FilesRead.h"

namespace {

constexpr const char kLogFileName[] = "vsqconvert.log";

void warnLogNotWritten(int errorNumber) {
    getReporter().warning(
        msg::kLogNotWritten,
        fileFailureDetail(kLogFileName,
                          platform::systemErrorText(platform::failureErrorNumber(errorNumber))));
}
constexpr size_t kBufferSize = size_t{1} << 16;

}  // namespace

ConversionLog::~ConversionLog() { close(); }

void ConversionLog::open() {
    close();
    replacement_.reset();
    writeError_ = 0;
    buffered_ = 0;
    int reason = 0;
    replacement_ = platform::createReplacementFile(kLogFileName, reason);
    if (replacement_ != nullptr) file_ = replacement_->openStream(reason);
    if (file_ == nullptr) {
        replacement_.reset();
        warnLogNotWritten(reason);
        return;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);
    if (!buffer_) buffer_ = std::make_unique<char[]>(kBufferSize);
}

namespace {

// The complete log, waiting for the output file: a log that cannot be put in
// place is only warned of.
class PendingLog final : public PendingOutput {
public:
    PendingLog(std::unique_ptr<platform::ReplacementFile> file, std::string outputPath)
        : file_(std::move(file)), outputPath_(std::move(outputPath)) {}

    bool finish() override {
        int reason = 0;
        if (file_ != nullptr && !file_->finish(reason)) {
            file_.reset();
            warnLogNotWritten(reason);
        }
        return true;
    }

    bool putInPlace() override {
        if (file_ == nullptr) return true;
        int reason = 0;
        const auto output = platform::fileIdentity(outputPath_);
        if (output && output == platform::fileIdentity(kLogFileName)) reason = EEXIST;
        const bool placed = reason == 0 && file_->putInPlace(reason);
        file_.reset();
        if (!placed) warnLogNotWritten(reason);
        return true;
    }

private:
    std::unique_ptr<platform::ReplacementFile> file_;
    std::string outputPath_;
};

}  // namespace

void ConversionLog::finish(const std::string& outputPath, OutputBatch& outputs,
                           const FilesRead* filesRead) {
    if (file_ == nullptr) return;
    flushBuffer();
    if (std::fclose(file_) != 0 && writeError_ == 0) writeError_ = platform::failureErrorNumber(errno);
    file_ = nullptr;
    // The log gives way to every file the run has read (the source, an
    // included file, the dictionary).
    if (writeError_ == 0 && filesRead != nullptr && filesRead->contains(kLogFileName))
        writeError_ = EEXIST;
    if (writeError_ != 0) {
        replacement_.reset();
        warnLogNotWritten(writeError_);
        return;
    }
    outputs.add(std::make_unique<PendingLog>(std::move(replacement_), outputPath));
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


