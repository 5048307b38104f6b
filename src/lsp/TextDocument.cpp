// Positions counted as editors count them: lines end at "\n" (a "\r" before it
// belongs to the line end), characters are UTF-16 units, so a character beyond
// the first plane takes two; a byte that starts no valid sequence takes one.
#include "lsp/TextDocument.h"

#include <algorithm>

namespace {

// The length in bytes of the UTF-8 sequence at `at` and its UTF-16 units.
struct Step {
    size_t bytes;
    int64_t units;
};

Step stepAt(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    if (at + length > text.size()) return {1, 1};
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return {1, 1};
    }
    return {length, length == 4 ? 2 : 1};
}

}  // namespace

std::string_view TextDocument::line(int64_t line) const {
    if (line < 0) return {};
    size_t start = 0;
    for (int64_t i = 0; i < line; ++i) {
        const size_t end = text_.find('\n', start);
        if (end == std::string::npos) return {};
        start = end + 1;
    }
    size_t end = text_.find('\n', start);
    if (end == std::string::npos) end = text_.size();
    std::string_view result(text_.data() + start, end - start);
    if (!result.empty() && result.back() == '\r') result.remove_suffix(1);
    return result;
}

int64_t TextDocument::unitsOf(std::string_view lineText, size_t bytes) {
    int64_t units = 0;
    for (size_t at = 0; at < std::min(bytes, lineText.size());) {
        const Step step = stepAt(lineText, at);
        at += step.bytes;
        units += step.units;
    }
    return units;
}

size_t TextDocument::bytesOf(std::string_view lineText, int64_t units) {
    size_t at = 0;
    for (int64_t counted = 0; at < lineText.size();) {
        const Step step = stepAt(lineText, at);
        if (counted + step.units > units) break;
        counted += step.units;
        at += step.bytes;
    }
    return at;
}

size_t TextDocument::offsetOf(TextPosition position) const {
    if (position.line < 0) return 0;
    size_t start = 0;
    for (int64_t i = 0; i < position.line; ++i) {
        const size_t end = text_.find('\n', start);
        if (end == std::string::npos) return text_.size();
        start = end + 1;
    }
    size_t end = text_.find('\n', start);
    if (end == std::string::npos) end = text_.size();
    if (end > start && text_[end - 1] == '\r') --end;
    const std::string_view lineText(text_.data() + start, end - start);
    return start + bytesOf(lineText, std::max<int64_t>(position.character, 0));
}

void TextDocument::replace(TextPosition start, TextPosition end, std::string_view with) {
    size_t from = offsetOf(start);
    size_t to = offsetOf(end);
    if (to < from) std::swap(from, to);
    text_.replace(from, to - from, with);
}
