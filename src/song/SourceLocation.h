// Where something of the song was written: the source file (an id the run
// gives each file it reads), the line and the span of columns. Tokens carry
// one from the tokenizer on; the commands, notes, controls and envelopes made
// from them keep it, so every diagnostic and every editor's query can name the
// place it is about.
#pragma once

#include <cstdint>

struct SourceLocation {
    int32_t file = 0;       // the run's id of the file, from 1; 0 for no place
    int32_t line = 0;       // from 1
    int32_t column = 0;     // first column, from 0
    int32_t endColumn = 0;  // one past the last column

    bool known() const { return file != 0; }
};
