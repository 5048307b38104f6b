// Text files as character codes. The bytes are read in binary and the text-mode
// rules are applied here, so every platform reads a file the same way: CR LF
// becomes LF, a lone CR stays, and a Ctrl-Z byte ends the file.
//
// A file is code page 932 unless it begins with the UTF-8 byte order mark or the
// UTF-8 mode is on; a UTF-8 file yields the codes of the same characters in code
// page 932, so nothing after this module can tell the two apart.
#include "text/TextFile.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "diag/Reporter.h"
#include "platform/Platform.h"
#include "text/CharCode.h"
#include "text/Encoding.h"
#include "text/FilesRead.h"

namespace {

constexpr int kCtrlZ = 26;
constexpr int kLineFeed = 10;
constexpr size_t kBufferSize = 64 * 1024;
constexpr size_t kShownBadBytes = 8;  // bytes named in one report; more are left out

std::string hexText(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

class StdioTextFile final : public TextFile {
public:
    StdioTextFile(std::FILE* file, bool alwaysUtf8)
        : file_(file), buffer_(kBufferSize), utf8_(alwaysUtf8) {}
    ~StdioTextFile() override {
        if (file_ != nullptr) std::fclose(file_);
    }

    int readChar() override {
        if (!started_) start();
        return utf8_ ? readUtf8() : readCp932();
    }

private:
    // Fills the buffer for the first time and takes a byte order mark off its
    // front: the mark makes the file UTF-8 and is not part of the text.
    void start() {
        started_ = true;
        if (file_ == nullptr) return;
        filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
        position_ = 0;
        if (startsWithUtf8ByteOrderMark(buffer_.data(), filled_)) {
            utf8_ = true;
            position_ = kUtf8ByteOrderMark.size();
        }
    }

    int readCp932() {
        const int lead = nextByte();
        if (lead < 0) return kEndOfInput;
        if (!isLeadByte(lead)) return lead;
        const int trail = nextByte();
        if (trail < 0) return kEndOfInput;  // a lead byte at the very end is dropped
        return lead * 256 + trail;
    }

    // The next character of a UTF-8 file as its code page 932 code. A character
    // that code page 932 cannot hold and bytes that form no character are
    // reported and skipped; the run then fails on the error count. Bytes that
    // form no character one after another make one report, so a file in the
    // wrong encoding gives a report per stretch, not per byte.
    int readUtf8() {
        for (;;) {
            const int lead = nextByte();
            if (lead < 0) {
                reportInvalidBytes();
                return kEndOfInput;
            }
            if (lead < 0x80) return deliver(lead);

            const Utf8Lead shape = utf8Lead(static_cast<unsigned char>(lead));
            int low = shape.low;
            int high = shape.high;
            char32_t scalar = shape.bits;
            std::string bad{static_cast<char>(lead)};
            bool complete = shape.following > 0;
            for (int i = 0; i < shape.following; ++i) {
                const int next = nextByte();
                if (next < low || next > high) {
                    // The byte that breaks the sequence starts the next character.
                    if (next >= 0) pendingByte_ = next;
                    complete = false;
                    break;
                }
                bad.push_back(static_cast<char>(next));
                scalar = (scalar << 6) | static_cast<char32_t>(next & 0x3F);
                low = 0x80;
                high = 0xBF;
            }
            if (!complete) {
                noteInvalidBytes(bad);
                continue;
            }
            reportInvalidBytes();
            const int code = unicodeToCp932(scalar);
            if (code == kNoCharacter) {
                report(msg::kNotInCodePage932, "U+" + hexText(scalar, 4));
                continue;
            }
            return deliver(code);
        }
    }

    int deliver(int code) {
        reportInvalidBytes();
        if (code == kLineFeed) ++line_;
        return code;
    }

    // Adds bytes that form no character to the stretch waiting to be reported.
    void noteInvalidBytes(const std::string& bytes) {
        for (const char byte : bytes) {
            if (badCount_ < kShownBadBytes) {
                if (badCount_ > 0) badDetail_.push_back(' ');
                badDetail_.append("0x").append(hexText(static_cast<unsigned char>(byte), 2));
            }
            ++badCount_;
        }
    }

    // Reports the stretch of bytes that formed no character, if there is one. It
    // holds no line feed, so the current line is its line.
    void reportInvalidBytes() {
        if (badCount_ == 0) return;
        if (badCount_ > kShownBadBytes) badDetail_.append(" ...");
        report(msg::kInvalidUtf8, badDetail_);
        badDetail_.clear();
        badCount_ = 0;
    }

    // A file is only read while the reporter names it (the dictionary names its
    // file before reading it, the preprocessor names each source as it turns to
    // it), so a positioned report shows this file with the line counted here.
    void report(const char* message, const std::string& detail) {
        getReporter().error(reportedLine(line_), message, detail);
    }

    // The next byte after text-mode translation, or -1 once the file has ended.
    int nextByte() {
        if (pendingByte_ >= 0) {
            const int byte = pendingByte_;
            pendingByte_ = -1;
            return byte;
        }
        if (ended_) return -1;
        int byte = rawByte();
        if (byte == '\r') {
            const int following = rawByte();
            if (following == '\n') {
                byte = '\n';
            } else if (following >= 0) {
                --position_;  // keep the byte after a lone CR for the next read
            }
        }
        if (byte < 0 || byte == kCtrlZ) {
            ended_ = true;
            return -1;
        }
        return byte;
    }

    int rawByte() {
        if (position_ == filled_) {
            if (file_ == nullptr) return -1;
            filled_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
            position_ = 0;
            if (filled_ == 0) return -1;  // end of file or a read error
        }
        return buffer_[position_++];
    }

    std::FILE* file_;
    std::vector<unsigned char> buffer_;
    size_t filled_ = 0;
    size_t position_ = 0;
    bool ended_ = false;
    bool started_ = false;
    bool utf8_;
    int pendingByte_ = -1;  // a translated byte handed back by the UTF-8 decoder
    std::int64_t line_ = 1;  // of the UTF-8 decoder's reports
    std::string badDetail_;  // the first bytes of a stretch that formed no character
    size_t badCount_ = 0;    // and the length of that stretch
};

}  // namespace

std::unique_ptr<TextFile> openTextFile(const std::string& path, const TextReading& reading) {
    int reason = 0;
    std::FILE* file = platform::openForReading(path, reason);
    if (file == nullptr) {
        getReporter().error(msg::kCannotOpenFile,
                            fileFailureDetail(path, platform::systemErrorText(reason)));
        return nullptr;
    }
    if (reading.filesRead != nullptr) reading.filesRead->remember(file, path);
    return std::make_unique<StdioTextFile>(file, reading.utf8);
}
