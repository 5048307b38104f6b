// The conversion log "vsqconvert.log" in the working directory: progress lines
// and a copy of every voice track's metatext. A log that cannot be created is
// simply not kept; nothing about it is ever reported.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>

class ConversionLog {
public:
    ConversionLog() = default;
    ConversionLog(const ConversionLog&) = delete;
    ConversionLog& operator=(const ConversionLog&) = delete;
    ~ConversionLog();

    // Closes a log that is open, then creates the log file anew (binary).
    void open();
    void close();
    bool isOpen() const { return file_ != nullptr; }
    // Writes the bytes unchanged.
    void raw(std::string_view text);
    // Writes the text and a line feed.
    void line(std::string_view text);

private:
    void flushBuffer();

    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;  // bytes waiting in buffer_
};
