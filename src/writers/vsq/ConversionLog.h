// The conversion log "vsqconvert.log" in the working directory: progress lines
// and a copy of every voice track's metatext. Its file comes from the output
// sink, which stages it with the run's other outputs, so the log on disk
// always describes the last successful run; a log given up leaves the
// previous one as it was. It is written like every output: through a link to
// the file the link names, to a device directly, never into a pipe. A log that
// cannot be written is warned of by the sink, and the conversion goes on
// without it.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

class OutputSink;

class ConversionLog {
public:
    ConversionLog() = default;
    ConversionLog(const ConversionLog&) = delete;
    ConversionLog& operator=(const ConversionLog&) = delete;
    // Gives up a log that was not finished.
    ~ConversionLog();

    // Gives up a log being written, then starts a new one in `sink`.
    void open(OutputSink& sink);
    // Hands the complete log to the sink.
    void finish();
    // Writes the bytes unchanged.
    void raw(std::string_view text);
    // Writes the text and a line feed.
    void line(std::string_view text);

private:
    void flushBuffer();
    void write(const char* data, size_t size);
    void close();

    OutputSink* sink_ = nullptr;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;  // bytes waiting in buffer_
    int writeError_ = 0;   // errno of the first failed write
};
