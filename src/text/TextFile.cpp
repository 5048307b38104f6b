// Text files as character codes. The bytes come from the run's provider and
// the text-mode rules are applied here, so every platform reads a file the same
// way: CR LF becomes LF, a lone CR stays, and a Ctrl-Z byte ends the file.
//
// A file is code page 932 unless it begins with the UTF-8 byte order mark or the
// UTF-8 mode is on; a UTF-8 file yields the codes of the same characters in code
// page 932, so nothing after this module can tell the two apart. What tells them
// apart for an editor, the UTF-16 width of what a UTF-8 file skips, is counted
// here (columnsSkipped).
#include "text/TextFile.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>

#include "diag/Diagnostics.h"
#include "diag/FileFailureDetail.h"
#include "diag/Messages.h"
#include "platform/Platform.h"
#include "song/SourceMap.h"
#include "text/CharCode.h"
#include "text/Encoding.h"
#include "text/FilesRead.h"
#include "text/SourceProvider.h"

namespace {

constexpr size_t kShownBadBytes = 8;  // bytes named in one report; more are left out

// A column as a location holds it: held at the largest int.
int32_t locatedColumn(int64_t column) {
    return column > INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}

std::string hexText(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

}  // namespace

// What each byte is to the inline path in either encoding.
constexpr TextFile::ByteRoles TextFile::rolesOf(bool utf8) {
    ByteRoles roles{};
    for (int byte = 0; byte < 256; ++byte) {
        ByteRole& role = roles[static_cast<size_t>(byte)];
        if (byte == '\r' || byte == kCtrlZ) {
            role = ByteRole::Decode;
        } else if (utf8) {
            role = byte < 0x80 ? ByteRole::Whole : ByteRole::Decode;
        } else {
            role = isLeadByte(byte) ? ByteRole::Lead : ByteRole::Whole;
        }
    }
    return roles;
}

const TextFile::ByteRoles TextFile::kCp932Roles = rolesOf(false);
const TextFile::ByteRoles TextFile::kUtf8Roles = rolesOf(true);

TextFile::TextFile(std::unique_ptr<OpenedFile> file, int32_t id, Diagnostics& diagnostics,
                   bool alwaysUtf8)
    : file_(std::move(file)), id_(id), diagnostics_(diagnostics), utf8_(alwaysUtf8) {}

TextFile::~TextFile() = default;

int TextFile::readDecoded() {
    if (!started_) start();
    const int code = utf8_ ? readUtf8() : readCp932();
    wholeEnd_ = ended_ || pendingByte_ >= 0 ? 0 : block_.size();
    return code;
}

// Takes the first block and a byte order mark off its front: the mark
// makes the file UTF-8 and is not part of the text.
void TextFile::start() {
    started_ = true;
    block_ = file_->nextBlock();
    position_ = 0;
    if (startsWithUtf8ByteOrderMark(block_.data(), block_.size())) {
        utf8_ = true;
        position_ = kUtf8ByteOrderMark.size();
    }
    roles_ = utf8_ ? &kUtf8Roles : &kCp932Roles;
}

int TextFile::readCp932() {
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
int TextFile::readUtf8() {
    for (;;) {
        const int lead = nextByte();
        if (lead < 0) {
            reportInvalidBytes();
            return kEndOfInput;
        }
        if (lead < 0x80) return deliver(lead);

        std::string bad{static_cast<char>(lead)};
        const Utf8Sequence sequence = readUtf8Sequence(static_cast<unsigned char>(lead), [&] {
            const int next = nextByte();
            if (next >= 0) bad.push_back(static_cast<char>(next));
            return next;
        });
        if (!sequence.complete) {
            // The byte that breaks the sequence starts the next character.
            if (sequence.breaking >= 0) {
                pendingByte_ = sequence.breaking;
                bad.pop_back();
            }
            noteInvalidBytes(bad);
            continue;
        }
        reportInvalidBytes();
        const char32_t scalar = sequence.scalar;
        const int code = unicodeToCp932(scalar);
        if (code == kNoCharacter) {
            // Beyond the first plane a character takes two UTF-16 units.
            const int width = scalar > 0xFFFF ? 2 : 1;
            report(msg::kNotInCodePage932, column_, width, "U+" + hexText(scalar, 4));
            skip(width);
            continue;
        }
        return deliver(code);
    }
}

int TextFile::deliver(int code) {
    reportInvalidBytes();
    countColumn(code);
    return code;
}

void TextFile::skip(int width) {
    column_ += width;
    // Held at the largest int: only a line of gigabytes of bad bytes gets near.
    if (skipped_ <= INT32_MAX - width) skipped_ += width;
}

// Adds bytes that form no character to the stretch waiting to be reported:
// one broken sequence, which an editor shows as one replacement character.
void TextFile::noteInvalidBytes(const std::string& bytes) {
    if (badCount_ == 0) badColumn_ = column_;
    skip(1);
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
void TextFile::reportInvalidBytes() {
    if (badCount_ == 0) return;
    if (badCount_ > kShownBadBytes) badDetail_.append(" ...");
    report(msg::kInvalidUtf8, badColumn_, column_ - badColumn_, badDetail_);
    badDetail_.clear();
    badCount_ = 0;
}

void TextFile::report(const msg::Message& message, int64_t column, int64_t width,
                      const std::string& detail) {
    const SourceLocation at{id_, reportedLine(line_), locatedColumn(column),
                            locatedColumn(column + width)};
    diagnostics_.error(message, at, detail);
}

// The next byte after text-mode translation, or -1 once the file has ended.
int TextFile::nextByte() {
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

int TextFile::rawByte() {
    if (position_ == block_.size()) {
        block_ = file_->nextBlock();
        position_ = 0;
        if (block_.empty()) return -1;  // end of file or a read error
    }
    return block_[position_++];
}

std::unique_ptr<TextFile> openTextFile(const std::string& path, const TextReading& reading,
                                       const SourceLocation& includedFrom) {
    int reason = 0;
    std::unique_ptr<OpenedFile> file = reading.sources.open(path, reason);
    if (file == nullptr) {
        reading.diagnostics.error(msg::kCannotOpenFile,
                                  fileFailureDetail(path, platform::systemErrorText(reason)));
        return nullptr;
    }
    if (reading.filesRead != nullptr) reading.filesRead->remember(file->identity(), path);
    const int32_t id = reading.files.addFile(path, includedFrom);
    return std::make_unique<TextFile>(std::move(file), id, reading.diagnostics,
                                              reading.utf8);
}
