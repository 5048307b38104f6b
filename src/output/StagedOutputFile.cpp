// Staging of an output file through a replacement file made beside its target.
#include "output/StagedOutputFile.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/PathIdentity.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

bool StagedOutputFile::prepare(const std::string& target) {
    replacement_.reset();
    device_.reset();
    failureText_.clear();
    target_ = target;
    if (target.empty()) return fail(ENOENT);

    // Whatever keeps the name from being looked up (a name too long for the
    // folder, a loop of links) would fail the rename at the end, after other
    // outputs of the run were put in place; it is known now.
    int reason = 0;
    if (!platform::canLookUp(target, reason)) return fail(reason);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        // Devices are written directly; opening a directory fails with the
        // system's own reason.
        device_.reset(platform::openDeviceForWriting(target, reason));
        return device_ != nullptr || fail(reason);
    }
    // Follow links, dangling ones too, so that the file a link names is
    // written, not the link.
    const std::string resolved = platform::finalPath(target);
    if (!resolved.empty()) target_ = resolved;
    if (!platform::canLookUp(target_, reason)) return fail(reason);
    if (exists) {
        // Refuse a file this process could not have overwritten in place.
        // Appending asks for the right to write only, as truncating would.
        std::FILE* probe = std::fopen(target_.c_str(), "ab");
        if (probe == nullptr) return fail(errno);
        std::fclose(probe);
    }
    // Where no new file can be made beside the target, the target is never
    // written in place instead: a failure partway would destroy it.
    replacement_ = platform::createReplacementFile(target_, reason);
    return replacement_ != nullptr || fail(reason);
}

std::FILE* StagedOutputFile::openStream() {
    if (replacement_ == nullptr) {
        std::FILE* stream = device_.release();
        if (stream == nullptr) fail(EBADF);
        return stream;
    }
    int reason = 0;
    std::FILE* stream = replacement_->openStream(reason);
    if (stream == nullptr) fail(reason);
    return stream;
}

bool StagedOutputFile::finish() {
    if (replacement_ == nullptr) return true;
    int reason = 0;
    if (replacement_->finish(reason)) return true;
    replacement_.reset();
    return fail(reason);
}

bool StagedOutputFile::commit() {
    if (replacement_ == nullptr) return true;
    int reason = 0;
    if (replacement_->putInPlace(reason)) return true;
    replacement_.reset();
    return fail(reason);
}

bool StagedOutputFile::putBack() {
    if (replacement_ == nullptr) return true;
    int reason = 0;
    return replacement_->putBack(reason) || fail(reason);
}

bool StagedOutputFile::fail(int errorNumber) {
    failureText_ = platform::systemErrorText(platform::failureErrorNumber(errorNumber));
    return false;
}
