// Staging of an output file through a replacement file made beside its target.
#include "output/StagedOutputFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace fs = std::filesystem;

bool StagedOutputFile::prepare(const std::string& target) {
    replacement_.reset();
    failureText_.clear();
    target_ = target;
    if (target.empty()) return fail(ENOENT);

    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        // Devices and pipes are written directly; opening a directory fails
        // with the system's own reason.
        return true;
    }
    if (exists) {
        // Follow a link so the file it names is replaced, not the link, and
        // refuse a file this process could not have overwritten in place.
        // Appending asks for the right to write only, as truncating would.
        const fs::path resolved = fs::canonical(target, error);
        if (!error) target_ = resolved.string();
        std::FILE* probe = std::fopen(target_.c_str(), "ab");
        if (probe == nullptr) return fail(errno);
        std::fclose(probe);
    }
    // Where no new file can be made beside the target, the target is never
    // written in place instead: a failure partway would destroy it.
    int reason = 0;
    replacement_ = platform::createReplacementFile(target_, reason);
    return replacement_ != nullptr || fail(reason);
}

std::FILE* StagedOutputFile::openStream() {
    if (replacement_ == nullptr) {
        std::FILE* stream = std::fopen(target_.c_str(), "wb");
        if (stream == nullptr) fail(errno);
        return stream;
    }
    int reason = 0;
    std::FILE* stream = replacement_->openStream(reason);
    if (stream == nullptr) fail(reason);
    return stream;
}

bool StagedOutputFile::commit() {
    if (replacement_ == nullptr) return true;
    int reason = 0;
    const bool placed = replacement_->putInPlace(reason);
    replacement_.reset();
    return placed || fail(reason);
}

bool StagedOutputFile::fail(int errorNumber) {
    failureText_ = platform::systemErrorText(platform::failureErrorNumber(errorNumber));
    return false;
}
