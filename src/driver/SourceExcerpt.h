// One line of a source as the console shows it under a diagnostic, and the
// marker line under the columns the diagnostic is about ("^~~~"), lined up by
// what the terminal shows: a tab reaches the next stop of 8, a double-byte
// character takes two cells, a control byte is shown escaped. A long line is
// cut around the span, so an excerpt stays short whatever the line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How many terminal cells of a line an excerpt shows at most, marks of a cut
// line included.
inline constexpr int kExcerptWidth = 100;

struct SourceExcerpt {
    std::string text;    // the line in the console's encoding, no line feed
    std::string marker;  // blanks, then "^" and a "~" for each further cell of the span
};

// `line` holds the bytes of one line as the file has them, without its line
// end: UTF-8 when `utf8`, else code page 932. The span is [column, endColumn)
// in the units of song/SourceLocation.h; an empty span, or one past the line's
// end, is marked by a "^" alone where it starts.
SourceExcerpt sourceExcerpt(std::string_view line, bool utf8, int32_t column, int32_t endColumn);
