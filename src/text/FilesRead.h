// The files a run has read (its source, the files it included, the dictionary),
// remembered by identity so that the run can refuse to write its output over
// any of them, whatever name the output is given, and by the path they were
// opened by, so that watch mode knows what to watch. The run owns the record
// and hands it to its readers (see TextReading in text/TextFile.h).
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

class FilesRead {
public:
    // Remembers the file opened by `path`, with its identity on disk when it
    // has one (a text held in memory has none).
    void remember(const std::optional<platform::FileIdentity>& identity, const std::string& path);
    // True when `path` names one of the files remembered.
    bool contains(const std::string& path) const;
    // The paths the files were opened by, each once, in the order first read.
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::set<platform::FileIdentity> identities_;
    std::vector<std::string> paths_;
};
