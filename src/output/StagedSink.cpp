// Staged files handed to the run's batch, and the staged log.
#include "output/StagedSink.h"

#include <cerrno>
#include <utility>

#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/OutputBatch.h"
#include "output/OutputFailure.h"
#include "output/StagedOutputFile.h"
#include "platform/Platform.h"
#include "text/FilesRead.h"

namespace {

void warnLogNotWritten(const std::string& reason) {
    getReporter().warning(msg::kLogNotWritten, fileFailureDetail(kLogFileName, reason));
}

void warnLogNotWritten(int errorNumber) {
    warnLogNotWritten(platform::systemErrorText(platform::failureErrorNumber(errorNumber)));
}

// The complete log, waiting for the output file: a log that cannot be put in
// place is only warned of, and it gives way to any output of the run that
// leads to its file.
class PendingLog final : public PendingOutput {
public:
    explicit PendingLog(std::unique_ptr<StagedOutputFile> file) : file_(std::move(file)) {}

    bool finish() override {
        if (live_ && !file_->finish()) given(file_->failureText());
        return true;
    }
    bool putInPlace() override {
        if (live_ && !file_->commit()) given(file_->failureText());
        return true;
    }
    void putBack() override {
        if (live_ && !file_->putBack()) warnLogNotWritten(file_->failureText());
    }
    const std::string& place() const override { return file_->place(); }
    void giveWay() override { given(platform::systemErrorText(EEXIST)); }

private:
    void given(const std::string& reason) {
        live_ = false;
        warnLogNotWritten(reason);
    }

    std::unique_ptr<StagedOutputFile> file_;
    bool live_ = true;  // false once the log is given up
};

}  // namespace

StagedSink::StagedSink(OutputBatch& outputs, const FilesRead* filesRead)
    : outputs_(outputs), filesRead_(filesRead) {}

StagedSink::~StagedSink() = default;

std::FILE* StagedSink::open(const std::string& path) {
    auto staged = std::make_unique<StagedOutputFile>();
    std::FILE* stream = openStagedOutput(*staged, path);
    if (stream != nullptr) open_[path] = std::move(staged);
    return stream;
}

bool StagedSink::keep(const std::string& path, int writeError) {
    const auto found = open_.find(path);
    if (found == open_.end()) return false;
    const std::unique_ptr<StagedOutputFile> staged = std::move(found->second);
    open_.erase(found);
    return finishStagedOutput(*staged, path, writeError, outputs_);
}

std::FILE* StagedSink::openLog() {
    log_ = std::make_unique<StagedOutputFile>();
    std::FILE* stream = log_->prepare(kLogFileName) ? log_->openStream() : nullptr;
    if (stream == nullptr) {
        warnLogNotWritten(log_->failureText());
        log_.reset();
    }
    return stream;
}

void StagedSink::keepLog(int writeError) {
    if (log_ == nullptr) return;
    // The log gives way to every file the run has read (the source, an
    // included file, the dictionary).
    if (writeError == 0 && filesRead_ != nullptr && filesRead_->contains(kLogFileName)) {
        writeError = EEXIST;
    }
    if (writeError != 0) {
        log_.reset();
        warnLogNotWritten(writeError);
        return;
    }
    outputs_.addYielding(std::make_unique<PendingLog>(std::move(log_)));
}
