// An output file written under a temporary name beside its target and moved
// over the target only once it is complete, so a failed write neither leaves a
// partial file behind nor destroys a file that was there before.
#pragma once

#include <string>

class StagedOutputFile {
public:
    StagedOutputFile() = default;
    StagedOutputFile(const StagedOutputFile&) = delete;
    StagedOutputFile& operator=(const StagedOutputFile&) = delete;
    // Removes the temporary unless it was committed.
    ~StagedOutputFile();

    // Chooses where to write for `target`. A regular or missing target gets a
    // fresh, empty temporary beside it; anything else (a device, a pipe), or a
    // target beside which no temporary can be made, is written in place. False
    // when the target is empty or an existing one cannot be written;
    // failureText() says why.
    bool prepare(const std::string& target);
    // The file to write into.
    const std::string& path() const { return path_; }
    // Moves the written temporary over the target. False when that fails; the
    // temporary is then removed and failureText() says why.
    bool commit();
    const std::string& failureText() const { return failureText_; }

private:
    void discard();

    std::string target_;
    std::string path_;
    bool staged_ = false;
    bool replacesFile_ = false;
    std::string failureText_;
};
