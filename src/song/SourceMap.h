// What the ids in a run's SourceLocations stand for: the files the run read,
// by id, with the names messages give them and the include directive each was
// brought in by; and the macro uses that made tokens, by id, each with its own
// location. The run fills it as it reads; whoever holds a location of the run
// (its diagnostics, the notes of its song) reads it back here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song/SourceLocation.h"

class SourceMap {
public:
    // A run keeps this many macro uses; the things later uses make keep the
    // place of the use in the text as read, but not where the macro wrote them
    // (SourceMap::addUse). It bounds the map to some 20 MB however many
    // expansions a hostile source asks for.
    static constexpr size_t kMaxUses = 1 << 20;

    // Gives the file opened by `name` the next id (from 1); `includedFrom` is
    // the include directive that brought it in, not known for the main source
    // and the dictionary.
    int32_t addFile(std::string name, const SourceLocation& includedFrom = {});
    int32_t fileCount() const { return static_cast<int32_t>(files_.size()); }
    // The name as the run opened the file, as messages show it; empty for an id
    // the map does not hold.
    const std::string& fileName(int32_t file) const;
    const SourceLocation& includedFrom(int32_t file) const;

    // Gives the macro use written at `use` the next id (from 1); 0 when the map
    // holds kMaxUses already.
    int32_t addUse(const SourceLocation& use);
    // Where the use of `expansion` is written; not known for 0 or an id the map
    // does not hold.
    const SourceLocation& use(int32_t expansion) const;

    // Where the thing at `location` stands in the text as read: the location
    // itself when it is written there; for one a macro made, the outermost use
    // that made it.
    SourceLocation expansionLocation(SourceLocation location) const;

private:
    struct File {
        std::string name;
        SourceLocation includedFrom;
    };
    std::vector<File> files_;
    std::vector<SourceLocation> uses_;
};
