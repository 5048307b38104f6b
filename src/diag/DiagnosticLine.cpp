// Formatting of a diagnostic line.
#include "diag/DiagnosticLine.h"

#include "diag/FileFailureDetail.h"

namespace {

bool isControl(unsigned char byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7F; }

// A code page 932 lead byte, which takes the byte after it along.
bool isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }

bool isUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The longest start of `text` of at most `limit` bytes (below its size) that
// ends between two characters: of code page 932 (`doubleByte`), else of UTF-8.
size_t characterBoundary(std::string_view text, size_t limit, bool doubleByte) {
    if (!doubleByte) {
        while (limit > 0 && isUtf8Continuation(static_cast<unsigned char>(text[limit]))) --limit;
        return limit;
    }
    size_t end = 0;
    for (;;) {
        const size_t next = end + (isLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > limit) return end;
        end = next;
    }
}

// Appends `text` with its control bytes written as \xHH. Control bytes are
// single characters in code page 932 and UTF-8 alike.
void appendEscaped(std::string& line, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!isControl(byte)) {
            line.push_back(c);
            continue;
        }
        line.append("\\x");
        line.push_back(kHex[byte >> 4]);
        line.push_back(kHex[byte & 0xF]);
    }
}

// Appends at most kMaxShownDetailBytes of `text`, cut between two characters
// and marked as cut. A text of the song is code page 932 and cut before it is
// converted, so that a huge one costs no more than a short one; a path is cut
// between UTF-8 characters.
void appendBounded(std::string& line, std::string_view text, bool isPath, ConsoleText toConsole) {
    const bool cut = text.size() > kMaxShownDetailBytes;
    const std::string_view kept =
        cut ? text.substr(0, characterBoundary(text, kMaxShownDetailBytes, !isPath)) : text;
    if (isPath) {
        appendEscaped(line, kept);
    } else {
        appendEscaped(line, toConsole(kept));
    }
    if (cut) line.append(" ... (").append(std::to_string(text.size())).append(" bytes)");
}

// Appends a detail as a line shows it. The system's reason after a path (after
// its last " : ", which no reason holds) is kept whole.
void appendDetail(std::string& line, std::string_view detail, bool isPath, ConsoleText toConsole) {
    const size_t reason = isPath ? detail.rfind(kFileFailureSeparator) : std::string_view::npos;
    appendBounded(line, detail.substr(0, reason), isPath, toConsole);
    if (reason != std::string_view::npos) appendEscaped(line, detail.substr(reason));
}

}  // namespace

std::string withControlBytesEscaped(std::string_view text) {
    std::string escaped;
    appendEscaped(escaped, text);
    return escaped;
}

std::string diagnosticLine(std::string_view level, std::string_view file, int line,
                           const msg::Message& message, std::string_view detail,
                           ConsoleText toConsole) {
    std::string text;
    text.reserve(level.size() + file.size() + message.text.size() + detail.size() + 24);
    text.append(level).append(": ");
    if (!file.empty()) {
        appendEscaped(text, file);
        text.append("(").append(std::to_string(line)).append(") ");
    }
    text.append(toConsole(message.text));
    if (!detail.empty()) {
        text.append(": ");
        // A path as the user typed it is in the console's encoding already.
        appendDetail(text, detail, message.detail == msg::Detail::Path, toConsole);
    }
    text.push_back('\n');
    return text;
}
