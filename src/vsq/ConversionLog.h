// The conversion log "vsqconvert.log" in the working directory: progress lines
// and a copy of every voice track's metatext. It is written as a new file and
// put in place only with the run's other outputs, so the log on disk always
// describes the last successful run; a log given up leaves the previous one as
// it was. A log that cannot be written is reported as a warning naming
// it and the system's reason, and the conversion goes on without it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ReplacementFile.h"

class FilesRead;
class OutputBatch;

class ConversionLog {
public:
    ConversionLog() = default;
    ConversionLog(const ConversionLog&) = delete;
    ConversionLog& operator=(const ConversionLog&) = delete;
    // Gives up a log that was not committed.
    ~ConversionLog();

    // Gives up a log being written, then starts a new one.
    void open();
    // Hands the complete log to `outputs`, to be put in place of the previous
    // one after the output file `outputPath`, unless that output has just been
    // put there or the run has read the file there (`filesRead`, when given):
    // the output is kept, the log is not, with a warning.
    void finish(const std::string& outputPath, OutputBatch& outputs,
                const FilesRead* filesRead);
    // Writes the bytes unchanged.
    void raw(std::string_view text);
    // Writes the text and a line feed.
    void line(std::string_view text);

private:
    void flushBuffer();
    void write(const char* data, size_t size);
    void close();

    std::unique_ptr<platform::ReplacementFile> replacement_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;  // bytes waiting in buffer_
    int writeError_ = 0;   // errno of the first failed write
};
