// The conversion log "vsqconvert.log" in the working directory: progress lines
// and a copy of every voice track's metatext. It is written as a new file and
// put in place only by commit(), when the output file is, so the log on disk
// always describes the last successful run; a log given up leaves the previous
// one as it was. A log that cannot be written is reported as a warning naming
// it and the system's reason, and the conversion goes on without it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ReplacementFile.h"

class ConversionLog {
public:
    ConversionLog() = default;
    ConversionLog(const ConversionLog&) = delete;
    ConversionLog& operator=(const ConversionLog&) = delete;
    // Gives up a log that was not committed.
    ~ConversionLog();

    // Gives up a log being written, then starts a new one.
    void open();
    // Puts the log in place of the previous one, unless the output file
    // `outputPath` has just been put there (the output is kept, the log is
    // not) or the run has read the file there: either is a warning.
    void commit(const std::string& outputPath);
    // Writes the bytes unchanged.
    void raw(std::string_view text);
    // Writes the text and a line feed.
    void line(std::string_view text);

private:
    void flushBuffer();
    void write(const char* data, size_t size);
    void close();
    void warn(int errorNumber);

    std::unique_ptr<platform::ReplacementFile> replacement_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;  // bytes waiting in buffer_
    int writeError_ = 0;   // errno of the first failed write
};
