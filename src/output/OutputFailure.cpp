// Reporting of an output file that cannot be written, and the staged output's
// open and commit steps that report through it.
#include "output/OutputFailure.h"

#include <memory>
#include <utility>

#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "output/OutputBatch.h"
#include "output/StagedOutputFile.h"
#include "platform/Platform.h"

void reportOutputFailure(const std::string& path, const std::string& reason) {
    getReporter().error(msg::kCannotOpenFile, fileFailureDetail(path, reason));
}

std::FILE* openStagedOutput(StagedOutputFile& output, const std::string& path) {
    std::FILE* stream = output.prepare(path) ? output.openStream() : nullptr;
    if (stream == nullptr) reportOutputFailure(path, output.failureText());
    return stream;
}

namespace {

// A staged file waiting for the run's other outputs.
class StagedPendingOutput final : public PendingOutput {
public:
    StagedPendingOutput(StagedOutputFile&& output, std::string path)
        : output_(std::move(output)), path_(std::move(path)) {}

    bool finish() override { return output_.finish() || reported(); }
    bool putInPlace() override { return output_.commit() || reported(); }
    void putBack() override {
        if (!output_.putBack()) reported();
    }
    const std::string& place() const override { return output_.place(); }

private:
    bool reported() {
        reportOutputFailure(path_, output_.failureText());
        return false;
    }

    StagedOutputFile output_;
    std::string path_;
};

}  // namespace

bool finishStagedOutput(StagedOutputFile& output, const std::string& path, int writeError,
                        OutputBatch& outputs) {
    if (writeError != 0) {
        reportOutputFailure(path, platform::systemErrorText(writeError));
        return false;
    }
    outputs.add(std::make_unique<StagedPendingOutput>(std::move(output), path));
    return true;
}
