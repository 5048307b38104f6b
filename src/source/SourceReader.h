// The character stream of one source file, with one character of push-back, a
// line counter and the columns of the characters, and the file's name for
// messages and its id in the run's map of files.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "song/SourceLocation.h"
#include "text/TextFile.h"

// Every call is inline: the tokenizer reads each character through here, down
// to TextFile::takeWhole (which says what reading inline buys).
class SourceReader {
public:
    SourceReader(std::unique_ptr<TextFile> file, std::string name, const TextReading& reading)
        : file_(std::move(file)), name_(std::move(name)), reading_(reading) {}

    int getChar() {
        int code;
        if (pushBack_ >= 0) {
            // Read again: its columns are those it had.
            code = pushBack_;
            pushBack_ = -1;
        } else {
            int32_t skipped = 0;
            code = file_->readChar(skipped);
            beforeLastEnd_ = lastEnd_;
            lastStart_ = nextColumn_ + skipped;
            lastEnd_ = code < 0 ? lastStart_ : lastStart_ + 1;
            nextColumn_ = code == kLineFeed ? 0 : lastEnd_;
        }
        if (code == kLineFeed) ++line_;
        return code;
    }

    void ungetChar(int code) {
        if (code == kLineFeed) --line_;
        pushBack_ = code < 0 ? -1 : code;
    }

    const std::string& fileName() const { return name_; }

    // The counter is kept wide so that a file of billions of line feeds cannot
    // overflow it; the reported number stops at the largest int.
    int line() const { return reportedLine(line_); }

    // How the file was read: the files it includes are read the same way.
    const TextReading& reading() const { return reading_; }

    int32_t fileId() const { return file_->fileId(); }

    // The column the character last read begins at (song/SourceLocation.h
    // says how columns count); where the end of the file is, after it is read.
    int32_t charColumn() const { return locatedColumn(lastStart_); }

    // The column just after what has been read and not pushed back, on the
    // line of its last character.
    int32_t consumedColumn() const {
        return locatedColumn(pushBack_ >= 0 ? beforeLastEnd_ : lastEnd_);
    }

private:
    static constexpr int kLineFeed = 10;

    static int32_t locatedColumn(int64_t column) {
        return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
    }

    std::unique_ptr<TextFile> file_;
    int pushBack_ = -1;
    std::string name_;
    TextReading reading_;
    int64_t line_ = 1;
    // The columns of the character last read from the file, the end of the one
    // before it, and where the next one begins unless text is skipped first.
    int64_t lastStart_ = 0;
    int64_t lastEnd_ = 0;
    int64_t beforeLastEnd_ = 0;
    int64_t nextColumn_ = 0;
};

// Null when the file cannot be opened (the reason has been reported).
// `includedFrom` is the include directive that brings the file in.
std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading,
                                                 const SourceLocation& includedFrom = {});
