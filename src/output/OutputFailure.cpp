// Reporting of an output file that cannot be written, and the staged output's
// open and commit steps that report through it.
#include "output/OutputFailure.h"

#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "platform/Platform.h"
#include "output/StagedOutputFile.h"

void reportOutputFailure(const std::string& path, const std::string& reason) {
    getReporter().error(msg::kCannotOpenFile, fileFailureDetail(path, reason));
}

std::FILE* openStagedOutput(StagedOutputFile& output, const std::string& path) {
    std::FILE* stream = output.prepare(path) ? output.openStream() : nullptr;
    if (stream == nullptr) reportOutputFailure(path, output.failureText());
    return stream;
}

bool commitStagedOutput(StagedOutputFile& output, const std::string& path, int writeError) {
    if (writeError != 0) {
        reportOutputFailure(path, platform::systemErrorText(writeError));
        return false;
    }
    if (!output.commit()) {
        reportOutputFailure(path, output.failureText());
        return false;
    }
    return true;
}
