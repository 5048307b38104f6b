// Staging of the output file through an exclusively created temporary.
#include "vsq/StagedOutputFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

// Creates `path` only when nothing exists there yet; errno tells why not.
bool createExclusively(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

constexpr int kMaxTemporaryNames = 100;

}  // namespace

StagedOutputFile::~StagedOutputFile() { discard(); }

bool StagedOutputFile::prepare(const std::string& target) {
    discard();
    failureText_.clear();
    target_ = target;
    path_ = target;
    replacesFile_ = false;
    if (target.empty()) {
        failureText_ = platform::systemErrorText(ENOENT);
        return false;
    }

    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        // Devices and pipes are written directly; opening a directory fails
        // later with the system's own reason.
        return true;
    }
    if (exists) {
        // Follow a link so the file it names is replaced, not the link, and
        // refuse a file this process could not have overwritten in place.
        // Appending asks for the right to write only, as truncating would.
        const fs::path resolved = fs::canonical(target, error);
        if (!error) target_ = resolved.string();
        std::FILE* probe = std::fopen(target_.c_str(), "ab");
        if (probe == nullptr) {
            failureText_ = platform::systemErrorText(errno);
            return false;
        }
        std::fclose(probe);
        replacesFile_ = true;
    }

    for (int attempt = 0; attempt < kMaxTemporaryNames; ++attempt) {
        std::string candidate = target_;
        if (attempt > 0) candidate.append(".").append(std::to_string(attempt));
        candidate.append(".tmp~");
        if (createExclusively(candidate)) {
            path_ = std::move(candidate);
            staged_ = true;
            return true;
        }
        if (errno != EEXIST) break;
    }
    // No temporary can be made beside the target (a folder that lets existing
    // files be written but no new ones made, a name with no room for the
    // suffix): the target is written in place, and opening it tells whether
    // that is possible at all.
    return true;
}

bool StagedOutputFile::commit() {
    if (!staged_) return true;
    std::error_code error;
    if (replacesFile_) {
        // The replacement keeps the access rights of the file it replaces.
        const fs::file_status previous = fs::status(target_, error);
        if (!error) fs::permissions(path_, previous.permissions(), error);
        error.clear();
    }
    fs::rename(path_, target_, error);
    if (error) {
        failureText_ = error.message();
        discard();
        return false;
    }
    staged_ = false;
    return true;
}

void StagedOutputFile::discard() {
    if (!staged_) return;
    std::error_code error;
    fs::remove(path_, error);
    staged_ = false;
}
