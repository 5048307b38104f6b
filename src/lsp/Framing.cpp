// Content-Length framing: headers read line by line, bodies read whole up to
// a bound, anything else skipped until a header that makes sense.
#include "lsp/Framing.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// The value of a "Content-Length: n" header line, or nothing for any other
// header (or one whose value is no number).
std::optional<size_t> contentLength(std::string_view line) {
    constexpr std::string_view kName = "content-length:";
    if (line.size() < kName.size()) return std::nullopt;
    for (size_t i = 0; i < kName.size(); ++i) {
        const char c = line[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kName[i]) return std::nullopt;
    }
    std::string_view value = line.substr(kName.size());
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    size_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (error != std::errc() || end != value.data() + value.size() || value.empty()) {
        // A number too large for size_t is as much too large as any.
        if (error == std::errc::result_out_of_range) return SIZE_MAX;
        return std::nullopt;
    }
    return length;
}

}  // namespace

bool MessageReader::headerLine(std::string& line) {
    line.clear();
    bool tooLong = false;
    for (int c = in_.get(); c != std::char_traits<char>::eof(); c = in_.get()) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (tooLong) line = "\x01";  // a line that is no header and not empty
            return true;
        }
        if (line.size() < kMaxHeaderLine) {
            line.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
    }
    return false;
}

std::optional<std::string> MessageReader::next() {
    std::string line;
    for (;;) {
        // One header block: lines up to an empty one.
        std::optional<size_t> length;
        bool sawHeader = false;
        for (;;) {
            if (!headerLine(line)) return std::nullopt;
            if (line.empty()) {
                if (sawHeader) break;
                continue;  // blank lines between messages
            }
            sawHeader = true;
            if (auto value = contentLength(line)) length = value;
        }
        if (!length) continue;  // a header block without its length frames nothing
        if (*length > kMaxBody) {
            in_.ignore(static_cast<std::streamsize>(std::min<size_t>(*length, PTRDIFF_MAX)));
            if (!in_) return std::nullopt;
            continue;
        }
        std::string body(*length, '\0');
        in_.read(body.data(), static_cast<std::streamsize>(body.size()));
        if (static_cast<size_t>(in_.gcount()) != body.size()) return std::nullopt;
        return body;
    }
}

std::string framed(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
