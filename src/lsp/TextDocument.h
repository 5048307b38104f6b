// A document the editor holds open: its UTF-8 text as last sent, and the
// translation between the editor's positions (line, UTF-16 unit) and byte
// offsets, for edits and for the places the server reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

struct TextPosition {
    int64_t line = 0;       // from 0
    int64_t character = 0;  // UTF-16 units into the line
};

class TextDocument {
public:
    explicit TextDocument(std::string text = {}) : text_(std::move(text)) {}

    const std::string& text() const { return text_; }
    void replaceAll(std::string text) { text_ = std::move(text); }
    // Replaces the text from `start` to `end` by `with`. Positions past a
    // line's end or past the last line are taken as that end; a range given
    // backwards is taken from its lower end.
    void replace(TextPosition start, TextPosition end, std::string_view with);

    // The byte offset of `position`, clamped into the text as replace() does.
    size_t offsetOf(TextPosition position) const;
    // The text of line `line` (from 0) without its line end; empty past the end.
    std::string_view line(int64_t line) const;
    // The UTF-16 units of the first `bytes` bytes of a line's text.
    static int64_t unitsOf(std::string_view lineText, size_t bytes);
    // The byte offset in a line's text of UTF-16 unit `units`, clamped to its length.
    static size_t bytesOf(std::string_view lineText, int64_t units);

private:
    std::string text_;
};
