// Files kept in memory instead of on disk: every file a writer hands over,
// the conversion log among them (under kLogFileName), by path. For tests that
// compare what writers write, and for editors that show it without a file
// (where the C library has custom streams: not on Windows).
#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "output/OutputSink.h"

class MemorySink final : public OutputSink {
public:
    MemorySink() = default;
    MemorySink(const MemorySink&) = delete;
    MemorySink& operator=(const MemorySink&) = delete;
    // The streams it gives must be closed before it goes: they write into it.

    std::FILE* open(const std::string& path) override;
    bool keep(const std::string& path, int writeError) override;
    std::FILE* openLog() override { return open(kLogFileName); }
    void keepLog(int writeError) override { keep(kLogFileName, writeError); }

    // The files kept, by path.
    const std::map<std::string, std::string>& files() const { return files_; }

private:
    std::map<std::string, std::string> open_;  // what the open streams wrote so far
    std::map<std::string, std::string> files_;
};
