// Reading a text file as a stream of character codes, with the text-mode rules
// applied by the program itself on every platform: CR LF arrives as LF and a
// Ctrl-Z byte ends the file.
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>

#include <memory>
#include <span>
#include <string>

#include "song/SourceLocation.h"

class Diagnostics;
class FilesRead;
class OpenedFile;
class SourceMap;
class SourceProvider;

namespace msg {
struct Message;
}

class TextFile {
public:
    // Reads `file`, known in the run's map as `id`, reporting to `diagnostics`;
    // as UTF-8 when `alwaysUtf8`, else only when it begins with the byte order mark.
    TextFile(std::unique_ptr<OpenedFile> file, int32_t id, Diagnostics& diagnostics,
             bool alwaysUtf8);
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // The next character code, or -1 at the end of the file.
    int readChar() {
        int code;
        return takeWhole(code) ? code : readDecoded();
    }
    // The same, and in `skippedColumns` the columns (UTF-16 units, see
    // song/SourceLocation.h) of the text passed over just before it without a
    // character: characters of a UTF-8 file that code page 932 cannot hold and
    // bytes that form none, each reported where it stands.
    int readChar(int32_t& skippedColumns) {
        const int code = readChar();
        skippedColumns = skipped_;
        skipped_ = 0;
        return code;
    }
    // The file's id in the run's map of files.
    int32_t fileId() const { return id_; }

private:
    // What a byte of the block is to the inline path: a character by itself, the
    // lead of a double-byte character (code page 932), or one for the decoder
    // (a CR, Ctrl-Z, any byte of a UTF-8 sequence).
    enum class ByteRole : unsigned char { Decode, Whole, Lead };
    using ByteRoles = std::array<ByteRole, 256>;
    static constexpr ByteRoles rolesOf(bool utf8);
    static const ByteRoles kCp932Roles;
    static const ByteRoles kUtf8Roles;

    // Takes a character the block holds whole (bytes that need none of the
    // text-mode rules and no decoding) without a call; false when there is none.
    // Inline reading (with SourceReader) spares 11% of checking a 100k-note song.
    bool takeWhole(int& code) {
        if (position_ >= wholeEnd_) return false;
        const unsigned lead = block_[position_];
        const ByteRole role = (*roles_)[lead];
        if (role == ByteRole::Whole) {
            ++position_;
            countColumn(lead);
            code = static_cast<int>(lead);
            return true;
        }
        if (role != ByteRole::Lead || position_ + 1 >= wholeEnd_) return false;
        const unsigned trail = block_[position_ + 1];
        if (trail == '\r' || trail == kCtrlZ) return false;
        position_ += 2;
        code = static_cast<int>(lead * 256 + trail);
        return true;
    }

    // Where the UTF-8 decoder stands after a character of one column (counted
    // for a code page 932 file too, where nothing reads it).
    void countColumn(int code) {
        if (code == kLineFeed) {
            ++line_;
            column_ = 0;
        } else {
            ++column_;
        }
    }

    // The next character through the decoder and the text-mode rules.
    int readDecoded();
    void start();
    int readCp932();
    int readUtf8();
    int deliver(int code);
    void skip(int width);
    void noteInvalidBytes(const std::string& bytes);
    void reportInvalidBytes();
    void report(const msg::Message& message, int64_t column, int64_t width,
                const std::string& detail);
    int nextByte();
    int rawByte();

    static constexpr int kCtrlZ = 26;
    static constexpr int kLineFeed = 10;

    std::unique_ptr<OpenedFile> file_;
    int32_t id_;
    Diagnostics& diagnostics_;
    std::span<const unsigned char> block_;
    size_t position_ = 0;
    // The inline path reads the block up to here: its end while the file has
    // started, not ended and no byte is handed back; else 0.
    size_t wholeEnd_ = 0;
    const ByteRoles* roles_ = &kCp932Roles;
    bool ended_ = false;
    bool started_ = false;
    bool utf8_;
    int pendingByte_ = -1;  // a translated byte handed back by the UTF-8 decoder
    // Where the UTF-8 decoder stands, for its reports: line, and column in UTF-16 units.
    std::int64_t line_ = 1;
    std::int64_t column_ = 0;
    int32_t skipped_ = 0;  // the units passed over since the last character delivered
    std::string badDetail_;     // the first bytes of a stretch that formed no character
    size_t badCount_ = 0;       // and the length of that stretch
    std::int64_t badColumn_ = 0;  // and where it began
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
