// The transport of the language server: messages framed by a Content-Length
// header, as editors send them on the server's standard input, and the same
// framing for what the server writes back.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

class MessageReader {
public:
    // A message body longer than this is read and thrown away, so a hostile
    // header cannot make the server hold more.
    static constexpr size_t kMaxBody = 64u << 20;
    // A header line longer than this ends the header as malformed.
    static constexpr size_t kMaxHeaderLine = 4096;

    explicit MessageReader(std::istream& in) : in_(in) {}

    // The next message body, with what came before it that was no message
    // (bad headers, bodies too large, stray bytes) skipped; nothing once the
    // input has ended.
    std::optional<std::string> next();

private:
    // Reads one header line without its line end; false at the end of input.
    bool headerLine(std::string& line);
    std::istream& in_;
};

// `body` with its Content-Length header, ready to be written.
std::string framed(const std::string& body);
