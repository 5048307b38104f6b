// Files kept in memory instead of on disk: every file a writer hands over,
// the conversion log among them (under kLogFileName), by path. For tests that
// compare what writers write, and for editors that show it without a file
// (where the system has memory streams: not on Windows).
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
    // Frees what was opened and never kept; those streams are closed by now.
    ~MemorySink() override;

    std::FILE* open(const std::string& path) override;
    bool keep(const std::string& path, int writeError) override;
    std::FILE* openLog() override { return open(kLogFileName); }
    void keepLog(const std::string&, int writeError) override { keep(kLogFileName, writeError); }

    // The files kept, by path.
    const std::map<std::string, std::string>& files() const { return files_; }

private:
    struct Buffer {
        char* data = nullptr;  // what the stream wrote, once it is closed
        size_t size = 0;
    };
    std::map<std::string, Buffer> open_;
    std::map<std::string, std::string> files_;
};
