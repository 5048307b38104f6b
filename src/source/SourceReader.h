// The character stream of one source file, with one character of push-back, a
// line counter and the columns of the characters, and the file's name for
// messages and its id in the run's map of files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "song/SourceLocation.h"
#include "text/TextFile.h"

class SourceReader {
public:
    virtual int getChar() = 0;
    virtual void ungetChar(int code) = 0;
    virtual std::string fileName() const = 0;
    virtual int line() const = 0;
    // How the file was read: the files it includes are read the same way.
    virtual const TextReading& reading() const = 0;
    virtual int32_t fileId() const = 0;
    // The column the character last read begins at (song/SourceLocation.h
    // says how columns count); where the end of the file is, after it is read.
    virtual int32_t charColumn() const = 0;
    // The column just after what has been read and not pushed back, on the
    // line of its last character.
    virtual int32_t consumedColumn() const = 0;
    virtual ~SourceReader() = default;
};

// Null when the file cannot be opened (the reason has been reported).
// `includedFrom` is the include directive that brings the file in.
std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading,
                                                 const SourceLocation& includedFrom = {});
