// The character stream of one source file, with one character of push-back and
// a line counter, and the file's name for messages.
#pragma once

#include <memory>
#include <string>

#include "text/TextFile.h"

class SourceReader {
public:
    virtual int getChar() = 0;
    virtual void ungetChar(int code) = 0;
    virtual std::string fileName() const = 0;
    virtual int line() const = 0;
    // How the file was read: the files it includes are read the same way.
    virtual const TextReading& reading() const = 0;
    virtual ~SourceReader() = default;
};

// Null when the file cannot be opened (the reason has been reported).
std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading);
