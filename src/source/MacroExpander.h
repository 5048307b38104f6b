// Macro definitions and uses: reads the ".equ" and ".macro" directives into the
// macro table and expands the uses met in the token stream.
#pragma once

#include <memory>
#include <vector>

#include "source/Token.h"

class MacroTable;
class StringPool;
class Tokenizer;

class MacroExpander {
public:
    virtual ~MacroExpander() = default;
    // ".equ": reads the name and the one-line body from `input`. The directive's
    // kind becomes TokNone when the macro is defined, TokInvalid when the
    // definition failed.
    virtual void defineOneLine(LocatedToken& directive, Tokenizer& input) = 0;
    // ".macro": reads the name and the block body from `input`; kind as above.
    virtual void defineBlock(LocatedToken& directive, Tokenizer& input) = 0;
    // A use (a reference or a call, whose arguments are read from `input`). On
    // success its kind becomes TokNone and the expansion is appended to
    // `queue`, each token carrying the use's line, and as its location where it
    // is written with the use that made it (song/SourceLocation.h); on failure
    // the kind becomes TokInvalid.
    virtual void expandUse(LocatedToken& use, Tokenizer& input,
                           std::vector<LocatedToken>& queue) = 0;
};

// The tables are borrowed and must outlive the expander. The macro uses go to
// the run's map of the reader of `input`.
std::unique_ptr<MacroExpander> createMacroExpander(MacroTable& table, StringPool& pool);
