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

void warnLogNotWritten(int errorNumber) {
    getReporter().warning(
        msg::kLogNotWritten,
        fileFailureDetail(kLogFileName,
                          platform::systemErrorText(platform::failureErrorNumber(errorNumber))));
}

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
    log_.reset();
    int reason = 0;
    log_ = platform::createReplacementFile(kLogFileName, reason);
    std::FILE* stream = log_ != nullptr ? log_->openStream(reason) : nullptr;
    if (stream == nullptr) {
        log_.reset();
        warnLogNotWritten(reason);
    }
    return stream;
}

void StagedSink::keepLog(const std::string& outputPath, int writeError) {
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
    outputs_.add(std::make_unique<PendingLog>(std::move(log_), outputPath));
}
