// Where something of the song was written: the source file (an id the run
// gives each file it reads, see song/SourceMap.h), the line and the span of
// columns, and the macro use that made it, if one did. Tokens carry one from
// the tokenizer on; the commands, notes, controls and envelopes made from them
// keep it, so every diagnostic and every editor's query can name the place it
// is about.
//
// Columns count characters from 0 as an editor counts them: UTF-16 code units
// of the line. Every character a source can hold is one unit (code page 932
// has no character beyond the first plane, and a double-byte character is one
// character), so a column is the character's index in its line; a character of
// a UTF-8 source that code page 932 cannot hold, which the run reports and
// skips, still takes its units (two beyond the first plane), and bytes that
// form no character take one unit a broken sequence, as an editor shows them.
#pragma once

#include <cstdint>

struct SourceLocation {
    int32_t file = 0;       // the run's id of the file, from 1; 0 for no place
    int32_t line = 0;       // from 1
    int32_t column = 0;     // first column, from 0
    int32_t endColumn = 0;  // one past the last column
    // 0 when the thing stands where it is written. For one a macro or ".equ"
    // made, the id of that use in the run's SourceMap: the location is then
    // where it is written in the macro's body, and the use's own location leads
    // out, use by use, to the one written in the text as read.
    int32_t expansion = 0;

    bool known() const { return file != 0; }
};
