// Reading a text file as a stream of character codes, with the text-mode rules
// applied by the program itself on every platform: CR LF arrives as LF and a
// Ctrl-Z byte ends the file.
#pragma once

#include <climits>
#include <cstdint>

#include <memory>
#include <string>

class TextFile {
public:
    virtual ~TextFile() = default;
    // The next character code, or -1 at the end of the file.
    virtual int readChar() = 0;
};

class FilesRead;

// How a run reads its text files: whether a file without the UTF-8 byte order
// mark is read as UTF-8 (the UTF-8 mode), and the record of the files read,
// when one is kept. The run hands it to every stage that opens a file.
struct TextReading {
    bool utf8 = false;
    FilesRead* filesRead = nullptr;
};

// Opens `path`, read as `reading` says, and adds it to the record of files
// read. On failure reports "file cannot be opened" with the path and the
// system's reason, and returns null.
std::unique_ptr<TextFile> openTextFile(const std::string& path, const TextReading& reading);

// A line counted in 64 bits as a report shows it: held at the largest int.
inline int reportedLine(int64_t line) { return line > INT_MAX ? INT_MAX : static_cast<int>(line); }
