// The run's table of files and macro uses.
#include "song/SourceMap.h"

#include <utility>

namespace {

const SourceLocation kNowhere;

}  // namespace

int32_t SourceMap::addFile(std::string name, const SourceLocation& includedFrom) {
    files_.push_back({std::move(name), includedFrom});
    // A file is brought in by a file opened before it: so every chain of
    // include directives goes down in id and ends.
    const auto id = static_cast<int32_t>(files_.size());
    if (files_.back().includedFrom.file >= id) files_.back().includedFrom = {};
    return id;
}

const std::string& SourceMap::fileName(int32_t file) const {
    static const std::string kNoName;
    return file >= 1 && file <= fileCount() ? files_[static_cast<size_t>(file - 1)].name : kNoName;
}

const SourceLocation& SourceMap::includedFrom(int32_t file) const {
    return file >= 1 && file <= fileCount() ? files_[static_cast<size_t>(file - 1)].includedFrom
                                            : kNowhere;
}

int32_t SourceMap::addUse(const SourceLocation& use) {
    if (uses_.size() >= kMaxUses) return 0;
    uses_.push_back(use);
    // A use is made by an earlier use or by none: so every chain of uses goes
    // down in id and ends.
    const auto id = static_cast<int32_t>(uses_.size());
    if (uses_.back().expansion >= id) uses_.back().expansion = 0;
    return id;
}

const SourceLocation& SourceMap::use(int32_t expansion) const {
    return expansion >= 1 && static_cast<size_t>(expansion) <= uses_.size()
               ? uses_[static_cast<size_t>(expansion - 1)]
               : kNowhere;
}

SourceLocation SourceMap::expansionLocation(SourceLocation location) const {
    while (location.expansion != 0) location = use(location.expansion);
    return location;
}
