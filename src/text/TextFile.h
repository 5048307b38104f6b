// Reading a text file as a stream of character codes, with the text-mode rules
// applied by the program itself on every platform: CR LF arrives as LF and a
// Ctrl-Z byte ends the file.
#pragma once

#include <climits>
#include <cstdint>

#include <memory>
#include <string>

#include "song/SourceLocation.h"

class Diagnostics;
class FilesRead;
class SourceMap;
class SourceProvider;

class TextFile {
public:
    virtual ~TextFile() = default;
    // The next character code, or -1 at the end of the file.
    virtual int readChar() = 0;
    // The same, and in `skippedColumns` the columns (UTF-16 units, see
    // song/SourceLocation.h) of the text passed over just before it without a
    // character: characters of a UTF-8 file that code page 932 cannot hold and
    // bytes that form none, each reported where it stands.
    virtual int readChar(int32_t& skippedColumns) = 0;
    // The file's id in the run's map of files.
    virtual int32_t fileId() const = 0;
};

// How a run reads its text files: the provider they come from, the run's map
// of files (each file opened gets its id there), the collector its reports go
// to, the record of the files read (when one is kept), and whether a file
// without the UTF-8 byte order mark is read as UTF-8 (the UTF-8 mode). The run
// hands it to every stage that opens a file.
struct TextReading {
    SourceProvider& sources;
    SourceMap& files;
    Diagnostics& diagnostics;
    FilesRead* filesRead = nullptr;
    bool utf8 = false;
};

// Opens `path` through the run's provider, read as `reading` says, gives it
// its id in the run's map (`includedFrom`: the directive that brought it in)
// and adds it to the record of files read. On failure reports "file cannot be
// opened" with the path and the system's reason, and returns null.
std::unique_ptr<TextFile> openTextFile(const std::string& path, const TextReading& reading,
                                       const SourceLocation& includedFrom = {});

// A line counted in 64 bits as a report shows it: held at the largest int.
inline int reportedLine(int64_t line) { return line > INT_MAX ? INT_MAX : static_cast<int>(line); }
