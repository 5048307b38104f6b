// The files a run has read (its source, the files it included, the dictionary),
// remembered by identity so that the run can refuse to write its output over
// any of them, whatever name the output is given. The run owns the record and
// hands it to its readers (see TextReading in text/TextFile.h).
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "platform/Platform.h"

class FilesRead {
public:
    // Remembers the file open on `file`.
    void remember(std::FILE* file);
    // True when `path` names one of the files remembered.
    bool contains(const std::string& path) const;

private:
    std::set<platform::FileIdentity> identities_;
};
