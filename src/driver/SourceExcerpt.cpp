// A source line and its marker line as the console shows them. The line is
// walked character by character twice: once to learn where the span and the
// line's end fall on the terminal, once to build the part that is shown.
#include "driver/SourceExcerpt.h"

#include <algorithm>
#include <string>

#include "diag/DiagnosticLine.h"
#include "text/CharCode.h"
#include "text/Encoding.h"

namespace {

constexpr int kTabStop = 8;
constexpr std::string_view kCutMark = "...";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// What a character of the line is, for the way it is shown.
enum class CellKind : uint8_t { Plain, Tab, Control, Broken, Foreign };

// One character of the line: its bytes, its units as an editor counts them,
// and what it takes on the terminal (a tab's cells depend on where it stands).
struct Cell {
    size_t size = 1;
    int32_t units = 1;
    int width = 1;
    CellKind kind = CellKind::Plain;
    int code = 0;  // of a character of a UTF-8 line that code page 932 holds
};

// A character beyond code page 932 that terminals show in two cells: the
// wide and full-width blocks and the pictographs.
bool isWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF) ||
           (c >= 0x20000 && c <= 0x3FFFD);
}

Cell singleByte(unsigned char byte) {
    Cell cell;
    if (byte == '\t') {
        cell.kind = CellKind::Tab;
    } else if (byte < 0x20 || byte == 0x7F) {
        cell.kind = CellKind::Control;
        cell.width = static_cast<int>(withControlBytesEscaped(std::string(1, static_cast<char>(byte))).size());
    }
    return cell;
}

// The character at `at` of a code page 932 line: a lead byte takes the byte
// after it along, as the program reads the file.
Cell cp932Cell(std::string_view line, size_t at) {
    const auto byte = static_cast<unsigned char>(line[at]);
    if (isLeadByte(byte) && at + 1 < line.size()) {
        return Cell{2, 1, 2, CellKind::Plain, 0};
    }
    return singleByte(byte);
}

// The character at `at` of a UTF-8 line, counted as the program counts it
// (text/TextFile.cpp): bytes that form no character are one broken sequence
// ending before the byte that breaks it; a character beyond code page 932
// keeps its UTF-16 units.
Cell utf8Cell(std::string_view line, size_t at) {
    const auto lead = static_cast<unsigned char>(line[at]);
    if (lead < 0x80) return singleByte(lead);
    size_t end = at + 1;
    const Utf8Sequence sequence = readUtf8Sequence(lead, [&]() -> int {
        return end < line.size() ? static_cast<unsigned char>(line[end++]) : -1;
    });
    const size_t size = 1 + static_cast<size_t>(sequence.taken);
    if (!sequence.complete) return Cell{size, 1, 1, CellKind::Broken, 0};
    const char32_t scalar = sequence.scalar;
    const int code = unicodeToCp932(scalar);
    if (code == kNoCharacter) {
        const int width = utf8Mode() && isWide(scalar) ? 2 : 1;
        return Cell{size, scalar > 0xFFFF ? 2 : 1, width, CellKind::Foreign, 0};
    }
    return Cell{size, 1, code >= 256 ? 2 : 1, CellKind::Plain, code};
}

// The text a character shows on the console. A UTF-8 character is shown by
// its code page 932 twin, made ready for the console like every source text.
std::string shownText(std::string_view bytes, const Cell& cell, bool utf8, int width) {
    switch (cell.kind) {
    case CellKind::Tab: return std::string(static_cast<size_t>(width), ' ');
    case CellKind::Control: return withControlBytesEscaped(bytes);
    case CellKind::Broken: return std::string(utf8Mode() ? kReplacementCharacter : "?");
    case CellKind::Foreign: return utf8Mode() ? std::string(bytes) : std::string("?");
    case CellKind::Plain: break;
    }
    if (!utf8 || cell.size == 1) return consoleText(bytes);
    std::string cp932;
    if (cell.code >= 256) cp932.push_back(static_cast<char>(cell.code >> 8));
    cp932.push_back(static_cast<char>(cell.code & 0xFF));
    return consoleText(cp932);
}

// Walks the characters of a line with the terminal cell each starts at.
class CellWalk {
public:
    CellWalk(std::string_view line, bool utf8) : line_(line), utf8_(utf8) {}

    bool done() const { return at_ >= line_.size(); }
    // The next character; its width is set for where it stands.
    Cell next() {
        Cell cell = utf8_ ? utf8Cell(line_, at_) : cp932Cell(line_, at_);
        if (cell.kind == CellKind::Tab) cell.width = kTabStop - static_cast<int>(cellsBefore_ % kTabStop);
        start_ = at_;
        at_ += cell.size;
        unitsBefore_ += cell.units;
        cellsBefore_ += cell.width;
        return cell;
    }
    std::string_view bytes() const { return line_.substr(start_, at_ - start_); }
    // Units and cells of the line up to the end of the character taken last.
    int64_t units() const { return unitsBefore_; }
    int64_t cells() const { return cellsBefore_; }

private:
    std::string_view line_;
    bool utf8_;
    size_t at_ = 0;
    size_t start_ = 0;
    int64_t unitsBefore_ = 0;
    int64_t cellsBefore_ = 0;
};

}  // namespace

SourceExcerpt sourceExcerpt(std::string_view line, bool utf8, int32_t column, int32_t endColumn) {
    // Where the span starts and ends on the terminal, and how wide the line is.
    int64_t spanStart = -1;
    int64_t spanEnd = -1;
    CellWalk measure(line, utf8);
    while (!measure.done()) {
        const int64_t cellsBefore = measure.cells();
        measure.next();
        if (spanStart < 0 && measure.units() > column) spanStart = cellsBefore;
        if (spanEnd < 0 && measure.units() >= endColumn) spanEnd = measure.cells();
    }
    const int64_t total = measure.cells();
    if (spanStart < 0) spanStart = total;
    if (spanEnd < 0) spanEnd = total;
    // An empty span marks the one cell where it starts.
    if (spanEnd <= spanStart) spanEnd = spanStart + 1;

    // The cells shown: the whole line, or for a long one a stretch that
    // starts a little before the span, between cut marks.
    const bool cut = total + 1 > kExcerptWidth;
    const auto markWidth = static_cast<int64_t>(kCutMark.size());
    const int64_t budget = cut ? kExcerptWidth - 2 * markWidth - 1 : total + 1;
    int64_t from = 0;
    if (cut) from = std::clamp<int64_t>(spanStart - budget / 3, 0, total + 1 - budget);

    SourceExcerpt excerpt;
    auto mark = [&](int64_t cellStart, int width) {
        for (int64_t c = cellStart; c < cellStart + width; ++c) {
            char sign = ' ';
            if (c >= spanStart && c < spanEnd) sign = c == spanStart ? '^' : '~';
            excerpt.marker.push_back(sign);
        }
    };
    CellWalk show(line, utf8);
    bool cutBefore = false;
    bool cutAfter = false;
    int64_t shownEnd = from;
    while (!show.done()) {
        const int64_t cellsBefore = show.cells();
        const Cell cell = show.next();
        if (cellsBefore < from) {
            cutBefore = true;
            continue;
        }
        if (show.cells() > from + budget) {
            cutAfter = true;
            break;
        }
        if (cutBefore && excerpt.text.empty()) {
            excerpt.text.append(kCutMark);
            excerpt.marker.append(kCutMark.size(), ' ');
        }
        excerpt.text.append(shownText(show.bytes(), cell, utf8, cell.width));
        mark(cellsBefore, cell.width);
        shownEnd = show.cells();
    }
    if (cutBefore && excerpt.text.empty()) {
        excerpt.text.append(kCutMark);
        excerpt.marker.append(kCutMark.size(), ' ');
    }
    // A span at the line's end is marked just past its last character.
    if (!cutAfter && spanStart >= shownEnd) mark(shownEnd, 1);
    if (cutAfter) excerpt.text.append(kCutMark);
    while (!excerpt.marker.empty() && excerpt.marker.back() == ' ') excerpt.marker.pop_back();
    return excerpt;
}
